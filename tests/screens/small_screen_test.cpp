// The cascade on small displays: with all eight screens open, every push
// button of every screen lies inside the visible part of the main window's
// work area, at 1024 x 600 and at 1366 x 768.
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>

#include "screen_test_env.h"
#include "screens/batch_fit_window.h"
#include "screens/controls.h"
#include "screens/frmsplash.h"
#include "screens/hojyobaiyo_form.h"
#include "screens/normal_year_dialog.h"
#include "screens/suitei_form.h"
#include "screens/suitei_graph.h"
#include "screens/temperature_file_dialog.h"
#include "store/grid_text.h"
#include "store/number_text.h"

namespace kelvora {
namespace {

using test::ScreenEnv;

BaiyoRecord BenchSoil() {
  const std::string table =
      test::ReadBytes(std::filesystem::path(KELVORA_SOURCE_DIR) / "tests/data/bench/soil-3x10.tsv");
  GridTable g = GridFromRows(SplitGridText(table, kSpreadsheetFormat), 100, 4);
  g.Resize(100, 4);
  return BaiyoRecord{"試料", g.ToGridText(), false};
}

void Press(QListWidget* list, int row) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(row)).center());
}

// The data the screens show: the reference soil and a series of two days.
void AddSoilAndSeries(ScreenEnv& env) {
  env.store.BaiyoTable.Append(BenchSoil());
  env.store.BaiyoCurrent = 1;
  env.store.TionTable.Append(TionRecord{
      "地点01",
      JoinGridText({{"年/月/日", "地温(℃)"}, {"2006/04/01", "12"}, {"2006/04/02", "13"}})});
}

// All eight screens open at once, as a user gets there: a fit opens the
// results screen (and closes the incubation screen), the main window's
// buttons open the others, an estimation opens its chart.
void OpenEveryScreen(ScreenEnv& env) {
  Baiyo_Form0_3* baiyo = env.OpenBaiyo();
  ASSERT_NE(baiyo, nullptr);
  QTest::mouseClick(baiyo->Command5, Qt::LeftButton);
  ASSERT_NE(env.main->FindScreen(Screen::ParaKekka_Form0_1), nullptr);
  for (QPushButton* b : {env.main->Command1, env.main->Command6, env.main->Command2,
                         env.main->Command4, env.main->Command5, env.main->Command7}) {
    QTest::mouseClick(b, Qt::LeftButton);
  }
  auto* s = env.main->Find<Suitei_Form>(Screen::Suitei_Form);
  ASSERT_NE(s, nullptr);
  Press(s->List2, 0);
  Press(s->List1, 0);
  QTest::mouseClick(s->Text1, Qt::LeftButton);  // "④ 計算"
  ASSERT_EQ(env.store.SuiteiCount(), 1);
  QTest::mouseClick(s->Command10, Qt::LeftButton);  // "グラフ表示"
  QCoreApplication::processEvents();
}

TEST(SmallDisplay, EveryButtonOfAllSevenScreensCanBeReached) {
  for (const QSize size : {QSize(1024, 600), QSize(1366, 768)}) {
    SCOPED_TRACE(size.width());
    ScreenEnv env;
    AddSoilAndSeries(env);
    env.Show();
    env.main->showNormal();
    env.main->resize(size);
    QCoreApplication::processEvents();
    ASSERT_EQ(env.main->size(), size);

    OpenEveryScreen(env);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());

    QWidget* viewport = env.main->MdiArea->viewport();
    const QRect area = viewport->rect();
    int open = 0;
    for (Screen screen : {Screen::Baiyo_Form0_3, Screen::HojyoBaiyo_Form, Screen::ParaAll_Form,
                          Screen::Ondo_Form, Screen::Suitei_Form, Screen::ParaKekka_Form0_1,
                          Screen::Suitei_Graph, Screen::SupplyPlan}) {
      ChildFrame* frame = env.main->FrameOf(screen);
      ASSERT_NE(frame, nullptr) << ScreenCaption(screen).toStdString();
      ++open;
      const QRect frameRect = frame->geometry();
      int buttons = 0;
      for (QPushButton* b : frame->ScreenWidget()->findChildren<QPushButton*>()) {
        if (!b->isVisibleTo(frame)) continue;
        ++buttons;
        const QRect r(b->mapTo(viewport, QPoint(0, 0)), b->size());
        EXPECT_TRUE(area.contains(r) && frameRect.contains(r))
            << ScreenCaption(screen).toStdString() << " / " << b->text().toStdString() << " "
            << b->accessibleName().toStdString() << " at " << r.x() << "," << r.y() << " "
            << r.width() << "x" << r.height() << " area " << area.width() << "x" << area.height()
            << " frame " << frameRect.x() << "," << frameRect.y() << " " << frameRect.width() << "x"
            << frameRect.height();
      }
      EXPECT_GT(buttons, 0) << ScreenCaption(screen).toStdString();
    }
    EXPECT_EQ(open, 8);
    env.dialogs.answers = {false};  // no save at the end
    env.main->close();
  }
}

