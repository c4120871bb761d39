// Reading a file into a data grid replaces what the grid held, and every change
// to a grid's cells is a step that undo takes back and redo makes again, to the
// exact text of every cell.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include "screen_test_env.h"
#include "screens/baiyo_form0_3.h"
#include "screens/hojyobaiyo_form.h"
#include "screens/ondo_form.h"

namespace kelvora {
namespace {

using test::ClickCell;
using test::Key;
using test::ScreenEnv;

const QString kReplaceQuestion = QStringLiteral("表の内容をファイルの内容で置き換えますか");

std::string TenRows() {
  std::string t = "培養日数\t20\t25\t30\n";
  for (int d = 1; d <= 10; ++d) {
    t += std::to_string(d * 7) + "\t" + std::to_string(d) + ".5\t" + std::to_string(d + 1) + "\t" +
         std::to_string(d + 2) + ".25\n";
  }
  return t;
}

class GridHistory : public testing::Test {
 protected:
  void SetUp() override {
    env.Show();
    baiyo = env.OpenBaiyo();
    ASSERT_NE(baiyo, nullptr);
    grid = baiyo->Grid;
    g = baiyo->MSFlexGrid1;
  }
  std::string Text() const { return g->Cells().ToGridText(); }
  void Load(const std::string& table, const QString& name) {
    env.dialogs.openNames.push_back(test::WriteFile(dir, name, table));
    grid->Edit_Load_File->trigger();
  }
  // The field screen, a new record with the range 2004/05/01 to 2004/05/10
  // confirmed.
  HojyoBaiyo_Form* OpenFieldFrom1To10May2004() {
    QTest::mouseClick(env.main->Command6, Qt::LeftButton);  // "ほ場埋設"
    auto* field = env.main->Find<HojyoBaiyo_Form>(Screen::HojyoBaiyo_Form);
    if (!field) return nullptr;
    for (QComboBox* c : {field->Combo1, field->Combo4}) c->setEditText(QStringLiteral("2004"));
    for (QComboBox* c : {field->Combo2, field->Combo5}) c->setEditText(QStringLiteral("5"));
    field->Combo3->setEditText(QStringLiteral("1"));
    field->Combo6->setEditText(QStringLiteral("10"));
    QTest::mouseClick(field->Command9, Qt::LeftButton);  // "④ 確定"
    return field;
  }
  // A question must have been asked only when the test queued its answer.
  void TearDown() override { EXPECT_TRUE(env.dialogs.answers.empty()); }

