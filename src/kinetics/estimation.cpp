#include "kinetics/estimation.h"

#include <cfloat>
#include <cmath>

#include "kinetics/curves.h"
#include "kinetics/model_kind.h"
#include "kinetics/parallel.h"
#include "store/grid_text.h"
#include "store/number_text.h"

namespace kelvora {

SeriesDays Data_Separate(const std::string& gridText) {
  SeriesDays out;
  std::vector<std::vector<std::string>> rows = SplitGridText(gridText);
  out.seriesDays = static_cast<int>(rows.size()) - 1;
  out.seriesDates.assign(out.seriesDays + 1, std::string());
  out.seriesTemps.assign(out.seriesDays + 1, std::string());
  for (int d = 1; d <= out.seriesDays; ++d) {
    if (!rows[d].empty()) out.seriesDates[d] = rows[d][0];
    if (rows[d].size() > 1) out.seriesTemps[d] = rows[d][1];
  }
  return out;
}

SeriesDays CutSeries(const SeriesDays& days, int from, int to) {
  SeriesDays out;
  from = std::max(from, 1);
  to = std::min(to, days.seriesDays);
  out.seriesDays = std::max(0, to - from + 1);
  out.seriesDates.assign(1, std::string());
  out.seriesTemps.assign(1, std::string());
  for (int d = from; d <= to; ++d) {
    out.seriesDates.push_back(days.seriesDates[d]);
    out.seriesTemps.push_back(days.seriesTemps[d]);
  }
  return out;
}

namespace {

// The day's factor rounded to single; false on an arithmetic error.
bool SingleFactor(double E, double T, float Ts, float& out) {
  double f = 0;
  if (!ArrheniusFactorChecked(E, T, Ts, f) || f > static_cast<double>(FLT_MAX)) return false;
  out = static_cast<float>(f);
  return std::isfinite(out);
}

double Release(float no, float k, double t) { return no * (1 - std::exp((-k) * t)); }

}  // namespace

PreparedSeries PrepareSeries(const std::vector<std::string>& temps, int days) {
  PreparedSeries s;
  s.days = days;
  s.hasTemp.assign(days + 1, false);
  s.temp.assign(days + 1, std::nullopt);
  s.text.assign(days + 1, std::string());
  for (int d = 1; d <= days && d < static_cast<int>(temps.size()); ++d) {
    if (temps[d].empty()) continue;
    s.hasTemp[d] = true;
    s.temp[d] = ParseDouble(temps[d]);
    s.text[d] = temps[d];
  }
  return s;
}

EstimateResult EstimateSeries(const ParaRecord& para, const std::vector<std::string>& temps,
                              int days) {
  return EstimateSeries(para, PrepareSeries(temps, days));
}

EstimateResult EstimateSeries(const ParaRecord& para, const PreparedSeries& series) {
  // Runs on the window thread (④ 計算, the supply plan), which may carry
  // dirty vector state from drawing.
  ClearWideVectorState();
  const int days = series.days;
  EstimateResult result;
  result.dayAmounts.assign(days + 1, std::nullopt);
  const int16_t model = para.ModelNo;
  if (!IsValidModel(model)) return result;
  const auto& p = para.Param;  // p[0] is Param1
  const float Ts = para.StdTemp;
  if (Ts + 273.0f == 0.0f) {
    result.ok = false;
    result.message = "標準温度が -273℃ のため、推定計算ができません。";
    return result;
  }
  if (model == 6 && p[5] == 0.0f) {
    result.ok = false;
    result.message = "σ が 0 のため、推定計算ができません。";
    return result;
  }
  float t = 0, t1 = 0, t2 = 0, tk = 0;
  for (int d = 1; d <= days; ++d) {
    if (!series.hasTemp[d]) continue;
    const std::optional<double>& T = series.temp[d];
    if (!T) {
      result.ok = false;
      result.message = std::to_string(d) + "日目の地温「" + series.text[d] +
                       "」が数字ではないため、推定計算ができません。";
      return result;
    }
    double amount = 0;
    bool ok = true;
    switch (model) {
      case 1:
      case 4: {
        float f = 0;
        ok = SingleFactor(p[0], *T, Ts, f);
        t = t + f;
        amount = Release(p[2], p[1], t) + p[3];
        break;
      }
      case 2:
      case 3: {
        float f1 = 0, f2 = 0;
        ok = SingleFactor(p[0], *T, Ts, f1) && SingleFactor(p[1], *T, Ts, f2);
        t1 = t1 + f1;
        t2 = t2 + f2;
        amount = model == 2 ? Release(p[4], p[2], t1) + Release(p[5], p[3], t2) + p[6]
                            : Release(p[4], p[2], t1) - Release(p[5], p[3], t2) + p[6];
        break;
      }
      case 5: {
        float f1 = 0, f2 = 0;
        ok = SingleFactor(p[0], *T, Ts, f1) && SingleFactor(p[4], *T, Ts, f2);
        t1 = t1 + f1;
        t2 = t2 + f2;
        float lag = p[3] - t2;
        amount = lag > 0 ? 0 : Release(p[2], p[1], static_cast<double>(t1) - p[3]);
        break;
      }
      case 6: {
        float f2 = 0;
        double f1 = 0, cdf = 0;
        ok = SingleFactor(p[4], *T, Ts, f2);
        t2 = t2 + f2;
        double z = (static_cast<double>(t2) - p[3]) / p[5];
        ok = ok && ArrheniusFactorChecked(p[0], *T, Ts, f1) && NormalCdfChecked(z, cdf);
        double g = f1 * cdf;
        ok = ok && std::isfinite(g) && std::fabs(g) <= static_cast<double>(FLT_MAX);
        if (ok) tk = tk + static_cast<float>(g);
        amount = Release(p[2], p[1], tk);
        break;
      }
    }
    if (!ok || !std::isfinite(t) || !std::isfinite(t1) || !std::isfinite(t2) ||
        !std::isfinite(tk) || !std::isfinite(amount)) {
      result.ok = false;
      result.message = std::to_string(d) +
                       "日目の計算で数値が大きくなりすぎたため、推定計算ができません。\n"
                       "パラメータと地温を確かめて下さい。";
      return result;
    }
    result.dayAmounts[d] = amount;
  }
  return result;
}

std::string EstimateGridText(const ParaRecord& para, const SeriesDays& days,
                             const EstimateResult& result) {
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"年/月/日", IsValidModel(para.ModelNo) ? AmountUnitHeader(para.ModelNo) : ""});
  for (int d = 1; d <= days.seriesDays; ++d) {
    const std::optional<double>& a = result.dayAmounts[d];
    rows.push_back({days.seriesDates[d], a ? FormatFixed(*a, 2) : std::string()});
  }
  return JoinGridText(rows);
}

}  // namespace kelvora
