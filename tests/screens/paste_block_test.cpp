#include "screens/paste_block.h"

#include <gtest/gtest.h>

#include "screen_test_env.h"

namespace kelvora {
namespace {

using test::Fixture;

TEST(ClipboardText, LineBreaksOfOtherProgramsBecomeGridRows) {
  EXPECT_EQ(ClipboardToGridText("1\t2\n3\t4\n"), "1\t2\r3\t4\r");
  EXPECT_EQ(ClipboardToGridText("1\t2\r\n3\t4\r\n"), "1\t2\r3\t4\r");
  EXPECT_EQ(ClipboardToGridText("a\rb"), "a\rb");
  // An LF right after a CR belongs to that break, a lone one is a break.
  EXPECT_EQ(ClipboardToGridText("a\r\n\nb"), "a\r\rb");
}

TEST(CountPasteBlock, SpreadsheetBlocksCopiedOnThisPlatform) {
  // Bytes as Gnumeric and LibreOffice Calc put them on the clipboard.
  EXPECT_EQ(CountPasteBlock(Fixture("gnumeric_3x3.txt"), ""), (PasteBlock{3, 3}));
  EXPECT_EQ(CountPasteBlock(Fixture("gnumeric_3x2.txt"), ""), (PasteBlock{3, 2}));
  EXPECT_EQ(CountPasteBlock(Fixture("libreoffice_3x3.txt"), ""), (PasteBlock{3, 3}));
  EXPECT_EQ(CountPasteBlock(Fixture("libreoffice_3x2.txt"), ""), (PasteBlock{3, 2}));
  EXPECT_EQ(CountPasteBlock(Fixture("libreoffice_col_lower_empty.txt"), ""), (PasteBlock{1, 1}));
  EXPECT_EQ(CountPasteBlock(Fixture("gnumeric_single.txt"), ""), (PasteBlock{1, 1}));
}

TEST(CountPasteBlock, FinalBreakAndOwnBlocks) {
  EXPECT_EQ(CountPasteBlock("7\t1\r\n14\t2\r\n28\t3\r\n", ""), (PasteBlock{3, 2}));
  EXPECT_EQ(CountPasteBlock("7\t1\r14\t2", ""), (PasteBlock{2, 2}));
  EXPECT_EQ(CountPasteBlock("12.5", ""), (PasteBlock{1, 1}));
  EXPECT_EQ(CountPasteBlock("", ""), (PasteBlock{1, 1}));
  EXPECT_EQ(CountPasteBlock("", "x"), (PasteBlock{1, 1}));
  // The grid's own block "x" over an empty cell ends with CR: that CR starts
  // the empty last row; the same text from elsewhere is one row.
  EXPECT_EQ(CountPasteBlock("x\r", "x\r"), (PasteBlock{2, 1}));
  EXPECT_EQ(CountPasteBlock("x\r", "y\r"), (PasteBlock{1, 1}));
  // Columns come from the first row only.
  EXPECT_EQ(CountPasteBlock("a\tb\tc\rd", ""), (PasteBlock{2, 3}));
}

}  // namespace
}  // namespace kelvora
