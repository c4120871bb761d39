// Habits users bring from spreadsheets and other programs: CR LF rows on the
// clipboard, Tab between cells, F1 for the help of the screen in front, texts
// typed with an input method, and a desktop whose locale writes a decimal
// comma.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <clocale>
#include <cstdio>

#include "screen_test_env.h"
#include "screens/help_window.h"
#include "store/cp932.h"
#include "store/data_files.h"

namespace kelvora {
namespace {

using test::ClickCell;
using test::Key;
using test::ReadBytes;
using test::ScreenEnv;
using test::SetClipboard;
using test::Type;

// A data grid on its own, set up like the incubation grid (no fixed cells)
// or the soil temperature grid (one fixed row and column).
class GridHabitsTest : public testing::Test {
 protected:
  void Build(int rows, int cols, int fixed) {
    window = std::make_unique<QWidget>();
    grid = new DataGrid(dialogs, window.get());
    auto* layout = new QVBoxLayout(window.get());
    layout->addWidget(grid);
    // Something after the grid in the focus chain, as on the screens.
    after = new QPushButton(QStringLiteral("後"), window.get());
    layout->addWidget(after);
    g = grid->MSFlexGrid1;
    g->SetCols(cols);
    g->SetRows(rows);
    g->SetFixedRows(fixed);
    g->SetFixedCols(fixed);
    window->resize(500, 420);
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    grid->EditLink = true;
    grid->SelectCell(fixed, fixed);
    grid->MSFlexGrid1_EnterCell();
    g->setFocus();
  }
  void Put(int row, int col, const QString& text) {
    g->SetTextMatrix(row, col, text);
    grid->MSFlexGrid1_EnterCell();
  }
  void Select(int row, int col, int rowSel, int colSel) {
    grid->SelectCell(row, col);
    g->SetRowSel(rowSel);
    g->SetColSel(colSel);
  }

  ScriptedDialogs dialogs;
  std::unique_ptr<QWidget> window;
  DataGrid* grid = nullptr;
  FlexGrid* g = nullptr;
  QPushButton* after = nullptr;
};

TEST_F(GridHabitsTest, CopyPutsCrLfBetweenRowsAndThePasteBackPlacesTheBlockAsBefore) {
  Build(100, 4, 0);
  Put(1, 1, "1.5");
  Put(1, 2, "2");
  Put(2, 1, "3");
  Put(2, 2, "");  // an empty last cell: the copied block ends with a row break
  Select(1, 1, 2, 2);
  grid->Edit_Copy_Click();
  const QString clip = QGuiApplication::clipboard()->text();
  EXPECT_EQ(clip, QStringLiteral("1.5\t2\r\n3\t"));
  EXPECT_EQ(grid->LastCopyText, clip);
  EXPECT_EQ(g->Clip(), QStringLiteral("1.5\t2\r3\t"));  // the grid's own text keeps CR

  // Pasted back elsewhere: 2 rows x 2 columns, the lower right cell emptied.
  Put(6, 3, "old");
  Put(5, 3, "old");
  grid->SelectCell(5, 2);
  grid->Edit_Paste_Click();
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(g->TextMatrix(5, 2), "1.5");
  EXPECT_EQ(g->TextMatrix(5, 3), "2");
  EXPECT_EQ(g->TextMatrix(6, 2), "3");
  EXPECT_EQ(g->TextMatrix(6, 3), "");
  EXPECT_EQ(g->RowSel(), 6);
  EXPECT_EQ(g->ColSel(), 3);

  // A one-column block whose lower cell is empty counts both rows.
  Put(10, 1, "5");
  Put(11, 1, "");
  Select(10, 1, 11, 1);
  grid->Edit_Copy_Click();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("5\r\n"));
  Put(21, 1, "x");
  grid->SelectCell(20, 1);
  grid->Edit_Paste_Click();
  EXPECT_EQ(g->TextMatrix(20, 1), "5");
  EXPECT_EQ(g->TextMatrix(21, 1), "");
  // The same text from another program: its final break ends the last row.
  grid->LastCopyText.clear();
  SetClipboard(QStringLiteral("5\r\n"));
  Put(31, 1, "keep");
  grid->SelectCell(30, 1);
  grid->Edit_Paste_Click();
  EXPECT_EQ(g->TextMatrix(31, 1), "keep");

