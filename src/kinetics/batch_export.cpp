#include "kinetics/batch_export.h"

#include <algorithm>

#include "kinetics/model_kind.h"
#include "store/parameter_export.h"

namespace kelvora {
namespace {

SheetCell Optional(const std::optional<double>& v) {
  return v ? SheetCell::Number(*v) : SheetCell::Blank();
}

std::string Joined(const std::vector<std::string>& texts) {
  std::string out;
  for (const std::string& t : texts) out += (out.empty() ? "" : "／") + t;
  return out;
}

}  // namespace

Sheet BatchSheet(const std::vector<BatchRow>& rows, const std::vector<int16_t>* chosen) {
  const std::vector<std::string>& names = ParameterColumnNames();
  Sheet sheet;
  sheet.name = "一括計算";
  std::vector<SheetCell> header = {SheetCell::Text("記録"), SheetCell::Text("名前"),
                                   SheetCell::Text("モデル")};
  for (const std::string& n : names) header.push_back(SheetCell::Text(n));
  for (const char* n : {"残差平方和", "AIC", "AICc", "R²", "Akaikeの重み", "最適"}) {
    header.push_back(SheetCell::Text(n));
  }
  if (chosen) header.push_back(SheetCell::Text("選択"));
  header.push_back(SheetCell::Text("注意"));
  const size_t columns = header.size();
  const size_t first = 3, after = first + names.size();
  sheet.rows.push_back(std::move(header));
  for (size_t i = 0; i < rows.size(); ++i) {
    const BatchRow& row = rows[i];
    auto start = [&] {
      std::vector<SheetCell> cells(columns);
      cells[0] = SheetCell::Number(row.record);
      cells[1] = SheetCell::Text(row.name);
      return cells;
    };
    if (!row.ok()) {
      std::vector<SheetCell> cells = start();
      cells[columns - 1] = SheetCell::Text(row.message);
      sheet.rows.push_back(std::move(cells));
      continue;
    }
    for (const BatchModelRow& m : row.models) {
      std::vector<SheetCell> cells = start();
      cells[2] = SheetCell::Text(ModelName(m.model));
      const std::vector<std::string>& slots = ParamNames(m.model);
      for (size_t s = 0; s < slots.size() && s < m.values.size(); ++s) {
        const size_t at =
            static_cast<size_t>(std::find(names.begin(), names.end(), slots[s]) - names.begin());
        if (at < names.size()) cells[first + at] = SheetCell::Number(StoredSingle(m.values[s]));
      }
      cells[after] = SheetCell::Number(StoredSingle(m.rss));
      cells[after + 1] = SheetCell::Number(StoredSingle(m.aic));
      cells[after + 2] = Optional(m.aicc);
      cells[after + 3] = Optional(m.r2);
      cells[after + 4] = Optional(m.akaikeWeight);
      if (m.model == row.best) cells[after + 5] = SheetCell::Text("○");
      if (chosen && i < chosen->size() && (*chosen)[i] == m.model) {
        cells[after + 6] = SheetCell::Text("○");
      }
      if (!m.warnings.empty()) cells[columns - 1] = SheetCell::Text(Joined(m.warnings));
      sheet.rows.push_back(std::move(cells));
    }
  }
  return sheet;
}

std::string ExportBatch(const std::vector<BatchRow>& rows, const std::filesystem::path& out,
                        const std::vector<int16_t>* chosen) {
  const std::string format = ExportFormatOf(out);
  if (format.empty()) return UnknownExportFormatMessage(out);
  const Sheet sheet = BatchSheet(rows, chosen);
  return format == "xlsx" ? WriteSheetsXlsx(out, {sheet}) : WriteSheetCsv(out, sheet);
}

}  // namespace kelvora
