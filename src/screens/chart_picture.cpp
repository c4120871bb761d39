#include "screens/chart_picture.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGraphicsView>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QWidget>
#include <algorithm>

#include "print/file_export.h"
#include "print/remembered_folder.h"
#include "screens/dialogs.h"
#include "store/export_target.h"

namespace kelvora {

namespace {

// Twice the screen's pixels: sharp on slides and in print.
constexpr int kPngScale = 2;
// Room around the caption lines.
constexpr int kCaptionMargin = 8;

QFont CaptionFont(const std::vector<QWidget*>& parts, bool first) {
  QFont f = parts.empty() ? QFont() : parts.front()->font();
  f.setBold(first);
  return f;
}

// The height of the caption lines, measured as the screen lays them out.
int CaptionHeight(const std::vector<QWidget*>& parts, const QStringList& captions) {
  if (captions.isEmpty()) return 0;
  int h = 2 * kCaptionMargin;
  for (int i = 0; i < captions.size(); ++i) {
    h += QFontMetrics(CaptionFont(parts, i == 0)).lineSpacing();
  }
  return h;
}

void PaintParts(QPainter& painter, const std::vector<QWidget*>& parts, const QSize& size,
                const QStringList& captions) {
  painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
  int y = captions.isEmpty() ? 0 : kCaptionMargin;
  for (int i = 0; i < captions.size(); ++i) {
    const QFont font = CaptionFont(parts, i == 0);
    const QFontMetrics fm(font);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int width = size.width() - 2 * kCaptionMargin;
    painter.drawText(QRect(kCaptionMargin, y, width, fm.lineSpacing()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     fm.elidedText(captions[i], Qt::ElideRight, width));
    y += fm.lineSpacing();
  }
  const int top = CaptionHeight(parts, captions);
  int x = 0;
  for (QWidget* w : parts) {
    // Without the window background: the parts stand on the white of the
    // picture, as they do on a printed page; so does a chart's view around
    // the chart.
    auto* view = qobject_cast<QGraphicsView*>(w);
    const QBrush viewBrush = view ? view->backgroundBrush() : QBrush();
    if (view) view->setBackgroundBrush(Qt::white);
    w->render(&painter, QPoint(x, top), QRegion(), QWidget::DrawChildren);
    if (view) view->setBackgroundBrush(viewBrush);
    x += w->width();
  }
}

}  // namespace

std::optional<PictureFormat> PictureFormatOf(const QString& path) {
  const QString ending = QFileInfo(path).suffix().toLower();
  if (ending == QLatin1String("png")) return PictureFormat::Png;
  if (ending == QLatin1String("svg")) return PictureFormat::Svg;
  return std::nullopt;
}

QSize PictureSize(const std::vector<QWidget*>& parts, const QStringList& captions) {
  QSize size(0, 0);
  for (QWidget* w : parts) {
    size.rwidth() += w->width();
    size.rheight() = std::max(size.height(), w->height());
  }
  size.rheight() += CaptionHeight(parts, captions);
  return size;
}

QByteArray RenderPicture(const std::vector<QWidget*>& parts, PictureFormat format,
                         const QString& title, const QStringList& captions) {
  const QSize size = PictureSize(parts, captions);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (format == PictureFormat::Png) {
    QImage image(size * kPngScale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(kPngScale);
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setRenderHint(QPainter::TextAntialiasing);
      PaintParts(painter, parts, size, captions);
    }
    // Stored without the scale, so that a viewer shows its true pixels.
    image.setDevicePixelRatio(1);
    image.convertToFormat(QImage::Format_RGB32).save(&buffer, "PNG");
  } else {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    // The text is laid out in the screen's pixels: written at the screen's
    // resolution, each piece has the size it was measured with (at the
    // generator's own 72 dpi a 10 pt label would be written 10 px high and
    // fall apart into pieces with gaps).
    svg.setResolution(parts.empty() ? 96 : parts.front()->logicalDpiY());
    svg.setTitle(title);
    svg.setDescription(QStringLiteral("ケルボラ１"));
    QPainter painter(&svg);
    PaintParts(painter, parts, size, captions);
  }
  return bytes;
}

bool SaveChartPicture(QWidget* parent, Dialogs& dialogs, const std::vector<QWidget*>& parts,
                      const QString& title, const QStringList& captions) {
  const QString suggested = FileNameFrom(title, QStringLiteral("グラフ")) + QStringLiteral(".png");
  const QString path = AskSaveFile(dialogs, parent, FileKind::Picture, QStringLiteral("画像を保存"),
                                   suggested, kPictureFilter);
  if (path.isEmpty()) return false;
  auto fail = [&](const QString& reason) {
    dialogs.Message(parent, kTitleCaution,
                    QStringLiteral("画像「%1」を保存できませんでした。\n%2")
                        .arg(QDir::toNativeSeparators(path), reason),
                    Dialogs::Icon::Warning);
    return false;
  };
  const std::optional<PictureFormat> format = PictureFormatOf(path);
  if (!format) {
    return fail(
        QStringLiteral("ファイル名の拡張子で画像の種類（.png または .svg）を選んで下さい。"));
  }
  const QByteArray bytes = RenderPicture(parts, *format, title, captions);
  if (bytes.isEmpty()) return fail(QStringLiteral("画像を作れませんでした。"));
  std::string reason;
  if (!WriteExportFile(FilePath(path), bytes.toStdString(), reason)) {
    return fail(QString::fromStdString(reason));
  }
  return true;
}

}  // namespace kelvora
