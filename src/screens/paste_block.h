// Sizing and line-break handling of text pasted into a data grid.
#pragma once

#include <string>
#include <string_view>

namespace kelvora {

struct PasteBlock {
  int rows = 1;
  int cols = 1;
  bool operator==(const PasteBlock&) const = default;
};

// Text from the clipboard as grid text: CR LF and a lone LF (the row break of
// spreadsheets and editors on this platform) both become CR.
std::string ClipboardToGridText(std::string_view text);

// Rows and columns of a text to be pasted. Rows are the row breaks plus one,
// less one when the text ends with a break, except when the text is
// `lastCopyText` (the grid's own last cut or copied block, whose final break
// can only come from an empty last row). Columns are one plus the TABs of the
// first row. Empty text is one cell.
PasteBlock CountPasteBlock(std::string_view text, std::string_view lastCopyText);

}  // namespace kelvora
