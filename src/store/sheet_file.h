// Tables written out for spreadsheets: Excel workbooks (.xlsx) and CSV files.
#pragma once

#include <filesystem>
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
// regular file is refused.
std::string WriteSheetsXlsx(const std::filesystem::path& out, const std::vector<Sheet>& sheets);
// UTF-8 with a byte-order mark, CR LF line ends, fields quoted where needed
// (comma, double quote, line break) with quotes doubled. Numbers are written
// with a point whatever the locale, dates as yyyy/mm/dd.
std::string WriteSheetCsv(const std::filesystem::path& out, const Sheet& sheet);

// Excel sheet names: unique (Excel compares them ignoring case), at most 31
// characters (counted in UTF-16 units, as Excel counts them), none of
// []:*?/\ and no apostrophe at either end. Forbidden characters and line
// breaks become "_", an empty name "Sheet", and a repeated one gets " (2)",
// " (3)" ... with its text shortened to keep within the length.
std::vector<std::string> ValidSheetNames(const std::vector<std::string>& wanted);

// The text a cell has in a CSV file (before quoting).
std::string CsvCellText(const SheetCell& cell);

}  // namespace kelvora
