#include "kinetics/estimation_export.h"

#include "kinetics/estimation.h"
#include "kinetics/model_kind.h"
#include "store/date_text.h"
#include "store/grid_text.h"
#include "store/number_text.h"
#include "store/parameter_export.h"

namespace kelvora {
namespace {

// One day of a stored estimation, with the temperature of its series.
struct EstimationDay {
  SheetCell date;         // a date, or the text as stored when it is none
  SheetCell temperature;  // blank when the series is not found or the day has none
  SheetCell amount;       // the stored amount ("0.00"), blank for a day without one
};

// A stored number text as a number cell (with the pattern's decimals when
// given), an empty text as a blank, anything else as the text itself.
SheetCell NumberOrText(const std::string& text, int decimals) {
  if (text.empty()) return SheetCell::Blank();
  const std::optional<double> v = ParseDouble(text);
  return v ? SheetCell::Number(*v, decimals) : SheetCell::Text(text);
}

SheetCell DateOrText(const std::string& text) {
  const std::optional<CivilDate> d = ParseDateText(text);
  return d ? SheetCell::Date(d->year, d->month, d->day) : SheetCell::Text(text);
}

// The unit of a stored estimation without parentheses ("mg/100g", "%"): the
// model's, or the one its table's header holds for a model no screen knows.
std::string UnitOf(const SuiteiRecord& rec, const std::vector<std::vector<std::string>>& rows) {
  std::string header = IsValidModel(rec.ModelNo)             ? AmountUnitHeader(rec.ModelNo)
                       : !rows.empty() && rows[0].size() > 1 ? rows[0][1]
                                                             : std::string();
  if (header.size() >= 2 && header.front() == '(' && header.back() == ')') {
    header = header.substr(1, header.size() - 2);
  }
  return header;
}

std::string QuantityOf(int16_t modelNo) {
  if (!IsValidModel(modelNo)) return "推定値";
  return modelNo <= 3 ? "無機化量" : "無機化率";
}

// The series days the estimation's rows were computed from, or nothing.
std::optional<SeriesDays> FindSeries(const hensuu& store, const SuiteiRecord& rec,
                                     const std::vector<std::vector<std::string>>& rows,
                                     int& firstDay) {
  const int count = static_cast<int>(rows.size()) - 1;
  if (count < 1) return std::nullopt;
  auto cell = [&](int r, size_t c) {
    return c < rows[static_cast<size_t>(r)].size() ? rows[static_cast<size_t>(r)][c]
                                                   : std::string();
  };
  for (int t = 1; t <= store.TionCount(); ++t) {
    const TionRecord& tion = store.TionTable(t);
    if (tion.SiteName != rec.SiteName) continue;
    SeriesDays days = Data_Separate(tion.GridText);
    for (int start = 1; start + count - 1 <= days.seriesDays; ++start) {
      bool same = true;
      for (int r = 1; r <= count && same; ++r) {
        const int d = start + r - 1;
        same = days.seriesDates[static_cast<size_t>(d)] == cell(r, 0) &&
               days.seriesTemps[static_cast<size_t>(d)].empty() == cell(r, 1).empty();
      }
      if (same) {
        firstDay = start;
        return days;
      }
    }
  }
  return std::nullopt;
}

// The days of a stored estimation as the estimation screen and the report
// show them (its result table, split once by the caller, which also reads the
// unit from the rows), each with the soil temperature of that day taken from
// the series the estimation was computed from: the first series of that name
// whose dates hold the estimation's dates in a row and have a temperature
// exactly on the days with an amount.
std::vector<EstimationDay> DaysOf(const hensuu& store, const SuiteiRecord& rec,
                                  const std::vector<std::vector<std::string>>& rows) {
  int firstDay = 0;
  const std::optional<SeriesDays> series = FindSeries(store, rec, rows, firstDay);
  std::vector<EstimationDay> days;
  for (size_t r = 1; r < rows.size(); ++r) {
    const std::vector<std::string>& row = rows[r];
    EstimationDay day;
    day.date = DateOrText(row.empty() ? std::string() : row[0]);
    day.amount = NumberOrText(row.size() > 1 ? row[1] : std::string(), 2);
    if (series) {
      const size_t d = static_cast<size_t>(firstDay) + r - 1;
      day.temperature = NumberOrText(series->seriesTemps[d], -1);
    }
    days.push_back(std::move(day));
  }
  return days;
}

}  // namespace

Sheet EstimationSheet(const hensuu& store, int suiteiIndex) {
  const SuiteiRecord& rec = store.SuiteiTable(suiteiIndex + 1);
  const std::vector<std::vector<std::string>> rows = SplitGridText(rec.GridText);
  Sheet sheet;
  sheet.name = rec.SoilName + "×" + rec.SiteName;
  sheet.rows.push_back({SheetCell::Text("土壌名："), SheetCell::Text(rec.SoilName)});
  sheet.rows.push_back({SheetCell::Text("温度データ："), SheetCell::Text(rec.SiteName)});
  sheet.rows.push_back({SheetCell::Text("モデル："), IsValidModel(rec.ModelNo)
                                                         ? SheetCell::Text(ModelName(rec.ModelNo))
                                                         : SheetCell::Blank()});
  sheet.rows.push_back({});
  sheet.headerRow = static_cast<int>(sheet.rows.size());
  const std::string unit = UnitOf(rec, rows);
  sheet.rows.push_back({SheetCell::Text("年/月/日"), SheetCell::Text("地温(℃)"),
                        SheetCell::Text(QuantityOf(rec.ModelNo) +
                                        (unit.empty() ? std::string() : "(" + unit + ")"))});
  for (EstimationDay& d : DaysOf(store, rec, rows)) {
    sheet.rows.push_back({std::move(d.date), std::move(d.temperature), std::move(d.amount)});
  }
  // The caption column holds names: wide enough for a date and the labels.
  sheet.columnWidths = {14, 12, 20};
  return sheet;
}

Sheet EstimationLongTable(const hensuu& store, const std::vector<int>& suiteiIndexes) {
  Sheet sheet;
  sheet.name = "推定結果";
  sheet.rows.push_back({SheetCell::Text("名前"), SheetCell::Text("地温データ名"),
                        SheetCell::Text("年/月/日"), SheetCell::Text("地温"),
                        SheetCell::Text("推定値"), SheetCell::Text("単位")});
  for (int index : suiteiIndexes) {
    const SuiteiRecord& rec = store.SuiteiTable(index + 1);
    const std::vector<std::vector<std::string>> rows = SplitGridText(rec.GridText);
    const std::string unit = UnitOf(rec, rows);
    for (EstimationDay& d : DaysOf(store, rec, rows)) {
      sheet.rows.push_back({SheetCell::Text(rec.SoilName), SheetCell::Text(rec.SiteName),
                            std::move(d.date), std::move(d.temperature), std::move(d.amount),
                            SheetCell::Text(unit)});
    }
  }
  return sheet;
}

std::string ExportEstimations(const hensuu& store, const std::vector<int>& suiteiIndexes,
                              const std::filesystem::path& out) {
  const std::string format = ExportFormatOf(out);
  if (format.empty()) return UnknownExportFormatMessage(out);
  if (suiteiIndexes.empty()) return "書き出す推定結果がありません。";
  if (format == "csv") return WriteSheetCsv(out, EstimationLongTable(store, suiteiIndexes));
  std::vector<Sheet> sheets;
  for (int index : suiteiIndexes) sheets.push_back(EstimationSheet(store, index));
  return WriteSheetsXlsx(out, sheets);
}

}  // namespace kelvora
