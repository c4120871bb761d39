// "画像を保存" of the charts: the chart (with the axis title beside it) under
// the lines that say what it shows (the soil or fertilizer, the model, the
// series), as a PNG at twice the screen's pixels, or as an SVG drawing laid
// out at the screen's resolution, so that its text has the PNG's sizes in any
// program. The ending of the file name chooses. The file is written like every
// other file of the program: to a temporary file beside it, renamed over the
// old one.
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class QWidget;

namespace kelvora {

class Dialogs;

enum class PictureFormat { Png, Svg };

// The save dialog's types of a picture.
inline const QString kPictureFilter = QStringLiteral("PNG 画像 (*.png);;SVG 画像 (*.svg)");

// The format a file name asks for by its ending (either case); none for
// another ending.
std::optional<PictureFormat> PictureFormatOf(const QString& path);

// The size of the picture of the widgets placed side by side, tops aligned,
// below the caption lines, in the screen's (logical) pixels.
QSize PictureSize(const std::vector<QWidget*>& parts, const QStringList& captions = {});

// The picture on white: the caption lines (the first in bold) above the
// widgets side by side. A PNG of twice PictureSize() pixels, or an SVG
// drawing of PictureSize() with `title`.
QByteArray RenderPicture(const std::vector<QWidget*>& parts, PictureFormat format,
                         const QString& title, const QStringList& captions = {});

// Asks for the file (starting at `title`.png in the folder of the last
// picture), renders the picture and writes it (an SVG carries `title`). A
// failure is told in a message; false when nothing was written (also when the
// user cancelled).
bool SaveChartPicture(QWidget* parent, Dialogs& dialogs, const std::vector<QWidget*>& parts,
                      const QString& title, const QStringList& captions = {});

}  // namespace kelvora
