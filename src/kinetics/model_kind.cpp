#include "kinetics/model_kind.h"

#include <array>
#include <stdexcept>

namespace kelvora {
namespace {

struct ModelTable {
  std::string name;
  std::vector<std::string> params;
  std::vector<std::string> dialogParams;
  std::vector<std::string> units;
  std::string results1, results2, list, print;
  int16_t fitted;
};

const ModelTable& Texts(int16_t m) {
  static const ModelTable kModels[] = {
      {"単純型",
       {"Ea", "k", "No", "C"},
       {"Ea", "k", "No", "C"},
       {"cal/mol", "/day", "mg/100g", "mg/100g"},
       "N = No(1-exp(-kt))+C",
       "",
       "N = No(1-exp(-k・t))+C",
       "N = No(1-exp(-k・t)) + C",
       4},
      {"単純並行型",
       {"Ea1", "Ea2", "k1", "k2", "No1", "No2", "C"},
       {"Ea1", "Ea2", "k1", "k2", "No1", "No2", "C"},
       {"cal/mol", "cal/mol", "/day", "/day", "mg/100g", "mg/100g", "mg/100g"},
       "N = No1(1-exp(-k1・t))",
       "+No2(1-exp(-k2・t))+C",
       "N = No1(1-exp(-k1・t))+No2(1-exp(-k2・t))+C",
       "N = No1(1-exp(-k1・t)) + No2(1-exp(-k2・t)) + C",
       7},
      {"有機化無機化並行型",
       {"Ea", "Eaim", "k", "kim", "No", "Nim", "C"},
       {"Ea", "Eaim", "k", "kim", "No", "Noim", "C"},
       {"cal/mol", "cal/mol", "/day", "/day", "mg/100g", "mg/100g", "mg/100g"},
       "N = No(1-exp(-k・t))",
       "- Nim(1-exp(-kim・t))+C",
       "N = No(1-exp(-k・t))- Nim(1-exp(-kim・t))+C",
       "N = No(1-exp(-k・t)) - Nim(1-exp(-kim・t)) + C",
       7},
      {"肥料単純型",
       {"Ea", "k", "No", "C"},
       {"Ea", "k", "No", "C"},
       {"cal/mol", "/day", "mg/100g", "mg/100g"},
       "N = No(1-exp(-k・t))+C",
       "",
       "N = No(1-exp(-k・t))+C",
       "N = No(1-exp(-k・t)) ",
       4},
      {"シグモイド肥料型",
       {"Ea1", "k", "No", "TAU", "Ea2"},
       {"Ea1", "k", "No", "TAU", "Ea2"},
       {"cal/mol", "/day", "mg/100g", "day", "cal/mol"},
       "N = No(1-exp(-k・(t-TAU)))",
       "",
       "N = No(1-exp(-k・(t-TAU)))",
       "N = No(1-exp(-k・(t - TAU))) ",
       5},
      {"シグモイド肥料ガウス補正型",
       {"Ea1", "k", "No", "TAU", "Ea2", "σ"},
       {"Ea1", "k", "No", "TAU", "Ea2", "σ"},
       {"cal/mol", "/day", "mg/100g", "day", "cal/mol", "day"},
       "N = No(1-exp(-k・tk))",
       "tk = ΣDexp(Ea1(T-Ts)/RTTs)",
       "N = No(1-exp(-k・tk))",
       "N = No(1-exp(-k・tk))",
       1},
  };
  if (!IsValidModel(m)) throw std::out_of_range("model number out of range");
  return kModels[m - 1];
}

}  // namespace

bool IsValidModel(int16_t modelNo) { return modelNo >= 1 && modelNo <= kModelCount; }

const std::string& ModelName(int16_t m) { return Texts(m).name; }
std::string ProgressPrefix(int16_t m) { return Texts(m).name + "の"; }
std::string InitialValuesTitle(int16_t m) { return Texts(m).name + "\u3000初期値"; }
int16_t FittedParamCount(int16_t m) { return Texts(m).fitted; }
int16_t RecordParamCount(int16_t m) { return static_cast<int16_t>(Texts(m).params.size()); }
const std::vector<std::string>& ParamNames(int16_t m) { return Texts(m).params; }
const std::vector<std::string>& DialogParamNames(int16_t m) { return Texts(m).dialogParams; }
const std::vector<std::string>& ParamUnits(int16_t m) { return Texts(m).units; }
const std::string& FormulaResultsLine1(int16_t m) { return Texts(m).results1; }
const std::string& FormulaResultsLine2(int16_t m) { return Texts(m).results2; }
const std::string& FormulaListText(int16_t m) { return Texts(m).list; }
const std::string& FormulaPrintText(int16_t m) { return Texts(m).print; }
std::string AmountUnitHeader(int16_t m) { return m <= 3 ? "(mg/100g)" : "(%)"; }

const std::vector<std::string>& MaterialParamUnits(int16_t m) {
  static const std::array<std::vector<std::string>, kModelCount> kUnits = [] {
    std::array<std::vector<std::string>, kModelCount> units;
    for (int16_t model = 1; model <= kModelCount; ++model) {
      std::vector<std::string>& u = units[model - 1];
      u = ParamUnits(model);
      if (model <= 3) continue;
      for (std::string& unit : u) {
        if (unit == "mg/100g") unit = "%";
      }
    }
    return units;
  }();
  if (!IsValidModel(m)) throw std::out_of_range("model number out of range");
  return kUnits[m - 1];
}

namespace {

// Ea: whole numbers; rate constants: five decimals (four for the Gaussian
// model on the results screen); amounts, TAU and sigma: two.
int Decimals(const std::string& name, int16_t model, ModelTexts texts) {
  if (name.rfind("Ea", 0) == 0) return 0;
  if (name.rfind("k", 0) == 0) return texts == ModelTexts::Results && model == 6 ? 4 : 5;
  return 2;
}

}  // namespace

std::vector<ParamRow> ModelParamRows(int16_t model, ModelTexts texts) {
  std::vector<ParamRow> rows;
  if (!IsValidModel(model)) return rows;
  const std::vector<std::string>& names =
      texts == ModelTexts::List ? DialogParamNames(model) : ParamNames(model);
  const std::vector<std::string>& units = ParamUnits(model);
  for (size_t i = 0; i < names.size(); ++i) {
    ParamRow row;
    row.name = names[i];
    if (texts == ModelTexts::Results && i < units.size()) row.unit = units[i];
    row.decimals = Decimals(names[i], model, texts);
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> ModelFormulaLines(int16_t model, ModelTexts texts) {
  if (!IsValidModel(model)) return {};
  switch (texts) {
    case ModelTexts::List:
      return {FormulaListText(model)};
    case ModelTexts::Report:
      return {FormulaPrintText(model)};
    case ModelTexts::Results:
      break;
  }
  return {FormulaResultsLine1(model), FormulaResultsLine2(model)};
}

}  // namespace kelvora
