// Logger files made in the tests: readings at given times, written in the
// forms loggers and spreadsheets use, and their daily means computed here
// independently of the reader (whole hundredths, rounded half away from zero
// in integer arithmetic).
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "store/date_text.h"

namespace kelvora::testing {

struct LoggerReading {
  int64_t day = 0;  // day number (DayNumber)
  int minute = 0;   // of the day, 0 .. 1440 (1440 written as 24:00 of `day`)
  // Per channel: hundredths of a degree, or the text of a failed reading.
  std::vector<std::optional<int>> hundredths;
  std::vector<std::string> failedText;  // used where hundredths is empty
};

inline std::string HundredthsText(int h) {
  const int a = h < 0 ? -h : h;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%d.%02d", h < 0 ? "-" : "", a / 100, a % 100);
  return buf;
}

// The mean of whole hundredths rounded half away from zero to hundredths, as
// the screen keeps it ("12.5", "12", "-0.25").
inline std::string MeanOfHundredths(int64_t sum, int64_t n) {
  const int64_t a = sum < 0 ? -sum : sum;
  const int64_t q = (2 * a + n) / (2 * n);
  std::string text = HundredthsText(static_cast<int>(sum < 0 ? -q : q));
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  if (text == "-0") text = "0";
  return text;
}

// True when the mean of these hundredths lies exactly halfway between two
// hundredths (the tests keep clear of such ties: the reader rounds the mean
// in double, which may lie a hair below a tie).
inline bool IsTie(int64_t sum, int64_t n) {
  const int64_t a = sum < 0 ? -sum : sum;
  return (2 * a) % (2 * n) == n;
}

struct ExpectedDay {
  int rows = 0;
  int64_t sum = 0;
  int readable = 0;
};

// Per channel and day (from the first reading's day): what the day holds.
inline std::vector<std::map<int64_t, ExpectedDay>> DaysOf(const std::vector<LoggerReading>& rs,
                                                          size_t channels) {
  std::vector<std::map<int64_t, ExpectedDay>> out(channels);
  for (const LoggerReading& r : rs) {
    for (size_t k = 0; k < channels; ++k) {
      ExpectedDay& d = out[k][r.day];
      ++d.rows;
      if (r.hundredths[k]) {
        d.sum += *r.hundredths[k];
        ++d.readable;
      }
    }
  }
  return out;
}

// Keeps every day's mean clear of a tie by nudging its last readable reading.
inline void AvoidTies(std::vector<LoggerReading>& rs, size_t channels) {
  for (size_t k = 0; k < channels; ++k) {
    const auto days = DaysOf(rs, channels);
    for (const auto& [day, d] : days[k]) {
      if (d.readable == 0 || !IsTie(d.sum, d.readable)) continue;
      for (auto it = rs.rbegin(); it != rs.rend(); ++it) {
        if (it->day == day && it->hundredths[k]) {
          *it->hundredths[k] += 1;
          break;
        }
      }
    }
  }
}

inline std::string TimeOfMinute(int minute, bool seconds, bool padHour) {
  char buf[32];
  if (padHour) {
    std::snprintf(buf, sizeof buf, seconds ? "%02d:%02d:00" : "%02d:%02d", minute / 60,
                  minute % 60);
  } else {
    std::snprintf(buf, sizeof buf, seconds ? "%d:%02d:00" : "%d:%02d", minute / 60, minute % 60);
  }
  return buf;
}

}  // namespace kelvora::testing
