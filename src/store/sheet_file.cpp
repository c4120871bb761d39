#include "store/sheet_file.h"

#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>
#include <tuple>

#include "store/data_files.h"
#include "store/date_text.h"
#include "store/number_text.h"

namespace kelvora {
namespace fs = std::filesystem;

SheetCell SheetCell::Text(std::string t) {
  SheetCell c;
  c.kind = Kind::Text;
  c.text = std::move(t);
  return c;
}
SheetCell SheetCell::Number(double v, int decimals) {
  SheetCell c;
  c.kind = Kind::Number;
  c.number = v;
  c.decimals = decimals;
  return c;
}
SheetCell SheetCell::Date(int y, int m, int d) {
  SheetCell c;
  c.kind = Kind::Date;
  c.year = y;
  c.month = m;
  c.day = d;
  return c;
}
SheetCell SheetCell::Blank() { return SheetCell(); }

namespace {

// Excel's limits of a worksheet.
constexpr size_t kMaxSheetRows = 1048576;
constexpr size_t kMaxSheetCols = 16384;
constexpr int kMaxSheetNameUnits = 31;

// One character of UTF-8 text: its bytes and code point. Bytes that are no
// valid UTF-8 count as one character each.
struct Utf8Char {
  size_t length;
  char32_t code;
};

Utf8Char NextChar(const std::string& s, size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  size_t len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
  if (len == 0 || i + len > s.size()) return {1, b};
  char32_t code = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
  for (size_t k = 1; k < len; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c >> 6) != 0x2) return {1, b};
    code = (code << 6) | (c & 0x3F);
  }
  return {len, code};
}

int Utf16Units(char32_t code) { return code >= 0x10000 ? 2 : 1; }

