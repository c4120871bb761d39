// Tables written out for spreadsheets: Excel workbooks (.xlsx) and CSV files.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kelvora {

struct SheetCell {
  enum class Kind { Empty, Text, Number, Date } kind = Kind::Empty;
  std::string text;                  // UTF-8, for Text
  double number = 0;                 // for Number
  int decimals = -1;                 // Number: digits shown after the point (-1 = general format)
  int year = 0, month = 0, day = 0;  // for Date (written as a real Excel date, yyyy/mm/dd format)

  static SheetCell Text(std::string t);
  static SheetCell Number(double v, int decimals = -1);
  static SheetCell Date(int y, int m, int d);
  static SheetCell Blank();
};

struct Sheet {
  std::string name;  // sheet name (xlsx); made unique and valid by the writer
  std::vector<std::vector<SheetCell>> rows;
  int headerRow = 0;                 // 0-based row written bold and frozen below (-1 = none)
  std::vector<double> columnWidths;  // optional, in Excel character units; empty = guessed
};

// Both write to a temporary file beside `out` and rename it over the old file.
// They return an empty string on success, else a Japanese message for the user
// naming the file (the old file is untouched). A path that exists and is not a
// regular file, a read-only file and a folder the user may not write in are
// refused (CheckExportTarget). Nothing is written anywhere else: the workbook
// is built in memory, compressed as it goes.
//
// In a workbook a text cell holds its text exactly: a text that itself reads
// like the workbook format's escape of a character ("_x000D_") is written so
// that spreadsheets show it literally, distinct from a real line break.
std::string WriteSheetsXlsx(const std::filesystem::path& out, const std::vector<Sheet>& sheets);
// UTF-8 with a byte-order mark, CR LF line ends, fields quoted where needed
// (comma, double quote, line break) with quotes doubled. Numbers are written
// with a point whatever the locale, dates as yyyy/mm/dd. A text cell that a
// spreadsheet would take for a formula (CsvCellText) starts with an apostrophe.
std::string WriteSheetCsv(const std::filesystem::path& out, const Sheet& sheet);

// The same for tables too large to hold whole, so that the memory an export
// takes stays within the size of the file it writes.
// A workbook of names.size() sheets, sheet i built by sheetAt(i) only when it
// is written; `names` name the sheets (made valid as ValidSheetNames makes
// them), the sheets' own names are not used.
using SheetSource = std::function<Sheet(size_t index)>;
std::string WriteSheetsXlsx(const std::filesystem::path& out, const std::vector<std::string>& names,
                            const SheetSource& sheetAt);
// A CSV table given row by row: `next` fills `row` with the next row and
// returns false when there is none.
using RowSource = std::function<bool(std::vector<SheetCell>& row)>;
std::string WriteRowsCsv(const std::filesystem::path& out, const RowSource& next);

// Excel sheet names: unique (Excel compares them ignoring case), at most 31
// characters (counted in UTF-16 units, as Excel counts them), none of
// []:*?/\ and no apostrophe at either end. Forbidden characters and line
// breaks become "_", an empty name "Sheet", and a repeated one gets " (2)",
// " (3)" ... with its text shortened to keep within the length.
std::vector<std::string> ValidSheetNames(const std::vector<std::string>& wanted);

// The text a cell has in a CSV file (before quoting). A text beginning with
// "=", "+", "-", "@", TAB or CR gets a leading apostrophe, so that a
// spreadsheet opening the file shows it as text and never runs it as a
// formula (a name from someone else's data folder could be "=HYPERLINK(...)").
// Number cells are never changed: -1.5 written as a number stays -1.5.
std::string CsvCellText(const SheetCell& cell);

}  // namespace kelvora
