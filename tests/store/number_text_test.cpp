#include "store/number_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kelvora {
namespace {

TEST(NumberText, AcceptsTheNumberGrammar) {
  for (const char* t : {"0", "12", "-3", "+4", " 5 ", "\t6", ".5", "5.", "-.5", "1e5", "1E+07",
                        "2.5e-3", "  -1.25E-2  ", "007"}) {
    EXPECT_TRUE(IsNumber(t)) << t;
  }
  for (const char* t : {"", " ", ".", "-", "+", "e5", "1e", "1e+", "1.2.3", "1,000", "0x10", "abc",
                        "12a", "1 2", "--1", "1e5.5", "∞", "nan", "inf"}) {
    EXPECT_FALSE(IsNumber(t)) << t;
  }
}

TEST(NumberText, FullWidthFormsReadAsAscii) {
  EXPECT_EQ(*ParseSingle("１２．５"), 12.5f);
  EXPECT_EQ(*ParseSingle("－３"), -3.0f);
  EXPECT_EQ(*ParseSingle("\u3000２Ｅ２\u3000"), 200.0f);
  EXPECT_EQ(*ParseDouble("＋０．２５"), 0.25);
  EXPECT_FALSE(IsNumber("１２ａ"));
}

TEST(NumberText, SingleRangeDecidesWhatIsANumber) {
  EXPECT_FALSE(IsNumber("1e39"));  // beyond the single range
  EXPECT_FALSE(ParseDouble("1e39").has_value());
  EXPECT_EQ(*ParseSingle("1e-50"), 0.0f);  // below it: reads as zero
  EXPECT_EQ(*ParseSingle("3.4028235e38"), 3.4028235e38f);
}

TEST(NumberText, ParsesDecimalStraightToSingle) {
  EXPECT_EQ(*ParseSingle("0.1"), 0.1f);
  EXPECT_EQ(*ParseDouble("0.1"), 0.1);
  // A decimal exactly halfway between two singles rounds to even once, not
  // through a double first.
  EXPECT_EQ(*ParseSingle("1.00000005960464477539062500000001"), 1.00000011920928955078125f);
}

TEST(NumberText, CanonicalSingleText) {
  EXPECT_EQ(SingleText(0.1f), "0.1");
  EXPECT_EQ(SingleText(*ParseSingle("1.50")), "1.5");
  EXPECT_EQ(SingleText(*ParseSingle("007")), "7");
  EXPECT_EQ(SingleText(1e7f), "1E+07");
  EXPECT_EQ(SingleText(0.00001f), "1E-05");
  EXPECT_EQ(SingleText(0.0001f), "0.0001");
  EXPECT_EQ(SingleText(-0.5f), "-0.5");
  EXPECT_EQ(SingleText(12345678.0f), "1.234568E+07");
  EXPECT_EQ(SingleText(1234567.0f), "1234567");
  EXPECT_EQ(SingleText(0.0f), "0");
  EXPECT_EQ(SingleText(-0.0f), "0");
  EXPECT_EQ(SingleText(15360.2998046875f), "15360.3");
}

TEST(NumberText, CanonicalTextReadsBackForTypedValues) {
  for (const char* t : {"0.1", "1.02", "10.4", "-273", "25", "0.0001", "9.99E+30"}) {
    float v = *ParseSingle(t);
    EXPECT_EQ(*ParseSingle(SingleText(v)), v) << t;
  }
}

TEST(NumberText, DisplayPatternsRoundHalfAwayFromZero) {
  EXPECT_EQ(FormatFixed(0.125, 2), "0.13");  // exact tie
  EXPECT_EQ(FormatFixed(-0.125, 2), "-0.13");
  EXPECT_EQ(FormatFixed(2.5, 0), "3");
  EXPECT_EQ(FormatFixed(0.5, 0), "1");
  EXPECT_EQ(FormatFixed(2.675, 2), "2.67");  // the double lies below the tie
  EXPECT_EQ(FormatFixed(1.000005, 5), "1.00001");
  EXPECT_EQ(FormatFixed(15360.2998046875, 0), "15360");
  EXPECT_EQ(FormatFixed(0.0197416097, 5), "0.01974");
  EXPECT_EQ(FormatFixed(0.03125, 4), "0.0313");
}

TEST(NumberText, NeverShowsNegativeZero) {
  EXPECT_EQ(FormatFixed(-0.001, 2), "0.00");
  EXPECT_EQ(FormatFixed(-0.0, 2), "0.00");
  EXPECT_EQ(FormatFixed(-0.4, 0), "0");
  EXPECT_EQ(FormatFixed(-0.005, 2), "-0.01");  // -0.005000000000000000104
  EXPECT_EQ(FormatFixed(NAN, 2), "");
}

TEST(NumberText, ShortestTextsReadBack) {
  EXPECT_EQ(ShortestSingle(0.1f), "0.1");
  EXPECT_EQ(ShortestSingle(0.019741609692573547f), "0.01974161");
  EXPECT_EQ(ShortestDouble(0.1), "0.1");
  EXPECT_EQ(*ParseSingle(ShortestSingle(15360.2998046875f)), 15360.2998046875f);
  EXPECT_EQ(ShortestSingle(0.0001f), "1e-04");
  EXPECT_EQ(ShortestSinglePlain(0.0001f), "0.0001");
  EXPECT_EQ(ShortestSinglePlain(15000.0f), "15000");
  EXPECT_EQ(ShortestSinglePlain(-0.019741609f), "-0.01974161");
  EXPECT_EQ(ShortestSinglePlain(1e20f), "1e+20");
}

}  // namespace
}  // namespace kelvora
