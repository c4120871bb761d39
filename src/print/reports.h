// The two printed reports and the window images, drawn on a document sink.
// Each returns false when the sink failed (its Error() says why).
#pragma once

#include <QFont>
#include <QImage>
#include <QString>
#include <vector>

#include "print/page_output.h"
#include "store/records.h"

namespace kelvora {

// The typeface of the printed pages: Noto Sans CJK with half-width characters
// exactly half as wide as full-width ones, so that the blanks of the
// estimation report line the amounts up under their header. (The
// proportional variant loses the text of digits that follow letters, "Ea1",
// in Qt's PDF output: such a PDF could not be searched or copied from.)
inline const QString kReportFont = QStringLiteral("Noto Sans Mono CJK JP");

// The parameter report: the records six to an A4 landscape page, as one
// document. No record gives one page with the title and the rules alone.
bool PrintParameterReport(DocumentSink& sink, const std::vector<ParaRecord>& records);

// The estimation report of one record as one document on A4 portrait.
bool PrintEstimationReport(DocumentSink& sink, const SuiteiRecord& record);

// A window image on an A4 landscape page, as large as the printable area
// allows, keeping its aspect ratio.
bool PrintWindowImage(DocumentSink& sink, const QImage& image, const QString& title);

// The text size (in twips) and line height h (in twips) of the estimation
// report on a printable area of the given size: the largest size whose
// heading block, column header, unit line and 69 rows fit, and whose last
// column fits the width.
struct EstimationFont {
  int pixelTwips;
  double h;
};
EstimationFont ChooseEstimationFont(double widthTwips, double heightTwips);

// Painter units in twips from the top left of the printable area, times
// `scale`; and the report typeface at a size in twips.
void UseTwips(PageOutput& page, double scale);
QFont ReportFont(const QString& family, int pixelTwips);

}  // namespace kelvora
