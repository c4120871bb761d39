// Stored estimations as spreadsheet tables: one sheet per estimation in a
// workbook, or one long CSV table.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "store/hensuu.h"
#include "store/sheet_file.h"

namespace kelvora {

// The sheet of one estimation: the three caption lines of the report
// (土壌名 — for a coated fertilizer the estimation screen's 土壌(肥料)名 —,
// 温度データ, モデル), a blank line, the header 年/月/日, 地温(℃) and the
// quantity with its unit ("無機化量(mg/100g)", "無機化率(%)"), then the days.
// Each day's temperature is that of the series the estimation was computed
// from: the first series of its name whose dates hold the estimation's dates
// in a row and have a temperature exactly on the days with an amount.
Sheet EstimationSheet(const hensuu& store, int suiteiIndex);

// The CSV table of several estimations: 名前, 地温データ名, 年/月/日, 地温,
// 推定値, 単位, one row per day of each estimation in the given order.
Sheet EstimationLongTable(const hensuu& store, const std::vector<int>& suiteiIndexes);

// Writes the estimations of `suiteiIndexes` (0-based SuiteiTable positions)
// to `out`: a workbook of one sheet each for .xlsx, EstimationLongTable for
// .csv. Empty string on success, else a message for the user (the old file
// is untouched). Each series is read once for all the estimations, and only
// one sheet is held as cells at a time.
std::string ExportEstimations(const hensuu& store, const std::vector<int>& suiteiIndexes,
                              const std::filesystem::path& out);

}  // namespace kelvora
