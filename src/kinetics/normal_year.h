// The normal-year series (平年値): for every day of a chosen year, the mean of
// that month and day's soil temperatures over every year of the chosen
// series, for filling the days of a season that are still ahead.
#pragma once

#include <string>
#include <vector>

#include "store/date_text.h"
#include "store/records.h"

namespace kelvora {

struct NormalYear {
  bool ok = false;
  std::string message;    // why nothing was made (Japanese)
  std::string gridText;   // the new series: "年/月/日", "地温(℃)", a row per day
  CivilDate first, last;  // 1 January and 31 December of the year
  int days = 0;
  std::vector<CivilDate> emptyDays;  // days no year gave a temperature for
  std::vector<int> years;            // the years that gave a temperature, ascending
};

// The normal year `year` of the series. A day's temperature is the mean of
// the temperatures of its month and day in every year present; 29 February
// (of a leap year) is the mean of the 29 Februarys present, else of every 28
// February and 1 March. The mean is exact, rounded to two decimals half away
// from zero, and written as the canonical single text the series screen
// stores. Rows whose date is no date, and empty temperatures, are not used.
// Refused: no series, a year outside 1900 ... 9999, a date that occurs twice
// (in one series or in two: its temperature would count twice), a
// temperature that is not a number or at or below -273 °C, or no
// temperature at all.
NormalYear MakeNormalYear(const std::vector<TionRecord>& series, int year);

}  // namespace kelvora
