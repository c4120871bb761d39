#include "screens/paste_block.h"

#include <algorithm>

namespace kelvora {

std::string ClipboardToGridText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      out.push_back('\r');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out.push_back('\r');
    } else {
      out.push_back(c);
    }
  }
  return out;
}

PasteBlock CountPasteBlock(std::string_view text, std::string_view lastCopyText) {
  bool own = !lastCopyText.empty() && text == lastCopyText;
  std::string grid = ClipboardToGridText(text);
  PasteBlock block;
  block.rows = static_cast<int>(std::count(grid.begin(), grid.end(), '\r')) + 1;
  if (!own && !grid.empty() && grid.back() == '\r') --block.rows;
  std::string_view first(grid);
  first = first.substr(0, first.find('\r'));
  block.cols = static_cast<int>(std::count(first.begin(), first.end(), '\t')) + 1;
  return block;
}

}  // namespace kelvora
