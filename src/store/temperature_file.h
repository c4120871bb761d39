// Text files from other programs: daily temperature lists (weather-service
// downloads, spreadsheets saved as CSV), the exports of data loggers that read
// every few minutes, and tables to be pasted into a data grid. Their encoding
// and separator are detected, their rows split with double-quote handling, and
// daily series are read from a date column (with its time, or a time column)
// and one or more temperature columns; readings of a day become its mean.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/date_text.h"

namespace kelvora {

enum class FileEncoding { Utf8, Utf8WithBom, Cp932, Utf16Le, Utf16Be };

struct DecodedFile {
  std::string text;  // UTF-8, without a byte-order mark
  FileEncoding encoding = FileEncoding::Utf8;
};

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// code points beyond U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The text of a file's bytes: UTF-16 (little or big endian) after its
// byte-order mark, UTF-8 when they are valid UTF-8 (a leading byte-order mark
// dropped), otherwise code page 932. Nothing when the bytes are none of these.
std::optional<DecodedFile> DecodeTextFile(std::string_view bytes);

// True when bytes without a byte-order mark look like UTF-16 text: NUL bytes
// in every other place, as the ASCII characters of UTF-16 have them.
bool LooksLikeUtf16WithoutMark(std::string_view bytes);

// At most `maxChars` characters of a UTF-8 text for a message, "…" after a
// text cut short.
std::string QuotedPart(std::string_view text, size_t maxChars = 100);

// Files larger than this are refused: no daily list comes near it.
inline constexpr std::uintmax_t kMaxTextFileBytes = 64u << 20;

struct TextFileRead {
  std::optional<DecodedFile> file;
  std::string error;  // Japanese, naming the file, when there is no text
};

// Reads and decodes a text file. Anything but a regular file, a file over
// kMaxTextFileBytes and bytes in no encoding above are refused with a message.
// With `cancel` set meanwhile, the result is empty without a message.
TextFileRead ReadTextFile(const std::filesystem::path& path,
                          const std::atomic<bool>* cancel = nullptr);

// One row of a delimited text and the line of the file it starts on (from 1).
struct DelimitedRow {
  int line = 0;
  std::vector<std::string> fields;
};

// The rows of a delimited text held compactly (a file of 64 MiB may hold tens
// of millions of fields): every field's text in one buffer.
class DelimitedText {
 public:
  DelimitedText() = default;
  // Splits a text into rows at CR LF, LF or CR and each row into fields at
  // `separator`. A field that begins with a double quote runs to the next
  // lone double quote and may hold separators and line breaks; "" inside it
  // stands for one double quote. A line break at the very end ends the last
  // row; an empty line is a row of one empty field. At most `maxRows` rows;
  // with `cancel` set meanwhile, what was split so far.
  DelimitedText(std::string_view text, char separator, size_t maxRows = SIZE_MAX,
                const std::atomic<bool>* cancel = nullptr);
  explicit DelimitedText(const std::vector<DelimitedRow>& rows);

  int Rows() const { return static_cast<int>(rowStart_.size()) - 1; }
  // The file line row `r` starts on (from 1).
  int Line(int r) const { return lines_.empty() ? r + 1 : lines_[static_cast<size_t>(r)]; }
  int Fields(int r) const {
    return static_cast<int>(rowStart_[static_cast<size_t>(r) + 1] -
                            rowStart_[static_cast<size_t>(r)]);
  }
  // Field `c` of row `r`; nothing beyond the row's fields.
  std::optional<std::string_view> Field(int r, int c) const;
  // True when every field of the row is empty or blanks.
  bool BlankRow(int r) const;
  // Fields of the widest row.
  int MaxFields() const { return maxFields_; }
  // True when the text held more than kMaxFields fields: splitting stopped
  // there (no temperature file has so many; a file of nothing but
  // separators or line breaks does).
  bool TooManyFields() const { return tooMany_; }
  static constexpr size_t kMaxFields = 16u << 20;
  std::vector<DelimitedRow> ToRows() const;

 private:
  std::string cells_;                  // every field's text, one after the other
  std::vector<uint32_t> fieldEnd_;     // end of each field in cells_
  std::vector<uint32_t> rowStart_{0};  // first field of each row, and the end
  std::vector<int32_t> lines_;         // line of each row; empty while row r is line r + 1
  int maxFields_ = 0;
  bool tooMany_ = false;
};

// The rows of a delimited text, as DelimitedText splits them.
std::vector<DelimitedRow> SplitDelimited(std::string_view text, char separator);

// The separator of a delimited text: TAB, semicolon or comma, whichever
// splits the most rows into one and the same number (more than one) of
// fields. On a tie TAB wins over semicolon and semicolon over comma (a
// semicolon list may use commas as decimal marks); comma when none splits.
char DetectSeparator(std::string_view text);

// A decoded file as text to paste into a data grid: a TAB-separated text
// unchanged; any other separator is replaced by TAB with the quoting above
// resolved, rows ended by CR LF. TABs and line breaks inside a quoted field
// become spaces, since a grid cell holds neither.
std::string GridPasteText(std::string_view text);

// Reads a date written as yyyy/MM/dd, yyyy-MM-dd, yyyy/M/d, yyyy-M-d or
// yyyy年M月d日, blanks around allowed. Only real dates within 1900..9999.
std::optional<CivilDate> ParseFileDate(std::string_view text);

// Microseconds of a day.
inline constexpr int64_t kMicrosPerDay = 86'400'000'000;

// Reads a time of day written H:mm, HH:mm, H:mm:ss or HH:mm:ss, the seconds
// optionally with a fraction ("12:30:15.25"; beyond microseconds cut off),
// blanks around allowed: microseconds since midnight. "24:00" (":00", ".0")
// is the midnight that ends the day, kMicrosPerDay.
std::optional<int64_t> ParseFileTime(std::string_view text);

// A date alone or a date followed by a time, separated by blanks or "T"
// ("2025/04/01 00:00:00", "2025/4/1 0:00", "2025-04-01T00:00").
struct FileDateTime {
  CivilDate date;
  std::optional<int64_t> time;  // microseconds since midnight
};
std::optional<FileDateTime> ParseFileDateTime(std::string_view text);

// Which rows and columns of a delimited text hold the series.
struct TemperatureColumns {
  TemperatureColumns() = default;
  TemperatureColumns(int skip, int date, int temperature, int time = -1, std::vector<int> more = {})
      : headerRows(skip),
        dateColumn(date),
        temperatureColumn(temperature),
        timeColumn(time),
        moreTemperatureColumns(std::move(more)) {}

