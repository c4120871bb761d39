// The incubation data screen inside the main window, driven with clicks and
// keys: new data sets, applying, cleaning, the record list, saving, the
// "⑦ パラメータ算出" hook and texts the data files cannot hold.
#include "screens/baiyo_form0_3.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTextBrowser>
#include <optional>

#include "screen_test_env.h"
#include "screens/help_window.h"
#include "store/cp932.h"
#include "store/data_files.h"

namespace kelvora {
namespace {

using test::ClickCell;
using test::Key;
using test::ScreenEnv;
using test::Type;

struct Cell {
  int row;
  int col;
  const char* text;
};

BaiyoRecord MakeRecord(const std::string& name, std::initializer_list<Cell> cells,
                       bool fertilizer = false) {
  GridTable t(100, 4);
  t.Cell(0, 0) = "培養日数";
  t.Cell(0, 1) = "20";
  t.Cell(0, 2) = "25";
  t.Cell(0, 3) = "30";
  for (const Cell& c : cells) t.Cell(c.row, c.col) = c.text;
  return BaiyoRecord{name, t.ToGridText(), fertilizer};
}

std::string CellOf(const BaiyoRecord& r, int row, int col) {
  return GridFromText(r.GridText, 100, 4).Cell(row, col);
}

class BaiyoTest : public testing::Test {
 protected:
  void Open(std::initializer_list<BaiyoRecord> records, int16_t current) {
    for (const BaiyoRecord& r : records) env.store.BaiyoTable.Append(r);
    env.store.BaiyoCurrent = current;
    env.Show();
    screen = env.OpenBaiyo();
    ASSERT_NE(screen, nullptr);
    g = screen->MSFlexGrid1;
  }
  bool Shown(QWidget* w) const { return w->isVisibleTo(screen); }
  void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

