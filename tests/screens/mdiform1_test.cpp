// The main window: start-up, the cascade of child screens, help and version
// windows, and shut-down with the save question, end to end over a data
// folder that does not exist before the first start.
#include "screens/mdiform1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>
#include <QTest>
#include <QTextBrowser>

#include "screen_test_env.h"
#include "screens/barjon.h"
#include "screens/frmsplash.h"
#include "screens/help_window.h"
#include "screens/twips.h"
#include "store/cp932.h"

namespace kelvora {
namespace {

using test::ClickCell;
using test::ReadBytes;
using test::ScreenEnv;
using test::Type;

QPoint At(int twips) { return QPoint(TwipsToPixels(twips), TwipsToPixels(twips)); }

class MainWindowTest : public testing::Test {
 protected:
  // Start-up, then a work area large enough for the whole cascade (a smaller
  // one moves the windows to keep them inside).
  void Startup() {
    env.main->Startup();
    env.main->showNormal();
    env.main->resize(2400, 1600);
    QCoreApplication::processEvents();
  }
  void Press(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
  QPoint PosOf(Screen s) const {
    ChildFrame* f = env.main->FrameOf(s);
    return f ? f->pos() : QPoint(-1, -1);
  }
  ScreenEnv env;
};

TEST_F(MainWindowTest, StartupCascadeAndItsWrap) {
  Startup();
  EXPECT_TRUE(std::filesystem::exists(env.DataDir() / "BaiyoData.txt"));
  EXPECT_TRUE(std::filesystem::exists(env.DataDir() / "Hojyo.bak"));
  EXPECT_EQ(env.main->windowTitle(), "ケルボラ１");
  ASSERT_NE(env.Baiyo(), nullptr);
  EXPECT_EQ(PosOf(Screen::Baiyo_Form0_3), At(0));
  for (QWidget* w : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(qobject_cast<frmSplash*>(w) && w->isVisible()) << "the splash is still shown";
  }

  Press(env.main->Command1);  // already open: moves on, no second screen
  EXPECT_EQ(PosOf(Screen::Baiyo_Form0_3), At(500));
  Press(env.main->Command2);
  EXPECT_EQ(PosOf(Screen::ParaAll_Form), At(1000));
  Press(env.main->Command4);
  EXPECT_EQ(PosOf(Screen::Ondo_Form), At(1500));
  Press(env.main->Command5);
  EXPECT_EQ(PosOf(Screen::Suitei_Form), At(2000));
  Press(env.main->Command6);
  EXPECT_EQ(PosOf(Screen::HojyoBaiyo_Form), At(2500));
  Press(env.main->Command1);
  EXPECT_EQ(PosOf(Screen::Baiyo_Form0_3), At(0));
  EXPECT_EQ(env.store.WindowCascadeOffset, 0);
  EXPECT_EQ(env.main->MdiArea->subWindowList().size(), 5);
  EXPECT_EQ(env.main->MdiArea->activeSubWindow(), env.main->FrameOf(Screen::Baiyo_Form0_3));

  EXPECT_EQ(env.main->FrameOf(Screen::HojyoBaiyo_Form)->windowTitle(), "ほ場埋め込みによる培養");
  EXPECT_EQ(env.main->FrameOf(Screen::ParaAll_Form)->windowTitle(), "パラメータ一覧");
  EXPECT_EQ(env.main->FrameOf(Screen::Ondo_Form)->windowTitle(), "地温入力");
  EXPECT_EQ(env.main->FrameOf(Screen::Suitei_Form)->windowTitle(), "窒素無機化の推定");

  // Closing a screen at offset 0 leaves it at 0; otherwise it goes back 500.
  EXPECT_TRUE(env.main->CloseChildScreen(Screen::ParaAll_Form));
  EXPECT_EQ(env.store.WindowCascadeOffset, 0);
  Press(env.main->Command2);
  Press(env.main->Command4);
  EXPECT_EQ(env.store.WindowCascadeOffset, 1000);
  EXPECT_TRUE(env.main->CloseChildScreen(Screen::Ondo_Form));
  EXPECT_EQ(env.store.WindowCascadeOffset, 500);
  EXPECT_EQ(env.main->FindScreen(Screen::Ondo_Form), nullptr);
}

TEST_F(MainWindowTest, TheEstimationScreenAlwaysOpensAtItsOwnSize) {
  Startup();
  Press(env.main->Command2);
  EXPECT_EQ(PosOf(Screen::ParaAll_Form), At(500));
  Press(env.main->Command5);
  ChildFrame* f = env.main->FrameOf(Screen::Suitei_Form);
  ASSERT_NE(f, nullptr);
  const QSize size(TwipsToPixels(13605), TwipsToPixels(9660));
  EXPECT_EQ(f->size(), size);
  f->resize(300, 200);
  Press(env.main->Command5);
  EXPECT_EQ(f->size(), size);
}

TEST_F(MainWindowTest, HelpAndVersionWindows) {
  env.main->Startup();
  // Without the page the window says which file it looked for.
  SetHelpFilePath(QStringLiteral("/nonexistent/KELVOHELP.html"));
  env.main->Help_Show->trigger();
  auto* help = env.main->findChild<HelpWindow*>();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(help->Browser->toPlainText().contains("/nonexistent/KELVOHELP.html"));
  // The page shipped with the program.
  SetHelpFilePath(QStringLiteral(KELVORA_SOURCE_DIR "/resources/help/KELVOHELP.html"));
  env.main->Help_Show->trigger();
  EXPECT_EQ(env.main->findChildren<HelpWindow*>().size(), 1);
  EXPECT_TRUE(help->Browser->toPlainText().contains(QStringLiteral("ケルボラ")));
  help->close();
  SetHelpFilePath(QString());

  env.main->Barjon_Show->trigger();
  auto* barjon = env.main->findChild<Barjon*>();
  ASSERT_NE(barjon, nullptr);
  EXPECT_EQ(barjon->windowTitle(), "バージョン情報");
  EXPECT_EQ(barjon->Label1->text(), "ケルボラ１_１");
  EXPECT_FALSE(barjon->isModal());
  QTest::mouseClick(barjon->Command1, Qt::LeftButton);
  EXPECT_FALSE(barjon->isVisible());
}

// Types a data set into the incubation screen and applies nothing: the
// shut-down must apply it.
void EnterDataSet(Baiyo_Form0_3* screen, const QString& name) {
  screen->Text_Dojyo->setText(name);
  ClickCell(screen->MSFlexGrid1, 1, 0);
  Type("7");
  test::Key(Qt::Key_Right);
  Type("1.5");
}

TEST_F(MainWindowTest, StartEnterSaveAtExitThenStartAgainAndQuitWithoutSaving) {
  ASSERT_FALSE(std::filesystem::exists(env.DataDir()));
  env.main->Startup();
  env.Show();
  Baiyo_Form0_3* screen = env.Baiyo();
  ASSERT_NE(screen, nullptr);
  EXPECT_TRUE(screen->NewMode());
  EnterDataSet(screen, QStringLiteral("灰色低地土"));
  bool closed = false;
  QObject::connect(env.main.get(), &MDIForm1::Closed, [&] { closed = true; });
  env.dialogs.answers = {true};
  QTest::mouseClick(env.main->Command3, Qt::LeftButton);  // "終了"
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].title, "ファイル保存");
  EXPECT_EQ(env.dialogs.shown[0].text, "データをファイル保存しますか");
  EXPECT_TRUE(closed);
  EXPECT_FALSE(env.main->isVisible());