  int headerRows = 0;  // rows skipped before the data
  int dateColumn = 0;
  int temperatureColumn = 1;
  int timeColumn = -1;  // -1: the time, if any, is in the date column
  // Further temperature columns, each a series of its own.
  std::vector<int> moreTemperatureColumns;
  friend bool operator==(const TemperatureColumns&, const TemperatureColumns&) = default;
  // The temperature columns in order, the first one first.
  std::vector<int> AllTemperatureColumns() const;
};

// The first row with a date in one field and a number in another starts the
// data; the date field gives the date column. A date without its time, the
// same date in the next row and a field holding a time alone give the time
// column. The temperature column is
// the numeric column whose heading (in the rows above) mentions 地温, else
// 平均, else the first numeric column after the date (the first before it
// when none follows). Rows 0, columns 0 and 1 when no row has a date and a
// number. Linear in the size of the text.
TemperatureColumns GuessTemperatureColumns(const DelimitedText& rows);
TemperatureColumns GuessTemperatureColumns(const std::vector<DelimitedRow>& rows);

// The heading of a column: the texts of the rows above the data in that
// column, blanks trimmed, repeats dropped, joined by a blank; only rows as
// wide as the first data row count when there are such rows.
std::string ColumnHeading(const DelimitedText& rows, int headerRows, int column);

// A reading a soil can have: above -100 ℃ and below 100 ℃. Anything else in
// a temperature column (a logger's error code such as -999.9 or 9999, a value
// read from the wrong column) is counted as a failed reading, never averaged.
inline constexpr double kLowestSoilReading = -100;
inline constexpr double kHighestSoilReading = 100;
bool IsSoilReading(double celsius);

// How readings become daily means.
struct DailyMeanRule {
  // A day with fewer readings than this share of the usual count is
  // incomplete.
  double minCoverage = 0.75;
  // Whether an incomplete day keeps the mean of the readings it has.
  bool keepIncomplete = false;
};

// One temperature column read as a series.
struct ChannelSeries {
  int column = 0;
  std::vector<std::string> temperatures;  // one per day; empty when none
  int readingsPerDay = 1;                 // the usual count of readings of a day
  int failedReadings = 0;                 // readings that are empty or not a number
  int fullDays = 0;                       // days with their temperature
  std::vector<CivilDate> incompleteDays;  // days with too few readings (or none readable)
  std::vector<CivilDate> blankDays;       // days whose readings are all empty or no number
  std::optional<float> lowest, highest;   // of the daily temperatures written
};

// Daily series read from a file: every day from the first to the last date
// of the file, in the texts the soil temperature screen stores.
struct TemperatureSeries {
  CivilDate first;
  std::vector<std::string> dates;         // "yyyy/MM/dd", one per day
  std::vector<std::string> temperatures;  // of the first column: canonical single text, or empty
  std::vector<CivilDate> missingDays;     // days without a row in the file
  std::vector<CivilDate> blankDays;       // of the first column: no readable temperature
  // Several readings on a day: the temperatures are daily means.
  bool subDaily = false;
  // The most frequent time between two readings (microseconds); 0 without times.
  int64_t interval = 0;
  std::vector<ChannelSeries> channels;  // every temperature column, the first first
};

struct TemperatureRead {
  std::optional<TemperatureSeries> series;
  std::string error;  // Japanese, when there is no series
  int errorLine = 0;  // the file line the error is about, 0 when none
  bool cancelled = false;
};

// Reads the series below `columns.headerRows` rows. Blank rows are skipped. A
// row whose date or time cannot be read, a time not later than the one
// before it (repeated or out of order), a range longer than kMaxRangeDays or
// no data row at all give an error instead of a series. A file with one row a
// day reads each day's temperature as it stands; with several readings on a
// day each day's temperature is the mean of its readable readings (in
// double, rounded half away from zero to two decimals, then kept as a typed
// value is), and days with too few readings follow `rule`.
TemperatureRead ReadTemperatureSeries(const DelimitedText& rows, const TemperatureColumns& columns,
                                      const DailyMeanRule& rule = {},
                                      const std::atomic<bool>* cancel = nullptr);
TemperatureRead ReadTemperatureSeries(const std::vector<DelimitedRow>& rows,
                                      const TemperatureColumns& columns,
                                      const DailyMeanRule& rule = {});

// The series as grid text of the soil temperature screen: the header row
// "年/月/日", "地温(℃)", then one row per day; `channel` picks the column.
std::string SeriesGridText(const TemperatureSeries& series, size_t channel = 0);

// Days as texts, a run of consecutive days as "first～last".
std::vector<std::string> DayRuns(const std::vector<CivilDate>& days);

}  // namespace kelvora
