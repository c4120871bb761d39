#include "kinetics/estimation_export.h"

#include <string_view>
#include <unordered_map>

#include "kinetics/model_kind.h"
#include "store/date_text.h"
#include "store/number_text.h"
#include "store/parameter_export.h"

namespace kelvora {
namespace {

// The rows of a grid text one after another, without copying: a row ends at
// a CR (an LF right after it belongs to the break), as SplitGridText reads
// grid text; the text after the last CR is the last row.
class GridRows {
 public:
  explicit GridRows(std::string_view text, size_t from = 0) : text_(text), at_(from) {}
  // The next row and where it starts in the text; false after the last.
  bool Next(std::string_view& row, size_t* start = nullptr) {
    if (done_) return false;
    if (start) *start = at_;
    const size_t cr = text_.find('\r', at_);
    if (cr == std::string_view::npos) {
      row = text_.substr(at_);
      done_ = true;
      return true;
    }
    row = text_.substr(at_, cr - at_);
    at_ = cr + 1;
    if (at_ < text_.size() && text_[at_] == '\n') ++at_;
    return true;
  }

 private:
  std::string_view text_;
  size_t at_;
  bool done_ = false;
};

// Cell `c` of a row (cells end at TAB); empty when the row has fewer.
std::string_view Cell(std::string_view row, int c) {
  size_t from = 0;
  for (; c > 0; --c) {
    const size_t tab = row.find('\t', from);
    if (tab == std::string_view::npos) return std::string_view();
    from = tab + 1;
  }
  const size_t end = row.find('\t', from);
  return row.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from);
}

// A stored number text as a number cell (with the pattern's decimals when
// given), an empty text as a blank, anything else as the text itself.
SheetCell NumberOrText(std::string_view text, int decimals) {
  if (text.empty()) return SheetCell::Blank();
  const std::optional<double> v = ParseDouble(text);
  return v ? SheetCell::Number(*v, decimals) : SheetCell::Text(std::string(text));
}

SheetCell DateOrText(std::string_view text) {
  const std::optional<CivilDate> d = ParseDateText(text);
  return d ? SheetCell::Date(d->year, d->month, d->day) : SheetCell::Text(std::string(text));
}

// The unit of a stored estimation without parentheses ("mg/100g", "%"): the
// model's, or the one its table's header holds for a model no screen knows.
std::string UnitOf(const SuiteiRecord& rec) {
  std::string header;
  if (IsValidModel(rec.ModelNo)) {
    header = AmountUnitHeader(rec.ModelNo);
  } else {
    std::string_view row;
    GridRows(rec.GridText).Next(row);
    header = std::string(Cell(row, 1));
  }
  if (header.size() >= 2 && header.front() == '(' && header.back() == ')') {
    header = header.substr(1, header.size() - 2);
  }
  return header;
}

std::string QuantityOf(int16_t modelNo) {
  if (!IsValidModel(modelNo)) return "推定値";
  return modelNo <= 3 ? "無機化量" : "無機化率";
}

// Where the days of a stored estimation lie in the series it was computed
// from: the first series of that name, in table order, whose dates hold the
// estimation's dates in a row and have a temperature exactly on the days
// with an amount, at the first such place.
struct SeriesPlace {
  const TionRecord* series = nullptr;  // none found
  size_t offset = 0;                   // where the row of the first day starts
};

// Whether the estimation's days are those of the series from `offset` on.
bool SameDays(const SuiteiRecord& rec, const TionRecord& series, size_t offset) {
  GridRows days(rec.GridText);
  GridRows seriesDays(series.GridText, offset);
  std::string_view day, seriesDay;
  days.Next(day);  // the header
  while (days.Next(day)) {
    if (!seriesDays.Next(seriesDay) || Cell(day, 0) != Cell(seriesDay, 0) ||
        Cell(day, 1).empty() != Cell(seriesDay, 1).empty()) {
      return false;
    }
  }
  return true;
}

// The places of the estimations `records` (SuiteiTable positions, 1-based),
// found in one pass over the series table: the estimations still looked for
// are kept by site name and first date, so each series is read once and only
// when an estimation of its name is still without its place.
std::vector<SeriesPlace> FindPlaces(const hensuu& store, const std::vector<int>& records) {
  std::vector<SeriesPlace> places(records.size());
  std::unordered_map<std::string_view, std::unordered_map<std::string_view, std::vector<size_t>>>
      waiting;                              // site name -> first date -> positions in `records`
  std::unordered_map<int, size_t> firstOf;  // a record chosen twice is looked for once
  size_t left = 0;
  for (size_t k = 0; k < records.size(); ++k) {
    if (!firstOf.try_emplace(records[k], k).second) continue;
    const SuiteiRecord& rec = store.SuiteiTable(records[k]);
    GridRows rows(rec.GridText);
    std::string_view header, first;
    rows.Next(header);
    if (!rows.Next(first)) continue;  // no days
    waiting[rec.SiteName][Cell(first, 0)].push_back(k);
    ++left;
  }
  for (int t = 1; t <= store.TionCount() && left > 0; ++t) {
    const TionRecord& series = store.TionTable(t);
    const auto site = waiting.find(series.SiteName);
    if (site == waiting.end()) continue;
    auto& byDate = site->second;
    GridRows rows(series.GridText);
    std::string_view row;
    size_t start = 0;
    rows.Next(row);  // the header
    while (!byDate.empty() && rows.Next(row, &start)) {
      const auto date = byDate.find(Cell(row, 0));
      if (date == byDate.end()) continue;
      std::vector<size_t>& ks = date->second;
      for (size_t i = 0; i < ks.size();) {
        if (SameDays(store.SuiteiTable(records[ks[i]]), series, start)) {
          places[ks[i]] = {&series, start};
          ks.erase(ks.begin() + static_cast<std::ptrdiff_t>(i));
          --left;
        } else {
          ++i;
        }
      }
      if (ks.empty()) byDate.erase(date);
    }
    if (byDate.empty()) waiting.erase(site);
  }
  for (size_t k = 0; k < records.size(); ++k) places[k] = places[firstOf.at(records[k])];
  return places;
}

// The days of a stored estimation as the estimation screen and the report
// show them (its result table), each with the soil temperature of that day
// taken from its place in the series.
class EstimationDays {
 public:
  EstimationDays(const SuiteiRecord& rec, const SeriesPlace& place)
      : days_(rec.GridText),
        series_(place.series ? std::string_view(place.series->GridText) : std::string_view(),
                place.offset),
        hasSeries_(place.series != nullptr) {
    std::string_view header;
    days_.Next(header);
  }

