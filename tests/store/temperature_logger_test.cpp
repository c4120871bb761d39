// Logger files: readings every few minutes in the encodings, date and time
// forms and layouts loggers and spreadsheets write, read into daily means
// that are checked against means computed here from the readings; what is
// refused and why; and what stays linear or quotes little of a huge file.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>

#include "logger_files.h"
#include "store/cp932.h"
#include "store/temperature_file.h"
#include "store/temperature_import.h"
#include "test_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using testing::AvoidTies;
using testing::DaysOf;
using testing::HundredthsText;
using testing::IsTie;
using testing::LoggerReading;
using testing::MeanOfHundredths;
using testing::TimeOfMinute;

// A file of the test's folder.
class TempDir {
 public:
  std::filesystem::path Write(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path p = dir_.path() / name;
    testing::WriteBytes(p, bytes);
    return p;
  }

 private:
  testing::TempDir dir_;
};

std::string Utf16(const std::string& utf8, bool bigEndian) {
  // Enough for the test texts: no character beyond the basic plane.
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    uint32_t cp = b;
    size_t n = 1;
    if (b >= 0xE0) {
      cp = (b & 0x0F) << 12 | (utf8[i + 1] & 0x3F) << 6 | (utf8[i + 2] & 0x3F);
      n = 3;
    } else if (b >= 0xC0) {
      cp = (b & 0x1F) << 6 | (utf8[i + 1] & 0x3F);
      n = 2;
    }
    const char hi = static_cast<char>(cp >> 8), lo = static_cast<char>(cp & 0xFF);
    out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    i += n;
  }
  return out;
}

// Readings of `channels` channels every `step` minutes from `firstMinute` of
// `firstDay`, `count` of them, with values from a seeded generator.
std::vector<LoggerReading> Readings(int64_t firstDay, int firstMinute, int step, int count,
                                    size_t channels, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> value(-500, 3500);
  std::vector<LoggerReading> out;
  for (int i = 0; i < count; ++i) {
    const int64_t m = firstMinute + static_cast<int64_t>(i) * step;
    LoggerReading r;
    r.day = firstDay + m / 1440;
    r.minute = static_cast<int>(m % 1440);
    for (size_t k = 0; k < channels; ++k) r.hundredths.push_back(value(gen));
    r.failedText.assign(channels, std::string());
    out.push_back(r);
  }
  return out;
}

void Fail(LoggerReading& r, size_t channel, const std::string& text) {
  r.hundredths[channel].reset();
  r.failedText[channel] = text;
}

std::string Cell(const LoggerReading& r, size_t k) {
  return r.hundredths[k] ? HundredthsText(*r.hundredths[k]) : r.failedText[k];
}

struct LoggerCase {
  std::string name;
  std::string bytes;  // the file
  std::vector<LoggerReading> readings;
  size_t channels;
  TemperatureColumns columns;  // what the guess must find
  FileEncoding encoding;
  int64_t interval;  // minutes
};

// The hourly code page 932 export of a one-channel logger: two heading lines,
// date and time in one column, a battery change from 3 April 10:00 to
// 4 April 02:00, "-----" for three readings on 2 April and for every reading
// of 6 April.
LoggerCase HourlyCp932() {
  LoggerCase c;
  c.name = "hourly cp932";
  c.channels = 1;
  const int64_t first = DayNumber({2025, 4, 1});
  for (LoggerReading& r : Readings(first, 0, 60, 24 * 7, 1, 1)) {
    const int64_t at = (r.day - first) * 24 + r.minute / 60;
    if (at >= 2 * 24 + 10 && at < 3 * 24 + 3) continue;  // the battery change
    c.readings.push_back(r);
  }
  for (LoggerReading& r : c.readings) {
    if (r.day == first + 1 && (r.minute == 60 || r.minute == 300 || r.minute == 1200)) {
      Fail(r, 0, "-----");
    }
    if (r.day == first + 5) Fail(r, 0, "-----");
  }
  AvoidTies(c.readings, 1);
  std::string text = "機種,TR-52i\r\n日時,地温 深さ10cm(℃)\r\n";
  for (const LoggerReading& r : c.readings) {
    text += DateText(DateOfDayNumber(r.day)) + " " + TimeOfMinute(r.minute, true, true) + "," +
            Cell(r, 0) + "\r\n";
  }
  c.bytes = EncodeCp932(text).value();
  c.columns = TemperatureColumns{2, 0, 1};
  c.encoding = FileEncoding::Cp932;
  c.interval = 60;
  return c;
}

