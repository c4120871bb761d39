#include "store/temperature_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <set>

#include "store/cp932.h"
#include "store/data_files.h"
#include "store/grid_text.h"
#include "store/number_text.h"

namespace kelvora {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsBlank(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t'; });
}

bool IsBlankRow(const DelimitedRow& row) {
  return std::all_of(row.fields.begin(), row.fields.end(),
                     [](const std::string& f) { return IsBlank(f); });
}

std::string_view Trim(std::string_view s) {
  // ASCII blanks and the ideographic space (E3 80 80).
  for (;;) {
    if (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
      s.remove_prefix(1);
    } else if (s.substr(0, 3) == "\xE3\x80\x80") {
      s.remove_prefix(3);
    } else {
      break;
    }
  }
  for (;;) {
    if (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
      s.remove_suffix(1);
    } else if (s.size() >= 3 && s.substr(s.size() - 3) == "\xE3\x80\x80") {
      s.remove_suffix(3);
    } else {
      break;
    }
  }
  return s;
}

const std::string* Field(const DelimitedRow& row, int col) {
  if (col < 0 || col >= static_cast<int>(row.fields.size())) return nullptr;
  return &row.fields[static_cast<size_t>(col)];
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  size_t i = 0;
  const size_t n = bytes.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    int extra = 0;
    uint32_t cp = 0;
    uint32_t min = 0;
    if ((b & 0xE0) == 0xC0) {
      extra = 1;
      cp = b & 0x1F;
      min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      cp = b & 0x0F;
      min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      cp = b & 0x07;
      min = 0x10000;
    } else {
      return false;
    }
    if (i + static_cast<size_t>(extra) >= n) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(bytes[i + static_cast<size_t>(k)]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

std::optional<DecodedFile> DecodeTextFile(std::string_view bytes) {
  if (bytes.substr(0, kBom.size()) == kBom) {
    const std::string_view rest = bytes.substr(kBom.size());
    if (!IsValidUtf8(rest)) return std::nullopt;
    return DecodedFile{std::string(rest), FileEncoding::Utf8WithBom};
  }
  if (IsValidUtf8(bytes)) return DecodedFile{std::string(bytes), FileEncoding::Utf8};
  std::optional<std::string> text = DecodeCp932(bytes);
  if (!text) return std::nullopt;
  return DecodedFile{std::move(*text), FileEncoding::Cp932};
}

TextFileRead ReadTextFile(const std::filesystem::path& path) {
  TextFileRead out;
  const std::string name = path.filename().string();
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > kMaxTextFileBytes) {
    out.error = "ファイル「" + name + "」は大きすぎて読み込めません。";
    return out;
  }
  std::string bytes;
  std::string reason;
  if (!ReadFileWhole(path, bytes, reason)) {
    out.error = "ファイル「" + name + "」を読み込めません。\n" + reason;
    return out;
  }
  out.file = DecodeTextFile(bytes);
  if (!out.file) {
    out.error = "ファイル「" + name +
                "」の文字コードが分かりません。UTF-8 かシフトJIS（コードページ932）の"
                "テキストファイルを選んで下さい。";
  }
  return out;
}

std::vector<DelimitedRow> SplitDelimited(std::string_view text, char separator) {
  std::vector<DelimitedRow> rows;
  if (text.empty()) return rows;
  int line = 1;
  DelimitedRow row{line, {std::string()}};
  bool quoted = false;     // inside a quoted field
  bool fieldStart = true;  // nothing of the current field read yet
  bool rowPending = true;  // the current row has not been stored
  size_t i = 0;
  const size_t n = text.size();
  auto lineBreakAt = [&](size_t at) -> size_t {  // length of a break at `at`, 0 when none
    if (text[at] == '\r') return at + 1 < n && text[at + 1] == '\n' ? 2 : 1;
    return text[at] == '\n' ? 1 : 0;
  };
  while (i < n) {
    const char c = text[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < n && text[i + 1] == '"') {
          row.fields.back() += '"';
          i += 2;
        } else {
          quoted = false;
          ++i;
        }
        continue;
      }
      if (const size_t br = lineBreakAt(i)) {
        row.fields.back().append(text.substr(i, br));
        ++line;
        i += br;
        continue;
      }
      row.fields.back() += c;
      ++i;
      continue;
    }
    if (c == '"' && fieldStart) {
      quoted = true;
      fieldStart = false;
      ++i;
      continue;
    }
    if (c == separator) {
      row.fields.emplace_back();
      fieldStart = true;
      ++i;
      continue;
    }
    if (const size_t br = lineBreakAt(i)) {
      rows.push_back(std::move(row));
      ++line;
      i += br;
      row = DelimitedRow{line, {std::string()}};
      fieldStart = true;
      rowPending = i < n;
      continue;
    }
    row.fields.back() += c;
    fieldStart = false;
    ++i;
  }
  if (rowPending) rows.push_back(std::move(row));
  return rows;
}

