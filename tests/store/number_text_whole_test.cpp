// Number texts are written whole for any double, however long: against the C
// library's printf (which formats in the "C" locale here) and read back.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "store/number_text.h"

namespace kelvora {
namespace {

std::string Printf(const char* format, int precision, double v) {
  const int n = std::snprintf(nullptr, 0, format, precision, v);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(s.data(), s.size(), format, precision, v);
  s.resize(static_cast<size_t>(n));
  return s;
}

TEST(NumberTextWhole, LongNumbersAreWrittenWholeAsPrintfWritesThem) {
  // None of these lies on a tie at the places asked, where FormatFixed
  // rounds away from zero and printf to even.
  const std::vector<double> values = {DBL_MAX, -DBL_MAX, -2.2e61,  1e300,          FLT_MAX,
                                      5e-324,  -1.7e-38, 123456.7, -9.87654321e22, 0.3};
  for (double v : values) {
    SCOPED_TRACE(v);
    for (int decimals : {0, 2, 5, 120}) {
      SCOPED_TRACE(decimals);
      std::string expected = Printf("%.*f", decimals, v);
      if (expected.find_first_of("123456789") == std::string::npos && expected[0] == '-')
        expected.erase(0, 1);  // never "-0.00"
      EXPECT_EQ(FormatFixed(v, decimals), expected);
      EXPECT_EQ(FixedText(v, decimals), Printf("%.*f", decimals, v));
    }
    EXPECT_EQ(FormatSignificant(v, 3), Printf("%.*g", 3, v));
    const std::string shortest = ShortestDouble(v);
    EXPECT_EQ(std::strtod(shortest.c_str(), nullptr), v) << shortest;
    EXPECT_LE(shortest.size(), 24u) << shortest;
  }
  EXPECT_EQ(FormatSignificant(-2.2e61, 3), "-2.2e+61");
  EXPECT_EQ(FormatSignificant(HUGE_VAL, 3), "");
}

}  // namespace
}  // namespace kelvora
