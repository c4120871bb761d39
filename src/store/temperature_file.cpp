#include "store/temperature_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>

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

bool Cancelled(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// UTF-16 code units (after the byte-order mark) as UTF-8; nothing for an odd
// byte count, a lone surrogate or a NUL character.
std::optional<std::string> DecodeUtf16(std::string_view bytes, bool bigEndian) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  const size_t units = bytes.size() / 2;
  auto unit = [&](size_t i) -> uint32_t {
    const auto a = static_cast<unsigned char>(bytes[2 * i]);
    const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  for (size_t i = 0; i < units; ++i) {
    uint32_t u = unit(i);
    if (u == 0) return std::nullopt;
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 >= units) return std::nullopt;
      const uint32_t low = unit(i + 1);
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      return std::nullopt;
    }
    AppendUtf8(out, u);
  }
  return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits at `i` (at least one, at most `most`) as a number; i moves past them.
std::optional<int> Digits(std::string_view s, size_t& i, size_t least, size_t most) {
  size_t n = 0;
  int v = 0;
  while (i < s.size() && IsDigit(s[i]) && n < most) {
    v = v * 10 + (s[i] - '0');
    ++i;
    ++n;
  }
  if (n < least || (i < s.size() && IsDigit(s[i]))) return std::nullopt;
  return v;
}

// A time as a message shows it: HH:mm, with seconds and their fraction when
// there are any.
std::string TimeText(int64_t micros) {
  const int64_t minutes = micros / 60'000'000;
  const int64_t rest = micros % 60'000'000;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d", static_cast<int>(minutes / 60),
                static_cast<int>(minutes % 60));
  std::string out = buf;
  if (rest != 0) {
    std::snprintf(buf, sizeof buf, ":%02d", static_cast<int>(rest / 1'000'000));
    out += buf;
    if (rest % 1'000'000 != 0) {
      std::snprintf(buf, sizeof buf, ".%06d", static_cast<int>(rest % 1'000'000));
      std::string fraction = buf;
      while (fraction.back() == '0') fraction.pop_back();
      out += fraction;
    }
  }
  return out;
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

bool LooksLikeUtf16WithoutMark(std::string_view bytes) {
  // Among the first bytes, NULs in one parity only and in at least a quarter
  // of those places.
  const size_t n = std::min<size_t>(bytes.size(), 4096) & ~size_t{1};
  if (n < 2) return false;
  size_t even = 0, odd = 0;
  for (size_t i = 0; i < n; ++i) {
    if (bytes[i] == '\0') ++(i % 2 == 0 ? even : odd);
  }
  const size_t pairs = n / 2;
  return (even == 0 && odd * 4 >= pairs) || (odd == 0 && even * 4 >= pairs);
}

std::string QuotedPart(std::string_view text, size_t maxChars) {
  size_t i = 0, chars = 0;
  while (i < text.size() && chars < maxChars) {
    const auto b = static_cast<unsigned char>(text[i]);
    i += b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    ++chars;
  }
  if (i >= text.size()) return std::string(text);
  return std::string(text.substr(0, i)) + "…";
}

std::optional<DecodedFile> DecodeTextFile(std::string_view bytes) {
  if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
    const bool big = bytes[0] == '\xFE';
    std::optional<std::string> text = DecodeUtf16(bytes.substr(2), big);
    if (!text) return std::nullopt;
    return DecodedFile{std::move(*text), big ? FileEncoding::Utf16Be : FileEncoding::Utf16Le};
  }
  // A text file holds no NUL character (UTF-16 without its mark would
  // otherwise pass for UTF-8).
  if (bytes.find('\0') != std::string_view::npos) return std::nullopt;
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

TextFileRead ReadTextFile(const std::filesystem::path& path, const std::atomic<bool>* cancel) {
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
  if (Cancelled(cancel)) return out;
  out.file = DecodeTextFile(bytes);
  if (!out.file && LooksLikeUtf16WithoutMark(bytes)) {
    out.error = "ファイル「" + name +
                "」は UTF-16 のようですが、先頭にバイト順マーク（BOM）がないため文字コードが"
                "分かりません。表計算ソフトで「Unicode テキスト」か「CSV UTF-8」として保存し"
                "直して下さい。";
  } else if (!out.file) {
    out.error = "ファイル「" + name +
                "」の文字コードが分かりません。UTF-8、シフトJIS（コードページ932）か、"
                "バイト順マーク付きの UTF-16 のテキストファイルを選んで下さい。";
  }
  return out;
}