char DetectSeparator(std::string_view text) {
  // Enough rows to see past a header of any usual length.
  constexpr size_t kRowsLooked = 200;
  char best = ',';
  size_t bestScore = 0;
  for (char sep : {'\t', ';', ','}) {
    std::vector<DelimitedRow> rows = SplitDelimited(text, sep);
    if (rows.size() > kRowsLooked) rows.resize(kRowsLooked);
    std::map<size_t, size_t> counts;  // fields per row -> rows
    for (const DelimitedRow& r : rows) {
      if (r.fields.size() > 1) ++counts[r.fields.size()];
    }
    size_t score = 0;
    for (const auto& [fields, n] : counts) score = std::max(score, n);
    if (score > bestScore) {
      best = sep;
      bestScore = score;
    }
  }
  return best;
}

std::string GridPasteText(std::string_view text) {
  const char sep = DetectSeparator(text);
  if (sep == '\t') return std::string(text);
  std::string out;
  for (const DelimitedRow& row : SplitDelimited(text, sep)) {
    for (size_t c = 0; c < row.fields.size(); ++c) {
      if (c > 0) out += '\t';
      std::string cell = row.fields[c];
      // A line break inside a cell (CR LF included) becomes one space.
      std::string flat;
      for (size_t k = 0; k < cell.size(); ++k) {
        const char ch = cell[k];
        if (ch == '\r' && k + 1 < cell.size() && cell[k + 1] == '\n') continue;
        flat += (ch == '\r' || ch == '\n' || ch == '\t') ? ' ' : ch;
      }
      out += flat;
    }
    out += "\r\n";
  }
  return out;
}

std::optional<CivilDate> ParseFileDate(std::string_view text) {
  text = Trim(text);
  // Year, month, day: digits, each followed by its separator ("/" "-" or
  // 年 月 日, the last one only for the Japanese form).
  std::array<int, 3> parts{};
  std::array<int, 3> digits{};
  int part = 0;
  bool japanese = false;
  char sep = 0;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (part > 2) return std::nullopt;
      if (++digits[static_cast<size_t>(part)] > 4) return std::nullopt;
      parts[static_cast<size_t>(part)] = parts[static_cast<size_t>(part)] * 10 + (c - '0');
      ++i;
      continue;
    }
    static constexpr std::string_view kUnits[3] = {"年", "月", "日"};
    if (c == '/' || c == '-') {
      if (japanese || part > 1 || (sep != 0 && sep != c)) return std::nullopt;
      sep = c;
      ++part;
      ++i;
      continue;
    }
    if (part <= 2 && text.substr(i, kUnits[part].size()) == kUnits[part]) {
      if (sep != 0) return std::nullopt;
      if (part == 0) japanese = true;
      if (!japanese) return std::nullopt;
      i += kUnits[part].size();
      ++part;
      continue;
    }
    return std::nullopt;
  }
  if (japanese ? part != 3 : part != 2) return std::nullopt;
  if (digits[0] != 4 || digits[1] < 1 || digits[1] > 2 || digits[2] < 1 || digits[2] > 2) {
    return std::nullopt;
  }
  const CivilDate date{parts[0], parts[1], parts[2]};
  if (date.year < kFirstDateYear || date.year > kLastDateYear || date.month < 1 ||
      date.month > 12 || date.day < 1 || date.day > DaysInMonth(date.year, date.month)) {
    return std::nullopt;
  }
  return date;
}

