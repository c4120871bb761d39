// The six nitrogen-mineralization models: numbers, names, parameters, units
// and the texts the screens show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvora {

// The number is the value stored in ParaRecord::ModelNo.
enum class ModelKind : int16_t {
  Simple = 1,
  SimpleParallel = 2,
  ImmobMinParallel = 3,
  FertSimple = 4,
  SigmoidFert = 5,
  SigmoidFertGauss = 6,
};

constexpr int16_t kModelCount = 6;

bool IsValidModel(int16_t modelNo);

// Display name ("単純型" ...).
const std::string& ModelName(int16_t modelNo);
// Prefix of the progress window's first line ("単純型の" ...).
std::string ProgressPrefix(int16_t modelNo);
// Frame title of the failed-fit dialog ("単純型　初期値" ...).
std::string InitialValuesTitle(int16_t modelNo);

// Number of values in the model's fitted vector (4, 7, 7, 4, 5, 1).
int16_t FittedParamCount(int16_t modelNo);
// Number of parameter slots the model uses in a ParaRecord (4, 7, 7, 4, 5, 6).
int16_t RecordParamCount(int16_t modelNo);

// Names shown on the results screen and in printed reports, per slot.
const std::vector<std::string>& ParamNames(int16_t modelNo);
// Names shown in the failed-fit dialog and the parameter list ("Noim").
const std::vector<std::string>& DialogParamNames(int16_t modelNo);
// Unit texts per slot ("cal/mol", "/day", "mg/100g", "day").
const std::vector<std::string>& ParamUnits(int16_t modelNo);
// The same with the amounts in the unit of the model's material: "mg/100g"
// for a soil, "%" for a coated fertilizer. The windows and exports beyond the
// results screen (which keeps "mg/100g" for both) label amounts with these.
const std::vector<std::string>& MaterialParamUnits(int16_t modelNo);

// Formula texts: results screen (two lines), printed reports.
const std::string& FormulaResultsLine1(int16_t modelNo);
const std::string& FormulaResultsLine2(int16_t modelNo);
// The one-line formula of the parameter list.
const std::string& FormulaListText(int16_t modelNo);
const std::string& FormulaPrintText(int16_t modelNo);

// Unit of the amounts of the material ("(mg/100g)" for 1-3, "(%)" for 4-6).
std::string AmountUnitHeader(int16_t modelNo);

// Which texts of a model are shown: the results screen's (names such as
// "Nim", units, the two formula lines, k of the Gaussian model to four
// decimals), the parameter list's ("Noim", no units, one formula line, every
// k to five decimals) or the printed parameter report's (the results screen's
// names, the list's number patterns, the printed formula).
enum class ModelTexts { Results, List, Report };

// One parameter row of a model.
struct ParamRow {
  std::string name;
  std::string unit;  // empty in the parameter list's and the report's texts
  int decimals = 2;  // of the number pattern: "0", "0.00", "0.0000", "0.00000"
};

// The parameter rows of a model (RecordParamCount rows, in ParaRecord slot
// order) and its formula lines; none for a model number out of range.
std::vector<ParamRow> ModelParamRows(int16_t model, ModelTexts texts);
std::vector<std::string> ModelFormulaLines(int16_t model, ModelTexts texts);

}  // namespace kelvora