  bool Next(SheetCell& date, SheetCell& temperature, SheetCell& amount) {
    std::string_view day;
    if (!days_.Next(day)) return false;
    date = DateOrText(Cell(day, 0));
    amount = NumberOrText(Cell(day, 1), 2);
    std::string_view seriesDay;
    temperature = hasSeries_ && series_.Next(seriesDay) ? NumberOrText(Cell(seriesDay, 1), -1)
                                                        : SheetCell::Blank();
    return true;
  }

 private:
  GridRows days_;
  GridRows series_;
  bool hasSeries_;
};

Sheet SheetOf(const SuiteiRecord& rec, const SeriesPlace& place) {
  Sheet sheet;
  sheet.name = rec.SoilName + "×" + rec.SiteName;
  // A coated fertilizer's name under the estimation screen's own label.
  const bool fertilizer = IsValidModel(rec.ModelNo) && rec.ModelNo >= 4;
  sheet.rows.push_back(
      {SheetCell::Text(fertilizer ? "土壌(肥料)名：" : "土壌名："), SheetCell::Text(rec.SoilName)});
  sheet.rows.push_back({SheetCell::Text("温度データ："), SheetCell::Text(rec.SiteName)});
  sheet.rows.push_back({SheetCell::Text("モデル："), IsValidModel(rec.ModelNo)
                                                         ? SheetCell::Text(ModelName(rec.ModelNo))
                                                         : SheetCell::Blank()});
  sheet.rows.push_back({});
  sheet.headerRow = static_cast<int>(sheet.rows.size());
  const std::string unit = UnitOf(rec);
  sheet.rows.push_back({SheetCell::Text("年/月/日"), SheetCell::Text("地温(℃)"),
                        SheetCell::Text(QuantityOf(rec.ModelNo) +
                                        (unit.empty() ? std::string() : "(" + unit + ")"))});
  EstimationDays days(rec, place);
  std::vector<SheetCell> row(3);
  while (days.Next(row[0], row[1], row[2])) sheet.rows.push_back(row);
  // The caption column holds names: wide enough for a date and the labels.
  sheet.columnWidths = {14, 12, 20};
  return sheet;
}

// The rows of the CSV table of several estimations, one at a time.
class LongTableRows {
 public:
  LongTableRows(const hensuu& store, const std::vector<int>& suiteiIndexes) : store_(store) {
    for (int index : suiteiIndexes) records_.push_back(index + 1);
    places_ = FindPlaces(store, records_);
  }

