// The grid and its cell editor driven with keys, mouse clicks and the
// clipboard, set up like the incubation grid (100 x 4, no fixed cells) or the
// soil temperature grid (100 x 2, one fixed row and column).
#include "screens/data_grid.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include "screen_test_env.h"

namespace kelvora {
namespace {

using test::ClickCell;
using test::Key;
using test::SetClipboard;
using test::Type;

class DataGridTest : public testing::Test {
 protected:
  void SetUp() override { Build(100, 4, 0); }

  void Build(int rows, int cols, int fixed) {
    window = std::make_unique<QWidget>();
    grid = new DataGrid(dialogs, window.get());
    auto* layout = new QVBoxLayout(window.get());
    layout->addWidget(grid);
    g = grid->MSFlexGrid1;
    g->SetCols(cols);
    g->SetRows(rows);
    g->SetFixedRows(fixed);
    g->SetFixedCols(fixed);
    for (int c = 0; c < cols; ++c) g->SetColAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    window->resize(500, 420);
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    grid->EditLink = true;
    grid->SelectCell(1, 1);
    grid->MSFlexGrid1_EnterCell();
    g->setFocus();
  }

  // Fills a cell as the screens' code does: the editor, which holds the
  // current cell's text, is refreshed afterwards.
  void Put(int row, int col, const QString& text) {
    g->SetTextMatrix(row, col, text);
    grid->MSFlexGrid1_EnterCell();
  }

