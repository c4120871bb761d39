#include "kinetics/normal_year.h"

#include <array>
#include <cctype>
#include <map>
#include <optional>
#include <set>

#include "kinetics/lab_table.h"
#include "store/grid_text.h"
#include "store/number_text.h"
#include "store/temperature_file.h"

namespace kelvora {

namespace {

// Temperatures are summed exactly as whole multiples of 10^-20 °C: every
// stored temperature is a single's canonical text of at most seven digits,
// so a sum of thousands of them stays far inside 128 bits.
using Exact = __int128;
constexpr int kScaleDigits = 20;
constexpr double kLargest = 1e12;  // no soil is this warm; keeps the sums in range

Exact Pow10(int n) {
  Exact p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

// The exact value of a number text in units of 10^-20, rounded half away
// from zero beyond that. Nothing for a text that is no number or is too large.
std::optional<Exact> ExactValue(const std::string& text) {
  const std::optional<float> single = ParseSingle(text);
  if (!single || !(static_cast<double>(*single) < kLargest) ||
      !(static_cast<double>(*single) > -kLargest)) {
    return std::nullopt;
  }
  // The canonical text of the stored single: sign, digits, point, exponent.
  const std::string t = SingleText(*single);
  size_t i = 0;
  const bool negative = t[i] == '-';
  if (negative || t[i] == '+') ++i;
  Exact digits = 0;
  int exponent = 0;
  bool point = false;
  for (; i < t.size() && t[i] != 'E' && t[i] != 'e'; ++i) {
    if (t[i] == '.') {
      point = true;
      continue;
    }
    digits = digits * 10 + (t[i] - '0');
    if (point) --exponent;
  }
  if (i < t.size()) exponent += std::stoi(t.substr(i + 1));
  const int shift = exponent + kScaleDigits;
  Exact v = 0;
  if (shift >= 0) {
    v = digits * Pow10(shift);
  } else {
    const Exact div = shift < -38 ? 0 : Pow10(-shift);
    v = div == 0 ? 0 : (2 * digits + div) / (2 * div);
  }
  return negative ? -v : v;
}

// The mean of `count` values summing to `sum`, in hundredths, rounded half
// away from zero, as the canonical text of its single.
std::string MeanText(Exact sum, int count) {
  const Exact unit = Pow10(kScaleDigits - 2) * count;  // one hundredth of the mean
  const bool negative = sum < 0;
  const Exact magnitude = negative ? -sum : sum;
  const Exact hundredths = (2 * magnitude + unit) / (2 * unit);
  std::string digits;
  Exact whole = hundredths / 100;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(whole % 10)));
    whole /= 10;
  } while (whole > 0);
  const int cents = static_cast<int>(hundredths % 100);
  std::string text = (negative && hundredths != 0 ? "-" : "") + digits + "." +
                     static_cast<char>('0' + cents / 10) + static_cast<char>('0' + cents % 10);
  return SingleText(*ParseSingle(text));
}

struct Sum {
  Exact total = 0;
  int count = 0;
  void Add(Exact v) {
    total += v;
    ++count;
  }
  void Add(const Sum& o) {
    total += o.total;
    count += o.count;
  }
};

}  // namespace

NormalYear MakeNormalYear(const std::vector<TionRecord>& series, int year) {
  NormalYear out;
  if (series.empty()) {
    out.message = "平年値を作る地温データを選んで下さい。";
    return out;
  }
  if (year < kFirstDateYear || year > kLastDateYear) {
    out.message = "年は" + std::to_string(kFirstDateYear) + "〜" + std::to_string(kLastDateYear) +
                  "で指定して下さい。";
    return out;
  }
  std::array<std::array<Sum, 32>, 13> sums{};  // [month][day]
  std::map<int64_t, std::string> seen;         // day number: the series it came from
  std::set<int> years;
  for (const TionRecord& s : series) {
    const std::vector<std::vector<std::string>> rows = SplitGridText(s.GridText);
    for (size_t r = 1; r < rows.size(); ++r) {
      if (rows[r].size() < 2 || rows[r][1].empty()) continue;
      const std::optional<CivilDate> date = ParseDateText(rows[r][0]);
      if (!date) continue;
      const std::string& text = rows[r][1];
      const std::optional<Exact> value = ExactValue(text);
      const std::optional<float> single = ParseSingle(text);
      if (!value || !IsPossibleTemperature(*single)) {
        out.message = "地温データ「" + s.SiteName + "」の" + DateText(*date) + "の地温「" + text +
                      "」は使えません。\n地温に-273℃より高い温度を記入して下さい。";
        return out;
      }
      const auto [it, inserted] = seen.emplace(DayNumber(*date), s.SiteName);
      if (!inserted) {
        out.message = DateText(*date) + "の地温が2回あります（地温データ「" + it->second +
                      "」と「" + s.SiteName +
                      "」）。\n同じ日の地温が重ならないように地温データを選んで下さい。";
        return out;
      }
      sums[date->month][date->day].Add(*value);
      years.insert(date->year);
    }
  }
  if (years.empty()) {
    out.message = "選んだ地温データに地温が記入されていません。";
    return out;
  }
  out.years.assign(years.begin(), years.end());
  out.first = CivilDate{year, 1, 1};
  out.last = CivilDate{year, 12, 31};
  TemperatureSeries made;
  made.first = out.first;
  for (int64_t n = DayNumber(out.first); n <= DayNumber(out.last); ++n) {
    const CivilDate d = DateOfDayNumber(n);
    Sum sum = sums[d.month][d.day];
    if (d.month == 2 && d.day == 29 && sum.count == 0) {
      sum.Add(sums[2][28]);
      sum.Add(sums[3][1]);
    }
    made.dates.push_back(DateText(d));
    made.temperatures.push_back(sum.count > 0 ? MeanText(sum.total, sum.count) : std::string());
    if (sum.count == 0) out.emptyDays.push_back(d);
  }
  out.days = static_cast<int>(made.dates.size());
  out.gridText = SeriesGridText(made);
  out.ok = true;
  return out;
}

}  // namespace kelvora
