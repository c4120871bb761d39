#include "print/reports.h"

#include <QFont>
#include <QFontMetricsF>
#include <algorithm>

#include "print/report_texts.h"
#include "screens/qtext.h"

namespace kelvora {

// Painter units become twips from the top left of the printable area, scaled
// by `scale` (at most 1, so that a page image wider than the printable area
// still fits on it).
void UseTwips(PageOutput& page, double scale) {
  QPainter& p = page.Painter();
  p.resetTransform();
  const double s = page.Resolution() / kTwipsPerInch * scale;
  p.scale(s, s);
}

QFont ReportFont(const QString& family, int pixelTwips) {
  QFont font(family);
  font.setPixelSize(pixelTwips);
  font.setStyleHint(QFont::SansSerif);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

namespace {

// ---- parameter report ---------------------------------------------------------------------

constexpr int kParaTextTwips = 160;   // 8 point
constexpr int kParaTitleTwips = 240;  // 12 point
constexpr double kBoxPadding = 45;
constexpr double kPenTwips = 12;

// Draws `text` with its top at y, inside `width` twips: the font is made
// smaller (down to two thirds) when the text is wider, and the text is cut
// with an ellipsis when even that is not enough.
void DrawFitted(QPainter& p, const QFont& base, double x, double y, double width, double height,
                const QString& text, Qt::Alignment align) {
  if (text.isEmpty()) return;
  QFont font = base;
  QFontMetricsF fm(font);
  const int minimum = base.pixelSize() * 2 / 3;
  while (fm.horizontalAdvance(text) > width && font.pixelSize() > minimum) {
    font.setPixelSize(font.pixelSize() - 4);
    fm = QFontMetricsF(font);
  }
  const QString shown =
      fm.horizontalAdvance(text) > width ? fm.elidedText(text, Qt::ElideRight, width) : text;
  p.setFont(font);
  p.drawText(QRectF(x, y, width, height), static_cast<int>(align | Qt::TextSingleLine), shown);
}

void DrawBlock(QPainter& p, const QFont& font, TwipPoint o, const ParameterBlock& b) {
  // Labels are 180 twips high; their text is centred on that height.
  const double line = kLabelHeight;
  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
  const Qt::Alignment inBox = Qt::AlignVCenter;
  QPen pen(Qt::black);
  pen.setWidthF(kPenTwips);

  DrawFitted(p, font, o.x, o.y, kBlockNameBoxX - 60, line, Q(kSoilNameLabel), left);
  p.setPen(pen);
  p.drawRect(
      QRectF(o.x + kBlockNameBoxX, o.y + kBlockNameBoxY, kBlockNameBoxWidth, kValueBoxHeight));
  DrawFitted(p, font, o.x + kBlockNameBoxX + kBoxPadding, o.y + kBlockNameBoxY,
             kBlockNameBoxWidth - 2 * kBoxPadding, kValueBoxHeight, Q(b.soilName),
             Qt::AlignLeft | inBox);
  const double textWidth = kParaBlockOrigin[3].x - kParaBlockOrigin[0].x - 240;
  DrawFitted(p, font, o.x, o.y + kBlockModelY, textWidth, line, Q(b.modelName), left);
  DrawFitted(p, font, o.x, o.y + kBlockFormulaY, textWidth, line, Q(b.formula), left);

  auto row = [&](const std::array<std::string, 5>& names, const std::array<std::string, 5>& values,
                 double nameY, double valueY) {
    for (size_t i = 0; i < names.size(); ++i) {
      if (names[i].empty()) continue;  // an unused position: neither name nor box
      const double x = o.x + kBlockColumnX[i];
      DrawFitted(p, font, x, o.y + nameY, kBlockColumnX[1] - 60, line, Q(names[i]), left);
      p.setPen(pen);
      p.drawRect(QRectF(x, o.y + valueY, kValueBoxWidth, kValueBoxHeight));
      DrawFitted(p, font, x + kBoxPadding, o.y + valueY, kValueBoxWidth - 2 * kBoxPadding,
                 kValueBoxHeight, Q(values[i]), Qt::AlignRight | inBox);
    }
  };
  row(b.names1, b.values1, kBlockNames1Y, kBlockValues1Y);
  row(b.names2, b.values2, kBlockNames2Y, kBlockValues2Y);
}

// One page: the title, the rules and the first `count` blocks.
void DrawParameterPage(PageOutput& page, const std::vector<ParameterBlock>& blocks) {
  const double scale =
      std::min({1.0, page.WidthTwips() / kParaPageWidth, page.HeightTwips() / kParaPageHeight});
  UseTwips(page, scale);
  QPainter& p = page.Painter();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(Qt::black);
  const QFont title = ReportFont(kReportFont, kParaTitleTwips);
  p.setFont(title);
  p.drawText(QRectF(kParaTitleX, kParaTitleY, 4000, QFontMetricsF(title).height()),
             Qt::AlignLeft | Qt::AlignTop, Q(kParaReportTitle));
  QPen rule(Qt::black);
  rule.setWidthF(kPenTwips);
  p.setPen(rule);
  for (double y : kParaRuleY) p.drawLine(QPointF(kParaRuleLeft, y), QPointF(kParaRuleRight, y));
  const QFont font = ReportFont(kReportFont, kParaTextTwips);
  for (size_t i = 0; i < blocks.size() && i < kParaBlockOrigin.size(); ++i) {
    DrawBlock(p, font, kParaBlockOrigin[i], blocks[i]);
  }
}

// ---- estimation report --------------------------------------------------------------------

constexpr int kLargestEstimationTwips = 200;  // 10 point
constexpr int kSmallestEstimationTwips = 80;  // 4 point
const QString kWidestRow = QStringLiteral("0000/00/00     -0000.00");

}  // namespace

EstimationFont ChooseEstimationFont(double widthTwips, double heightTwips) {
  EstimationFont chosen{kSmallestEstimationTwips, 0};
  for (int px = kLargestEstimationTwips; px >= kSmallestEstimationTwips; px -= 2) {
    const QFontMetricsF fm(ReportFont(kReportFont, px));
    chosen = {px, fm.height()};
    const bool fitsHeight = kEstimationTop + kEstimationLinesPerPage * fm.height() <= heightTwips;
    const bool fitsWidth =
        kEstimationColumnX.back() + fm.horizontalAdvance(kWidestRow) <= widthTwips;
    if (fitsHeight && fitsWidth) break;
  }
  return chosen;
}

bool PrintParameterReport(DocumentSink& sink, const std::vector<ParaRecord>& records) {
  PageOutput* page = sink.Begin(Q(kParaReportTitle), QPageLayout::Landscape);
  if (!page) return false;
  std::vector<ParameterBlock> blocks;
  size_t printed = 0;
  for (const ParaRecord& record : records) {
    blocks.push_back(MakeParameterBlock(record));
    if (static_cast<int>(blocks.size()) < kBlocksPerPage) continue;
    if (printed > 0 && !page->NewPage()) return false;
    DrawParameterPage(*page, blocks);
    ++printed;
    blocks.clear();
  }
  // The last page shows only its filled blocks; none selected gives the title
  // and the rules alone; a multiple of six gives no extra page.
  if (!blocks.empty() || printed == 0) {
    if (printed > 0 && !page->NewPage()) return false;
    DrawParameterPage(*page, blocks);
  }
  return sink.End();
}

bool PrintEstimationReport(DocumentSink& sink, const SuiteiRecord& record) {
  const QString title = Q(record.SoilName + " × " + record.SiteName);
  PageOutput* page = sink.Begin(title, QPageLayout::Portrait);
  if (!page) return false;
  const EstimationFont font = ChooseEstimationFont(page->WidthTwips(), page->HeightTwips());
  const std::vector<ReportPageText> pages = EstimationReportPages(record, font.h);
  const QFont qfont = ReportFont(kReportFont, font.pixelTwips);
  const double ascent = QFontMetricsF(qfont).ascent();
  for (size_t i = 0; i < pages.size(); ++i) {
    if (i > 0 && !page->NewPage()) return false;
    UseTwips(*page, 1.0);
    QPainter& p = page->Painter();
    p.setPen(Qt::black);
    p.setFont(qfont);
    for (const TextItem& item : pages[i]) {
      if (!item.text.empty()) p.drawText(QPointF(item.x, item.y + ascent), Q(item.text));
    }
  }
  return sink.End();
}

bool PrintWindowImage(DocumentSink& sink, const QImage& image, const QString& title) {
  PageOutput* page = sink.Begin(title, QPageLayout::Landscape);
  if (!page) return false;
  QPainter& p = page->Painter();
  p.resetTransform();
  const QSizeF area(page->Device().width(), page->Device().height());
  if (!image.isNull()) {
    const QSizeF size = QSizeF(image.size()).scaled(area, Qt::KeepAspectRatio);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(QRectF(QPointF(0, 0), size), image);
  }
  return sink.End();
}

}  // namespace kelvora