DelimitedText::DelimitedText(std::string_view text, char separator, size_t maxRows,
                             const std::atomic<bool>* cancel) {
  if (text.empty() || maxRows == 0) return;
  cells_.reserve(text.size());
  int line = 1;
  int rowLine = 1;
  bool quoted = false;     // inside a quoted field
  bool fieldStart = true;  // nothing of the current field read yet
  bool rowPending = true;  // the current row has not been stored
  size_t i = 0;
  const size_t n = text.size();
  auto lineBreakAt = [&](size_t at) -> size_t {  // length of a break at `at`, 0 when none
    if (text[at] == '\r') return at + 1 < n && text[at + 1] == '\n' ? 2 : 1;
    return text[at] == '\n' ? 1 : 0;
  };
  size_t work = 0;  // fields and rows ended, to look at `cancel` now and then
  auto endField = [&] {
    fieldEnd_.push_back(static_cast<uint32_t>(cells_.size()));
    fieldStart = true;
  };
  auto endRow = [&] {
    endField();
    const uint32_t fields = static_cast<uint32_t>(fieldEnd_.size()) - rowStart_.back();
    maxFields_ = std::max(maxFields_, static_cast<int>(fields));
    rowStart_.push_back(static_cast<uint32_t>(fieldEnd_.size()));
    if (lines_.empty() && rowLine != Rows()) {
      // A quoted line break put a row on a later line: lines kept from here.
      lines_.reserve(static_cast<size_t>(Rows()));
      for (int r = 1; r < Rows(); ++r) lines_.push_back(r);
    }
    if (!lines_.empty()) lines_.push_back(rowLine);
  };
  while (i < n) {
    if ((++work & 0xFFFF) == 0 && Cancelled(cancel)) return;
    if (fieldEnd_.size() >= kMaxFields) {
      tooMany_ = true;
      if (fieldEnd_.size() > rowStart_.back()) endRow();
      return;
    }
    const char c = text[i];
    if (quoted) {
      // Up to the next double quote or line break at once.
      size_t j = i;
      while (j < n && text[j] != '"' && text[j] != '\r' && text[j] != '\n') ++j;
      cells_.append(text.substr(i, j - i));
      i = j;
      if (i >= n) break;
      if (text[i] == '"') {
        if (i + 1 < n && text[i + 1] == '"') {
          cells_ += '"';
          i += 2;
        } else {
          quoted = false;
          ++i;
        }
        continue;
      }
      const size_t br = lineBreakAt(i);
      cells_.append(text.substr(i, br));
      ++line;
      i += br;
      continue;
    }
    if (c == '"' && fieldStart) {
      quoted = true;
      fieldStart = false;
      ++i;
      continue;
    }
    if (c == separator) {
      endField();
      ++i;
      continue;
    }
    if (const size_t br = lineBreakAt(i)) {
      endRow();
      ++line;
      i += br;
      rowLine = line;
      rowPending = i < n;
      if (static_cast<size_t>(Rows()) >= maxRows) return;
      continue;
    }
    // Plain text up to the next separator or line break at once.
    size_t j = i + 1;
    while (j < n && text[j] != separator && text[j] != '\r' && text[j] != '\n') ++j;
    cells_.append(text.substr(i, j - i));
    fieldStart = false;
    i = j;
  }
  if (rowPending) endRow();
}

DelimitedText::DelimitedText(const std::vector<DelimitedRow>& rows) {
  for (const DelimitedRow& row : rows) {
    for (const std::string& f : row.fields) {
      cells_ += f;
      fieldEnd_.push_back(static_cast<uint32_t>(cells_.size()));
    }
    maxFields_ = std::max(maxFields_, static_cast<int>(row.fields.size()));
    rowStart_.push_back(static_cast<uint32_t>(fieldEnd_.size()));
    lines_.push_back(row.line);
  }
}

std::optional<std::string_view> DelimitedText::Field(int r, int c) const {
  if (r < 0 || r >= Rows() || c < 0 || c >= Fields(r)) return std::nullopt;
  const size_t f = rowStart_[static_cast<size_t>(r)] + static_cast<size_t>(c);
  const size_t from = f == 0 ? 0 : fieldEnd_[f - 1];
  return std::string_view(cells_).substr(from, fieldEnd_[f] - from);
}

bool DelimitedText::BlankRow(int r) const {
  for (int c = 0; c < Fields(r); ++c) {
    if (!IsBlank(*Field(r, c))) return false;
  }
  return true;
}

