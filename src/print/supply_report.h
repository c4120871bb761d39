// The printed nitrogen supply plan: on A4 landscape, a first page with the
// plan, its sources and their conversions and the chart, then the table by
// day (date, temperature, forecast mark, kg N/10a of every source, total).
#pragma once

#include <QImage>
#include <QString>
#include <string>
#include <vector>

#include "kinetics/supply_export.h"
#include "print/page_output.h"

namespace kelvora {

// The texts of the first page, line by line.
std::vector<std::string> SupplyReportHeading(const SupplyNames& names, const SupplyInput& input,
                                             const SupplyResult& result);

// One document; false when the sink failed (its Error() says why).
bool PrintSupplyReport(DocumentSink& sink, const SupplyNames& names, const SupplyInput& input,
                       const SupplyResult& result, const QImage& chart);

}  // namespace kelvora
