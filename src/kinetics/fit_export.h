// The finished fit of the results screen as a workbook: per incubation
// temperature the observations with the calculated values and residuals of
// every model of the material, and the parameters of every model.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "kinetics/fit_session.h"
#include "store/sheet_file.h"

namespace kelvora {

// The sheets of the fit (nothing of `s` is changed):
// - laboratory: one sheet per incubation temperature that has rows, named
//   after it ("20℃"): 日数, 分析値, then per model of the material its
//   変換日数, 計算値 and 残差 (分析値 − 計算値), one row per day of that column;
// - field: one sheet "圃場" with 試料, 分析値 and the same model columns, one
//   row per sample;
// - "パラメータ": 土壌名（肥料名）, 標準温度（℃）, 最適なモデル, then a table of
//   モデル, パラメータ, 値, 単位 with the rows of every model as the results
//   screen shows them (its names, units and decimals), AIC and 残差平方和.
// A model without fitted values is left out of both.
std::vector<Sheet> FitSheets(const FitSession& s);

// Writes FitSheets to an .xlsx file; any other ending gives a message. Empty
// on success, else the message for the user (the old file is untouched).
std::string ExportFit(const FitSession& s, const std::filesystem::path& out);

}  // namespace kelvora