  ScreenEnv env;
  QTemporaryDir dir;
  Baiyo_Form0_3* baiyo = nullptr;
  DataGrid* grid = nullptr;
  FlexGrid* g = nullptr;
};

TEST_F(GridHistory, AFileReadReplacesTheIncubationTableAfterAsking) {
  Load(TenRows(), QStringLiteral("ten.tsv"));
  ASSERT_EQ(g->TextMatrix(10, 0), "70");
  EXPECT_TRUE(env.dialogs.Texts().filter(kReplaceQuestion).isEmpty());  // nothing to replace yet
  const std::string ten = Text();

  // No reads nothing.
  env.dialogs.answers = {false};
  Load("日数\t15\n3\t0.5\n", QStringLiteral("short.tsv"));
  EXPECT_EQ(env.dialogs.shown.back().kind, "question");
  EXPECT_EQ(env.dialogs.shown.back().title, "注意");
  EXPECT_EQ(env.dialogs.shown.back().text, kReplaceQuestion);
  EXPECT_EQ(Text(), ten);

  // Yes: the file's table alone, nothing of the ten rows underneath.
  env.dialogs.answers = {true};
  Load("日数\t15\n3\t0.5\n", QStringLiteral("short.tsv"));
  GridTable expected(100, 4);
  expected.Cell(0, 0) = "日数";
  expected.Cell(0, 1) = "15";
  expected.Cell(1, 0) = "3";
  expected.Cell(1, 1) = "0.5";
  EXPECT_EQ(Text(), expected.ToGridText());
}

TEST_F(GridHistory, AFileReadIsOneStep) {
  Load(TenRows(), QStringLiteral("ten.tsv"));
  const std::string ten = Text();
  env.dialogs.answers = {true};
  Load("日数\t15\n3\t0.5\n", QStringLiteral("short.tsv"));
  const std::string replaced = Text();
  ASSERT_NE(replaced, ten);
  EXPECT_EQ(grid->Edit_Undo->text(), "元に戻す（ファイルから読込）");
  grid->Edit_Undo->trigger();
  EXPECT_EQ(Text(), ten);
  EXPECT_EQ(grid->Edit_Redo->text(), "やり直し（ファイルから読込）");
  grid->Edit_Redo->trigger();
  EXPECT_EQ(Text(), replaced);
}

TEST_F(GridHistory, TheFieldGridKeepsItsDatesAndHeadersWhenAFileReplacesItsData) {
  HojyoBaiyo_Form* field = OpenFieldFrom1To10May2004();
  ASSERT_NE(field, nullptr);
  FlexGrid* fg = field->MSFlexGrid1;
  ASSERT_EQ(fg->Rows(), 11);
  ClickCell(fg, 1, 1);
  test::SetClipboard(QStringLiteral("18\t\r\n19\t0.5\r\n20\t\r\n21\t\r\n22\t1.5\r\n"));
  Key(Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(fg->TextMatrix(5, 2), "1.5");

  env.dialogs.answers = {true};
  env.dialogs.openNames.push_back(test::WriteFile(
      dir, QStringLiteral("field.tsv"), "年/月/日\t地温(℃)\t無機化量\n2004/05/01\t17\t0.2\n"));
  field->Grid->Edit_Load_File->trigger();
  EXPECT_EQ(env.dialogs.shown.back().text, kReplaceQuestion);
  EXPECT_EQ(fg->TextMatrix(1, 1), "17");
  EXPECT_EQ(fg->TextMatrix(1, 2), "0.2");
  for (int r = 2; r <= 10; ++r) {
    EXPECT_TRUE(fg->TextMatrix(r, 1).isEmpty() && fg->TextMatrix(r, 2).isEmpty()) << r;
  }
  EXPECT_EQ(fg->TextMatrix(10, 0), "2004/05/10");
}

TEST_F(GridHistory, AConfirmedDateRangeIsOneStep) {
  HojyoBaiyo_Form* field = OpenFieldFrom1To10May2004();
  ASSERT_NE(field, nullptr);
  FlexGrid* fg = field->MSFlexGrid1;
  ClickCell(fg, 1, 1);
  test::SetClipboard(QStringLiteral("18\t0.5\r\n"));
  Key(Qt::Key_V, Qt::ControlModifier);
  // Undo brings back the rows before the range, redo the range.
  field->Grid->Edit_Undo->trigger();  // the paste
  EXPECT_EQ(field->Grid->Edit_Undo->text(), "元に戻す（確定）");
  field->Grid->Edit_Undo->trigger();
  EXPECT_EQ(fg->Rows(), 100);
  EXPECT_TRUE(fg->TextMatrix(1, 0).isEmpty());
  field->Grid->Edit_Redo->trigger();
  EXPECT_EQ(fg->Rows(), 11);
  EXPECT_EQ(fg->TextMatrix(1, 0), "2004/05/01");
}

TEST_F(GridHistory, TypingPastingAndDeletingAreStepsThatUndoAndRedoExactly) {
  EXPECT_FALSE(grid->Edit_Undo->isEnabled());
  EXPECT_FALSE(grid->Edit_Redo->isEnabled());
  EXPECT_EQ(grid->Edit_Undo->text(), "元に戻す");
  EXPECT_EQ(grid->Edit->actions().front(), grid->Edit_Undo);
  const std::string blank = Text();

  // Typing a cell, from entering it to leaving it.
  ClickCell(g, 1, 0);
  test::Type(QStringLiteral("7"));
  Key(Qt::Key_Return);
  const std::string typed = Text();
  ASSERT_EQ(g->TextMatrix(1, 0), "7");
  EXPECT_EQ(grid->Edit_Undo->text(), "元に戻す（入力）");

  // A 100 × 4 paste over the whole grid.
  QString block;
  for (int r = 0; r < 100; ++r) {
    block += QStringLiteral("%1\t%2.5\t-%3\tx%4\r\n").arg(r).arg(r * 3).arg(r).arg(r);
  }
  ClickCell(g, 0, 0);
  test::SetClipboard(block);
  Key(Qt::Key_V, Qt::ControlModifier);
  const std::string pasted = Text();
  ASSERT_EQ(g->TextMatrix(99, 3), "x99");
  EXPECT_EQ(grid->Edit_Undo->text(), "元に戻す（貼り付け）");

  // Delete on a block, then cut.
  g->SetRow(2);
  g->SetCol(1);
  g->SetRowSel(5);
  g->SetColSel(3);
  Key(Qt::Key_Delete);
  const std::string deleted = Text();
  ASSERT_TRUE(g->TextMatrix(5, 3).isEmpty());
  g->SetRow(10);
  g->SetCol(0);
  g->SetRowSel(12);
  Key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(grid->Edit_Undo->text(), "元に戻す（切り取り）");
  const std::string cut = Text();

  // Back step by step to the blank table, and forward again; Ctrl+Z, Ctrl+Y
  // and Ctrl+Shift+Z on the grid do the same as the menu.
  const std::vector<std::string> states{blank, typed, pasted, deleted, cut};
  for (int i = static_cast<int>(states.size()) - 1; i > 0; --i) {
    ASSERT_EQ(Text(), states[i]) << i;
    Key(Qt::Key_Z, Qt::ControlModifier);
  }
  EXPECT_EQ(Text(), blank);
  EXPECT_FALSE(grid->Edit_Undo->isEnabled());
  EXPECT_EQ(grid->Edit_Redo->text(), "やり直し（入力）");
  Key(Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(Text(), typed);
  Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Text(), pasted);
  // Undo selects what it changed.
  grid->Edit_Undo->trigger();
  EXPECT_EQ(g->Row(), 0);
  EXPECT_EQ(g->RowSel(), 99);
  EXPECT_EQ(g->ColSel(), 3);

  // A new step after an undo drops what could have been redone.
  ClickCell(g, 3, 2);
  test::Type(QStringLiteral("9"));
  Key(Qt::Key_Return);
  EXPECT_FALSE(grid->Edit_Redo->isEnabled());
}

TEST_F(GridHistory, UndoGivesTheCleanedFormsBackAndTheHistoryBelongsToTheRecord) {
  // Typed 1.50 is stored as 1.5; a later change undone gives 1.5 back, and
  // undoing the typing after the store gives the empty cell, while the stored
  // record keeps what was applied.
  ClickCell(g, 1, 1);
  test::Type(QStringLiteral("1.50"));
  Key(Qt::Key_Return);
  QTest::mouseClick(baiyo->Command3, Qt::LeftButton);  // "⑥ 適用"
  ASSERT_EQ(env.store.BaiyoCount(), 1);
  ASSERT_EQ(g->TextMatrix(1, 1), "1.5");
  ClickCell(g, 1, 1);
  test::Type(QStringLiteral("2"));
  Key(Qt::Key_Return);
  grid->Edit_Undo->trigger();
  EXPECT_EQ(g->TextMatrix(1, 1), "1.5");
  grid->Edit_Undo->trigger();
  EXPECT_TRUE(g->TextMatrix(1, 1).isEmpty());
  EXPECT_NE(env.store.BaiyoTable(1).GridText.find("\r\t1.5\t"), std::string::npos);

  // Undo while typing abandons the typing.
  ClickCell(g, 2, 1);
  test::Type(QStringLiteral("33"));
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(g->TextMatrix(2, 1).isEmpty());
  EXPECT_FALSE(grid->Text_Edit->isVisible());

  // At least 100 steps come back.
  const std::string before = Text();
  for (int i = 0; i < DataGrid::kHistorySteps; ++i) {
    ClickCell(g, 1 + i % 90, 1 + i % 3);
    test::Type(QString::number(i));
    Key(Qt::Key_Return);
  }
  for (int i = 0; i < DataGrid::kHistorySteps; ++i) grid->Edit_Undo->trigger();
  EXPECT_EQ(Text(), before);

  // Another record, or a new one, begins a new history.
  ClickCell(g, 4, 1);
  test::Type(QStringLiteral("4"));
  Key(Qt::Key_Return);
  ASSERT_TRUE(grid->Edit_Undo->isEnabled());
  QTest::mouseClick(baiyo->Command7, Qt::LeftButton);  // "① 新規作成"
  EXPECT_FALSE(grid->Edit_Undo->isEnabled());
  EXPECT_FALSE(grid->Edit_Redo->isEnabled());
  ClickCell(g, 1, 1);
  test::Type(QStringLiteral("8"));
  Key(Qt::Key_Return);
  ASSERT_TRUE(grid->Edit_Undo->isEnabled());
  QTest::mouseClick(baiyo->List1->viewport(), Qt::LeftButton, {},
                    baiyo->List1->visualItemRect(baiyo->List1->item(0)).center());
  EXPECT_FALSE(grid->Edit_Undo->isEnabled());
}

}  // namespace
}  // namespace kelvora