  ScriptedDialogs dialogs;
  std::unique_ptr<QWidget> window;
  DataGrid* grid = nullptr;
  FlexGrid* g = nullptr;
};

TEST_F(DataGridTest, LeaveCellComesBeforeEnterCellAndSelectionCornersRaiseNothing) {
  QStringList events;
  QObject::connect(g, &FlexGrid::LeaveCell,
                   [&] { events << QStringLiteral("leave %1,%2").arg(g->Row()).arg(g->Col()); });
  QObject::connect(g, &FlexGrid::EnterCell,
                   [&] { events << QStringLiteral("enter %1,%2").arg(g->Row()).arg(g->Col()); });
  ClickCell(g, 3, 2);
  g->SetRowSel(5);
  g->SetColSel(3);
  EXPECT_EQ(events, (QStringList{"leave 1,1", "enter 3,2"}));
  EXPECT_EQ(g->RowSel(), 5);
  // Making a cell current by code collapses the selection to it.
  g->SetRow(4);
  EXPECT_EQ(events.last(), "enter 4,2");
  EXPECT_TRUE(g->SingleCellSelected());
}

TEST_F(DataGridTest, TypingReplacesTheCellAndEnterStoresItOneRowDown) {
  Put(1, 1, "12");
  ClickCell(g, 1, 1);
  QTest::keyClick(g, '5');
  EXPECT_TRUE(grid->Text_Edit->isVisible());
  EXPECT_EQ(grid->Text_Edit->text(), "5");
  EXPECT_EQ(grid->Text_Edit->geometry(), g->CellRect(1, 1));
  EXPECT_EQ(g->TextMatrix(1, 1), "12");  // not stored before the cell is left
  Type("0");
  Key(Qt::Key_Return);
  EXPECT_EQ(g->TextMatrix(1, 1), "50");
  EXPECT_EQ(g->Row(), 2);
  EXPECT_EQ(g->Col(), 1);
  EXPECT_FALSE(grid->Text_Edit->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), g);
  // Enter on the grid itself also goes down.
  Key(Qt::Key_Return);
  EXPECT_EQ(g->Row(), 3);
}

TEST_F(DataGridTest, EnterOnTheLastRowKeepsTheTextInTheEditorUntilTheCellIsLeft) {
  ClickCell(g, 99, 2);
  Type("7");
  Key(Qt::Key_Return);
  EXPECT_EQ(g->Row(), 99);
  EXPECT_EQ(g->TextMatrix(99, 2), "");
  EXPECT_EQ(grid->Text_Edit->text(), "7");
  EXPECT_EQ(QApplication::focusWidget(), g);
  ClickCell(g, 98, 2);
  EXPECT_EQ(g->TextMatrix(99, 2), "7");
}

TEST_F(DataGridTest, EditorArrowsNeverLeadIntoRowZeroOrColumnZero) {
  ClickCell(g, 3, 1);
  Type("4");
  Key(Qt::Key_Left);
  EXPECT_EQ(g->Col(), 1);
  EXPECT_EQ(QApplication::focusWidget(), g);
  EXPECT_EQ(grid->Text_Edit->text(), "4");
  EXPECT_EQ(g->TextMatrix(3, 1), "");
  ClickCell(g, 1, 2);
  EXPECT_EQ(g->TextMatrix(3, 1), "4");
  Type("9");
  Key(Qt::Key_Up);
  EXPECT_EQ(g->Row(), 1);
  Type("8");  // typing on the grid again replaces the editor's text
  Key(Qt::Key_Right);
  EXPECT_EQ(g->TextMatrix(1, 2), "8");
  EXPECT_EQ(g->Col(), 3);
  // The grid's own arrow keys do reach row 0 of the incubation grid.
  Key(Qt::Key_Up);
  EXPECT_EQ(g->Row(), 0);
}

TEST_F(DataGridTest, EscapeAbandonsTheTyping) {
  Put(2, 2, "3.5");
  ClickCell(g, 2, 2);
  Type("1");
  Key(Qt::Key_Escape);
  EXPECT_FALSE(grid->Text_Edit->isVisible());
  ClickCell(g, 4, 2);
  EXPECT_EQ(g->TextMatrix(2, 2), "3.5");
}

TEST_F(DataGridTest, PasteOfASpreadsheetBlockWithCrLfRowsAndTheRangeCheck) {
  SetClipboard("7\t1.25\r\n14\t2.75\r\n28\t3.5\r\n");
  ClickCell(g, 1, 1);
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(g->Cells().ReadBlock(1, 1, 3, 2), "7\t1.25\r14\t2.75\r28\t3.5");
  EXPECT_EQ(g->Cells().ReadBlock(4, 1, 4, 2), "\t");
  EXPECT_EQ(g->RowSel(), 3);
  EXPECT_EQ(g->ColSel(), 2);
  EXPECT_EQ(grid->Text_Edit->text(), "7");
  EXPECT_TRUE(dialogs.shown.empty());

  const std::string before = g->Cells().ToGridText();
  ClickCell(g, 98, 1);
  Key(Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].title, "警告");
  EXPECT_EQ(dialogs.shown[0].text, "貼り付け先が範囲外です");
  EXPECT_EQ(g->Cells().ToGridText(), before);
}

TEST_F(DataGridTest, BlocksCopiedFromGnumericAndLibreOfficeLandWhereTheyWereLaidOut) {
  // Rows separated by LF alone, with and without a break after the last row.
  for (const char* name : {"gnumeric_3x3.txt", "libreoffice_3x3.txt"}) {
    SCOPED_TRACE(name);
    g->ClearText();
    SetClipboard(QString::fromStdString(test::Fixture(name)));
    ClickCell(g, 97, 1);
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(g->Cells().ReadBlock(97, 1, 99, 3), "7\t1.25\t2.5\r14\t2.75\tabc\r28\t3.5\t");
    EXPECT_EQ(g->TextMatrix(96, 1), "");
  }
  EXPECT_TRUE(dialogs.shown.empty());
  SetClipboard(QString::fromStdString(test::Fixture("libreoffice_3x2.txt")));
  ClickCell(g, 98, 2);
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(dialogs.Texts(), QStringList{"貼り付け先が範囲外です"});
}

