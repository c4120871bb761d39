#include "store/grid_text.h"

#include <gtest/gtest.h>

namespace kelvora {
namespace {

TEST(GridText, RowsAreCountedByCarriageReturns) {
  EXPECT_EQ(GridTextRows(""), 1);
  EXPECT_EQ(GridTextRows("a\tb\rc\td"), 2);
  EXPECT_EQ(GridTextRows("\t\t\r\t\t\r"), 3);
  auto rows = SplitGridText("a\tb\r\nc\r\rd");
  ASSERT_EQ(rows.size(), 4u);  // the LF after a CR belongs to the break
  EXPECT_EQ(rows[0], (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"c"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{""}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{"d"}));
}

TEST(GridText, WholeGridRoundTrips) {
  GridTable g(3, 4);
  g.Cell(0, 0) = "培養日数";
  g.Cell(0, 1) = "20";
  g.Cell(2, 3) = "1.5";
  std::string text = g.ToGridText();
  EXPECT_EQ(text, "培養日数\t20\t\t\r\t\t\t\r\t\t\t1.5");
  GridTable back = GridFromText(text, 3, 4);
  EXPECT_EQ(back.ToGridText(), text);
  EXPECT_EQ(JoinGridText(SplitGridText(text)), text);
}

TEST(GridText, BlockWriteClipsAndKeepsUnreachedCells) {
  GridTable g(4, 3);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 3; ++c) g.Cell(r, c) = "x";
  g.WriteBlock("1\t2\t3\r4", 1, 1, 2, 2);  // selection (1,1)-(2,2)
  EXPECT_EQ(g.Cell(1, 1), "1");
  EXPECT_EQ(g.Cell(1, 2), "2");  // "3" falls outside the selection
  EXPECT_EQ(g.Cell(2, 1), "4");
  EXPECT_EQ(g.Cell(2, 2), "x");  // not reached by the text
  EXPECT_EQ(g.Cell(3, 1), "x");
  EXPECT_EQ(g.ReadBlock(1, 1, 2, 2), "1\t2\r4\tx");
}

TEST(GridText, ShortTextLoadsIntoLargerGrid) {
  GridTable g = GridFromText("a\tb", 100, 4);
  EXPECT_EQ(g.Rows(), 100);
  EXPECT_EQ(g.Cell(0, 1), "b");
  EXPECT_EQ(g.Cell(99, 3), "");
}

TEST(GridText, SpreadsheetTextBreaksAtAnyLineBreak) {
  using Rows = std::vector<std::vector<std::string>>;
  // Grid text keeps a lone LF inside its cell; spreadsheet text breaks there.
  EXPECT_EQ(SplitGridText("a\nb\tc"), (Rows{{"a\nb", "c"}}));
  EXPECT_EQ(SplitGridText("7\t1\r\n14\t2\n28\r35\r\n", kSpreadsheetFormat),
            (Rows{{"7", "1"}, {"14", "2"}, {"28"}, {"35"}}));
  // Only the very last break ends a row; an empty line before it stays.
  EXPECT_EQ(SplitGridText("x\n\n", kSpreadsheetFormat), (Rows{{"x"}, {""}}));
  EXPECT_EQ(SplitGridText("", kSpreadsheetFormat), (Rows{{""}}));
  EXPECT_EQ(SplitGridText("x\r", {.anyLineBreak = true}), (Rows{{"x"}, {""}}));

  GridTable g = GridFromRows(SplitGridText("a\tb\tc\td\te\n1", kSpreadsheetFormat), 3, 4);
  EXPECT_EQ(g.Rows(), 3);
  EXPECT_EQ(g.ToGridText(), "a\tb\tc\td\r1\t\t\t\r\t\t\t");  // "e" is beyond the columns
}

}  // namespace
}  // namespace kelvora