std::vector<DelimitedRow> DelimitedText::ToRows() const {
  std::vector<DelimitedRow> out;
  out.reserve(static_cast<size_t>(Rows()));
  for (int r = 0; r < Rows(); ++r) {
    DelimitedRow row{Line(r), {}};
    row.fields.reserve(static_cast<size_t>(Fields(r)));
    for (int c = 0; c < Fields(r); ++c) row.fields.emplace_back(*Field(r, c));
    out.push_back(std::move(row));
  }
  return out;
}

std::vector<DelimitedRow> SplitDelimited(std::string_view text, char separator) {
  return DelimitedText(text, separator).ToRows();
}

char DetectSeparator(std::string_view text) {
  // Enough rows to see past a header of any usual length.
  constexpr size_t kRowsLooked = 200;
  char best = ',';
  size_t bestScore = 0;
  // The rows at the top are enough, also in a file of one endless row.
  text = text.substr(0, 1u << 18);
  for (char sep : {'\t', ';', ','}) {
    const DelimitedText rows(text, sep, kRowsLooked);
    std::map<int, size_t> counts;  // fields per row -> rows
    for (int r = 0; r < rows.Rows(); ++r) {
      if (rows.Fields(r) > 1) ++counts[rows.Fields(r)];
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
  const DelimitedText rows(text, sep);
  for (int r = 0; r < rows.Rows(); ++r) {
    for (int c = 0; c < rows.Fields(r); ++c) {
      if (c > 0) out += '\t';
      const std::string_view cell = *rows.Field(r, c);
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

std::optional<int64_t> ParseFileTime(std::string_view text) {
  text = Trim(text);
  size_t i = 0;
  const std::optional<int> h = Digits(text, i, 1, 2);
  if (!h || i >= text.size() || text[i] != ':') return std::nullopt;
  ++i;
  const std::optional<int> m = Digits(text, i, 2, 2);
  if (!m || *m > 59) return std::nullopt;
  int sec = 0;
  int64_t fraction = 0;  // microseconds
  bool fractionNonZero = false;
  if (i < text.size()) {
    if (text[i] != ':') return std::nullopt;
    ++i;
    const std::optional<int> s = Digits(text, i, 2, 2);
    if (!s || *s > 59) return std::nullopt;
    sec = *s;
    if (i < text.size()) {
      if (text[i] != '.' && text[i] != ',') return std::nullopt;
      ++i;
      const size_t from = i;
      int64_t scale = 100'000;
      while (i < text.size() && IsDigit(text[i])) {
        fraction += (text[i] - '0') * scale;
        fractionNonZero = fractionNonZero || text[i] != '0';
        scale /= 10;
        ++i;
      }
      if (i == from || i != text.size()) return std::nullopt;
    }
  }
  if (*h == 24) {
    // The midnight that ends the day, nothing later.
    if (*m != 0 || sec != 0 || fractionNonZero) return std::nullopt;
    return kMicrosPerDay;
  }
  if (*h > 23) return std::nullopt;
  return ((int64_t{*h} * 60 + *m) * 60 + sec) * 1'000'000 + fraction;
}

std::optional<FileDateTime> ParseFileDateTime(std::string_view text) {
  text = Trim(text);
  size_t split = text.find_first_of(" \tT");
  const size_t wide = text.find("\xE3\x80\x80");  // an ideographic space
  split = std::min(split, wide);
  if (split == std::string_view::npos) {
    const std::optional<CivilDate> date = ParseFileDate(text);
    if (!date) return std::nullopt;
    return FileDateTime{*date, std::nullopt};
  }
  const std::optional<CivilDate> date = ParseFileDate(text.substr(0, split));
  if (!date) return std::nullopt;
  std::string_view rest = text.substr(split);
  if (rest.front() == 'T') rest.remove_prefix(1);
  const std::optional<int64_t> time = ParseFileTime(rest);
  if (!time) return std::nullopt;
  return FileDateTime{*date, time};
}

std::vector<int> TemperatureColumns::AllTemperatureColumns() const {
  std::vector<int> out{temperatureColumn};
  for (int c : moreTemperatureColumns) {
    if (std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
  }
  return out;
}

bool IsSoilReading(double celsius) {
  return celsius > kLowestSoilReading && celsius < kHighestSoilReading;
}

TemperatureColumns GuessTemperatureColumns(const DelimitedText& rows) {
  // Rows with a date but no reading (a logger's first hours of "-----")
  // just before the first row with one are data rows with failed readings,
  // not headings: the run of such rows, its date column and width.
  int datedFrom = -1, datedColumn = -1, datedFields = 0;
  for (int r = 0; r < rows.Rows(); ++r) {
    const int cols = rows.Fields(r);
    // Each field is looked at a fixed number of times: the guess stays linear
    // in the size of the text however many fields a row has.
    int d = -1;
    bool dateHasTime = false;
    for (int c = 0; c < cols && d < 0; ++c) {
      if (const std::optional<FileDateTime> dt = ParseFileDateTime(*rows.Field(r, c))) {
        d = c;
        dateHasTime = dt->time.has_value();
      }
    }
    if (d < 0) {
      if (!rows.BlankRow(r)) datedFrom = -1;
      continue;
    }
    // Numeric columns after the date first, then those before it.
    std::vector<int> numeric;
    for (int c = d + 1; c < cols; ++c) {
      if (IsNumber(*rows.Field(r, c))) numeric.push_back(c);
    }
    for (int c = 0; c < d; ++c) {
      if (IsNumber(*rows.Field(r, c))) numeric.push_back(c);
    }
    if (numeric.empty()) {
      if (datedFrom < 0 || d != datedColumn || cols != datedFields) {
        datedFrom = r;
        datedColumn = d;
        datedFields = cols;
      }
      continue;
    }
    const int dataFrom = datedFrom >= 0 && d == datedColumn && cols == datedFields ? datedFrom : r;
    // A time column only where the next row has the same date: several
    // readings a day (a daily list's "time of the highest" is no time column).
    int time = -1;
    int next = r + 1;
    while (next < rows.Rows() && rows.BlankRow(next)) ++next;
    const std::optional<std::string_view> nextDate = rows.Field(next, d);
    if (!dateHasTime && nextDate && ParseFileDate(*nextDate) == ParseFileDate(*rows.Field(r, d))) {
      for (int k = 0; k < cols && time < 0; ++k) {
        const int c = (d + 1 + k) % cols;  // after the date first
        if (c != d && ParseFileTime(*rows.Field(r, c))) time = c;
      }
    }
    int chosen = numeric.front();
    // A heading above that names the column wins over position (a logger's
    // counter or elapsed seconds often come before the temperature).
    for (std::string_view word :
         {std::string_view("地温"), std::string_view("平均"), std::string_view("温度"),
          std::string_view("℃"), std::string_view("temp"), std::string_view("Temp"),
          std::string_view("TEMP")}) {
      std::vector<bool> named(static_cast<size_t>(cols), false);
      for (int h = 0; h < dataFrom; ++h) {
        for (int c = 0; c < std::min(cols, rows.Fields(h)); ++c) {
          if (rows.Field(h, c)->find(word) != std::string_view::npos) {
            named[static_cast<size_t>(c)] = true;
          }
        }
      }
      const auto hit = std::find_if(numeric.begin(), numeric.end(),
                                    [&](int c) { return named[static_cast<size_t>(c)]; });
      if (hit != numeric.end()) {
        chosen = *hit;
        break;
      }
    }
    return TemperatureColumns{dataFrom, d, chosen, time};
  }
  return TemperatureColumns{};
}

TemperatureColumns GuessTemperatureColumns(const std::vector<DelimitedRow>& rows) {
  return GuessTemperatureColumns(DelimitedText(rows));
}

std::string ColumnHeading(const DelimitedText& rows, int headerRows, int column) {
  // Rows as wide as the data are the column headings; a title line above
  // them ("ロガー,No.7") names no column. Every row when none is as wide.
  const int top = std::min(headerRows, rows.Rows());
  const int width = headerRows < rows.Rows() ? rows.Fields(headerRows) : 0;
  bool anyWide = false;
  for (int h = 0; h < top; ++h) anyWide = anyWide || rows.Fields(h) >= width;
  std::vector<std::string_view> parts;
  for (int h = 0; h < top; ++h) {
    if (anyWide && rows.Fields(h) < width) continue;
    const std::optional<std::string_view> f = rows.Field(h, column);
    if (!f) continue;
    const std::string_view t = Trim(*f);
    if (!t.empty() && std::find(parts.begin(), parts.end(), t) == parts.end()) parts.push_back(t);
  }
  std::string out;
  for (std::string_view p : parts) {
    if (!out.empty()) out += ' ';
    out += p;
  }
  // Line breaks of a quoted heading become blanks.
  std::replace_if(
      out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return out;
}

namespace {

// What the rows of one day hold for one temperature column.
struct DayReadings {
  double sum = 0;
  int readable = 0;
  float first = 0;  // the day's first reading, as a daily file keeps it
};

std::string MeanText(double sum, int count) {
  // Two decimals of the double mean, then as a typed value is kept.
  const std::string rounded = FormatFixed(sum / count, 2);
  return SingleText(*ParseSingle(rounded));
}

// The value most often met, the larger one on a tie; 0 when there is none.
int64_t MostFrequent(std::vector<int64_t> values) {
  std::sort(values.begin(), values.end());
  int64_t best = 0;
  size_t bestRun = 0;
  for (size_t i = 0; i < values.size();) {
    size_t j = i;
    while (j < values.size() && values[j] == values[i]) ++j;
    if (j - i >= bestRun) {
      best = values[i];
      bestRun = j - i;
    }
    i = j;
  }
  return best;
}

}  // namespace

TemperatureRead ReadTemperatureSeries(const DelimitedText& rows, const TemperatureColumns& columns,
                                      const DailyMeanRule& rule, const std::atomic<bool>* cancel) {
  TemperatureRead out;
  auto fail = [&out](int line, std::string message) {
    out.errorLine = line;
    out.error = std::move(message);
    return out;
  };
  const std::vector<int> temps = columns.AllTemperatureColumns();
  if (std::find(temps.begin(), temps.end(), columns.dateColumn) != temps.end()) {
    return fail(0, "日付の列と地温の列には別の列を選んで下さい。");
  }
  if (columns.timeColumn >= 0 &&
      (columns.timeColumn == columns.dateColumn ||
       std::find(temps.begin(), temps.end(), columns.timeColumn) != temps.end())) {
    return fail(0, "時刻の列には日付の列とも地温の列とも別の列を選んで下さい。");
  }
  const size_t channels = temps.size();
  int64_t firstDay = 0;
  std::vector<int> rowsOfDay;                 // per day
  std::vector<std::vector<DayReadings>> acc;  // per channel, per day
  acc.resize(channels);
  std::vector<int> failed(channels, 0);
  std::vector<int64_t> instants;  // of the rows taken, ascending
  bool timed = false;
  for (int r = std::max(0, columns.headerRows); r < rows.Rows(); ++r) {
    if ((r & 0xFFFF) == 0 && Cancelled(cancel)) {
      out.cancelled = true;
      return out;
    }
    if (rows.BlankRow(r)) continue;
    const int line = rows.Line(r);
    const std::string lineText =
        std::to_string(line) + "行目";  // short enough to need no allocation
    const std::string_view dateCell = rows.Field(r, columns.dateColumn).value_or("");
    std::optional<FileDateTime> when;
    if (columns.timeColumn >= 0) {
      if (const std::optional<CivilDate> date = ParseFileDate(dateCell)) when = {*date, {}};
    } else {
      when = ParseFileDateTime(dateCell);
    }
    if (!when) {
      return fail(line,
                  lineText + "の日付「" + QuotedPart(Trim(dateCell)) + "」を読み取れません。");
    }
    if (columns.timeColumn >= 0) {
      const std::string_view timeCell = rows.Field(r, columns.timeColumn).value_or("");
      when->time = ParseFileTime(timeCell);
      if (!when->time) {
        return fail(line,
                    lineText + "の時刻「" + QuotedPart(Trim(timeCell)) + "」を読み取れません。");
      }
    }
    const int64_t day = DayNumber(when->date);
    const int64_t instant = day * kMicrosPerDay + when->time.value_or(0);
    if (!instants.empty() && instant <= instants.back()) {
      const bool repeated = std::binary_search(instants.begin(), instants.end(), instant);
      if (!when->time && !timed) {
        // A daily file: as the dates always were checked.
        const std::string date = DateText(when->date);
        return fail(line, repeated ? lineText + "の日付 " + date + " は前の行と重複しています。"
                                   : lineText + "の日付 " + date +
                                         " が前の行の日付より前です。日付の順に並べて下さい。");
      }
      const std::string at = DateText(when->date) + " " + TimeText(when->time.value_or(0));
      return fail(line, repeated ? lineText + "の日時 " + at + " は前の行と重複しています。"
                                 : lineText + "の日時 " + at +
                                       " が前の行の日時より前です。時刻の順に並べて下さい。");
    }
    timed = timed || when->time.has_value();
    instants.push_back(instant);
    if (rowsOfDay.empty()) firstDay = day;
    // 24:00 closes its own day.
    const auto at = static_cast<size_t>(day - firstDay);
    if (at + 1 > static_cast<size_t>(kMaxRangeDays)) {
      return fail(line, "期間は" + std::to_string(kMaxRangeDays) + "日以内にして下さい。");
    }
    if (at >= rowsOfDay.size()) {
      rowsOfDay.resize(at + 1, 0);
      for (auto& a : acc) a.resize(at + 1);
    }
    const bool firstOfDay = rowsOfDay[at]++ == 0;
    for (size_t k = 0; k < channels; ++k) {
      const std::string_view cell = rows.Field(r, temps[k]).value_or("");
      const std::optional<double> value = ParseDouble(cell);
      if (!value || !IsSoilReading(*value)) {
        ++failed[k];
        continue;
      }
      DayReadings& d = acc[k][at];
      d.sum += *value;
      if (d.readable++ == 0 && firstOfDay) d.first = *ParseSingle(cell);
    }
  }
  if (rowsOfDay.empty()) return fail(0, "日付と地温の行がありません。");
  for (size_t k = 0; k < channels; ++k) {
    bool any = false;
    for (const DayReadings& d : acc[k]) any = any || d.readable > 0;
    if (!any) {
      return fail(0, std::to_string(temps[k] + 1) +
                         "列目には地温として読める値がありません。地温の列を選び直して下さい。");
    }
  }

  TemperatureSeries s;
  s.first = DateOfDayNumber(firstDay);
  const int count = static_cast<int>(rowsOfDay.size());
  s.dates = DateTexts(s.first, count);
  std::vector<int64_t> perDay;
  for (int i = 0; i < count; ++i) {
    const int n = rowsOfDay[static_cast<size_t>(i)];
    if (n == 0) s.missingDays.push_back(DateOfDayNumber(firstDay + i));
    if (n > 1) s.subDaily = true;
    if (n > 0) perDay.push_back(n);
  }
  const int usual = static_cast<int>(MostFrequent(std::move(perDay)));
  if (timed && instants.size() > 1) {
    std::vector<int64_t> gaps;
    gaps.reserve(instants.size() - 1);
    for (size_t i = 1; i < instants.size(); ++i) gaps.push_back(instants[i] - instants[i - 1]);
    s.interval = MostFrequent(std::move(gaps));
  }
  for (size_t k = 0; k < channels; ++k) {
    ChannelSeries ch;
    ch.column = temps[k];
    ch.readingsPerDay = s.subDaily ? usual : 1;
    ch.failedReadings = failed[k];
    ch.temperatures.assign(static_cast<size_t>(count), std::string());
    for (int i = 0; i < count; ++i) {
      const auto at = static_cast<size_t>(i);
      if (rowsOfDay[at] == 0) continue;
      const DayReadings& d = acc[k][at];
      const CivilDate date = DateOfDayNumber(firstDay + i);
      std::string& text = ch.temperatures[at];
      if (d.readable == 0) {
        ch.blankDays.push_back(date);
        ch.incompleteDays.push_back(date);
        continue;
      }
      const bool complete = static_cast<double>(d.readable) >= rule.minCoverage * ch.readingsPerDay;
      if (!complete) ch.incompleteDays.push_back(date);
      if (complete) ++ch.fullDays;
      if (!complete && !rule.keepIncomplete) continue;
      text = s.subDaily ? MeanText(d.sum, d.readable) : SingleText(d.first);
      const float v = *ParseSingle(text);
      if (!ch.lowest || v < *ch.lowest) ch.lowest = v;
      if (!ch.highest || v > *ch.highest) ch.highest = v;
    }
    s.channels.push_back(std::move(ch));
  }
  s.temperatures = s.channels.front().temperatures;
  s.blankDays = s.channels.front().blankDays;
  out.series = std::move(s);
  return out;
}

TemperatureRead ReadTemperatureSeries(const std::vector<DelimitedRow>& rows,
                                      const TemperatureColumns& columns,
                                      const DailyMeanRule& rule) {
  return ReadTemperatureSeries(DelimitedText(rows), columns, rule);
}

std::string SeriesGridText(const TemperatureSeries& series, size_t channel) {
  const std::vector<std::string>& temps =
      channel == 0 ? series.temperatures : series.channels.at(channel).temperatures;
  std::vector<std::vector<std::string>> rows{{"年/月/日", "地温(℃)"}};
  for (size_t i = 0; i < series.dates.size(); ++i) {
    rows.push_back({series.dates[i], temps[i]});
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
