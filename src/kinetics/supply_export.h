// A computed nitrogen supply plan as spreadsheet tables: the days (date,
// temperature, forecast mark, kg N/10a of every source and the total) and,
// in a workbook, a sheet of the plan's sources and their conversions.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "kinetics/supply.h"
#include "store/sheet_file.h"

namespace kelvora {

// The names a plan is shown with.
struct SupplyNames {
  std::string plan;
  std::string observed;  // the observed series
  std::string normal;    // the normal-year series; empty for none
};

// The kind of a source as the tables and the command line name it:
// "土壌" / "肥料".
std::string SourceKindText(const PlanSource& source);
// The conversion of a source in words: "作土深 15 cm × 仮比重 1 ÷ 10" or
// "施用量 4 kgN/10a ÷ 100".
std::string ConversionText(const PlanSource& source);
// The column heading of a source's amounts: "1 灰色低地土 (kgN/10a)".
std::string SourceColumnTitle(const PlanSource& source, size_t index);

// The sources sheet: the plan's names and days, then one row per source
// (number, name, kind, model, start day, conversion, factor, parameters,
// standard temperature).
Sheet SupplySourcesSheet(const SupplyNames& names, const SupplyInput& input,
                         const SupplyResult& result);
// The days: 年/月/日, 地温(℃), 予測 (a mark on forecast days), a column per
// source and 合計, amounts in kg N/10a with two decimals (the workbook keeps
// the whole value), empty where a day has none.
Sheet SupplyDaysSheet(const SupplyInput& input, const SupplyResult& result);

// Writes the plan to `out`: a workbook of the days and the sources for
// .xlsx, the days for .csv. Empty on success, else a message for the user
// (the old file is untouched).
std::string ExportSupply(const SupplyNames& names, const SupplyInput& input,
                         const SupplyResult& result, const std::filesystem::path& out);

}  // namespace kelvora
