// The nitrogen supply plan: how many kg of nitrogen per 10 a a field gets,
// day by day, from its soil and from every fertilizer applied, with the days
// not observed yet filled with normal-year temperatures. The one computation
// behind the plan screen, kelvora-cli supply, the tests and the benchmark.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "store/date_text.h"
#include "store/supply_plan.h"

namespace kelvora {

// What a plan is computed from: the observed series, optionally a
// normal-year series for the days the observed one has no temperature, the
// first and last day, and the sources.
struct SupplyInput {
  std::string observedGrid;               // grid text of the observed series
  std::optional<std::string> normalGrid;  // grid text of the normal-year series
  CivilDate first, last;
  std::vector<PlanSource> sources;
};

// How a source's amounts become kg N/10a: amount × factor, in double. Soil:
// depth × density ÷ 10 (15 cm at 1.0 g/cm3: 1 mg/100g = 1.5 kg/10a);
// fertilizer: kg N/10a applied ÷ 100.
double SourceFactor(const PlanSource& source);

struct SupplyDay {
  CivilDate date;
  std::string temperatureText;  // the day's temperature as its series holds it; empty: none
  std::optional<double> temperature;
  bool forecast = false;  // the temperature is the normal-year series'
  // kg N/10a per source: 0 before its start day, nothing on a day without a
  // temperature from its start day on.
  std::vector<std::optional<double>> amounts;
  std::optional<double> total;  // the sum of the sources, nothing when one has none
};

struct SupplySourceInfo {
  double factor = 0;
  CivilDate start;
  int startDay = 1;  // position of the start day among the plan's days, from 1
};

struct SupplyResult {
  bool ok = false;
  std::string message;  // why the plan cannot be computed (Japanese)
  std::vector<SupplySourceInfo> sources;
  std::vector<SupplyDay> days;  // first ... last
  std::vector<CivilDate> daysWithoutTemperature;
  int lastObservedDay = 0;  // position of the last day with an observed temperature; 0: none
};

// Each source is estimated exactly as the estimation screen estimates its
// set on a series that begins on the source's start day (the plan's first
// day for a soil, the application day for a fertilizer), on the plan's
// temperatures: the observed series' temperature of the date where it has
// one, else the normal-year series' temperature of the same month and day.
// A day with neither adds nothing to the sums, as in the estimation. Refused
// with a message: the first day after the last, more than kMaxRangeDays days
// or kMaxPlanSources sources, a set of no model 1-6, a conversion that is
// not positive, an application day outside the plan, a date that occurs
// twice in a series, a temperature that is no number or at or below -273 °C,
// a standard temperature at or below -273 °C, or an estimation that fails.
SupplyResult ComputeSupply(const SupplyInput& input);

// The days without a temperature as a message, the runs of days named
// ("2024/07/01～2024/07/03"); empty when there are none.
std::string NoTemperatureMessage(const SupplyResult& result);

}  // namespace kelvora