  ScreenEnv env;
  Baiyo_Form0_3* screen = nullptr;
  FlexGrid* g = nullptr;
};

TEST_F(BaiyoTest, AnEmptyTableOpensANewDataSetThatClosingStores) {
  Open({}, 1);
  EXPECT_EQ(screen->windowTitle(), "培養結果記入");
  EXPECT_TRUE(screen->NewMode());
  EXPECT_EQ(g->Cells().ReadBlock(0, 0, 1, 3), "培養日数\t20\t25\t30\r\t\t\t");
  EXPECT_EQ(g->Row(), 1);
  EXPECT_EQ(g->Col(), 1);
  EXPECT_EQ(screen->Text1->text(), "25");
  EXPECT_TRUE(screen->Option1->isChecked());
  // New mode: "⑥ 適用" and "キャンセル"; record mode buttons hidden.
  EXPECT_TRUE(Shown(screen->Command3) && Shown(screen->Text4) && Shown(screen->Command4));
  EXPECT_FALSE(Shown(screen->Command1) || Shown(screen->Command7) || Shown(screen->Text3) ||
               Shown(screen->Command5) || Shown(screen->Text2) || Shown(screen->Command8));
  EXPECT_EQ(env.store.WindowCascadeOffset, 500);

  Click(screen->Command6);  // "終了"
  QApplication::processEvents();
  EXPECT_EQ(env.Baiyo(), nullptr);
  EXPECT_EQ(env.store.WindowCascadeOffset, 0);
  ASSERT_EQ(env.store.BaiyoCount(), 1);
  EXPECT_EQ(env.store.BaiyoTable(1), MakeRecord("新規土壌", {}));
}

TEST_F(BaiyoTest, NewDataSetStoresTheShownRecordFirst) {
  Open({MakeRecord("A", {{1, 0, "7"}}), MakeRecord("B", {{1, 0, "7"}, {1, 1, "1"}})}, 2);
  EXPECT_FALSE(screen->NewMode());
  EXPECT_EQ(screen->Text_Dojyo->text(), "B");
  EXPECT_EQ(screen->List1->currentRow(), 1);
  screen->Text_Dojyo->clear();
  QTest::keyClicks(screen->Text_Dojyo, "Kuroboku");
  ClickCell(g, 2, 1);
  Type("3.25");          // left in the editor: the apply commits it
  Click(screen->Text3);  // the caption box presses "① 新規作成"

  ASSERT_EQ(env.store.BaiyoCount(), 2);
  const BaiyoRecord& b = env.store.BaiyoTable(2);
  EXPECT_EQ(b.SoilName, "Kuroboku");
  EXPECT_EQ(CellOf(b, 2, 1), "3.25");
  EXPECT_EQ(CellOf(b, 1, 1), "1");
  EXPECT_EQ(screen->List1->item(1)->text(), "Kuroboku");
  EXPECT_EQ(env.store.BaiyoCurrent, 3);
  EXPECT_TRUE(screen->NewMode());
  EXPECT_EQ(screen->Text_Dojyo->text(), "");
  EXPECT_EQ(g->Cells().ReadBlock(0, 0, 2, 3), "培養日数\t20\t25\t30\r\t\t\t\r\t\t\t");
  EXPECT_EQ(screen->List1->selectedItems().size(), 0);
}

TEST_F(BaiyoTest, CancelShowsTheLastRecordOrKeepsTheNewDataSetOfAnEmptyTable) {
  Open({MakeRecord("A", {}), MakeRecord("B", {{3, 2, "9"}})}, 1);
  Click(screen->Text3);
  ClickCell(g, 1, 1);
  Type("5");
  Click(screen->Command4);  // "キャンセル"
  EXPECT_EQ(env.store.BaiyoCount(), 2);
  EXPECT_EQ(env.store.BaiyoCurrent, 2);
  EXPECT_FALSE(screen->NewMode());
  EXPECT_EQ(screen->Text_Dojyo->text(), "B");
  EXPECT_EQ(g->TextMatrix(3, 2), "9");
  EXPECT_EQ(g->TextMatrix(1, 1), "");
}

TEST_F(BaiyoTest, CancelWithNoRecordsStoresNothingAndALaterApplyAppendsRecordOne) {
  Open({}, 1);
  ClickCell(g, 1, 0);
  Type("14");
  Click(screen->Command4);
  EXPECT_EQ(env.store.BaiyoCount(), 0);
  EXPECT_EQ(env.store.BaiyoCurrent, 1);
  EXPECT_TRUE(screen->NewMode());
  Click(screen->Text4);  // "⑥ 適用"
  ASSERT_EQ(env.store.BaiyoCount(), 1);
  EXPECT_EQ(env.store.BaiyoCurrent, 1);
  EXPECT_EQ(CellOf(env.store.BaiyoTable(1), 1, 0), "14");
  EXPECT_FALSE(screen->NewMode());
  EXPECT_EQ(screen->List1->count(), 1);
  EXPECT_EQ(screen->List1->currentRow(), 0);
}

TEST_F(BaiyoTest, ApplyCleansNumbersAndKeepsTheCornerLabel) {
  Open({}, 1);
  ClickCell(g, 1, 1);
  Type("abc");
  Key(Qt::Key_Return);
  Type("1.50");
  Key(Qt::Key_Return);
  ClickCell(g, 0, 2);
  Type("25.0");
  Key(Qt::Key_Right);
  Click(screen->Text4);
  const BaiyoRecord& r = env.store.BaiyoTable(1);
  EXPECT_EQ(CellOf(r, 1, 1), "");
  EXPECT_EQ(CellOf(r, 2, 1), "1.5");
  EXPECT_EQ(CellOf(r, 0, 2), "25");
  EXPECT_EQ(CellOf(r, 0, 0), "培養日数");
  EXPECT_EQ(g->TextMatrix(2, 1), "1.5");
  EXPECT_EQ(g->TextMatrix(1, 1), "");
  EXPECT_EQ(r.SoilName, "新規土壌");
  EXPECT_EQ(screen->Text_Dojyo->text(), "新規土壌");
}

TEST_F(BaiyoTest, ListKeysAndClicksPageThroughTheRecords) {
  Open({MakeRecord("A", {}), MakeRecord("B", {}), MakeRecord("C", {})}, 3);
  screen->List1->setFocus();
  Key(Qt::Key_Down);  // on the last record: nothing
  EXPECT_EQ(env.store.BaiyoCurrent, 3);
  Key(Qt::Key_Up);
  EXPECT_EQ(env.store.BaiyoCurrent, 2);
  EXPECT_EQ(screen->Text_Dojyo->text(), "B");
  EXPECT_EQ(screen->List1->currentRow(), 1);
  Key(Qt::Key_Up);
  Key(Qt::Key_Up);  // on the first record: nothing
  EXPECT_EQ(env.store.BaiyoCurrent, 1);
  EXPECT_EQ(screen->List1->currentRow(), 0);

  QListWidget* list = screen->List1;
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(2)).center());
  EXPECT_EQ(env.store.BaiyoCurrent, 3);
  EXPECT_EQ(screen->Text_Dojyo->text(), "C");