  // Cut puts the same form on the clipboard.
  Select(5, 2, 6, 3);
  grid->Edit_Cut_Click();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1.5\t2\r\n3\t"));
  EXPECT_EQ(grid->LastCopyText, QGuiApplication::clipboard()->text());
  EXPECT_EQ(g->TextMatrix(5, 2), "");
}

TEST_F(GridHabitsTest, TabAndShiftTabMoveInsideTheGridAndWrapToTheNextRow) {
  Build(100, 4, 0);
  ClickCell(g, 1, 0);
  Type("7");
  Key(Qt::Key_Tab);  // from the editor: the text goes into its cell
  EXPECT_EQ(g->TextMatrix(1, 0), "7");
  EXPECT_EQ(g->Row(), 1);
  EXPECT_EQ(g->Col(), 1);
  EXPECT_EQ(QApplication::focusWidget(), g);
  Type("1.5");
  Key(Qt::Key_Tab);
  Key(Qt::Key_Tab);  // from the grid itself
  EXPECT_EQ(g->TextMatrix(1, 1), "1.5");
  EXPECT_EQ(g->Col(), 3);
  EXPECT_EQ(QApplication::focusWidget(), g);
  Type("2");
  Key(Qt::Key_Tab);  // last column: first column of the next row
  EXPECT_EQ(g->TextMatrix(1, 3), "2");
  EXPECT_EQ(g->Row(), 2);
  EXPECT_EQ(g->Col(), 0);
  Type("14");
  Key(Qt::Key_Backtab, Qt::ShiftModifier);  // before the first column: the row above's last
  EXPECT_EQ(g->TextMatrix(2, 0), "14");
  EXPECT_EQ(g->Row(), 1);
  EXPECT_EQ(g->Col(), 3);
  Key(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(g->Col(), 2);
  EXPECT_EQ(QApplication::focusWidget(), g);
  EXPECT_NE(QApplication::focusWidget(), after);

  // The last cell of the grid keeps the focus and the cell.
  grid->SelectCell(99, 3);
  Key(Qt::Key_Tab);
  EXPECT_EQ(g->Row(), 99);
  EXPECT_EQ(g->Col(), 3);
  EXPECT_EQ(QApplication::focusWidget(), g);
}

TEST_F(GridHabitsTest, TabOnAGridWithAFixedColumnWrapsToTheFirstEditableColumn) {
  Build(100, 3, 1);
  ClickCell(g, 4, 2);
  Type("0.5");
  Key(Qt::Key_Tab);
  EXPECT_EQ(g->TextMatrix(4, 2), "0.5");
  EXPECT_EQ(g->Row(), 5);
  EXPECT_EQ(g->Col(), 1);  // the date column is fixed
  Key(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(g->Row(), 4);
  EXPECT_EQ(g->Col(), 2);
  // On the first editable cell Shift+Tab stays.
  grid->SelectCell(1, 1);
  Key(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(g->Row(), 1);
  EXPECT_EQ(g->Col(), 1);
}

class ScreenHabitsTest : public testing::Test {
 protected:
  void SetUp() override {
    SetHelpFilePath(QStringLiteral(KELVORA_SOURCE_DIR "/resources/help/KELVOHELP.html"));
    env.Show();
    screen = env.OpenBaiyo();
    ASSERT_NE(screen, nullptr);
    g = screen->MSFlexGrid1;
  }
  void TearDown() override { SetHelpFilePath(QString()); }

  ScreenEnv env;
  Baiyo_Form0_3* screen = nullptr;
  FlexGrid* g = nullptr;
};

TEST_F(ScreenHabitsTest, F1OpensTheChapterOfTheScreenInFrontAndEscapeOrCloseEndsIt) {
  ClickCell(g, 1, 1);
  Key(Qt::Key_F1);
  auto* help = screen->findChild<HelpWindow*>();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_EQ(help->Browser->source().fragment(), "baiyo");
  // The chapter is scrolled into view: the page does not start at the top.
  EXPECT_GT(help->Browser->verticalScrollBar()->value(), 0);
  EXPECT_EQ(help->Command1->text(), "閉じる");
  EXPECT_EQ(help->Command1->accessibleName(), "閉じる");

  // Escape closes it.
  QApplication::setActiveWindow(help);
  ASSERT_TRUE(QTest::qWaitForWindowActive(help));
  QPointer<HelpWindow> guard(help);
  QTest::keyClick(help->Browser, Qt::Key_Escape);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(guard.isNull() || !guard->isVisible());

  // F1 from the name box of the same screen; the close button ends it.
  QApplication::setActiveWindow(env.main.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(env.main.get()));
  screen->Text_Dojyo->setFocus();
  Key(Qt::Key_F1);
  help = screen->findChild<HelpWindow*>();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->Browser->source().fragment(), "baiyo");
  guard = help;
  QTest::mouseClick(help->Command1, Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(guard.isNull() || !guard->isVisible());

  // Another screen in front: its own chapter.
  ChildScreen* other = env.main->OpenChildScreen(Screen::Ondo_Form);
  ASSERT_NE(other, nullptr);
  QApplication::setActiveWindow(env.main.get());
  ASSERT_NE(other->findChild<QPushButton*>(), nullptr);
  other->findChild<QPushButton*>()->setFocus();
  ASSERT_TRUE(other->isAncestorOf(QApplication::focusWidget()));
  Key(Qt::Key_F1);
  help = other->findChild<HelpWindow*>();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->Browser->source().fragment(), "ondo");
  EXPECT_EQ(screen->findChild<HelpWindow*>(), nullptr);
  help->close();

  // The main window's buttons: the chapter about the main window.
  env.main->Command3->setFocus();
  Key(Qt::Key_F1);
  help = env.main->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->Browser->source().fragment(), "main");
  help->close();
}

TEST_F(ScreenHabitsTest, EveryChapterNamedForAScreenExistsInTheHelpPage) {
  const std::string page = ReadBytes(KELVORA_SOURCE_DIR "/resources/help/KELVOHELP.html");
  for (Screen s : {Screen::Baiyo_Form0_3, Screen::HojyoBaiyo_Form, Screen::ParaAll_Form,
                   Screen::Ondo_Form, Screen::Suitei_Form, Screen::ParaKekka_Form0_1}) {
    const std::string anchor = "name=\"" + HelpChapter(s).toStdString() + "\"";
    EXPECT_NE(page.find(anchor), std::string::npos) << anchor;
  }
  EXPECT_NE(page.find(std::string("name=\"") + kMainHelpChapter + "\""), std::string::npos);
}

TEST_F(ScreenHabitsTest, TypedVariantsAreShownAndStoredInTheFormTheyReadBackAs) {
  screen->Text_Dojyo->setFocus();
  Type(QStringLiteral("黒ボク土〜畑−1"));
  EXPECT_EQ(screen->Text_Dojyo->text(), QStringLiteral("黒ボク土〜畑−1"));
  ClickCell(g, 0, 0);
  Type(QStringLiteral("日数¥"));
  QTest::mouseClick(screen->Text4, Qt::LeftButton);  // "⑥ 適用"
  EXPECT_TRUE(env.dialogs.shown.empty());
  ASSERT_EQ(env.store.BaiyoCount(), 1);
  EXPECT_EQ(screen->Text_Dojyo->text(), QStringLiteral("黒ボク土～畑－1"));
  EXPECT_EQ(env.store.BaiyoTable(1).SoilName, "黒ボク土～畑－1");
  EXPECT_EQ(g->TextMatrix(0, 0), QStringLiteral("日数￥"));

  // Saved and read back: exactly what the screen showed.
  QTest::mouseClick(screen->Command1, Qt::LeftButton);  // "ファイル保存"
  hensuu reread;
  ASSERT_TRUE(LoadDataFiles(reread, env.DataDir()).empty());
  ASSERT_EQ(reread.BaiyoCount(), 1);
  EXPECT_EQ(reread.BaiyoTable(1), env.store.BaiyoTable(1));

  // A character that has no code at all is refused with the usual message.
  screen->Text_Dojyo->clear();
  screen->Text_Dojyo->setFocus();
  Type(QStringLiteral("土壌😀"));
  EXPECT_EQ(screen->Text_Dojyo->text(), QStringLiteral("土壌😀"));
  QTest::mouseClick(screen->Text4, Qt::LeftButton);
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].title, "注意");
  EXPECT_EQ(env.dialogs.shown[0].text.toStdString(), UnstorableTextMessage("土壌😀", "😀"));
  EXPECT_EQ(env.store.BaiyoTable(1).SoilName, "黒ボク土～畑－1");
}

