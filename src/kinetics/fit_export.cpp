#include "kinetics/fit_export.h"

#include <array>
#include <optional>

#include "kinetics/fit_sequence.h"
#include "kinetics/model_kind.h"
#include "store/number_text.h"
#include "store/parameter_export.h"

namespace kelvora {

namespace {

// Fitted values exist for the model (a model the sequence did not reach has none).
bool HasFit(const FitSession& s, int16_t m) {
  if (m == 6) return !s.params[6].empty() && s.params[5].size() >= 5;
  return static_cast<int>(s.params[m].size()) >= FittedParamCount(m);
}

SheetCell NumberOrBlank(const std::optional<double>& v) {
  return v ? SheetCell::Number(*v) : SheetCell::Blank();
}

std::optional<double> Value(const std::vector<std::optional<CellValue>>& column, int r) {
  if (r < 0 || r >= static_cast<int>(column.size()) || !column[r]) return std::nullopt;
  return column[r]->value;
}

// One evaluated model: its adjusted days and calculated values per cell.
struct Evaluated {
  int16_t model = 0;
  std::array<std::vector<std::optional<CellValue>>, 4> adjTime;
  std::array<std::vector<std::optional<CellValue>>, 4> calc;
};

std::vector<Evaluated> EvaluateModels(const FitSession& s) {
  std::vector<Evaluated> out;
  for (int16_t m : MaterialModels(s.material)) {
    if (!HasFit(s, m)) continue;
    // A copy, so that the screen's own tables and chart stay as they are.
    FitSession copy = s;
    EvaluateForChart(copy, m);
    out.push_back({m, copy.adjTime, copy.calc});
  }
  return out;
}

void AddModelHeaders(std::vector<SheetCell>& header, const std::vector<Evaluated>& models) {
  for (const Evaluated& e : models) {
    const std::string name = ModelName(e.model);
    header.push_back(SheetCell::Text(name + " 変換日数"));
    header.push_back(SheetCell::Text(name + " 計算値"));
    header.push_back(SheetCell::Text(name + " 残差"));
  }
}

void AddModelCells(std::vector<SheetCell>& row, const std::vector<Evaluated>& models, int c, int r,
                   const std::optional<double>& observed) {
  for (const Evaluated& e : models) {
    const std::optional<double> calc = Value(e.calc[c], r);
    row.push_back(NumberOrBlank(Value(e.adjTime[c], r)));
    row.push_back(NumberOrBlank(calc));
    row.push_back(observed && calc ? SheetCell::Number(*observed - *calc) : SheetCell::Blank());
  }
}

Sheet LaboratorySheet(const FitSession& s, const std::vector<Evaluated>& models, int c) {
  Sheet sheet;
  const std::string temp = s.tempText[c];
  sheet.name = temp.empty() ? "温度" + std::to_string(c) : temp + "℃";
  std::vector<SheetCell> header{SheetCell::Text("日数"), SheetCell::Text("分析値")};
  AddModelHeaders(header, models);
  sheet.rows.push_back(header);
  for (int r = 1; r <= s.colRows[c]; ++r) {
    std::vector<SheetCell> row;
    row.push_back(r < static_cast<int>(s.dayList.size())
                      ? SheetCell::Number(StoredSingle(s.dayList[r]))
                      : SheetCell::Blank());
    const std::string& text = r < static_cast<int>(s.observed[c].size()) ? s.observed[c][r] : "";
    const std::optional<double> observed = text.empty() ? std::nullopt : ParseDouble(text);
    // The analysed amount as it was typed; a text that is no number stays text.
    row.push_back(observed       ? SheetCell::Number(*observed)
                  : text.empty() ? SheetCell::Blank()
                                 : SheetCell::Text(text));
    AddModelCells(row, models, c, r, observed);
    sheet.rows.push_back(std::move(row));
  }
  return sheet;
}

Sheet FieldSheet(const FitSession& s, const std::vector<Evaluated>& models) {
  Sheet sheet;
  sheet.name = "圃場";
  std::vector<SheetCell> header{SheetCell::Text("試料"), SheetCell::Text("分析値")};
  AddModelHeaders(header, models);
  sheet.rows.push_back(header);
  for (int i = 1; i <= s.obsCount; ++i) {
    std::vector<SheetCell> row{SheetCell::Number(i)};
    std::optional<double> observed;
    if (i < static_cast<int>(s.fieldObserved.size())) observed = StoredSingle(s.fieldObserved[i]);
    row.push_back(NumberOrBlank(observed));
    AddModelCells(row, models, 1, i, observed);
    sheet.rows.push_back(std::move(row));
  }
  return sheet;
}

Sheet ParameterRows(const FitSession& s) {
  Sheet sheet;
  sheet.name = "パラメータ";
  sheet.rows.push_back({SheetCell::Text("土壌名（肥料名）"), SheetCell::Text(s.sampleName)});
  sheet.rows.push_back(
      {SheetCell::Text("標準温度（℃）"), SheetCell::Number(StoredSingle(s.standardTemp))});
  sheet.rows.push_back({SheetCell::Text("最適なモデル"), SheetCell::Text(s.bestModelName)});
  sheet.rows.push_back({});
  sheet.headerRow = static_cast<int>(sheet.rows.size());
  sheet.rows.push_back({SheetCell::Text("モデル"), SheetCell::Text("パラメータ"),
                        SheetCell::Text("値"), SheetCell::Text("単位")});
  for (int16_t m : MaterialModels(s.material)) {
    if (!HasFit(s, m)) continue;
    const std::vector<float> values = RecordParams(s, m);
    const std::vector<ParamRow> rows = ModelParamRows(m, ModelTexts::Results);
    // The names and decimals of the results screen, the amounts in the
    // material's unit (a fertilizer's in %).
    const std::vector<std::string>& units = MaterialParamUnits(m);
    for (size_t i = 0; i < rows.size() && i < values.size(); ++i) {
      const std::string unit = i < units.size() ? units[i] : std::string();
      sheet.rows.push_back({SheetCell::Text(ModelName(m)), SheetCell::Text(rows[i].name),
                            SheetCell::Number(StoredSingle(values[i]), rows[i].decimals),
                            unit.empty() ? SheetCell::Blank() : SheetCell::Text(unit)});
    }
    sheet.rows.push_back({SheetCell::Text(ModelName(m)), SheetCell::Text("AIC"),
                          SheetCell::Number(StoredSingle(s.aic[m]), 2), SheetCell::Blank()});
    sheet.rows.push_back({SheetCell::Text(ModelName(m)), SheetCell::Text("残差平方和"),
                          SheetCell::Number(StoredSingle(s.rss[m]), 2), SheetCell::Blank()});
  }
  sheet.columnWidths = {28, 12, 14, 10};
  return sheet;
}

}  // namespace

std::vector<Sheet> FitSheets(const FitSession& s) {
  const std::vector<Evaluated> models = EvaluateModels(s);
  std::vector<Sheet> sheets;
  if (s.source == FitSource::Field) {
    sheets.push_back(FieldSheet(s, models));
  } else {
    for (int c = 1; c <= 3; ++c) {
      if (s.colRows[c] > 0) sheets.push_back(LaboratorySheet(s, models, c));
    }
  }
  sheets.push_back(ParameterRows(s));
  return sheets;
}

std::string ExportFit(const FitSession& s, const std::filesystem::path& out) {
  if (ExportFormatOf(out) != "xlsx") {
    return "ファイル「" + out.string() +
           "」には書き出せません。\n拡張子を .xlsx（Excel ブック）にして下さい。";
  }
  return WriteSheetsXlsx(out, FitSheets(s));
}

}  // namespace kelvora
