// CSV and TSV files dropped on the incubation and field grids, or chosen
// from their "編集" menu, land in the grid exactly as a paste of their text
// at the first cell, with the paste's checks and messages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "screen_test_env.h"
#include "screens/baiyo_form0_3.h"
#include "screens/hojyobaiyo_form.h"
#include "store/cp932.h"

namespace kelvora {
namespace {

using test::ClickCell;
using test::Key;
using test::ScreenEnv;

// Drags the URLs over cell (row, col) and drops them there, as a file
// manager does. True when the grid took the drop.
bool Drop(FlexGrid* g, const QList<QUrl>& urls, int row = 3, int col = 2) {
  QMimeData mime;
  mime.setUrls(urls);
  const QPoint at = g->CellRect(row, col).center();
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(g->viewport(), &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(g->viewport(), &drop);
  return drop.isAccepted();
}

struct Snapshot {
  std::string cells;
  int row, col, rowSel, colSel;
  QString editor;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(DataGrid* grid) {
  FlexGrid* g = grid->MSFlexGrid1;
  return Snapshot{g->Cells().ToGridText(), g->Row(), g->Col(), g->RowSel(), g->ColSel(),
                  grid->Text_Edit->text()};
}

// The environment is large: it lives in the fixture, not on the stack.
class GridFile : public testing::Test {
 protected:
  ScreenEnv env;
};

TEST_F(GridFile, ADroppedFileOnTheIncubationGridEqualsAPasteOfItsText) {
  env.Show();
  Baiyo_Form0_3* screen = env.OpenBaiyo();
  ASSERT_NE(screen, nullptr);
  FlexGrid* g = screen->MSFlexGrid1;
  QTemporaryDir dir;
  const std::string tsv = "日数\t20\t25\t30\r\n7\t1.5\t2.5\t3.5\r\n14\t2\t\t4\r\n";
  const QString tsvPath = test::WriteFile(dir, QStringLiteral("incubation.tsv"), tsv);
  const GridTable before = g->Cells();

  // The paste of the text at the first cell ...
  ClickCell(g, 0, 0);
  test::SetClipboard(QString::fromStdString(tsv));
  Key(Qt::Key_V, Qt::ControlModifier);
  const Snapshot pasted = Take(screen->Grid);
  EXPECT_EQ(g->TextMatrix(2, 0), "14");
  EXPECT_EQ(g->TextMatrix(1, 3), "3.5");
  EXPECT_EQ(g->TextMatrix(0, 0), "日数");

  // ... and the drop of the file, with another cell current.
  g->SetCells(before);
  ClickCell(g, 4, 2);
  ASSERT_TRUE(Drop(g, {QUrl::fromLocalFile(tsvPath)}));
  EXPECT_EQ(Take(screen->Grid), pasted);
  EXPECT_TRUE(env.dialogs.shown.empty());

  // A CSV in code page 932 with quoted cells gives the cells of the same
  // table with TABs.
  const std::string csv = "日数,\"20\",25,30\r\n7,\"1,5\",\"2.5\",3.5\r\n14,2,,4\r\n";
  const QString csvPath =
      test::WriteFile(dir, QStringLiteral("incubation.csv"), EncodeCp932(csv).value());
  g->SetCells(before);
  ClickCell(g, 0, 0);
  test::SetClipboard(QStringLiteral("日数\t20\t25\t30\r\n7\t1,5\t2.5\t3.5\r\n14\t2\t\t4\r\n"));
  Key(Qt::Key_V, Qt::ControlModifier);
  const Snapshot pastedCsv = Take(screen->Grid);
  g->SetCells(before);
  ClickCell(g, 2, 2);
  ASSERT_TRUE(Drop(g, {QUrl::fromLocalFile(csvPath)}));
  EXPECT_EQ(Take(screen->Grid), pastedCsv);
  EXPECT_EQ(g->TextMatrix(1, 1), "1,5");

  // Two files, a web address or plain text are not taken.
  EXPECT_FALSE(Drop(g, {QUrl::fromLocalFile(tsvPath), QUrl::fromLocalFile(csvPath)}));
  EXPECT_FALSE(Drop(g, {QUrl(QStringLiteral("https://example.org/a.csv"))}));
  EXPECT_FALSE(Drop(g, {}));
  EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST_F(GridFile, TheFieldGridLoadsAFileFromItsMenuWithThePasteChecks) {
  env.Show();
  QTest::mouseClick(env.main->Command6, Qt::LeftButton);  // "ほ場埋設"
  auto* screen = env.main->Find<HojyoBaiyo_Form>(Screen::HojyoBaiyo_Form);
  ASSERT_NE(screen, nullptr);
  FlexGrid* g = screen->MSFlexGrid1;
  DataGrid* grid = screen->Grid;
  ASSERT_NE(grid->Edit_Load_File, nullptr);
  EXPECT_TRUE(grid->Edit->actions().contains(grid->Edit_Load_File));
  EXPECT_EQ(grid->Edit_Load_File->text(), "ファイルから読込");
  QTemporaryDir dir;
  const std::string table =
      "年/月/日\t地温(℃)\t無機化量\n2004/05/01\t18.5\t\n2004/05/02\t19\t0.8\n";
  const QString path = test::WriteFile(dir, QStringLiteral("field.txt"), "\xEF\xBB\xBF" + table);
  const GridTable before = g->Cells();

  // Select-all puts the current cell on the header corner; a paste there.
  ClickCell(g, 1, 1);
  Key(Qt::Key_A, Qt::ControlModifier);
  test::SetClipboard(QString::fromStdString(table));
  Key(Qt::Key_V, Qt::ControlModifier);
  const Snapshot pasted = Take(grid);
  EXPECT_EQ(g->TextMatrix(2, 2), "0.8");

  g->SetCells(before);
  ClickCell(g, 5, 1);
  env.dialogs.openNames.push_back(path);
  grid->Edit_Load_File->trigger();
  EXPECT_EQ(Take(grid), pasted);
  EXPECT_TRUE(env.dialogs.shown.size() == 1 && env.dialogs.shown[0].kind == "open");

  // More rows than the grid has: the paste's message, the grid unchanged.
  std::string longTable;
  for (int i = 0; i < 101; ++i) longTable += std::to_string(i) + "\t1\n";
  env.dialogs.openNames.push_back(test::WriteFile(dir, QStringLiteral("long.tsv"), longTable));
  env.dialogs.shown.clear();
  const std::string unchanged = g->Cells().ToGridText();
  grid->Edit_Load_File->trigger();
  ASSERT_EQ(env.dialogs.shown.size(), 2u);
  EXPECT_EQ(env.dialogs.shown[1].title, "警告");
  EXPECT_EQ(env.dialogs.shown[1].text, "貼り付け先が範囲外です");
  EXPECT_EQ(g->Cells().ToGridText(), unchanged);

  // A file that cannot be read says so and leaves the grid alone; so does a
  // cancelled file question.
  ASSERT_TRUE(Drop(g, {QUrl::fromLocalFile(dir.filePath(QStringLiteral("gone.csv")))}));
  ASSERT_EQ(env.dialogs.shown.size(), 3u);
  EXPECT_TRUE(env.dialogs.shown[2].text.contains("「gone.csv」を読み込めません"))
      << env.dialogs.shown[2].text.toStdString();
  env.dialogs.openNames.push_back(QString());
  grid->Edit_Load_File->trigger();
  EXPECT_EQ(env.dialogs.shown.size(), 4u);
  EXPECT_EQ(g->Cells().ToGridText(), unchanged);
}

}  // namespace
}  // namespace kelvora
