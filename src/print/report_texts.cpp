#include "print/report_texts.h"

#include <cmath>

#include "kinetics/model_kind.h"
#include "store/grid_text.h"
#include "store/number_text.h"

namespace kelvora {

ParameterBlock MakeParameterBlock(const ParaRecord& record) {
  ParameterBlock block;
  block.soilName = record.SoilName;
  const int16_t model = record.ModelNo;
  if (IsValidModel(model)) {
    block.modelName = ModelName(model);
    block.formula = ModelFormulaLines(model, ModelTexts::Report).front();
  }
  const std::vector<ParamRow> rows = ModelParamRows(model, ModelTexts::Report);
  for (size_t i = 0; i < rows.size() && i < record.Param.size(); ++i) {
    const std::string value = FormatFixed(record.Param[i], rows[i].decimals);
    if (i < 5) {
      block.names1[i] = rows[i].name;
      block.values1[i] = value;
    } else {
      block.names2[i - 5] = rows[i].name;
      block.values2[i - 5] = value;
    }
  }
  block.names2[2] = "AIC";
  block.values2[2] = FormatFixed(record.Aic, 2);
  block.names2[3] = "残差平方和";
  block.values2[3] = FormatFixed(record.Rss, 2);
  block.names2[4] = "標準温度（℃）";
  block.values2[4] = SingleText(record.StdTemp);
  return block;
}

EstimationTexts EstimationReportTexts(int16_t modelNo) {
  if (!IsValidModel(modelNo)) return {};
  if (modelNo <= 3) return {ModelName(modelNo), "無機化量", "mg/100g"};
  return {ModelName(modelNo), "無機化率", "％"};
}

std::vector<ReportPageText> EstimationReportPages(const SuiteiRecord& record, double h) {
  // Each line's y is rounded to a whole twip (half to even) as it is placed.
  auto step = [](double y, double by) { return std::nearbyint(y + by); };
  const EstimationTexts texts = EstimationReportTexts(record.ModelNo);
  const std::string header = "年/月/日" + std::string(7, ' ') + texts.quantity;
  const std::string unitLine = std::string(20, ' ') + texts.unit;

  std::vector<ReportPageText> pages(1);
  double x = kEstimationColumnX[0];
  double y = std::nearbyint(h + kEstimationTop);
  auto put = [&](const std::string& text) { pages.back().push_back({x, y, text}); };
  put("土壌名： ");
  y = step(y, h);
  put(record.SoilName);
  y = step(y, 2 * h);
  put("温度データ： ");
  y = step(y, h);
  put(record.SiteName);
  y = step(y, 2 * h);
  put("モデル： ");
  y = step(y, h);
  put(texts.model);
  y = step(y, h);  // an empty line
  y = step(y, h);
  put(header);
  y = step(y, h);
  put(unitLine);

  // Later columns start under a column header of their own.
  const double columnTop = std::nearbyint(9 * h + kEstimationTop);
  int column = 0;
  int inColumn = 0;
  const std::vector<std::vector<std::string>> rows = SplitGridText(record.GridText);
  for (size_t r = 1; r < rows.size(); ++r) {
    const std::vector<std::string>& row = rows[r];
    const std::string date = row.empty() ? std::string() : row[0];
    const std::string amount = row.size() > 1 ? row[1] : std::string();
    y = step(y, h);
    put(date + std::string(5, ' ') + amount);
    if (++inColumn < kRowsPerColumn) continue;
    // The column is full: the next one gets its header, on a new page after
    // the fourth, also when no row follows.
    inColumn = 0;
    if (++column == kColumnsPerPage) {
      column = 0;
      pages.emplace_back();
    }
    x = kEstimationColumnX[column];
    y = step(columnTop, h);
    put(header);
    y = step(y, h);
    put(unitLine);
  }
  return pages;
}

}  // namespace kelvora
