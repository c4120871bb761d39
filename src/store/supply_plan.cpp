#include "store/supply_plan.h"

#include "store/grid_text.h"
#include "store/number_text.h"

namespace kelvora {

namespace {

constexpr size_t kNameCol = 0;
constexpr size_t kModelCol = 1;
constexpr size_t kParamCol = 2;  // Param1 ... Param7 in columns 2 ... 8
constexpr size_t kStdTempCol = 9;
constexpr size_t kDepthCol = 10;
constexpr size_t kDensityCol = 11;
constexpr size_t kKgCol = 12;
constexpr size_t kDateCol = 13;
constexpr size_t kCols = 14;

std::string CellName(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

}  // namespace

const std::vector<std::string>& PlanSourceHeader() {
  static const std::vector<std::string> header{
      "土壌(肥料)名", "モデル",        "Param1",          "Param2", "Param3",
      "Param4",       "Param5",        "Param6",          "Param7", "標準温度",
      "作土深(cm)",   "仮比重(g/cm3)", "施用量(kgN/10a)", "施用日"};
  return header;
}

std::string PlanSourcesText(const std::vector<PlanSource>& sources) {
  std::vector<std::vector<std::string>> rows{PlanSourceHeader()};
  for (const PlanSource& s : sources) {
    std::vector<std::string> row(kCols);
    row[kNameCol] = CellName(s.para.SoilName);
    row[kModelCol] = std::to_string(s.para.ModelNo);
    for (size_t i = 0; i < 7; ++i) row[kParamCol + i] = SingleText(s.para.Param[i]);
    row[kStdTempCol] = SingleText(s.para.StdTemp);
    if (s.IsFertilizer()) {
      row[kKgCol] = SingleText(s.kgPer10a);
      row[kDateCol] = DateText(s.applied);
    } else {
      row[kDepthCol] = SingleText(s.depthCm);
      row[kDensityCol] = SingleText(s.density);
    }
    rows.push_back(std::move(row));
  }
  return JoinGridText(rows);
}

std::optional<std::vector<PlanSource>> ReadPlanSources(const std::string& gridText,
                                                       std::string& problem) {
  const std::vector<std::vector<std::string>> rows = SplitGridText(gridText);
  std::vector<PlanSource> out;
  for (size_t r = 1; r < rows.size(); ++r) {
    const std::vector<std::string>& row = rows[r];
    auto fail = [&](const std::string& what) {
      problem = "供給源の" + std::to_string(r) + "行目の" + what + "が読めません。";
      return std::nullopt;
    };
    if (row.size() != kCols) return fail("項目");
    PlanSource s;
    s.para.SoilName = row[kNameCol];
    const std::optional<double> model = ParseDouble(row[kModelCol]);
    if (!model || *model < 1 || *model > 6 || *model != static_cast<int>(*model)) {
      return fail("モデル");
    }
    s.para.ModelNo = static_cast<int16_t>(*model);
    auto single = [&](size_t col, float& v) {
      const std::optional<float> f = ParseSingle(row[col]);
      if (f) v = *f;
      return f.has_value();
    };
    for (size_t i = 0; i < 7; ++i) {
      if (!single(kParamCol + i, s.para.Param[i])) return fail("パラメータ");
    }
    if (!single(kStdTempCol, s.para.StdTemp)) return fail("標準温度");
    if (s.IsFertilizer()) {
      if (!single(kKgCol, s.kgPer10a)) return fail("施用量");
      const std::optional<CivilDate> d = ParseDateText(row[kDateCol]);
      if (!d) return fail("施用日");
      s.applied = *d;
    } else if (!single(kDepthCol, s.depthCm) || !single(kDensityCol, s.density)) {
      return fail("作土深・仮比重");
    }
    out.push_back(std::move(s));
  }
  if (out.size() > static_cast<size_t>(kMaxPlanSources)) {
    problem = "供給源が" + std::to_string(kMaxPlanSources) + "を超えています。";
    return std::nullopt;
  }
  return out;
}

ParaRecord PlanCopyOf(const ParaRecord& set) {
  ParaRecord copy;
  copy.SoilName = set.SoilName;
  copy.ModelNo = set.ModelNo;
  copy.Param = set.Param;
  copy.StdTemp = set.StdTemp;
  return copy;
}

int16_t FindPlanSeries(const hensuu& store, int16_t number, const std::string& name) {
  if (number < 1 || number > store.TionCount()) return 0;
  return store.TionTable(number).SiteName == name ? number : int16_t{0};
}

std::string MissingSeriesMessage(const std::string& role, const std::string& name) {
  return role + "「" + name +
         "」が見つかりません（削除されたか、名前が変わっています）。\n地温データを選び直して下さい"
         "。";
}

}  // namespace kelvora