  // The file holds the data set in code page 932.
  const std::string bytes = ReadBytes(env.DataDir() / "BaiyoData.txt");
  EXPECT_NE(bytes.find(*EncodeCp932("\"灰色低地土\",\"培養日数\t20\t25\t30\r7\t1.5\t\t\r")),
            std::string::npos);
  EXPECT_EQ(bytes.find("灰色低地土"), std::string::npos);  // not UTF-8

  // Next start: the data set is there.
  hensuu store2;
  ScriptedDialogs dialogs2;
  MDIForm1 main2(store2, env.DataDir(), dialogs2);
  main2.Startup();
  QApplication::setActiveWindow(&main2);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main2));
  auto* screen2 = main2.Find<Baiyo_Form0_3>(Screen::Baiyo_Form0_3);
  ASSERT_NE(screen2, nullptr);
  EXPECT_EQ(screen2->Text_Dojyo->text(), QStringLiteral("灰色低地土"));
  EXPECT_EQ(screen2->MSFlexGrid1->TextMatrix(1, 1), "1.5");
  EXPECT_FALSE(screen2->NewMode());

  // An edit answered no at exit is applied in memory and never written.
  ClickCell(screen2->MSFlexGrid1, 2, 0);
  Type("14");
  dialogs2.answers = {false};
  EXPECT_TRUE(main2.close());
  ASSERT_EQ(dialogs2.shown.size(), 1u);
  EXPECT_EQ(GridFromText(store2.BaiyoTable(1).GridText, 100, 4).Cell(2, 0), "14");
  EXPECT_EQ(ReadBytes(env.DataDir() / "BaiyoData.txt"), bytes);
}

TEST_F(MainWindowTest, AScreenThatCannotStoreItsTextKeepsTheProgramOpen) {
  env.main->Startup();
  env.Baiyo()->Text_Dojyo->setText(QStringLiteral("土🌱"));
  EXPECT_FALSE(env.main->close());
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].kind, "message");  // no save question
  EXPECT_TRUE(env.main->isVisible());
  ASSERT_NE(env.Baiyo(), nullptr);
  EXPECT_EQ(env.Baiyo()->Text_Dojyo->text(), QStringLiteral("土🌱"));
  EXPECT_EQ(env.store.BaiyoCount(), 0);
}

TEST_F(MainWindowTest, TheTaskButtonsShowTheirWholeCaptions) {
  env.main->Startup();
  int lastRight = -1;
  for (QPushButton* b :
       {env.main->Command1, env.main->Command6, env.main->Command2, env.main->Command4,
        env.main->Command5, env.main->Command7, env.main->Command3}) {
    EXPECT_GE(b->width(), b->fontMetrics().horizontalAdvance(b->text()) + 8)
        << b->text().toStdString();
    EXPECT_GT(b->x(), lastRight) << b->text().toStdString();
    lastRight = b->geometry().right();
  }
  EXPECT_GE(env.main->Picture1->height(), TwipsToPixels(615));
}

}  // namespace
}  // namespace kelvora
