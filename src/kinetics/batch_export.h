// The results of a batch as one spreadsheet table: one row per record and
// model, written through the export writer (.xlsx or .csv). No Qt.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "kinetics/batch_fit.h"
#include "store/sheet_file.h"

namespace kelvora {

// Header 記録, 名前, モデル, the parameter columns by name, 残差平方和, AIC, AICc,
// R², Akaikeの重み, 最適 (○ on the model the fit chose), then 選択 (○ on the
// model chosen for storing) when `chosen` is given (one entry per row), and
// 注意 (the statistics' warnings). A record that was not fitted has one row
// with its message under 注意.
Sheet BatchSheet(const std::vector<BatchRow>& rows, const std::vector<int16_t>* chosen = nullptr);

// Writes BatchSheet to `out` as a workbook (.xlsx) or CSV (.csv). Empty on
// success, else the message for the user (the old file is untouched).
std::string ExportBatch(const std::vector<BatchRow>& rows, const std::filesystem::path& out,
                        const std::vector<int16_t>* chosen = nullptr);

}  // namespace kelvora
