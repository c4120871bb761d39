#include "store/date_text.h"

#include <cstdio>

#include "store/number_text.h"

namespace kelvora {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

// Civil-from-days and days-from-civil over the proleptic Gregorian calendar.
int64_t DayNumber(const CivilDate& date) {
  const int64_t y = date.month <= 2 ? date.year - 1 : date.year;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t mp = (date.month + 9) % 12;
  const int64_t doy = (153 * mp + 2) / 5 + date.day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CivilDate DateOfDayNumber(int64_t day) {
  const int64_t z = day + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  return CivilDate{static_cast<int>(y), m, d};
}

std::optional<CivilDate> BuildDate(int64_t year, int64_t month, int64_t day) {
  if (year < kFirstDateYear || year > kLastDateYear || month < 1 || day < 1) return std::nullopt;
  // Typed numbers can be anything up to nine digits; anything that far out
  // lands beyond 9999 anyway.
  if (month > 12 * 10000 || day > 366 * 10000) return std::nullopt;
  year += (month - 1) / 12;
  month = (month - 1) % 12 + 1;
  if (year > kLastDateYear) return std::nullopt;
  const int64_t n =
      DayNumber(CivilDate{static_cast<int>(year), static_cast<int>(month), 1}) + day - 1;
  const CivilDate date = DateOfDayNumber(n);
  if (date.year > kLastDateYear) return std::nullopt;
  return date;
}

std::optional<int64_t> ParseWholeNumber(std::string_view text) {
  const std::string t = NormalizeNumberText(text);
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    ++i;
  }
  if (i == t.size() || t.size() - i > 9) return std::nullopt;
  int64_t value = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return std::nullopt;
    value = value * 10 + (t[i] - '0');
  }
  return negative ? -value : value;
}

std::optional<CivilDate> BuildDateFromTexts(std::string_view year, std::string_view month,
                                            std::string_view day) {
  const auto y = ParseWholeNumber(year);
  const auto m = ParseWholeNumber(month);
  const auto d = ParseWholeNumber(day);
  if (!y || !m || !d) return std::nullopt;
  return BuildDate(*y, *m, *d);
}

std::string DateText(const CivilDate& date) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d", date.year, date.month, date.day);
  return buffer;
}

std::optional<CivilDate> ParseDateText(std::string_view text) {
  int parts[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  int part = 0;
  for (char c : text) {
    if (c == '/') {
      if (++part > 2) return std::nullopt;
    } else if (c >= '0' && c <= '9') {
      if (++digits[part] > 4) return std::nullopt;
      parts[part] = parts[part] * 10 + (c - '0');
    } else {
      return std::nullopt;
    }
  }
  if (part != 2 || digits[0] != 4 || digits[1] == 0 || digits[1] > 2 || digits[2] == 0 ||
      digits[2] > 2)
    return std::nullopt;
  const CivilDate date{parts[0], parts[1], parts[2]};
  if (date.year < kFirstDateYear || date.month < 1 || date.month > 12 || date.day < 1 ||
      date.day > DaysInMonth(date.year, date.month))
    return std::nullopt;
  return date;
}

DateRange CheckDateRange(std::string_view firstYear, std::string_view firstMonth,
                         std::string_view firstDay, std::string_view lastYear,
                         std::string_view lastMonth, std::string_view lastDay) {
  DateRange range;
  const auto first = BuildDateFromTexts(firstYear, firstMonth, firstDay);
  const auto last = BuildDateFromTexts(lastYear, lastMonth, lastDay);
  if (!first || !last) return range;
  range.first = *first;
  range.last = *last;
  const int64_t span = DayNumber(*last) - DayNumber(*first) + 1;
  if (span < 1) {
    range.check = DateRangeCheck::Reversed;
  } else if (span > kMaxRangeDays) {
    range.check = DateRangeCheck::TooLong;
  } else {
    range.check = DateRangeCheck::Ok;
    range.days = static_cast<int>(span);
  }
  return range;
}

std::vector<std::string> DateTexts(const CivilDate& first, int days) {
  std::vector<std::string> texts;
  if (days <= 0) return texts;
  texts.reserve(static_cast<size_t>(days));
  const int64_t start = DayNumber(first);
  for (int i = 0; i < days; ++i) texts.push_back(DateText(DateOfDayNumber(start + i)));
  return texts;
}

}  // namespace kelvora
