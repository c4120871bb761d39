#include "screens/paste_block.h"

#include "store/grid_text.h"

namespace kelvora {

std::string ClipboardToGridText(std::string_view text) {
  return JoinGridText(SplitGridText(text, {.anyLineBreak = true}));
}

PasteBlock CountPasteBlock(std::string_view text, std::string_view lastCopyText) {
  const bool own = !lastCopyText.empty() && text == lastCopyText;
  const auto rows = SplitGridText(text, {.anyLineBreak = true, .finalBreakEndsRow = !own});
  PasteBlock block;
  block.rows = static_cast<int>(rows.size());
  block.cols = static_cast<int>(rows.front().size());
  return block;
}

}  // namespace kelvora
