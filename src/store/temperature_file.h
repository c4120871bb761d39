// Text files from other programs: daily temperature lists (weather-service
// downloads, logger exports, spreadsheets saved as CSV) and tables to be
// pasted into a data grid. Their encoding and separator are detected, their
// rows split with double-quote handling, and a daily series is read from a
// date column and a temperature column.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/date_text.h"

namespace kelvora {

enum class FileEncoding { Utf8, Utf8WithBom, Cp932 };

struct DecodedFile {
  std::string text;  // UTF-8, without a byte-order mark
  FileEncoding encoding = FileEncoding::Utf8;
};

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// code points beyond U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The text of a file's bytes: UTF-8 when they are valid UTF-8 (a leading
// byte-order mark dropped), otherwise code page 932. Nothing when the bytes
// are neither.
std::optional<DecodedFile> DecodeTextFile(std::string_view bytes);

// Files larger than this are refused: no daily list comes near it.
inline constexpr std::uintmax_t kMaxTextFileBytes = 64u << 20;

struct TextFileRead {
  std::optional<DecodedFile> file;
  std::string error;  // Japanese, naming the file, when there is no text
};

// Reads and decodes a text file. Anything but a regular file, a file over
// kMaxTextFileBytes and bytes that are neither UTF-8 nor code page 932 are
// refused with a message.
TextFileRead ReadTextFile(const std::filesystem::path& path);

// One row of a delimited text and the line of the file it starts on (from 1).
struct DelimitedRow {
  int line = 0;
  std::vector<std::string> fields;
};

// Splits a text into rows at CR LF, LF or CR and each row into fields at
// `separator`. A field that begins with a double quote runs to the next lone
// double quote and may hold separators and line breaks; "" inside it stands
// for one double quote. A line break at the very end ends the last row; an
// empty line is a row of one empty field.
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

// Which rows and columns of a delimited text hold the series.
struct TemperatureColumns {
  int headerRows = 0;  // rows skipped before the data
  int dateColumn = 0;
  int temperatureColumn = 1;
  friend bool operator==(const TemperatureColumns&, const TemperatureColumns&) = default;
};

// The first row with a date in one field and a number in another starts the
// data; the date field gives the date column. The temperature column is the
// numeric column whose heading (in the rows above) mentions 地温, else 平均,
// else the first numeric column after the date (the first before it when
// none follows). Rows 0, columns 0 and 1 when no row has a date and a number.
TemperatureColumns GuessTemperatureColumns(const std::vector<DelimitedRow>& rows);

// A daily series read from a file: every day from the first to the last date
// of the file, in the texts the soil temperature screen stores.
struct TemperatureSeries {
  CivilDate first;
  std::vector<std::string> dates;         // "yyyy/MM/dd", one per day
  std::vector<std::string> temperatures;  // canonical single text, empty when none
  std::vector<CivilDate> missingDays;     // days without a row in the file
  std::vector<CivilDate> blankDays;       // rows whose temperature is empty or no number
};

struct TemperatureRead {
  std::optional<TemperatureSeries> series;
  std::string error;  // Japanese, when there is no series
  int errorLine = 0;  // the file line the error is about, 0 when none
};

// Reads the series below `columns.headerRows` rows. Blank rows are skipped. A
// row whose date cannot be read, a date not later than the one before it
// (repeated or out of order), a range longer than kMaxRangeDays or no data row
// at all give an error instead of a series.
TemperatureRead ReadTemperatureSeries(const std::vector<DelimitedRow>& rows,
                                      const TemperatureColumns& columns);

// The series as grid text of the soil temperature screen: the header row
// "年/月/日", "地温(℃)", then one row per day.
std::string SeriesGridText(const TemperatureSeries& series);

// Days as texts, a run of consecutive days as "first～last".
std::vector<std::string> DayRuns(const std::vector<CivilDate>& days);

}  // namespace kelvora