// Columns a character takes in a spreadsheet cell: two for the wide
// characters of Japanese text, one for the rest.
int DisplayColumns(char32_t c) {
  const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                    (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                    (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                    (c >= 0xFFE0 && c <= 0xFFE6) || c >= 0x20000;
  return wide ? 2 : 1;
}

// Width of the longest line of a text, in display columns.
int TextColumns(const std::string& s) {
  int longest = 0, line = 0;
  for (size_t i = 0; i < s.size();) {
    const Utf8Char ch = NextChar(s, i);
    i += ch.length;
    if (ch.code == '\n' || ch.code == '\r') {
      line = 0;
    } else {
      line += DisplayColumns(ch.code);
      longest = std::max(longest, line);
    }
  }
  return longest;
}

std::string AsciiLower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// The name made valid on its own: forbidden characters replaced, apostrophes
// trimmed from the ends, cut to `units` UTF-16 units at a character boundary.
std::string CleanSheetName(const std::string& wanted, int units) {
  std::string clean;
  for (size_t i = 0; i < wanted.size();) {
    const Utf8Char ch = NextChar(wanted, i);
    const bool forbidden =
        ch.code < 0x20 || ch.code == 0x7F ||
        (ch.code < 0x80 &&
         std::string_view("[]:*?/\\").find(static_cast<char>(ch.code)) != std::string_view::npos);
    if (forbidden) {
      clean += '_';
    } else {
      clean.append(wanted, i, ch.length);
    }
    i += ch.length;
  }
  const size_t first = clean.find_first_not_of('\'');
  clean = first == std::string::npos ? std::string() : clean.substr(first);
  while (!clean.empty() && clean.back() == '\'') clean.pop_back();
  std::string cut;
  int used = 0;
  for (size_t i = 0; i < clean.size();) {
    const Utf8Char ch = NextChar(clean, i);
    used += Utf16Units(ch.code);
    if (used > units) break;
    cut.append(clean, i, ch.length);
    i += ch.length;
  }
  while (!cut.empty() && cut.back() == '\'') cut.pop_back();
  return cut;
}

std::string NumberCsvText(double v, int decimals) {
  if (!std::isfinite(v)) return std::string();
  if (decimals < 0) return ShortestDouble(v);
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  std::string s(buf, r.ptr);
  if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);
  return s;
}

std::string TwoDigits(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

std::string DateCellText(const SheetCell& c) {
  std::string y = std::to_string(c.year);
  while (y.size() < 4) y.insert(y.begin(), '0');
  return y + "/" + TwoDigits(c.month) + "/" + TwoDigits(c.day);
}

bool IsRealDate(const SheetCell& c) {
  return c.year >= kFirstDateYear && c.year <= kLastDateYear && c.month >= 1 && c.month <= 12 &&
         c.day >= 1 && c.day <= DaysInMonth(c.year, c.month);
}

std::string QuoteCsv(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

// Refuses a path that exists and is not a regular file (after links).
bool CheckTarget(const fs::path& out, std::string& reason) {
  struct stat st {};
  if (::stat(out.c_str(), &st) != 0) return true;  // new file, or the write will say why
  if (S_ISREG(st.st_mode)) return true;
  reason = "通常のファイルではありません（" + FileKindName(st.st_mode) + "）";
  return false;
}

bool Exists(const fs::path& out) {
  struct stat st {};
  return ::stat(out.c_str(), &st) == 0;
}

std::string FailMessage(const fs::path& out, const std::string& reason, bool existed) {
  std::string m = "ファイル「" + out.string() + "」に書き込めませんでした。\n理由: " + reason;
  if (existed) m += "\n元のファイルは変更されていません。";
  return m;
}

// Writes the whole workbook into a scratch file and returns its bytes.
class XlsxBuilder {
 public:
  explicit XlsxBuilder(const std::string& scratch) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    workbook_ = workbook_new_opt(scratch.c_str(), &options);
  }
  ~XlsxBuilder() {
    // A workbook never closed is freed without writing.
    if (workbook_) lxw_workbook_free(workbook_);
  }
  XlsxBuilder(const XlsxBuilder&) = delete;
  XlsxBuilder& operator=(const XlsxBuilder&) = delete;

  bool Ok() const { return workbook_ != nullptr; }

  bool AddSheet(const Sheet& sheet, const std::string& name, std::string& reason) {
    lxw_worksheet* ws = workbook_add_worksheet(workbook_, name.c_str());
    if (!ws) {
      reason = "シート「" + name + "」を作成できませんでした";
      return false;
    }
    if (sheet.rows.size() > kMaxSheetRows) {
      reason = "行が多すぎます（" + std::to_string(sheet.rows.size()) + "行）";
      return false;
    }
    std::vector<int> widths;
    for (size_t r = 0; r < sheet.rows.size(); ++r) {
      const auto& row = sheet.rows[r];
      if (row.size() > kMaxSheetCols) {
        reason = "列が多すぎます（" + std::to_string(row.size()) + "列）";
        return false;
      }
      if (widths.size() < row.size()) widths.resize(row.size(), 0);
      const bool bold = static_cast<int>(r) == sheet.headerRow;
      for (size_t c = 0; c < row.size(); ++c) {
        const SheetCell& cell = row[c];
        const auto rr = static_cast<lxw_row_t>(r);
        const auto cc = static_cast<lxw_col_t>(c);
        lxw_error e = LXW_NO_ERROR;
        int w = 0;
        switch (cell.kind) {
          case SheetCell::Kind::Empty:
            if (bold) e = worksheet_write_blank(ws, rr, cc, Format(true, 0, -1));
            break;
          case SheetCell::Kind::Text:
            e = worksheet_write_string(ws, rr, cc, cell.text.c_str(), Format(bold, 0, -1));
            w = TextColumns(cell.text);
            break;
          case SheetCell::Kind::Number:
            if (std::isfinite(cell.number)) {
              e = worksheet_write_number(ws, rr, cc, cell.number,
                                         Format(bold, 1, std::clamp(cell.decimals, -1, 15)));
              w = static_cast<int>(NumberCsvText(cell.number, cell.decimals).size());
            }
            break;
          case SheetCell::Kind::Date: {
            w = 10;
            // Excel has no date for a day that does not exist: its text then.
            if (!IsRealDate(cell)) {
              e = worksheet_write_string(ws, rr, cc, DateCellText(cell).c_str(),
                                         Format(bold, 0, -1));
              break;
            }
            lxw_datetime dt{cell.year, cell.month, cell.day, 0, 0, 0};
            e = worksheet_write_datetime(ws, rr, cc, &dt, Format(bold, 2, -1));
            break;
          }
        }
        if (e != LXW_NO_ERROR) {
          reason = std::string("セルを書き込めませんでした（") + lxw_strerror(e) + "）";
          return false;
        }
        widths[c] = std::max(widths[c], w);
      }
    }
    for (size_t c = 0; c < widths.size() || c < sheet.columnWidths.size(); ++c) {
      const double width =
          c < sheet.columnWidths.size() ? sheet.columnWidths[c] : std::clamp(widths[c] + 2, 8, 60);
      worksheet_set_column(ws, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), width,
                           nullptr);
    }
    if (sheet.headerRow >= 0 && static_cast<size_t>(sheet.headerRow) < sheet.rows.size()) {
      worksheet_freeze_panes(ws, static_cast<lxw_row_t>(sheet.headerRow + 1), 0);
    }
    return true;
  }

  bool Close(std::string& reason) {
    const lxw_error e = workbook_close(workbook_);
    workbook_ = nullptr;  // closed (and freed) whatever the outcome
    if (e != LXW_NO_ERROR) {
      reason = lxw_strerror(e);
      return false;
    }
    return true;
  }

 private:
  // kind: 0 text/blank, 1 number, 2 date.
  lxw_format* Format(bool bold, int kind, int decimals) {
    if (!bold && kind == 0) return nullptr;
    if (!bold && kind == 1 && decimals < 0) return nullptr;
    const auto key = std::make_tuple(bold, kind, decimals);
    auto it = formats_.find(key);
    if (it != formats_.end()) return it->second;
    lxw_format* f = workbook_add_format(workbook_);
    if (bold) format_set_bold(f);
    if (kind == 1 && decimals >= 0) {
      const std::string pattern = decimals == 0 ? "0" : "0." + std::string(decimals, '0');
      format_set_num_format(f, pattern.c_str());
    }
    if (kind == 2) format_set_num_format(f, "yyyy/mm/dd");
    formats_.emplace(key, f);
    return f;
  }

  lxw_workbook* workbook_ = nullptr;
  std::map<std::tuple<bool, int, int>, lxw_format*> formats_;
};

// A private scratch file for the workbook library, removed when done.
class ScratchFile {
 public:
  ScratchFile() {
    std::string pattern = (fs::temp_directory_path() / "kelvora-xlsx-XXXXXX").string();
    int fd = ::mkstemp(pattern.data());
    if (fd >= 0) {
      ::close(fd);
      path_ = pattern;
    } else {
      errno_ = errno;
    }
  }
  ~ScratchFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::string& path() const { return path_; }
  int error() const { return errno_; }

 private:
  std::string path_;
  int errno_ = 0;
};

}  // namespace