// A spreadsheet's "Unicode テキスト" of a two-channel logger every 10 minutes
// from 31 March 23:50: UTF-16 LE, TABs, ISO date and time with "T", a No.
// column first; channel 2 reads "Err" and "OL" now and then.
LoggerCase TenMinuteUtf16() {
  LoggerCase c;
  c.name = "10-minute utf-16";
  c.channels = 2;
  c.readings = Readings(DayNumber({2025, 3, 31}), 23 * 60 + 50, 10, 144 * 3 + 40, 2, 2);
  for (size_t i = 0; i < c.readings.size(); ++i) {
    if (i % 37 == 5) Fail(c.readings[i], 1, i % 2 ? "Err" : "OL");
  }
  AvoidTies(c.readings, 2);
  std::string text = "No.\t日時\tCH1 5cm\tCH2 10cm\r\n";
  for (size_t i = 0; i < c.readings.size(); ++i) {
    const LoggerReading& r = c.readings[i];
    const CivilDate d = DateOfDayNumber(r.day);
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", d.year, d.month, d.day);
    text += std::to_string(i + 1) + "\t" + date + "T" + TimeOfMinute(r.minute, false, true) + "\t" +
            Cell(r, 0) + "\t" + Cell(r, 1) + "\r\n";
  }
  c.bytes = Utf16(text, false);
  c.columns = TemperatureColumns{1, 1, 2};
  c.encoding = FileEncoding::Utf16Le;
  c.interval = 10;
  return c;
}

// Date and time in two columns every 30 minutes, the day's last reading
// written as 24:00 (it closes that day), UTF-8, "2025/4/1" and "0:30".
LoggerCase HalfHourTwoColumns() {
  LoggerCase c;
  c.name = "30-minute two columns";
  c.channels = 1;
  const int64_t first = DayNumber({2025, 7, 30});
  for (int i = 0; i < 48 * 4; ++i) {
    LoggerReading r = Readings(first, 0, 30, 1, 1, 3 + static_cast<unsigned>(i)).front();
    r.day = first + i / 48;
    r.minute = (i % 48 + 1) * 30;  // 0:30 ... 24:00
    c.readings.push_back(r);
  }
  AvoidTies(c.readings, 1);
  std::string text = "年月日,時刻,温度\n";
  for (const LoggerReading& r : c.readings) {
    const CivilDate d = DateOfDayNumber(r.day);
    text += std::to_string(d.year) + "/" + std::to_string(d.month) + "/" + std::to_string(d.day) +
            "," + TimeOfMinute(r.minute, false, false) + "," + Cell(r, 0) + "\n";
  }
  c.bytes = text;
  c.columns = TemperatureColumns{1, 0, 2};
  c.columns.timeColumn = 1;
  c.encoding = FileEncoding::Utf8;
  c.interval = 30;
  return c;
}