  bool Next(std::vector<SheetCell>& row) {
    if (!headerDone_) {
      headerDone_ = true;
      row = {SheetCell::Text("名前"), SheetCell::Text("地温データ名"), SheetCell::Text("年/月/日"),
             SheetCell::Text("地温"), SheetCell::Text("推定値"),       SheetCell::Text("単位")};
      return true;
    }
    row.resize(6);
    for (;;) {
      if (!days_) {
        if (next_ >= records_.size()) return false;
        const SuiteiRecord& rec = store_.SuiteiTable(records_[next_]);
        days_.emplace(rec, places_[next_]);
        name_ = SheetCell::Text(rec.SoilName);
        site_ = SheetCell::Text(rec.SiteName);
        unit_ = SheetCell::Text(UnitOf(rec));
        ++next_;
      }
      if (days_->Next(row[2], row[3], row[4])) {
        row[0] = name_;
        row[1] = site_;
        row[5] = unit_;
        return true;
      }
      days_.reset();
    }
  }

 private:
  const hensuu& store_;
  std::vector<int> records_;  // 1-based
  std::vector<SeriesPlace> places_;
  bool headerDone_ = false;
  size_t next_ = 0;
  std::optional<EstimationDays> days_;
  SheetCell name_, site_, unit_;
};

}  // namespace

Sheet EstimationSheet(const hensuu& store, int suiteiIndex) {
  return SheetOf(store.SuiteiTable(suiteiIndex + 1), FindPlaces(store, {suiteiIndex + 1})[0]);
}

Sheet EstimationLongTable(const hensuu& store, const std::vector<int>& suiteiIndexes) {
  Sheet sheet;
  sheet.name = "推定結果";
  LongTableRows rows(store, suiteiIndexes);
  std::vector<SheetCell> row;
  while (rows.Next(row)) sheet.rows.push_back(row);
  return sheet;
}

std::string ExportEstimations(const hensuu& store, const std::vector<int>& suiteiIndexes,
                              const std::filesystem::path& out) {
  const std::string format = ExportFormatOf(out);
  if (format.empty()) return UnknownExportFormatMessage(out);
  if (suiteiIndexes.empty()) return "書き出す推定結果がありません。";
  if (format == "csv") {
    LongTableRows rows(store, suiteiIndexes);
    return WriteRowsCsv(out, [&rows](std::vector<SheetCell>& row) { return rows.Next(row); });
  }
  // One sheet at a time: only the sheet being written is held as cells.
  std::vector<int> records;
  std::vector<std::string> names;
  for (int index : suiteiIndexes) {
    const SuiteiRecord& rec = store.SuiteiTable(index + 1);
    records.push_back(index + 1);
    names.push_back(rec.SoilName + "×" + rec.SiteName);
  }
  const std::vector<SeriesPlace> places = FindPlaces(store, records);
  return WriteSheetsXlsx(
      out, names, [&](size_t i) { return SheetOf(store.SuiteiTable(records[i]), places[i]); });
}

}  // namespace kelvora