// What a screen reader announces for every control a user can reach on the
// main window and on all eight screens open at once: never nothing.
TEST(ScreenHabits, EveryControlOfEveryScreenHasAName) {
  ScreenEnv env;
  AddSoilAndSeries(env);
  env.Show();
  OpenEveryScreen(env);
  ASSERT_FALSE(HasFatalFailure());
  // The batch window, the logger preview and the normal-year dialog.
  Baiyo_Form0_3* again = env.OpenBaiyo();
  ASSERT_NE(again, nullptr);
  QTest::mouseClick(again->BatchButton, Qt::LeftButton);
  ASSERT_NE(env.main->findChild<BatchFitWindow*>(), nullptr);
  TemperatureFileLoad load;
  load.fileName = "logger.csv";
  load.rows = DelimitedText("日時,5cm,10cm\n2025/6/1 0:00,20,19\n2025/6/1 12:00,22,21\n", ',');
  load.guess = GuessTemperatureColumns(load.rows);
  load.read = ReadTemperatureSeries(load.rows, load.guess);
  TemperatureFileDialog preview(std::move(load));
  preview.show();
  NormalYearDialog normals(env.store);
  normals.show();
  QCoreApplication::processEvents();

  std::vector<QWidget*> roots{env.main.get(), &preview, &normals};
  int checked = 0;
  for (QWidget* root : roots) {
    for (QWidget* w : root->findChildren<QWidget*>()) {
      const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                           qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
                           qobject_cast<QAbstractItemView*>(w) || qobject_cast<QTextEdit*>(w) ||
                           qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QAbstractSlider*>(w);
      // Qt's own parts of a control (a spin box's line edit, a table's
      // corner button, a scroll bar, a header) are named by their control.
      if (!control || !w->isVisibleTo(root) || w->objectName().startsWith(QLatin1String("qt_")) ||
          qobject_cast<QScrollBar*>(w) || qobject_cast<QHeaderView*>(w) ||
          qobject_cast<QComboBox*>(w->parentWidget()) ||
          qobject_cast<QAbstractSpinBox*>(w->parentWidget()) ||
          (qobject_cast<QAbstractButton*>(w) &&
           qobject_cast<QAbstractItemView*>(w->parentWidget())))
        continue;
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
      ASSERT_NE(a, nullptr) << w->metaObject()->className();
      ++checked;
      EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty())
          << w->metaObject()->className() << " " << w->objectName().toStdString() << " \""
          << w->property("text").toString().toStdString() << "\" in "
          << (w->window() ? w->window()->windowTitle().toStdString() : std::string());
    }
  }
  EXPECT_GT(checked, 100);
}

TEST(ScreenHabits, NamesForScreenReadersAndTheWayBackFromTheChart) {
  ScreenEnv env;
  env.store.SuiteiTable.Append(
      {5, "被覆尿素", "地点02", "年/月/日\t(%)\r2006/04/01\t1.00\r2006/04/02\t3.00", 25});
  env.Show();
  // The incubation screen's numbered buttons and text boxes are named.
  Baiyo_Form0_3* b = env.OpenBaiyo();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Command7->accessibleName(), "① 新規作成");
  EXPECT_EQ(b->Command3->accessibleName(), "⑥ 適用");
  EXPECT_EQ(b->Command5->accessibleName(), "⑦ パラメータ算出");
  EXPECT_EQ(b->Text_Dojyo->accessibleName(), "③ 土壌名（肥料名）");
  EXPECT_EQ(b->Text1->accessibleName(), "④ 標準温度");
  for (QPushButton* button : b->findChildren<QPushButton*>()) {
    EXPECT_FALSE(button->accessibleName().isEmpty() && button->text().isEmpty())
        << button->objectName().toStdString();
  }
  // The estimation screen's position is read with its number.
  QTest::mouseClick(env.main->Command5, Qt::LeftButton);
  auto* s = env.main->Find<Suitei_Form>(Screen::Suitei_Form);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Label3[0]->accessibleName(), "表示中の番号 1");
  EXPECT_EQ(s->Label3[1]->accessibleName(), "推定結果の数 1");
  // Closing the chart brings back the estimation screen it came from.
  QTest::mouseClick(s->Command10, Qt::LeftButton);
  auto* graph = env.main->Find<Suitei_Graph>(Screen::Suitei_Graph);
  ASSERT_NE(graph, nullptr);
  EXPECT_EQ(env.main->MdiArea->activeSubWindow(), env.main->FrameOf(Screen::Suitei_Graph));
  QTest::mouseClick(graph->Command2, Qt::LeftButton);  // "終了"
  QCoreApplication::processEvents();
  EXPECT_EQ(env.main->FindScreen(Screen::Suitei_Graph), nullptr);
  EXPECT_EQ(env.main->MdiArea->activeSubWindow(), env.main->FrameOf(Screen::Suitei_Form));

  // The field screen's name box shows a name of 20 characters whole, in its
  // tooltip when the box is narrower.
  const QString name = QStringLiteral("灰色低地土（水田作土）第三圃場東側北区画");
  ASSERT_EQ(name.size(), 20);
  QTest::mouseClick(env.main->Command6, Qt::LeftButton);
  auto* h = env.main->Find<HojyoBaiyo_Form>(Screen::HojyoBaiyo_Form);
  ASSERT_NE(h, nullptr);
  h->Text_Dojyo->setText(name);
  EXPECT_EQ(h->Text_Dojyo->toolTip(), name);
  env.dialogs.answers = {false, false};
  env.main->close();
}

TEST(ScreenHabits, AStartUpQuestionIsNotHiddenUnderTheSplash) {
  auto* splash = new frmSplash;
  splash->show();
  QCoreApplication::processEvents();
  ASSERT_TRUE(splash->isVisible());
  QMessageBox question(QMessageBox::Question, QStringLiteral("注意"),
                       QStringLiteral("前回、保存されずに終了したデータがあります。"),
                       QMessageBox::Yes | QMessageBox::No, splash);
  question.show();
  QCoreApplication::processEvents();
  EXPECT_FALSE(splash->isVisible());
  question.close();
  splash->close();
}

}  // namespace
}  // namespace kelvora
