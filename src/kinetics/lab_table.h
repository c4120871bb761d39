// Clean-up of the data grids before a record is stored or fitted.
#pragma once

#include <array>
#include <cstdint>

#include "store/grid_text.h"

namespace kelvora {

// What the clean-up of the incubation table found.
struct IncubationTableShape {
  int16_t lastDayRow = 0;            // last row 1..99 with a day, 0 when none
  std::array<int16_t, 4> colRows{};  // [1..3]: last non-empty row per column
};

// The incubation table (100 rows x 4 columns): finds the last non-empty row of
// the day column and of each temperature column (before cleaning), then
// empties every cell of column 0 (rows 1 .. last day row) and of columns 1-3
// (rows 0 .. their last row) that is not a number and rewrites every number as
// the canonical text of its single-precision value. Cell (0, 0) is never
// touched.
IncubationTableShape CleanIncubationTable(GridTable& grid);

// Temperatures enter the Arrhenius factor as T + 273 (Kelvin): at or below
// -273 °C a temperature is physically impossible and the factor meaningless,
// so a fit or an estimation refuses it. Not-a-number is refused as well.
bool IsPossibleTemperature(float celsius);

// Shown (title "注意") when the standard temperature is at or below -273 °C.
inline constexpr const char* kStandardTempTooLow = "標準温度に-273℃より高い温度を記入して下さい";

// The field table (date, soil temperature, amount): for column 1 and then
// column 2, rows 1 .. last row, non-numbers become empty; then, in the same
// order, every non-empty cell is rewritten as canonical single text. Column 0
// and row 0 are left alone.
void CleanFieldTable(GridTable& grid);

}  // namespace kelvora