TEST(TemperatureLogger, DailyMeansOfLoggerFilesMatchMeansComputedFromTheReadings) {
  TempDir dir;
  for (const LoggerCase& c : {HourlyCp932(), TenMinuteUtf16(), HalfHourTwoColumns()}) {
    SCOPED_TRACE(c.name);
    TemperatureFileLoad load = LoadTemperatureFile(dir.Write("logger.csv", c.bytes));
    ASSERT_TRUE(load.error.empty()) << load.error;
    EXPECT_EQ(load.encoding, c.encoding);
    TemperatureColumns columns = load.guess;
    EXPECT_EQ(columns, c.columns);
    if (c.channels == 2) columns.moreTemperatureColumns = {columns.temperatureColumn + 1};
    for (const DailyMeanRule rule :
         {DailyMeanRule{}, DailyMeanRule{0.75, true}, DailyMeanRule{0.4, false}}) {
      const TemperatureRead read = ReadTemperatureSeries(load.rows, columns, rule);
      ASSERT_TRUE(read.series) << read.error;
      const TemperatureSeries& s = *read.series;
      EXPECT_TRUE(s.subDaily);
      EXPECT_EQ(s.interval, c.interval * 60'000'000);
      const auto expected = DaysOf(c.readings, c.channels);
      const int64_t first = expected[0].begin()->first;
      const int64_t last = expected[0].rbegin()->first;
      ASSERT_EQ(s.first, DateOfDayNumber(first));
      ASSERT_EQ(s.dates.size(), static_cast<size_t>(last - first + 1));
      ASSERT_EQ(s.channels.size(), c.channels);
      // The usual count: the most frequent number of rows a day.
      std::map<int, int> counts;
      for (const auto& [day, d] : expected[0]) ++counts[d.rows];
      int usual = 0, most = 0;
      for (const auto& [n, days] : counts) {
        if (days >= most) usual = n, most = days;
      }
      std::vector<CivilDate> missing;
      for (int64_t day = first; day <= last; ++day) {
        if (!expected[0].count(day)) missing.push_back(DateOfDayNumber(day));
      }
      EXPECT_EQ(s.missingDays, missing);
      for (size_t k = 0; k < c.channels; ++k) {
        const ChannelSeries& ch = s.channels[k];
        EXPECT_EQ(ch.readingsPerDay, usual);
        int failed = 0;
        std::vector<CivilDate> incomplete;
        for (const auto& [day, d] : expected[k]) {
          failed += d.rows - d.readable;
          const bool complete = d.readable > 0 && d.readable >= rule.minCoverage * usual;
          if (!complete) incomplete.push_back(DateOfDayNumber(day));
          const std::string want = d.readable > 0 && (complete || rule.keepIncomplete)
                                       ? MeanOfHundredths(d.sum, d.readable)
                                       : std::string();
          EXPECT_EQ(ch.temperatures[static_cast<size_t>(day - first)], want)
              << DateText(DateOfDayNumber(day)) << " channel " << k;
        }
        EXPECT_EQ(ch.failedReadings, failed);
        EXPECT_EQ(ch.incompleteDays, incomplete);
      }
    }
  }
}

TEST(TemperatureLogger, TheBatteryGapAndFailedReadingsOfTheHourlyFile) {
  // The same file, its days named: what a user checks in the preview.
  TempDir dir;
  const TemperatureFileLoad load =
      LoadTemperatureFile(dir.Write("hourly.csv", HourlyCp932().bytes));
  ASSERT_TRUE(load.read.series) << load.read.error;
  const ChannelSeries& ch = load.read.series->channels.front();
  EXPECT_EQ(ch.readingsPerDay, 24);
  // 3 April has 10 readings (incomplete), 4 April 21 (complete: 18 needed),
  // 6 April none readable; 2 April lost 3 of 24 and is complete.
  EXPECT_EQ(ch.incompleteDays, (std::vector<CivilDate>{{2025, 4, 3}, {2025, 4, 6}}));
  EXPECT_EQ(ch.blankDays, (std::vector<CivilDate>{{2025, 4, 6}}));
  EXPECT_EQ(ch.failedReadings, 3 + 24);
  EXPECT_EQ(ch.fullDays, 5);
  EXPECT_EQ(ch.temperatures[2], "");
  EXPECT_FALSE(ch.temperatures[3].empty());
  EXPECT_EQ(SeriesNames(load.baseName, load.rows, load.guess),
            (std::vector<std::string>{"hourly"}));
  // Two columns named after the file and their headings.
  TemperatureColumns two{1, 1, 2};
  two.moreTemperatureColumns = {3};
  const TemperatureFileLoad utf16 =
      LoadTemperatureFile(dir.Write("圃場A.txt", TenMinuteUtf16().bytes));
  EXPECT_EQ(SeriesNames(utf16.baseName, utf16.rows, two),
            (std::vector<std::string>{"圃場A CH1 5cm", "圃場A CH2 10cm"}));
}

