#include "print/supply_report.h"

#include <QFontMetricsF>
#include <algorithm>

#include "kinetics/model_kind.h"
#include "print/reports.h"
#include "screens/qtext.h"
#include "store/number_text.h"

namespace kelvora {

namespace {

constexpr int kTitleTwips = 280;
constexpr int kTextTwips = 170;
constexpr int kTableTwips = 150;
constexpr double kDateWidth = 1300;
constexpr double kTempWidth = 900;
constexpr double kMarkWidth = 700;

std::string Amount(const std::optional<double>& v) {
  return v ? FormatFixed(*v, 2) : std::string();
}

// Draws `text` right- or left-aligned in a cell, cut with an ellipsis when
// it is wider.
void Cell(QPainter& p, const QFontMetricsF& fm, double x, double y, double w, double h,
          const QString& text, Qt::Alignment align) {
  const QString shown =
      fm.horizontalAdvance(text) > w - 60 ? fm.elidedText(text, Qt::ElideRight, w - 60) : text;
  p.drawText(QRectF(x + 30, y, w - 60, h), static_cast<int>(align | Qt::AlignVCenter), shown);
}

}  // namespace

std::vector<std::string> SupplyReportHeading(const SupplyNames& names, const SupplyInput& input,
                                             const SupplyResult& result) {
  int forecast = 0;
  for (const SupplyDay& d : result.days) forecast += d.forecast ? 1 : 0;
  std::vector<std::string> lines{
      "計画名： " + names.plan,
      "地温データ： " + names.observed + "　　平年値： " +
          (names.normal.empty() ? std::string("（なし）") : names.normal),
      "期間： " + DateText(input.first) + " ～ " + DateText(input.last) + "（" +
          std::to_string(result.days.size()) + "日、うち予測 " + std::to_string(forecast) + "日）"};
  for (size_t i = 0; i < input.sources.size(); ++i) {
    const PlanSource& s = input.sources[i];
    std::string line = std::to_string(i + 1) + "  " + s.para.SoilName + "（" + SourceKindText(s) +
                       "・" + (IsValidModel(s.para.ModelNo) ? ModelName(s.para.ModelNo) : "") +
                       "）　" + ConversionText(s) + " = " + ShortestDouble(SourceFactor(s));
    if (i < result.sources.size()) line += "　開始日 " + DateText(result.sources[i].start);
    lines.push_back(line);
  }
  if (!result.days.empty()) {
    lines.push_back("最後の日の合計： " + Amount(result.days.back().total) + " kgN/10a");
  }
  return lines;
}

bool PrintSupplyReport(DocumentSink& sink, const SupplyNames& names, const SupplyInput& input,
                       const SupplyResult& result, const QImage& chart) {
  const QString title = QStringLiteral("窒素供給量の予測 ") + Q(names.plan);
  PageOutput* page = sink.Begin(title, QPageLayout::Landscape);
  if (!page) return false;
  UseTwips(*page, 1.0);
  const double width = page->WidthTwips();
  const double height = page->HeightTwips();
  QPainter& p = page->Painter();
  p.setPen(Qt::black);

  // The first page: heading lines and the chart below them.
  const QFont titleFont = ReportFont(kReportFont, kTitleTwips);
  p.setFont(titleFont);
  double y = 0;
  const double titleHeight = QFontMetricsF(titleFont).height();
  p.drawText(QRectF(0, y, width, titleHeight), Qt::AlignLeft | Qt::AlignTop,
             QStringLiteral("窒素供給量の予測"));
  y += titleHeight * 1.5;
  const QFont text = ReportFont(kReportFont, kTextTwips);
  const QFontMetricsF fm(text);
  p.setFont(text);
  for (const std::string& line : SupplyReportHeading(names, input, result)) {
    Cell(p, fm, -30, y, width + 60, fm.height(), Q(line), Qt::AlignLeft);
    y += fm.height() * 1.2;
  }
  y += fm.height() * 0.5;
  if (!chart.isNull() && y < height) {
    const QSizeF size = QSizeF(chart.size()).scaled(QSizeF(width, height - y), Qt::KeepAspectRatio);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(QRectF(QPointF(0, y), size), chart);
  }

  // The table by day, as many rows as a page holds.
  const size_t sources = input.sources.size();
  const double amountWidth = std::min(
      1800.0, (width - kDateWidth - kTempWidth - kMarkWidth) / static_cast<double>(sources + 1));
  std::vector<std::pair<QString, double>> columns{{QStringLiteral("年/月/日"), kDateWidth},
                                                  {QStringLiteral("地温(℃)"), kTempWidth},
                                                  {QStringLiteral("予測"), kMarkWidth}};
  for (size_t i = 0; i < sources; ++i) {
    columns.push_back(
        {Q(std::to_string(i + 1) + " " + input.sources[i].para.SoilName), amountWidth});
  }
  columns.push_back({QStringLiteral("合計"), amountWidth});
  const QFont tableFont = ReportFont(kReportFont, kTableTwips);
  const QFontMetricsF tm(tableFont);
  const double row = tm.height() * 1.15;
  const int perPage = std::max(1, static_cast<int>((height - 3 * row) / row));
  QPen rule(Qt::black);
  rule.setWidthF(10);
  for (size_t first = 0; first < result.days.size(); first += static_cast<size_t>(perPage)) {
    if (!page->NewPage()) return false;
    UseTwips(*page, 1.0);
    QPainter& q = page->Painter();
    q.setFont(tableFont);
    q.setPen(Qt::black);
    q.drawText(QRectF(0, 0, width, row), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("窒素供給量（kgN/10a）　") + Q(names.plan));
    double x = 0;
    for (const auto& [heading, w] : columns) {
      Cell(q, tm, x, row * 1.5, w, row, heading, Qt::AlignRight);
      x += w;
    }
    q.setPen(rule);
    q.drawLine(QPointF(0, row * 2.6), QPointF(x, row * 2.6));
    q.setPen(Qt::black);
    const size_t last = std::min(result.days.size(), first + static_cast<size_t>(perPage));
    for (size_t d = first; d < last; ++d) {
      const SupplyDay& day = result.days[d];
      std::vector<std::string> cells{DateText(day.date), day.temperatureText,
                                     day.forecast ? "予測" : ""};
      for (const std::optional<double>& a : day.amounts) cells.push_back(Amount(a));
      cells.push_back(Amount(day.total));
      const double top = row * 2.7 + static_cast<double>(d - first) * row;
      x = 0;
      for (size_t c = 0; c < cells.size(); ++c) {
        Cell(q, tm, x, top, columns[c].second, row, Q(cells[c]), Qt::AlignRight);
        x += columns[c].second;
      }
    }
  }
  return sink.End();
}

}  // namespace kelvora
