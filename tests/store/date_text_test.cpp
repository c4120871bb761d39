#include "store/date_text.h"

#include <gtest/gtest.h>

#include <clocale>

namespace kelvora {
namespace {

CivilDate D(int y, int m, int d) { return CivilDate{y, m, d}; }

TEST(DateText, DaysAndMonthsCarryOver) {
  EXPECT_EQ(BuildDate(2004, 4, 31), D(2004, 5, 1));
  EXPECT_EQ(BuildDate(2003, 2, 30), D(2003, 3, 2));
  EXPECT_EQ(BuildDate(2004, 2, 30), D(2004, 3, 1));  // leap year
  EXPECT_EQ(BuildDate(2004, 2, 29), D(2004, 2, 29));
  EXPECT_EQ(BuildDate(2004, 13, 1), D(2005, 1, 1));
  EXPECT_EQ(BuildDate(2004, 12, 32), D(2005, 1, 1));
  EXPECT_EQ(BuildDate(2004, 25, 1), D(2006, 1, 1));
  EXPECT_EQ(BuildDate(2004, 1, 366), D(2004, 12, 31));
  EXPECT_EQ(BuildDate(1900, 2, 29), D(1900, 3, 1));  // 1900 is a common year
  EXPECT_EQ(BuildDate(2000, 2, 29), D(2000, 2, 29));
  EXPECT_EQ(BuildDate(9999, 12, 31), D(9999, 12, 31));
}

TEST(DateText, RefusesWhatBuildsNoDate) {
  EXPECT_FALSE(BuildDate(1899, 12, 31));
  EXPECT_FALSE(BuildDate(10000, 1, 1));
  EXPECT_FALSE(BuildDate(2004, 0, 1));
  EXPECT_FALSE(BuildDate(2004, 1, 0));
  EXPECT_FALSE(BuildDate(2004, -1, 5));
  EXPECT_FALSE(BuildDate(9999, 13, 1));   // carries past 9999
  EXPECT_FALSE(BuildDate(9999, 12, 32));  // likewise
  EXPECT_FALSE(BuildDate(2004, 1, 999999999));
}

TEST(DateText, WholeNumbersAsTyped) {
  EXPECT_EQ(ParseWholeNumber("2004"), 2004);
  EXPECT_EQ(ParseWholeNumber(" 7 "), 7);
  EXPECT_EQ(ParseWholeNumber("０４"), 4);
  EXPECT_EQ(ParseWholeNumber("-3"), -3);
  for (const char* t : {"", " ", "4.0", "1e2", "abc", "4a", "1 2", "-", "1234567890"})
    EXPECT_FALSE(ParseWholeNumber(t)) << t;
  EXPECT_EQ(BuildDateFromTexts("2004", "4", "31"), D(2004, 5, 1));
  EXPECT_FALSE(BuildDateFromTexts("2004", "4.5", "1"));
  EXPECT_FALSE(BuildDateFromTexts("", "4", "1"));
}

TEST(DateText, WritesAndReadsYearMonthDayWhateverTheLocale) {
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  std::setlocale(LC_ALL, "de_DE.UTF-8");  // ignored when not installed
  EXPECT_EQ(DateText(D(2004, 4, 1)), "2004/04/01");
  EXPECT_EQ(DateText(D(1900, 12, 31)), "1900/12/31");
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(ParseDateText("2004/04/01"), D(2004, 4, 1));
  EXPECT_EQ(ParseDateText("2004/4/1"), D(2004, 4, 1));
  for (const char* t : {"", "2004/04", "2004/02/30", "2004/13/01", "04/04/01", "2004-04-01",
                        "2004/04/01/", " 2004/04/01", "1899/12/31"})
    EXPECT_FALSE(ParseDateText(t)) << t;
}

TEST(DateText, DayNumbersRoundTripAcrossTheWholeRange) {
  const int64_t from = DayNumber(D(1900, 1, 1));
  const int64_t to = DayNumber(D(9999, 12, 31));
  EXPECT_EQ(DayNumber(D(1970, 1, 1)), 0);
  EXPECT_EQ(to - from + 1, 2958464);  // days in 1900..9999
  CivilDate previous = DateOfDayNumber(from);
  for (int64_t n = from + 1; n <= to; ++n) {
    const CivilDate d = DateOfDayNumber(n);
    ASSERT_EQ(DayNumber(d), n);
    const bool nextDay =
        d.year == previous.year && d.month == previous.month && d.day == previous.day + 1;
    const bool nextMonth = d.day == 1 &&
                           previous.day == DaysInMonth(previous.year, previous.month) &&
                           ((d.month == previous.month + 1 && d.year == previous.year) ||
                            (d.month == 1 && previous.month == 12 && d.year == previous.year + 1));
    ASSERT_TRUE(nextDay || nextMonth) << DateText(previous) << " -> " << DateText(d);
    previous = d;
  }
}

TEST(DateText, RangeChecksInOrder) {
  DateRange r = CheckDateRange("2004", "4", "1", "2004", "4", "30");
  EXPECT_EQ(r.check, DateRangeCheck::Ok);
  EXPECT_EQ(r.days, 30);
  r = CheckDateRange("2004", "4", "31", "2004", "5", "1");  // same day once carried
  EXPECT_EQ(r.check, DateRangeCheck::Ok);
  EXPECT_EQ(r.days, 1);
  EXPECT_EQ(CheckDateRange("2004", "5", "2", "2004", "5", "1").check, DateRangeCheck::Reversed);
  // A date that builds nothing is reported before the order.
  EXPECT_EQ(CheckDateRange("2004", "5", "2", "2004", "x", "1").check, DateRangeCheck::BadDate);
  EXPECT_EQ(CheckDateRange("1899", "5", "2", "1800", "5", "1").check, DateRangeCheck::BadDate);
  // The limit: 32766 days pass, one more does not.
  const CivilDate first = D(1950, 1, 1);
  const CivilDate lastOk = DateOfDayNumber(DayNumber(first) + kMaxRangeDays - 1);
  auto text = [](int v) { return std::to_string(v); };
  r = CheckDateRange("1950", "1", "1", text(lastOk.year), text(lastOk.month), text(lastOk.day));
  EXPECT_EQ(r.check, DateRangeCheck::Ok);
  EXPECT_EQ(r.days, kMaxRangeDays);
  const CivilDate lastFar = DateOfDayNumber(DayNumber(lastOk) + 1);
  EXPECT_EQ(
      CheckDateRange("1950", "1", "1", text(lastFar.year), text(lastFar.month), text(lastFar.day))
          .check,
      DateRangeCheck::TooLong);
}

TEST(DateText, ConsecutiveDateTexts) {
  const auto texts = DateTexts(D(2003, 12, 30), 4);
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0], "2003/12/30");
  EXPECT_EQ(texts[2], "2004/01/01");
  EXPECT_EQ(texts[3], "2004/01/02");
  EXPECT_EQ(DateTexts(D(2004, 2, 28), 2)[1], "2004/02/29");
  EXPECT_TRUE(DateTexts(D(2004, 2, 28), 0).empty());
}

}  // namespace
}  // namespace kelvora