TemperatureColumns GuessTemperatureColumns(const std::vector<DelimitedRow>& rows) {
  for (size_t r = 0; r < rows.size(); ++r) {
    const std::vector<std::string>& f = rows[r].fields;
    const int cols = static_cast<int>(f.size());
    for (int d = 0; d < cols; ++d) {
      if (!ParseFileDate(f[static_cast<size_t>(d)])) continue;
      std::vector<int> numeric;
      for (int c = d + 1; c < cols; ++c) {
        if (IsNumber(f[static_cast<size_t>(c)])) numeric.push_back(c);
      }
      for (int c = 0; c < d; ++c) {
        if (IsNumber(f[static_cast<size_t>(c)])) numeric.push_back(c);
      }
      if (numeric.empty()) continue;
      int chosen = numeric.front();
      // A heading above that names the column wins over position.
      for (std::string_view word : {std::string_view("地温"), std::string_view("平均")}) {
        const auto named = std::find_if(numeric.begin(), numeric.end(), [&](int c) {
          for (size_t h = 0; h < r; ++h) {
            const std::string* head = Field(rows[h], c);
            if (head && head->find(word) != std::string::npos) return true;
          }
          return false;
        });
        if (named != numeric.end()) {
          chosen = *named;
          break;
        }
      }
      return TemperatureColumns{static_cast<int>(r), d, chosen};
    }
  }
  return TemperatureColumns{};
}

TemperatureRead ReadTemperatureSeries(const std::vector<DelimitedRow>& rows,
                                      const TemperatureColumns& columns) {
  TemperatureRead out;
  auto fail = [&out](int line, std::string message) {
    out.errorLine = line;
    out.error = std::move(message);
    return out;
  };
  if (columns.dateColumn == columns.temperatureColumn) {
    return fail(0, "日付の列と地温の列には別の列を選んで下さい。");
  }
  struct Day {
    int64_t day;
    std::string temperature;
    bool readable;
  };
  std::vector<Day> days;
  std::set<int64_t> seen;
  for (size_t r = static_cast<size_t>(std::max(0, columns.headerRows)); r < rows.size(); ++r) {
    const DelimitedRow& row = rows[r];
    if (IsBlankRow(row)) continue;
    const std::string* dateCell = Field(row, columns.dateColumn);
    const std::optional<CivilDate> date = dateCell ? ParseFileDate(*dateCell) : std::nullopt;
    const std::string lineText = std::to_string(row.line) + "行目";
    if (!date) {
      return fail(row.line, lineText + "の日付「" + std::string(dateCell ? Trim(*dateCell) : "") +
                                "」を読み取れません。");
    }
    const int64_t day = DayNumber(*date);
    if (seen.count(day) != 0) {
      return fail(row.line, lineText + "の日付 " + DateText(*date) + " は前の行と重複しています。");
    }
    if (!days.empty() && day < days.back().day) {
      return fail(row.line, lineText + "の日付 " + DateText(*date) +
                                " が前の行の日付より前です。日付の順に並べて下さい。");
    }
    seen.insert(day);
    const std::string* tempCell = Field(row, columns.temperatureColumn);
    const std::optional<float> value = tempCell ? ParseSingle(*tempCell) : std::optional<float>();
    days.push_back(Day{day, value ? SingleText(*value) : std::string(), value.has_value()});
    if (days.back().day - days.front().day + 1 > kMaxRangeDays) {
      return fail(row.line, "期間は" + std::to_string(kMaxRangeDays) + "日以内にして下さい。");
    }
  }
  if (days.empty()) return fail(0, "日付と地温の行がありません。");

  TemperatureSeries s;
  s.first = DateOfDayNumber(days.front().day);
  const int count = static_cast<int>(days.back().day - days.front().day + 1);
  s.dates = DateTexts(s.first, count);
  s.temperatures.assign(static_cast<size_t>(count), std::string());
  std::vector<bool> present(static_cast<size_t>(count), false);
  for (const Day& d : days) {
    const auto at = static_cast<size_t>(d.day - days.front().day);
    present[at] = true;
    s.temperatures[at] = d.temperature;
    if (!d.readable) s.blankDays.push_back(DateOfDayNumber(d.day));
  }
  for (int i = 0; i < count; ++i) {
    if (!present[static_cast<size_t>(i)]) {
      s.missingDays.push_back(DateOfDayNumber(days.front().day + i));
    }
  }
  out.series = std::move(s);
  return out;
}

std::string SeriesGridText(const TemperatureSeries& series) {
  std::vector<std::vector<std::string>> rows{{"年/月/日", "地温(℃)"}};
  for (size_t i = 0; i < series.dates.size(); ++i) {
    rows.push_back({series.dates[i], series.temperatures[i]});
  }
  return JoinGridText(rows);
}

std::vector<std::string> DayRuns(const std::vector<CivilDate>& days) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < days.size()) {
    size_t j = i;
    while (j + 1 < days.size() && DayNumber(days[j + 1]) == DayNumber(days[j]) + 1) ++j;
    out.push_back(j == i ? DateText(days[i]) : DateText(days[i]) + "～" + DateText(days[j]));
    i = j + 1;
  }
  return out;
}

}  // namespace kelvora