TEST_F(DataGridTest, CopiedBlocksPasteBackTheSameShape) {
  Put(1, 1, "a");
  Put(1, 2, "b");
  Put(2, 1, "c");
  Put(2, 2, "d");
  ClickCell(g, 1, 1);
  ClickCell(g, 2, 2, Qt::LeftButton, Qt::ShiftModifier);
  Key(Qt::Key_C, Qt::ControlModifier);
  // CR LF between rows on the clipboard only.
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "a\tb\r\nc\td");
  EXPECT_EQ(grid->LastCopyText, "a\tb\r\nc\td");
  ClickCell(g, 5, 2);
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(g->Cells().ReadBlock(5, 2, 6, 3), "a\tb\rc\td");
  EXPECT_EQ(g->TextMatrix(7, 2), "");

  // A one-column block whose lower cell is empty empties the lower target.
  Put(10, 3, "old");
  Put(11, 3, "old");
  ClickCell(g, 1, 1);
  ClickCell(g, 3, 1, Qt::LeftButton, Qt::ShiftModifier);
  Put(3, 1, "");
  Key(Qt::Key_C, Qt::ControlModifier);
  ClickCell(g, 9, 3);
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(g->Cells().ReadBlock(9, 3, 11, 3), "a\rc\r");
}

TEST_F(DataGridTest, SingleValuesAndEmptyClipboardText) {
  Put(4, 2, "old");
  SetClipboard("12.5");
  ClickCell(g, 4, 1);
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(g->TextMatrix(4, 1), "12.5");
  EXPECT_EQ(grid->Text_Edit->text(), "12.5");
  QGuiApplication::clipboard()->clear();
  ClickCell(g, 4, 2);
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(g->TextMatrix(4, 2), "");
  // Moving on commits the editor, which holds the pasted (empty) text.
  ClickCell(g, 5, 2);
  EXPECT_EQ(g->TextMatrix(4, 2), "");
  EXPECT_EQ(g->TextMatrix(4, 1), "12.5");
}

TEST_F(DataGridTest, CtrlVInTheEditorPastesIntoTheGrid) {
  SetClipboard("1\t2");
  ClickCell(g, 6, 1);
  Type("3");
  ASSERT_EQ(QApplication::focusWidget(), grid->Text_Edit);
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(g->Cells().ReadBlock(6, 1, 6, 2), "1\t2");
  EXPECT_EQ(grid->Text_Edit->text(), "1");
}

TEST_F(DataGridTest, DeleteAndCutEmptyTheWholeSelection) {
  for (int r = 1; r <= 6; ++r) {
    for (int c = 0; c < 4; ++c) Put(r, c, QString::number(r * 10 + c));
  }
  ClickCell(g, 1, 1);
  ClickCell(g, 5, 2, Qt::LeftButton, Qt::ShiftModifier);
  Key(Qt::Key_Delete);
  EXPECT_EQ(g->Cells().ReadBlock(1, 1, 5, 2), "\t\r\t\r\t\r\t\r\t");
  EXPECT_EQ(grid->Text_Edit->text(), "");
  EXPECT_EQ(g->TextMatrix(1, 0), "10");
  EXPECT_EQ(g->TextMatrix(6, 1), "61");
  EXPECT_EQ(g->TextMatrix(5, 3), "53");

  ClickCell(g, 6, 0);
  ClickCell(g, 6, 1, Qt::LeftButton, Qt::ShiftModifier);
  Key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "60\t61");
  EXPECT_EQ(g->Cells().ReadBlock(6, 0, 6, 1), "\t");
}

