#include "kinetics/supply.h"

#include <cmath>
#include <unordered_map>

#include "kinetics/estimation.h"
#include "kinetics/lab_table.h"
#include "kinetics/model_kind.h"
#include "store/grid_text.h"
#include "store/number_text.h"
#include "store/temperature_file.h"

namespace kelvora {

namespace {

// The temperature texts of a series by key (the day number, or the month and
// day for the normal year). A key that comes twice with a temperature is
// refused: which one counts would be a guess.
bool ReadTemperatures(const std::string& grid, bool byMonthDay, const std::string& role,
                      std::unordered_map<int64_t, std::string>& out, std::string& message) {
  const std::vector<std::vector<std::string>> rows = SplitGridText(grid);
  for (size_t r = 1; r < rows.size(); ++r) {
    if (rows[r].size() < 2 || rows[r][1].empty()) continue;
    const std::optional<CivilDate> date = ParseDateText(rows[r][0]);
    if (!date) continue;
    const int64_t key = byMonthDay ? date->month * 100 + date->day : DayNumber(*date);
    if (!out.emplace(key, rows[r][1]).second) {
      message =
          role + "に" +
          (byMonthDay ? std::to_string(date->month) + "月" + std::to_string(date->day) +
                            "日が2回以上あります（平年値には1年分の地温データを選んで下さい）。"
                      : DateText(*date) + "が2回以上あります。");
      return false;
    }
  }
  return true;
}

std::string SourceName(const PlanSource& s, size_t i) {
  return "供給源" + std::to_string(i + 1) + "「" + s.para.SoilName + "」";
}

// Why a source cannot be computed; empty when it can.
std::string CheckSource(const PlanSource& s, size_t i, const SupplyInput& in) {
  const std::string name = SourceName(s, i);
  if (!IsValidModel(s.para.ModelNo)) return name + "のモデルが正しくありません。";
  if (!IsPossibleTemperature(s.para.StdTemp)) return name + ": " + kStandardTempTooLow + "。";
  if (s.IsFertilizer()) {
    if (!(s.kgPer10a > 0)) {
      return name + "の施用量（kgN/10a）に0より大きい数を記入して下さい。";
    }
    const int64_t day = DayNumber(s.applied);
    if (day < DayNumber(in.first) || day > DayNumber(in.last)) {
      return name + "の施用日" + DateText(s.applied) + "が計画の期間（" + DateText(in.first) +
             "〜" + DateText(in.last) + "）にありません。";
    }
  } else if (!(s.depthCm > 0) || !(s.density > 0)) {
    return name + "の作土深（cm）と仮比重（g/cm3）に0より大きい数を記入して下さい。";
  }
  return std::string();
}

}  // namespace

double SourceFactor(const PlanSource& source) {
  if (source.IsFertilizer()) return static_cast<double>(source.kgPer10a) / 100.0;
  return static_cast<double>(source.depthCm) * static_cast<double>(source.density) / 10.0;
}

SupplyResult ComputeSupply(const SupplyInput& in) {
  SupplyResult out;
  const int64_t first = DayNumber(in.first);
  const int64_t last = DayNumber(in.last);
  if (first > last) {
    out.message = "最初の日と最後の日の前後関係が正しくありません。";
    return out;
  }
  if (last - first + 1 > kMaxRangeDays) {
    out.message = "期間は" + std::to_string(kMaxRangeDays) + "日以内にして下さい。";
    return out;
  }
  if (in.sources.size() > static_cast<size_t>(kMaxPlanSources)) {
    out.message = "供給源は" + std::to_string(kMaxPlanSources) + "までです。";
    return out;
  }
  for (size_t i = 0; i < in.sources.size(); ++i) {
    out.message = CheckSource(in.sources[i], i, in);
    if (!out.message.empty()) return out;
  }
  std::unordered_map<int64_t, std::string> observed, normal;
  if (!ReadTemperatures(in.observedGrid, false, "地温データ", observed, out.message)) return out;
  if (in.normalGrid &&
      !ReadTemperatures(*in.normalGrid, true, "平年値の地温データ", normal, out.message)) {
    return out;
  }

  // The plan's temperatures, day by day.
  const int days = static_cast<int>(last - first + 1);
  out.days.resize(static_cast<size_t>(days));
  std::vector<std::string> temps(static_cast<size_t>(days) + 1);  // [1..days]
  for (int d = 1; d <= days; ++d) {
    SupplyDay& day = out.days[static_cast<size_t>(d - 1)];
    day.date = DateOfDayNumber(first + d - 1);
    if (auto it = observed.find(first + d - 1); it != observed.end()) {
      day.temperatureText = it->second;
      out.lastObservedDay = d;
    } else if (auto n = normal.find(day.date.month * 100 + day.date.day); n != normal.end()) {
      day.temperatureText = n->second;
      day.forecast = true;
    }
    if (day.temperatureText.empty()) {
      out.daysWithoutTemperature.push_back(day.date);
      continue;
    }
    day.temperature = ParseDouble(day.temperatureText);
    if (!day.temperature || !IsPossibleTemperature(static_cast<float>(*day.temperature))) {
      out.message = DateText(day.date) + "の地温「" + day.temperatureText +
                    "」は使えません。\n地温に-273℃より高い温度を記入して下さい。";
      return out;
    }
    temps[static_cast<size_t>(d)] = day.temperatureText;
  }

  // Each source from its start day, as an estimation of a series that
  // begins that day.
  for (SupplyDay& day : out.days) day.amounts.assign(in.sources.size(), 0.0);
  for (size_t i = 0; i < in.sources.size(); ++i) {
    const PlanSource& s = in.sources[i];
    SupplySourceInfo info;
    info.factor = SourceFactor(s);
    info.start = s.IsFertilizer() ? s.applied : in.first;
    info.startDay = static_cast<int>(DayNumber(info.start) - first) + 1;
    const int n = days - info.startDay + 1;
    std::vector<std::string> from(static_cast<size_t>(n) + 1);
    for (int d = 1; d <= n; ++d) from[static_cast<size_t>(d)] = temps[info.startDay + d - 1];
    const EstimateResult est = EstimateSeries(s.para, from, n);
    if (!est.ok) {
      out.message = SourceName(s, i) + "の推定計算ができません。\n" + est.message;
      return out;
    }
    for (int d = 1; d <= n; ++d) {
      const std::optional<double>& a = est.dayAmounts[static_cast<size_t>(d)];
      std::optional<double>& kg = out.days[static_cast<size_t>(info.startDay + d - 2)].amounts[i];
      kg = a ? std::optional<double>(*a * info.factor) : std::nullopt;
      if (kg && !std::isfinite(*kg)) {
        out.message = SourceName(s, i) + "の供給量が大きくなりすぎたため、計算できません。";
        return out;
      }
    }
    out.sources.push_back(info);
  }
  for (SupplyDay& day : out.days) {
    double total = 0;
    bool complete = true;
    for (const std::optional<double>& a : day.amounts) {
      if (!a) complete = false;
      if (a) total += *a;
    }
    if (complete) day.total = total;
  }
  out.ok = true;
  return out;
}

std::string NoTemperatureMessage(const SupplyResult& result) {
  if (result.daysWithoutTemperature.empty()) return std::string();
  std::string text = "地温のない日があります（" +
                     std::to_string(result.daysWithoutTemperature.size()) +
                     "日）。その日は供給量を計算せず、前の日からの続きで計算します。";
  const std::vector<std::string> runs = DayRuns(result.daysWithoutTemperature);
  for (size_t i = 0; i < runs.size() && i < 10; ++i) text += "\n　" + runs[i];
  if (runs.size() > 10) text += "\n　ほか" + std::to_string(runs.size() - 10) + "件";
  return text;
}

}  // namespace kelvora