  // In new mode a click first appends the new data set.
  Click(screen->Text3);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(0)).center());
  EXPECT_EQ(env.store.BaiyoCount(), 4);
  EXPECT_EQ(env.store.BaiyoTable(4).SoilName, "新規土壌");
  EXPECT_EQ(list->count(), 4);
  EXPECT_EQ(env.store.BaiyoCurrent, 1);
  EXPECT_EQ(screen->Text_Dojyo->text(), "A");
}

TEST_F(BaiyoTest, SaveWritesEveryRecordAndAnEmptiedNameStaysEmpty) {
  Open({MakeRecord("A", {{1, 0, "7"}}, true), MakeRecord("B", {})}, 1);
  EXPECT_TRUE(screen->Option2->isChecked());
  screen->Text_Dojyo->clear();
  ClickCell(g, 1, 3);
  Type("0.5");
  Click(screen->Command1);  // "ファイル保存"
  EXPECT_TRUE(env.dialogs.shown.empty());
  EXPECT_EQ(env.store.BaiyoTable(1).SoilName, "");
  EXPECT_EQ(g->Row(), 0);
  EXPECT_EQ(g->Col(), 0);
  EXPECT_TRUE(g->SingleCellSelected());
  EXPECT_EQ(screen->List1->currentRow(), 0);

  hensuu reread;
  EXPECT_TRUE(LoadDataFiles(reread, env.DataDir()).empty());
  ASSERT_EQ(reread.BaiyoCount(), 2);
  EXPECT_EQ(reread.BaiyoTable(1), env.store.BaiyoTable(1));
  EXPECT_EQ(CellOf(reread.BaiyoTable(1), 1, 3), "0.5");
  EXPECT_TRUE(reread.BaiyoTable(1).IsFertilizer);
  EXPECT_EQ(reread.BaiyoTable(2).SoilName, "B");
}

TEST_F(BaiyoTest, TextsTheDataFilesCannotHoldAreRefusedAndKept) {
  Open({}, 1);
  screen->Text_Dojyo->setText(QStringLiteral("黒ボク土🌱"));
  Click(screen->Text4);
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].title, "注意");
  EXPECT_TRUE(env.dialogs.shown[0].text.contains(QStringLiteral("🌱")));
  EXPECT_EQ(env.store.BaiyoCount(), 0);
  EXPECT_TRUE(screen->NewMode());
  EXPECT_EQ(screen->Text_Dojyo->text(), QStringLiteral("黒ボク土🌱"));

  // The same for a cell; the cell becomes current so the user sees it.
  screen->Text_Dojyo->setText("A\"B");
  ClickCell(g, 0, 0);
  Type("x");
  screen->Grid->Text_Edit->setText(QStringLiteral("日数🌱"));
  Click(screen->Text4);
  ASSERT_EQ(env.dialogs.shown.size(), 2u);
  EXPECT_EQ(env.store.BaiyoCount(), 0);
  EXPECT_EQ(g->TextMatrix(0, 0), QStringLiteral("日数🌱"));
  EXPECT_EQ(g->Row(), 0);
  EXPECT_EQ(g->Col(), 0);

  // A double quote is kept as the full-width quote.
  g->SetTextMatrix(0, 0, QStringLiteral("日数"));
  screen->Grid->MSFlexGrid1_EnterCell();
  Click(screen->Text4);
  ASSERT_EQ(env.store.BaiyoCount(), 1);
  EXPECT_EQ(env.store.BaiyoTable(1).SoilName, "A＂B");
  EXPECT_EQ(screen->Text_Dojyo->text(), QStringLiteral("A＂B"));
  EXPECT_TRUE(CanStoreText(env.store.BaiyoTable(1).GridText));
}