// Switches the C locale for the lifetime of the object (QApplication has
// taken it from the environment at start-up, as on a user's desktop).
class ScopedCLocale {
 public:
  explicit ScopedCLocale(const char* name) : old_(std::setlocale(LC_ALL, nullptr)) {
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~ScopedCLocale() { std::setlocale(LC_ALL, old_.c_str()); }
  bool ok() const { return ok_; }

 private:
  std::string old_;
  bool ok_;
};

TEST_F(ScreenHabitsTest, SaveUnderADecimalCommaLocaleWritesTheSameBytes) {
  auto enter = [&](Baiyo_Form0_3* s) {
    s->Text_Dojyo->setText(QStringLiteral("灰色低地土"));
    ClickCell(s->MSFlexGrid1, 1, 0);
    Type("7");
    Key(Qt::Key_Right);
    Type("1.50");
    Key(Qt::Key_Right);
    Type("0.0001");
    Key(Qt::Key_Right);
    Type("12345678");
    QTest::mouseClick(s->Command1, Qt::LeftButton);  // "ファイル保存"
  };
  enter(screen);
  ASSERT_TRUE(env.dialogs.shown.empty());
  const std::string inC = ReadBytes(env.DataDir() / kBaiyoFile);
  ASSERT_NE(inC.find("7\t1.5\t0.0001\t1.234568E+07\r"), std::string::npos);

  ScopedCLocale locale("de_DE.UTF-8");
  ASSERT_TRUE(locale.ok()) << "de_DE.UTF-8 is not installed (scripts/install-packages.sh)";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.2f", 1.5);
  ASSERT_STREQ(probe, "1,50");
  ScreenEnv env2;
  env2.Show();
  Baiyo_Form0_3* screen2 = env2.OpenBaiyo();
  ASSERT_NE(screen2, nullptr);
  enter(screen2);
  EXPECT_TRUE(env2.dialogs.shown.empty());
  EXPECT_EQ(ReadBytes(env2.DataDir() / kBaiyoFile), inC);
  EXPECT_EQ(screen2->MSFlexGrid1->TextMatrix(1, 1), "1.5");
}

}  // namespace
}  // namespace kelvora
