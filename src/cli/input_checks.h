// Checks of what kelvora-cli is given: the input files, their text encoding,
// cells the clean-up empties, dates that do not run day by day, and the
// progress line of long fits.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "store/grid_text.h"

namespace kelvora {

// Reads TABLE or SERIES ("-" is the standard input). A folder, a missing or
// unreadable path gives false and a message with the system's reason.
bool ReadInputFile(const std::string& path, std::string& text, std::string& message);

// True when the folder holds at least one of the five data files; otherwise
// says on `err` that the folder is not there or holds no data files.
bool HoldsDataFiles(const std::filesystem::path& dir, std::ostream& err);

// False, with a message on `err`, while the folder holds the recovery copy of
// a session that ended without saving: a change made now would be lost when
// the user restores that copy and saves it. Called with the folder's lock held.
bool NoRecoveryCopyWaits(const std::filesystem::path& dir, std::ostream& err);

// The first line (1-based; lines end in LF, CR LF or CR) holding bytes that
// are not UTF-8, 0 when the whole text is UTF-8.
int FirstNonUtf8Line(std::string_view text);
bool IsUtf8(std::string_view text);
// Length of the UTF-8 sequence starting at text[i], 0 when it is not one.
size_t Utf8Length(std::string_view text, size_t i);

// A cell's text for a message: at most `maxChars` characters, "…" when cut.
std::string ShortText(std::string_view text, size_t maxChars = 20);

// A cell that held text before the clean-up and is empty after it.
struct EmptiedCell {
  int row = 0;  // grid row (row 0 is the header line)
  int col = 0;  // grid column (column 0 is the first)
  std::string text;
};
std::vector<EmptiedCell> EmptiedCells(const GridTable& before, const GridTable& after);

// The line describing an emptied cell, e.g. "3行2列目「abc」".
std::string DescribeCell(const EmptiedCell& cell);

// Cells the clean-up of the fit would empty in a table (incubation table, or
// with `field` the field table): texts that are not numbers ("abc", "nan",
// "1e39").
std::vector<EmptiedCell> CellsTheCleanUpEmpties(const GridTable& grid, bool field);

// The first day d (1 .. count) whose date dates[d] is not a date or not the
// day after dates[d - 1]; 0 when every day follows the one before. Dates are
// year/month/day ("2024/05/01", "2024/5/1").
int FirstNonConsecutiveDay(const std::vector<std::string>& dates, int count);

// True when the text is a real calendar date in the form above.
bool ParseDate(std::string_view text, int& year, int& month, int& day);

// One line on a terminal: the model being fitted and the sweep counter,
// rewritten in place (at most a few times a second) and cleared at the end.
class ProgressLine {
 public:
  // Shows nothing unless `enabled` (stderr is a terminal).
  ProgressLine(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
  ~ProgressLine() { Clear(); }
  void Model(const std::string& text);
  void Sweep(int sweep);
  void Clear();

 private:
  void Draw(bool force);
  std::ostream& err_;
  bool enabled_;
  std::string model_;
  int sweep_ = 0;
  long long lastDrawMs_ = -1;
  bool drawn_ = false;
};

}  // namespace kelvora