TEST_F(BaiyoTest, ParameterCalculationHandsOverTheCleanedTable) {
  std::optional<Baiyo_Form0_3::FitRequest> got;
  env.main->SetBaiyoFitHook(
      [&](Baiyo_Form0_3&, const Baiyo_Form0_3::FitRequest& request) { got = request; });
  const BaiyoRecord stored = MakeRecord("Soil", {{1, 0, "7"}, {1, 1, "0.5"}}, true);
  Open({stored}, 1);
  ClickCell(g, 2, 0);
  Type("14");
  Key(Qt::Key_Right);
  Type("1.50");
  Key(Qt::Key_Right);
  Type("abc");           // still in the editor when the button is pressed
  Click(screen->Text2);  // "⑦ パラメータ算出"
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->table.ReadBlock(0, 0, 2, 3), "培養日数\t20\t25\t30\r7\t0.5\t\t\r14\t1.5\t\t");
  ASSERT_TRUE(got->shape.has_value());
  EXPECT_EQ(got->shape->lastDayRow, 2);
  EXPECT_EQ(got->shape->colRows[1], 2);
  EXPECT_EQ(got->shape->colRows[2], 2);  // "abc" counted before it was emptied
  EXPECT_EQ(got->name, "Soil");
  EXPECT_EQ(got->standardTemp, "25");
  EXPECT_TRUE(got->isFertilizer);
  EXPECT_EQ(g->TextMatrix(2, 2), "");
  EXPECT_EQ(env.store.BaiyoTable(1), stored);  // the calculation stores nothing
}

TEST_F(BaiyoTest, DeleteButtonWithAnEmptyTableAndAroundTheDeletionDialog) {
  Open({}, 1);
  screen->Command8_Click();
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].title, "注意");
  EXPECT_EQ(env.dialogs.shown[0].text, "削除するデータがありません");

  Click(screen->Text4);
  Click(screen->Text3);
  Click(screen->Text4);
  ASSERT_EQ(env.store.BaiyoCount(), 2);
  bool wasDeleting = false;
  env.main->SetDeletionDialog([&](QWidget*) {
    wasDeleting = screen->Deleting;
    EXPECT_EQ(env.store.DeleteKind, 3);
    env.store.BaiyoTable.Remove(2);
    env.store.BaiyoCurrent = 1;
  });
  Click(screen->Command8);
  EXPECT_TRUE(wasDeleting);
  EXPECT_FALSE(screen->Deleting);
  EXPECT_EQ(screen->List1->count(), 1);
  EXPECT_EQ(screen->List1->currentRow(), 0);
  EXPECT_FALSE(screen->NewMode());

  env.main->SetDeletionDialog([&](QWidget*) {
    env.store.BaiyoTable.Clear();
    env.store.BaiyoCurrent = 0;
  });
  Click(screen->Command8);
  EXPECT_TRUE(screen->NewMode());
  EXPECT_EQ(env.store.BaiyoCurrent, 1);
  EXPECT_EQ(screen->List1->count(), 0);
}

TEST_F(BaiyoTest, F1OpensTheHelpPageOwnedByTheScreen) {
  QTemporaryFile page(QDir::tempPath() + "/kelvohelp-XXXXXX.html");
  ASSERT_TRUE(page.open());
  page.write(QStringLiteral("<h1>目次</h1><p>テスト用のヘルプ</p>").toUtf8());
  page.close();
  SetHelpFilePath(page.fileName());
  Open({}, 1);
  ClickCell(g, 1, 1);
  Key(Qt::Key_F1);
  auto* help = screen->findChild<HelpWindow*>();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(help->Browser->toPlainText().contains(QStringLiteral("テスト用のヘルプ")));
  help->close();
  SetHelpFilePath(QString());
}

}  // namespace
}  // namespace kelvora