TEST(TemperatureLogger, EdgesOfADay) {
  struct Case {
    const char* name;
    const char* text;
    std::vector<std::string> temperatures;
    std::vector<CivilDate> incomplete;
  };
  const Case cases[] = {
      // One reading on a day among days of four: incomplete, left empty.
      {"one reading",
       "2025/5/1 0:00,1\n2025/5/1 6:00,2\n2025/5/1 12:00,3\n2025/5/1 18:00,4\n"
       "2025/5/2 0:00,8\n"
       "2025/5/3 0:00,1\n2025/5/3 6:00,1\n2025/5/3 12:00,1.5\n2025/5/3 18:00,1\n",
       {"2.5", "", "1.13"},
       {{2025, 5, 2}}},
      // Three of four reach 75 %; a mean rounded half away from zero below 0.
      {"three of four",
       "2025/5/1 0:00,-1\n2025/5/1 6:00,-----\n2025/5/1 12:00,-1.01\n2025/5/1 18:00,-1.02\n"
       "2025/5/2 0:00,1\n2025/5/2 6:00,2\n2025/5/2 12:00,3\n2025/5/2 18:00,4\n",
       {"-1.01", "2.5"},
       {}},
      // A day whose readings all failed; "24:00" closes the day before.
      {"all failed, 24:00",
       "2025/5/1 12:00,10\n2025/5/1 24:00,20\n2025/5/2 12:00,Err\n2025/5/2 24:00,OL\n"
       "2025/5/3 12:00,1\n2025/5/3 24:00,2\n",
       {"15", "", "1.5"},
       {{2025, 5, 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TemperatureRead read =
        ReadTemperatureSeries(DelimitedText(c.text, ','), TemperatureColumns{0, 0, 1});
    ASSERT_TRUE(read.series) << read.error;
    EXPECT_TRUE(read.series->subDaily);
    EXPECT_EQ(read.series->temperatures, c.temperatures);
    EXPECT_EQ(read.series->channels.front().incompleteDays, c.incomplete);
  }
  // A file with one reading a day, with its time, reads as a daily file: the
  // values as typed, not rounded to two decimals.
  const TemperatureRead daily = ReadTemperatureSeries(
      DelimitedText("2025/5/1 09:00,12.345\n2025/5/2 09:00,7\n", ','), TemperatureColumns{0, 0, 1});
  ASSERT_TRUE(daily.series);
  EXPECT_FALSE(daily.series->subDaily);
  EXPECT_EQ(daily.series->temperatures, (std::vector<std::string>{"12.345", "7"}));
}

// What a logger writes besides temperatures: a counter before the
// temperature column, error codes among the readings, a first day of failed
// readings. None of it may become a temperature, nor hide a failed reading.
TEST(TemperatureLogger, CountersErrorCodesAndLeadingFailedReadings) {
  struct Case {
    const char* name;
    std::string text;
    int headerRows;         // the guess
    int temperatureColumn;  // the guess
    std::vector<std::string> temperatures;
    int failed;
  };
  std::string counter = "日時,経過秒数,温度(℃)\n";
  std::string leading = "日時,地温\n";
  for (int h = 0; h < 48; ++h) {
    const std::string at =
        "2025/07/0" + std::to_string(1 + h / 24) + " " + std::to_string(h % 24) + ":00";
    counter += at + "," + std::to_string(3600 * h) + "," + (h < 24 ? "21" : "22") + "\n";
    leading += at + "," + (h < 7 ? "-----" : h < 24 ? "20" : "18") + "\n";
  }
  const Case cases[] = {
      // The heading names the temperature; the counter is no temperature.
      {"counter", counter, 1, 2, {"21", "22"}, 0},
      // Seven failed readings of 24 make the first day incomplete; they are
      // data rows, counted as failed, not headings.
      {"leading failed", leading, 1, 1, {"", "18"}, 7},
      // -999.9, 9999 and 1e30 are error codes, never averaged.
      {"error codes",
       "日付,地温\n2025/5/1 0:00,10\n2025/5/1 6:00,-999.9\n2025/5/1 12:00,11\n2025/5/1 18:00,12\n"
       "2025/5/2 0:00,9999\n2025/5/2 6:00,1e30\n2025/5/2 12:00,1\n2025/5/2 18:00,2\n",
       1,
       1,
       {"11", ""},
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DelimitedText rows(c.text, ',');
    const TemperatureColumns guess = GuessTemperatureColumns(rows);
    EXPECT_EQ(guess.headerRows, c.headerRows);
    EXPECT_EQ(guess.temperatureColumn, c.temperatureColumn);
    const TemperatureRead read = ReadTemperatureSeries(rows, guess);
    ASSERT_TRUE(read.series) << read.error;
    EXPECT_EQ(read.series->temperatures, c.temperatures);
    EXPECT_EQ(read.series->channels.front().failedReadings, c.failed);
  }
  // A column without one temperature (decimal commas read as separators
  // leave none) is refused, not stored as a series of empty days.
  const TemperatureRead none = ReadTemperatureSeries(
      DelimitedText("2025/5/1,-----\n2025/5/2,Err\n", ','), TemperatureColumns{0, 0, 1});
  EXPECT_FALSE(none.series);
  EXPECT_EQ(none.error, "2列目には地温として読める値がありません。地温の列を選び直して下さい。");
}

TEST(TemperatureLogger, TimesOutOfOrderOrUnreadableAreRefusedWithTheirLine) {
  struct Case {
    const char* text;
    TemperatureColumns columns;
    int line;
    const char* message;
  };
  TemperatureColumns twoColumns{0, 0, 2};
  twoColumns.timeColumn = 1;
  const Case cases[] = {
      {"2025/5/1 0:00,1\n2025/5/1 0:30,1\n2025/5/1 0:30,1\n",
       {0, 0, 1},
       3,
       "3行目の日時 2025/05/01 00:30 は前の行と重複しています。"},
      {"2025/5/1 0:00,1\n2025/5/1 1:00,1\n2025/5/1 0:30,1\n",
       {0, 0, 1},
       3,
       "3行目の日時 2025/05/01 00:30 が前の行の日時より前です。時刻の順に並べて下さい。"},
      // 24:00 is the next day's 00:00: written twice it is a repetition.
      {"2025/5/1 23:00,1\n2025/5/1 24:00,1\n2025/5/2 0:00,1\n",
       {0, 0, 1},
       3,
       "3行目の日時 2025/05/02 00:00 は前の行と重複しています。"},
      {"2025/5/1 0:00,1\n2025/5/1 24:01,1\n",
       {0, 0, 1},
       2,
       "2行目の日付「2025/5/1 24:01」を読み取れません。"},
      {"2025/5/1,0:00,1\n2025/5/1,12時,1\n", twoColumns, 2,
       "2行目の時刻「12時」を読み取れません。"},
      {"2025/5/1,0:00:00.5,1\n2025/5/1,0:00:00.25,1\n", twoColumns, 2,
       "2行目の日時 2025/05/01 00:00:00.25 が前の行の日時より前です。時刻の順に並べて下さい。"},
  };
  for (const Case& c : cases) {
    const TemperatureRead read = ReadTemperatureSeries(DelimitedText(c.text, ','), c.columns);
    EXPECT_FALSE(read.series) << c.text;
    EXPECT_EQ(read.errorLine, c.line) << c.text;
    EXPECT_EQ(read.error, c.message);
  }
  EXPECT_EQ(ReadTemperatureSeries(DelimitedText("2025/5/1,0:00,1\n", ','),
                                  [] {
                                    TemperatureColumns c{0, 0, 2};
                                    c.timeColumn = 2;
                                    return c;
                                  }())
                .error,
            "時刻の列には日付の列とも地温の列とも別の列を選んで下さい。");
}

TEST(TemperatureLogger, TimeForms) {
  struct Case {
    const char* text;
    std::optional<int64_t> micros;
  };
  const int64_t m = 60'000'000;
  const Case cases[] = {
      {"0:00", 0},
      {"00:00", 0},
      {"9:05", 545 * m},
      {"23:59:59", 86'399'000'000},
      {" 12:30:15.25 ", 750 * m + 15'250'000},
      {"12:30:15,5", 750 * m + 15'500'000},
      {"24:00", kMicrosPerDay},
      {"24:00:00.000", kMicrosPerDay},
      {"24:00:01", std::nullopt},
      {"25:00", std::nullopt},
      {"12:60", std::nullopt},
      {"12:5", std::nullopt},
      {"123:00", std::nullopt},
      {"12:00:5", std::nullopt},
      {"12:00.5", std::nullopt},
      {"12:00:00.", std::nullopt},
      {"12", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseFileTime(c.text), c.micros) << c.text;
  struct DateTimeCase {
    const char* text;
    bool ok;
    std::optional<int64_t> micros;
  };
  const DateTimeCase dts[] = {
      {"2025/04/01 00:00:00", true, 0},
      {"2025/4/1 0:00", true, 0},
      {"2025-04-01T00:00", true, 0},
      {"2025年4月1日 13:00", true, 780 * m},
      {"2025/04/01\u3000 6:00", true, 360 * m},
      {"2025/04/01", true, std::nullopt},
      {"2025/04/01T", false, std::nullopt},
      {"2025/04/01 noon", false, std::nullopt},
      {"2025/02/30 00:00", false, std::nullopt},
      {"0:00 2025/04/01", false, std::nullopt},
  };
  for (const DateTimeCase& c : dts) {
    const std::optional<FileDateTime> dt = ParseFileDateTime(c.text);
    EXPECT_EQ(dt.has_value(), c.ok) << c.text;
    if (dt) {
      EXPECT_EQ(dt->time, c.micros) << c.text;
    }
  }
}

TEST(TemperatureLogger, Utf16WithAndWithoutItsMark) {
  const std::string text = "日付\t地温\r\n2025/4/1\t12.5\r\n";
  for (bool big : {false, true}) {
    const std::optional<DecodedFile> d = DecodeTextFile(Utf16(text, big));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->text, text);
    EXPECT_EQ(d->encoding, big ? FileEncoding::Utf16Be : FileEncoding::Utf16Le);
  }
  // Without its mark: refused, and the message says why.
  TempDir dir;
  const TextFileRead noMark = ReadTextFile(dir.Write("u16.txt", Utf16(text, false).substr(2)));
  EXPECT_FALSE(noMark.file);
  EXPECT_NE(noMark.error.find("バイト順マーク（BOM）がない"), std::string::npos) << noMark.error;
  // A lone surrogate, an odd byte count, a NUL in UTF-8.
  EXPECT_FALSE(DecodeTextFile(std::string("\xFF\xFE\x00\xD8\x41\x00", 6)));
  EXPECT_FALSE(DecodeTextFile(std::string("\xFF\xFE\x41", 3)));
  EXPECT_FALSE(DecodeTextFile(std::string("a\0b", 3)));
}

TEST(TemperatureLogger, AHugeCellIsQuotedShort) {
  // A 10 MB cell where the date should be: the message quotes about 100
  // characters of it, not the cell.
  const std::string cell(10'000'000, 'x');
  const TemperatureRead read =
      ReadTemperatureSeries(SplitDelimited(cell + ",1\n", ','), TemperatureColumns{0, 0, 1});
  ASSERT_FALSE(read.series);
  EXPECT_LT(read.error.size(), 200u);
  EXPECT_EQ(read.error, "1行目の日付「" + std::string(100, 'x') + "…」を読み取れません。");
}

TEST(TemperatureLogger, ALongLineIsGuessedAndACancelledReadStops) {
  EXPECT_EQ(QuotedPart("あいう", 2), "あい…");
  EXPECT_EQ(QuotedPart("あいう", 3), "あいう");

  // The preview's guess on one line of 20 000 dates and a number at its end.
  std::string line;
  for (int i = 0; i < 20'000; ++i) line += "2025/4/1,";
  const DelimitedText rows(line + "5\n", ',');
  EXPECT_EQ(GuessTemperatureColumns(rows), (TemperatureColumns{0, 0, 20'000}));

  std::atomic<bool> cancel{true};
  const TemperatureRead stopped = ReadTemperatureSeries(
      DelimitedText("2025/4/1,1\n2025/4/2,2\n", ','), TemperatureColumns{0, 0, 1}, {}, &cancel);
  EXPECT_TRUE(stopped.cancelled);
  EXPECT_FALSE(stopped.series);
  TempDir dir;
  EXPECT_TRUE(LoadTemperatureFile(dir.Write("t.csv", "2025/4/1,1\n"), &cancel).cancelled);
}

}  // namespace
}  // namespace kelvora