std::vector<std::string> ValidSheetNames(const std::vector<std::string>& wanted) {
  std::vector<std::string> names;
  std::vector<std::string> taken;  // lower-cased, as Excel compares
  for (const std::string& w : wanted) {
    std::string base = CleanSheetName(w, kMaxSheetNameUnits);
    if (base.empty()) base = "Sheet";
    std::string name = base;
    // "History" is kept by Excel for itself.
    for (int n = 2; std::find(taken.begin(), taken.end(), AsciiLower(name)) != taken.end() ||
                    AsciiLower(name) == "history";
         ++n) {
      const std::string suffix = " (" + std::to_string(n) + ")";
      name = CleanSheetName(base, kMaxSheetNameUnits - static_cast<int>(suffix.size())) + suffix;
    }
    taken.push_back(AsciiLower(name));
    names.push_back(name);
  }
  return names;
}

std::string CsvCellText(const SheetCell& cell) {
  switch (cell.kind) {
    case SheetCell::Kind::Empty:
      return std::string();
    case SheetCell::Kind::Text:
      return cell.text;
    case SheetCell::Kind::Number:
      return NumberCsvText(cell.number, cell.decimals);
    case SheetCell::Kind::Date:
      return DateCellText(cell);
  }
  return std::string();
}

std::string WriteSheetCsv(const fs::path& out, const Sheet& sheet) {
  const bool existed = Exists(out);
  std::string reason;
  if (!CheckTarget(out, reason)) return FailMessage(out, reason, existed);
  std::string bytes = "\xEF\xBB\xBF";
  for (const auto& row : sheet.rows) {
    for (size_t c = 0; c < row.size(); ++c) {
      if (c > 0) bytes += ',';
      bytes += QuoteCsv(CsvCellText(row[c]));
    }
    bytes += "\r\n";
  }
  if (!WriteFileAtomically(out, bytes, reason)) return FailMessage(out, reason, existed);
  return std::string();
}

std::string WriteSheetsXlsx(const fs::path& out, const std::vector<Sheet>& sheets) {
  const bool existed = Exists(out);
  std::string reason;
  if (!CheckTarget(out, reason)) return FailMessage(out, reason, existed);
  ScratchFile scratch;
  if (scratch.path().empty()) return FailMessage(out, SystemReason(scratch.error()), existed);
  {
    XlsxBuilder book(scratch.path());
    if (!book.Ok()) return FailMessage(out, "ブックを作成できませんでした", existed);
    std::vector<std::string> wanted;
    for (const Sheet& s : sheets) wanted.push_back(s.name);
    const std::vector<std::string> names = ValidSheetNames(wanted);
    for (size_t i = 0; i < sheets.size(); ++i) {
      if (!book.AddSheet(sheets[i], names[i], reason)) return FailMessage(out, reason, existed);
    }
    if (sheets.empty() && !book.AddSheet(Sheet{}, "Sheet", reason)) {
      return FailMessage(out, reason, existed);
    }
    if (!book.Close(reason)) return FailMessage(out, reason, existed);
  }
  std::string bytes;
  if (!ReadFileWhole(scratch.path(), bytes, reason)) return FailMessage(out, reason, existed);
  if (!WriteFileAtomically(out, bytes, reason)) return FailMessage(out, reason, existed);
  return std::string();
}

}  // namespace kelvora
