// Calendar dates of the soil-temperature series and the field data: built from
// year, month and day numbers with the carry-over users rely on (April 31 is
// May 1), written as yyyy/MM/dd whatever the locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora {

struct CivilDate {
  int year = 0;
  int month = 0;
  int day = 0;
  friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

// Dates outside these years are refused everywhere.
inline constexpr int kFirstDateYear = 1900;
inline constexpr int kLastDateYear = 9999;
// A series has at most this many days: with its header row the grid's row
// count must stay a 16-bit count.
inline constexpr int kMaxRangeDays = 32766;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // month 1..12

// Consecutive day number of a valid date (1970/01/01 is 0), and back.
int64_t DayNumber(const CivilDate& date);
CivilDate DateOfDayNumber(int64_t day);

// The date of year, month and day, where a month beyond 12 carries into the
// following year(s) and a day beyond the month's length into the following
// month(s): (2004, 4, 31) is 2004/05/01, (2003, 2, 30) is 2003/03/02,
// (2004, 13, 1) is 2005/01/01. Nothing when the year is outside
// 1900..9999, the month or day is below 1, or the carried date leaves
// 1900..9999.
std::optional<CivilDate> BuildDate(int64_t year, int64_t month, int64_t day);

// A whole number as typed into a combo: blanks around, optional sign, ASCII
// or full-width digits. Nothing for anything else (also "1.0", "", "1e2").
std::optional<int64_t> ParseWholeNumber(std::string_view text);

// BuildDate from three typed texts; nothing when a text is not a whole number.
std::optional<CivilDate> BuildDateFromTexts(std::string_view year, std::string_view month,
                                            std::string_view day);

// "yyyy/MM/dd": four-digit year, two-digit month and day.
std::string DateText(const CivilDate& date);
// Reads a date written as year/month/day (one or two digits for month and
// day are accepted); nothing unless it is a real date within 1900..9999.
std::optional<CivilDate> ParseDateText(std::string_view text);

// The outcome of checking a first and a last date typed into combos.
enum class DateRangeCheck {
  Ok,
  BadDate,   // a text is no whole number or builds no date
  Reversed,  // first later than last
  TooLong,   // more than kMaxRangeDays days
};

struct DateRange {
  DateRangeCheck check = DateRangeCheck::BadDate;
  CivilDate first;
  CivilDate last;
  int days = 0;  // last - first + 1 when check is Ok
};

// Checks in this order: both dates build, first not after last, at most
// kMaxRangeDays days.
DateRange CheckDateRange(std::string_view firstYear, std::string_view firstMonth,
                         std::string_view firstDay, std::string_view lastYear,
                         std::string_view lastMonth, std::string_view lastDay);

// The texts of `days` consecutive dates from `first`.
std::vector<std::string> DateTexts(const CivilDate& first, int days);

}  // namespace kelvora
