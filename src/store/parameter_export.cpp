#include "store/parameter_export.h"

#include <algorithm>
#include <charconv>

#include "kinetics/model_kind.h"
#include "store/number_text.h"

namespace kelvora {

const std::vector<std::string>& ParameterColumnNames() {
  // Grouped as users read them: activation energies, rate constants,
  // amounts, then the lag and its spread.
  static const std::vector<std::string> kNames = {"Ea",  "Ea1", "Ea2", "Eaim", "k",
                                                  "k1",  "k2",  "kim", "No",   "No1",
                                                  "No2", "Nim", "C",   "TAU",  "σ"};
  return kNames;
}

double StoredSingle(float value) {
  const std::string text = ShortestSingle(value);
  double d = value;
  std::from_chars(text.data(), text.data() + text.size(), d);
  return d;
}

Sheet ParameterSheet(const hensuu& store, const std::vector<int>& paraIndexes) {
  const std::vector<std::string>& names = ParameterColumnNames();
  const int first = 2;  // after 名前 and モデル
  const int after = first + static_cast<int>(names.size());
  Sheet sheet;
  sheet.name = "パラメータ一覧";
  std::vector<SheetCell> header = {SheetCell::Text("名前"), SheetCell::Text("モデル")};
  for (const std::string& n : names) header.push_back(SheetCell::Text(n));
  for (const char* n : {"AIC", "残差平方和", "標準温度", "入力方法"}) {
    header.push_back(SheetCell::Text(n));
  }
  const size_t columns = header.size();
  sheet.rows.push_back(std::move(header));
  for (int index : paraIndexes) {
    const ParaRecord& p = store.ParaTable(index + 1);
    std::vector<SheetCell> row(columns);
    row[0] = SheetCell::Text(p.SoilName);
    if (IsValidModel(p.ModelNo)) {
      row[1] = SheetCell::Text(ModelName(p.ModelNo));
      const std::vector<std::string>& slots = ParamNames(p.ModelNo);
      for (size_t s = 0; s < slots.size() && s < p.Param.size(); ++s) {
        const auto at = std::find(names.begin(), names.end(), slots[s]) - names.begin();
        row[static_cast<size_t>(first + at)] = SheetCell::Number(StoredSingle(p.Param[s]));
      }
    } else {
      // A model number no screen knows: kept visible, with no parameters.
      row[1] = SheetCell::Text(std::to_string(p.ModelNo));
    }
    if (!p.IsManual) {
      row[static_cast<size_t>(after)] = SheetCell::Number(StoredSingle(p.Aic));
      row[static_cast<size_t>(after + 1)] = SheetCell::Number(StoredSingle(p.Rss));
    }
    row[static_cast<size_t>(after + 2)] = SheetCell::Number(StoredSingle(p.StdTemp));
    row[static_cast<size_t>(after + 3)] = SheetCell::Text(p.IsManual ? "手入力" : "計算");
    sheet.rows.push_back(std::move(row));
  }
  return sheet;
}

std::string ExportFormatOf(const std::filesystem::path& out) {
  std::string ext = out.extension().string();
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (ext == ".xlsx") return "xlsx";
  if (ext == ".csv") return "csv";
  return std::string();
}

std::string UnknownExportFormatMessage(const std::filesystem::path& out) {
  return "ファイル「" + out.string() +
         "」の形式が分かりません。\n拡張子を .xlsx（Excel）か .csv にして下さい。";
}

std::string ExportParameters(const hensuu& store, const std::vector<int>& paraIndexes,
                             const std::filesystem::path& out) {
  const std::string format = ExportFormatOf(out);
  if (format.empty()) return UnknownExportFormatMessage(out);
  const Sheet sheet = ParameterSheet(store, paraIndexes);
  return format == "xlsx" ? WriteSheetsXlsx(out, {sheet}) : WriteSheetCsv(out, sheet);
}

}  // namespace kelvora