TEST_F(DataGridTest, RightClickKeepsAPointedSelectionAndMovesOtherwise) {
  ClickCell(g, 2, 2, Qt::RightButton);
  EXPECT_EQ(dialogs.popups, 1);
  EXPECT_EQ(g->Row(), 2);
  EXPECT_EQ(g->Col(), 2);

  ClickCell(g, 1, 1);
  ClickCell(g, 3, 3, Qt::LeftButton, Qt::ShiftModifier);
  ClickCell(g, 2, 2, Qt::RightButton);
  EXPECT_EQ(dialogs.popups, 2);
  EXPECT_EQ(g->Row(), 1);
  EXPECT_EQ(g->RowSel(), 3);
  EXPECT_EQ(g->ColSel(), 3);

  ClickCell(g, 6, 0, Qt::RightButton);
  EXPECT_EQ(dialogs.popups, 3);
  EXPECT_EQ(g->Row(), 6);
  EXPECT_EQ(g->Col(), 0);
  EXPECT_TRUE(g->SingleCellSelected());

  // Right of the last column there is no cell: nothing happens.
  QRect last = g->CellRect(6, 3);
  ASSERT_LT(last.right() + 10, g->viewport()->width());
  QTest::mouseClick(g->viewport(), Qt::RightButton, {},
                    QPoint(last.right() + 10, last.center().y()));
  EXPECT_EQ(dialogs.popups, 3);
  EXPECT_EQ(g->Col(), 0);

  // The menu's items work on the grid (the test picks "コピー").
  dialogs.onPopup = [&](QMenu&) { return grid->Edit_Copy; };
  Put(8, 2, "42");
  ClickCell(g, 8, 2, Qt::RightButton);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "42");
}

TEST_F(DataGridTest, TheEditorShowsTheGridMenuOnARightClick) {
  ClickCell(g, 2, 1);
  Type("5");
  QTest::mouseClick(grid->Text_Edit, Qt::RightButton);
  EXPECT_EQ(dialogs.popups, 1);
  EXPECT_EQ(grid->Text_Edit->contextMenuPolicy(), Qt::NoContextMenu);
}

class FixedHeaderGridTest : public DataGridTest {
 protected:
  void SetUp() override { Build(100, 2, 1); }
};

TEST_F(FixedHeaderGridTest, SelectAllIncludesTheHeaderRowAndTheDateColumn) {
  Put(0, 0, "年/月/日");
  Put(0, 1, "地温(℃)");
  Put(1, 0, "2004/04/01");
  Put(1, 1, "12.5");
  Key(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(g->Row(), 0);
  EXPECT_EQ(g->Col(), 0);
  EXPECT_EQ(g->RowSel(), 99);
  EXPECT_EQ(g->ColSel(), 1);
  EXPECT_TRUE(g->Clip().startsWith("年/月/日\t地温(℃)\r2004/04/01\t12.5\r\t\r"));
}

TEST_F(FixedHeaderGridTest, HeaderCellsAreNotEnteredByClicksOrArrowKeys) {
  ClickCell(g, 0, 1);  // the column header selects its column
  EXPECT_EQ(g->Row(), 1);
  EXPECT_EQ(g->RowSel(), 99);
  ClickCell(g, 3, 0);  // the row header selects its row
  EXPECT_EQ(g->Row(), 3);
  EXPECT_EQ(g->Col(), 1);
  ClickCell(g, 1, 1);
  Key(Qt::Key_Up);
  Key(Qt::Key_Left);
  EXPECT_EQ(g->Row(), 1);
  EXPECT_EQ(g->Col(), 1);
}

TEST_F(FixedHeaderGridTest, FieldGridRightClickIgnoresHeadersUnlessInsideASelection) {
  grid->SetFirstPointedCell(1);
  ClickCell(g, 0, 1, Qt::RightButton);
  ClickCell(g, 5, 0, Qt::RightButton);
  EXPECT_EQ(dialogs.popups, 0);
  EXPECT_EQ(g->Row(), 1);
  Key(Qt::Key_A, Qt::ControlModifier);
  ClickCell(g, 0, 1, Qt::RightButton);
  EXPECT_EQ(dialogs.popups, 1);
  EXPECT_EQ(g->RowSel(), 99);
}

TEST_F(DataGridTest, TheEditorFollowsItsCellWhenTheGridScrolls) {
  ClickCell(g, 2, 1);
  Type("6");
  g->verticalScrollBar()->setValue(40);
  EXPECT_FALSE(grid->Text_Edit->isVisible());
  g->verticalScrollBar()->setValue(0);
  EXPECT_TRUE(grid->Text_Edit->isVisible());
  EXPECT_EQ(grid->Text_Edit->geometry(), g->CellRect(2, 1));
  EXPECT_EQ(grid->Text_Edit->text(), "6");
}

}  // namespace
}  // namespace kelvora
