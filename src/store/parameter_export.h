// The parameter list as a spreadsheet table: one row per parameter set.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "store/hensuu.h"
#include "store/sheet_file.h"

namespace kelvora {

// Parameter names as columns, in this order: every name the results screen
// shows for any model, each once.
const std::vector<std::string>& ParameterColumnNames();

// The value of a stored single as the double whose shortest decimal text is
// the single's (0.1f gives 0.1), so that spreadsheets show what was stored.
double StoredSingle(float value);

// Header 名前, モデル, the parameter columns, AIC, 残差平方和, 標準温度, 入力方法,
// then one row per set of `paraIndexes` (0-based ParaTable positions, in the
// given order; std::out_of_range for one outside the table). A parameter a
// model does not have is blank; AIC and the residual sum of squares are blank
// for hand-entered sets, whose fit values mean nothing.
Sheet ParameterSheet(const hensuu& store, const std::vector<int>& paraIndexes);

// Writes ParameterSheet to `out`, as a workbook for .xlsx and as CSV for
// .csv (case-insensitive); any other extension gives a message. Empty string
// on success, else a message for the user (the old file is untouched).
std::string ExportParameters(const hensuu& store, const std::vector<int>& paraIndexes,
                             const std::filesystem::path& out);

// "xlsx", "csv" or empty: the export format an output file's extension names.
std::string ExportFormatOf(const std::filesystem::path& out);
// The message for an output file whose extension names no export format.
std::string UnknownExportFormatMessage(const std::filesystem::path& out);

}  // namespace kelvora
