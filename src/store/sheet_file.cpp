#include "store/sheet_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "store/data_files.h"
#include "store/date_text.h"
#include "store/export_target.h"
#include "store/number_text.h"
#include "store/sheet_parts.h"

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

namespace sheet_parts {

Utf8Char NextChar(std::string_view s, size_t i) {
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

namespace {

// Columns a character takes in a spreadsheet cell: two for the wide
// characters of Japanese text, one for the rest.
int DisplayColumns(char32_t c) {
  const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                    (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                    (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                    (c >= 0xFFE0 && c <= 0xFFE6) || c >= 0x20000;
  return wide ? 2 : 1;
}

}  // namespace

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

std::string NumberCsvText(double v, int decimals) {
  if (!std::isfinite(v)) return std::string();
  if (decimals < 0) return ShortestDouble(v);
  std::string s = FixedText(v, decimals);
  if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);
  return s;
}

namespace {
std::string TwoDigits(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }
}  // namespace

std::string DateCellText(const SheetCell& c) {
  std::string y = std::to_string(c.year);
  while (y.size() < 4) y.insert(y.begin(), '0');
  return y + "/" + TwoDigits(c.month) + "/" + TwoDigits(c.day);
}

bool IsRealDate(const SheetCell& c) {
  return c.year >= kFirstDateYear && c.year <= kLastDateYear && c.month >= 1 && c.month <= 12 &&
         c.day >= 1 && c.day <= DaysInMonth(c.year, c.month);
}

}  // namespace sheet_parts

namespace {

using namespace sheet_parts;

constexpr int kMaxSheetNameUnits = 31;

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

std::string QuoteCsv(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
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

}  // namespace

std::vector<std::string> ValidSheetNames(const std::vector<std::string>& wanted) {
  std::vector<std::string> names;
  std::unordered_set<std::string> taken;  // lower-cased, as Excel compares
  // The number to try next after a name: the ones before it are taken and
  // stay taken, so a name wanted again goes on from there.
  std::unordered_map<std::string, int> nextNumber;
  for (const std::string& w : wanted) {
    std::string base = CleanSheetName(w, kMaxSheetNameUnits);
    if (base.empty()) base = "Sheet";
    std::string name = base;
    // "History" is kept by Excel for itself.
    int& n = nextNumber.try_emplace(base, 2).first->second;
    while (taken.count(AsciiLower(name)) > 0 || AsciiLower(name) == "history") {
      const std::string suffix = " (" + std::to_string(n++) + ")";
      name = CleanSheetName(base, kMaxSheetNameUnits - static_cast<int>(suffix.size())) + suffix;
    }
    taken.insert(AsciiLower(name));
    names.push_back(name);
  }
  return names;
}

std::string CsvCellText(const SheetCell& cell) {
  switch (cell.kind) {
    case SheetCell::Kind::Empty:
      return std::string();
    case SheetCell::Kind::Text:
      // What a spreadsheet would take for a formula (or a DDE call) stays text.
      if (!cell.text.empty() &&
          std::string_view("=+-@\t\r").find(cell.text[0]) != std::string::npos) {
        return "'" + cell.text;
      }
      return cell.text;
    case SheetCell::Kind::Number:
      return NumberCsvText(cell.number, cell.decimals);
    case SheetCell::Kind::Date:
      return DateCellText(cell);
  }
  return std::string();
}

std::string WriteRowsCsv(const fs::path& out, const RowSource& next) {
  const bool existed = Exists(out);
  std::string reason;
  if (!CheckExportTarget(out, reason)) return FailMessage(out, reason, existed);
  try {
    PieceBytes bytes;
    bytes.Append("\xEF\xBB\xBF");
    std::vector<SheetCell> row;
    std::string line;
    while (next(row)) {
      line.clear();
      for (size_t c = 0; c < row.size(); ++c) {
        if (c > 0) line += ',';
        line += QuoteCsv(CsvCellText(row[c]));
      }
      line += "\r\n";
      bytes.Append(line);
      row.clear();
    }
    if (!WriteFileAtomically(out, bytes.Pieces(), reason)) return FailMessage(out, reason, existed);
  } catch (const std::bad_alloc&) {
    return FailMessage(out, SystemReason(ENOMEM), existed);
  }
  return std::string();
}

std::string WriteSheetCsv(const fs::path& out, const Sheet& sheet) {
  size_t next = 0;
  return WriteRowsCsv(out, [&](std::vector<SheetCell>& row) {
    if (next >= sheet.rows.size()) return false;
    row = sheet.rows[next++];
    return true;
  });
}

std::string WriteSheetsXlsx(const fs::path& out, const std::vector<std::string>& names,
                            const SheetSource& sheetAt) {
  const bool existed = Exists(out);
  std::string reason;
  if (!CheckExportTarget(out, reason)) return FailMessage(out, reason, existed);
  try {
    XlsxWriter book;
    if (!book.Ok(reason)) return FailMessage(out, reason, existed);
    const std::vector<std::string> valid = ValidSheetNames(names);
    for (size_t i = 0; i < valid.size(); ++i) {
      if (!book.AddSheet(sheetAt(i), valid[i], reason)) return FailMessage(out, reason, existed);
    }
    // A workbook holds at least one sheet.
    if (valid.empty() && !book.AddSheet(Sheet{}, "Sheet", reason)) {
      return FailMessage(out, reason, existed);
    }
    if (!book.Finish(reason)) return FailMessage(out, reason, existed);
    if (!WriteFileAtomically(out, book.Pieces(), reason)) return FailMessage(out, reason, existed);
  } catch (const std::bad_alloc&) {
    return FailMessage(out, SystemReason(ENOMEM), existed);
  }
  return std::string();
}

std::string WriteSheetsXlsx(const fs::path& out, const std::vector<Sheet>& sheets) {
  std::vector<std::string> names;
  for (const Sheet& s : sheets) names.push_back(s.name);
  return WriteSheetsXlsx(out, names, [&](size_t i) -> Sheet { return sheets[i]; });
}

}  // namespace kelvora
