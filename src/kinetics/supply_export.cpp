#include "kinetics/supply_export.h"

#include "kinetics/model_kind.h"
#include "store/number_text.h"
#include "store/parameter_export.h"

namespace kelvora {

namespace {

SheetCell DateCell(const CivilDate& d) { return SheetCell::Date(d.year, d.month, d.day); }

SheetCell AmountCell(const std::optional<double>& v) {
  return v ? SheetCell::Number(*v, 2) : SheetCell::Blank();
}

std::string ParameterText(const ParaRecord& para) {
  std::string text;
  const std::vector<ParamRow> rows = ModelParamRows(para.ModelNo, ModelTexts::List);
  for (size_t i = 0; i < rows.size() && i < para.Param.size(); ++i) {
    if (i) text += ", ";
    text += rows[i].name + "=" + SingleText(para.Param[i]);
  }
  return text;
}

}  // namespace

std::string SourceKindText(const PlanSource& source) {
  return source.IsFertilizer() ? "肥料" : "土壌";
}

std::string ConversionText(const PlanSource& source) {
  if (source.IsFertilizer()) return "施用量 " + SingleText(source.kgPer10a) + " kgN/10a ÷ 100";
  return "作土深 " + SingleText(source.depthCm) + " cm × 仮比重 " + SingleText(source.density) +
         " ÷ 10";
}

std::string SourceColumnTitle(const PlanSource& source, size_t index) {
  return std::to_string(index + 1) + " " + source.para.SoilName + " (kgN/10a)";
}

Sheet SupplySourcesSheet(const SupplyNames& names, const SupplyInput& input,
                         const SupplyResult& result) {
  Sheet sheet;
  sheet.name = "供給源";
  sheet.rows.push_back({SheetCell::Text("計画名："), SheetCell::Text(names.plan)});
  sheet.rows.push_back({SheetCell::Text("地温データ："), SheetCell::Text(names.observed)});
  sheet.rows.push_back({SheetCell::Text("平年値："), names.normal.empty()
                                                         ? SheetCell::Text("（なし）")
                                                         : SheetCell::Text(names.normal)});
  sheet.rows.push_back({SheetCell::Text("期間："), DateCell(input.first), DateCell(input.last)});
  sheet.rows.push_back({});
  sheet.headerRow = static_cast<int>(sheet.rows.size());
  sheet.rows.push_back(
      {SheetCell::Text("番号"), SheetCell::Text("土壌(肥料)名"), SheetCell::Text("種類"),
       SheetCell::Text("モデル"), SheetCell::Text("開始日"), SheetCell::Text("換算"),
       SheetCell::Text("換算係数"), SheetCell::Text("パラメータ"), SheetCell::Text("標準温度(℃)")});
  for (size_t i = 0; i < input.sources.size(); ++i) {
    const PlanSource& s = input.sources[i];
    const bool computed = i < result.sources.size();
    sheet.rows.push_back({SheetCell::Number(static_cast<double>(i + 1)),
                          SheetCell::Text(s.para.SoilName), SheetCell::Text(SourceKindText(s)),
                          IsValidModel(s.para.ModelNo) ? SheetCell::Text(ModelName(s.para.ModelNo))
                                                       : SheetCell::Blank(),
                          computed ? DateCell(result.sources[i].start) : SheetCell::Blank(),
                          SheetCell::Text(ConversionText(s)), SheetCell::Number(SourceFactor(s)),
                          SheetCell::Text(ParameterText(s.para)),
                          SheetCell::Number(StoredSingle(s.para.StdTemp))});
  }
  sheet.columnWidths = {12, 24, 6, 24, 12, 30, 10, 60, 12};
  return sheet;
}

Sheet SupplyDaysSheet(const SupplyInput& input, const SupplyResult& result) {
  Sheet sheet;
  sheet.name = "窒素供給量";
  std::vector<SheetCell> header{SheetCell::Text("年/月/日"), SheetCell::Text("地温(℃)"),
                                SheetCell::Text("予測")};
  for (size_t i = 0; i < input.sources.size(); ++i) {
    header.push_back(SheetCell::Text(SourceColumnTitle(input.sources[i], i)));
  }
  header.push_back(SheetCell::Text("合計 (kgN/10a)"));
  sheet.headerRow = 0;
  sheet.rows.push_back(std::move(header));
  for (const SupplyDay& day : result.days) {
    std::vector<SheetCell> row{
        DateCell(day.date),
        day.temperature ? SheetCell::Number(*day.temperature) : SheetCell::Blank(),
        day.forecast ? SheetCell::Text("予測") : SheetCell::Blank()};
    for (const std::optional<double>& a : day.amounts) row.push_back(AmountCell(a));
    row.push_back(AmountCell(day.total));
    sheet.rows.push_back(std::move(row));
  }
  sheet.columnWidths.assign(3 + input.sources.size() + 1, 16);
  sheet.columnWidths[0] = 12;
  sheet.columnWidths[1] = 9;
  sheet.columnWidths[2] = 6;
  return sheet;
}

std::string ExportSupply(const SupplyNames& names, const SupplyInput& input,
                         const SupplyResult& result, const std::filesystem::path& out) {
  const std::string format = ExportFormatOf(out);
  if (format.empty()) return UnknownExportFormatMessage(out);
  if (!result.ok) return "計算できていない計画は書き出せません。\n" + result.message;
  if (format == "csv") return WriteSheetCsv(out, SupplyDaysSheet(input, result));
  return WriteSheetsXlsx(
      out, {SupplyDaysSheet(input, result), SupplySourcesSheet(names, input, result)});
}

}  // namespace kelvora
