// The progress window of a fit: the sweep counter against its limit and its
// bar, renewed at a pace a person can read, and the window still showing its
// texts and "中止" while the failed-fit dialog is up.
#include "screens/saikeisan_form.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <sstream>

#include "screen_test_env.h"
#include "screens/fit_runner.h"
#include "screens/parakekka_form0_1.h"
#include "screens/sol_dame0_1.h"

namespace kelvora {
namespace {

using test::ScreenEnv;

BaiyoRecord BenchRecord(const char* file, bool fertilizer) {
  std::string text =
      test::ReadBytes(std::filesystem::path(KELVORA_SOURCE_DIR) / "tests/data/bench" / file);
  GridTable g(100, 4);
  std::istringstream in(text);
  std::string line;
  for (int r = 0; std::getline(in, line) && r < 100; ++r) {
    std::istringstream cells(line);
    std::string cell;
    for (int c = 0; std::getline(cells, cell, '\t') && c < 4; ++c) g.Cell(r, c) = cell;
  }
  return BaiyoRecord{"試料", g.ToGridText(), fertilizer};
}

// Whether the widget's area of the window's picture holds anything but its
// background (text drawn).
bool ShowsSomething(QWidget* window, QWidget* part) {
  QImage image = window->grab().toImage();
  QRect r(part->mapTo(window, QPoint(0, 0)), part->size());
  r = r.intersected(image.rect());
  if (r.isEmpty()) return false;
  const QRgb background = image.pixel(r.topLeft());
  for (int y = r.top(); y <= r.bottom(); ++y) {
    for (int x = r.left(); x <= r.right(); ++x) {
      if (image.pixel(x, y) != background) return true;
    }
  }
  return false;
}

class ProgressWindow : public ::testing::Test {
 protected:
  void OpenAndFit(const char* file, bool fertilizer) {
    env.store.BaiyoTable.Append(BenchRecord(file, fertilizer));
    env.store.BaiyoCurrent = 1;
    env.Show();
    Baiyo_Form0_3* baiyo = env.OpenBaiyo();
    ASSERT_NE(baiyo, nullptr);
    baiyo->Text1->setText(QStringLiteral("25"));
    QTest::mouseClick(baiyo->Command5, Qt::LeftButton);
  }
  ScreenEnv env;
};

TEST_F(ProgressWindow, SweepCounterRunsAgainstItsLimitAtAReadablePace) {
  // The fertilizer table's sigma search runs all 32767 sweeps.
  const QRegularExpression counter(QStringLiteral("^探索回数：(\\d+) / 32767$"));
  QString lastText;
  int changes = 0, lastSweep = 0, seen = 0;
  bool stopped = false;
  QElapsedTimer clock;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    SaiKeisan_Form* p = env.main->Runner().Progress();
    if (!p || stopped) return;
    if (p->Label1[1]->text() != QStringLiteral("シグモイド肥料ガウス補正型の")) return;
    const QString text = p->LabelSweep->text();
    if (text.isEmpty()) return;
    QRegularExpressionMatch m = counter.match(text);
    ASSERT_TRUE(m.hasMatch()) << text.toStdString();
    const int sweep = m.captured(1).toInt();
    EXPECT_GE(sweep, lastSweep);
    EXPECT_EQ(p->BarSweep->maximum(), 32767);
    EXPECT_EQ(p->BarSweep->value(), sweep);
    EXPECT_TRUE(p->BarSweep->isVisible());
    EXPECT_FALSE(p->BarSweep->accessibleName().isEmpty());
    if (text != lastText) {
      if (!clock.isValid()) clock.start();
      ++changes;
      lastText = text;
    }
    lastSweep = sweep;
    // Watch for a while (or until the search is near its end), then stop.
    if (++seen >= 200 || sweep > 30000) {
      // No more than one renewal per 50 ms (plus the first).
      EXPECT_LE(changes, clock.elapsed() / FitRunner::kProgressIntervalMs + 2);
      QTest::mouseClick(p->CommandStop, Qt::LeftButton);
      stopped = true;
    }
  });
  timer.start(1);
  OpenAndFit("fertilizer-3x11.tsv", true);
  timer.stop();
  EXPECT_GT(changes, 0);
  EXPECT_GT(lastSweep, 0);
  EXPECT_EQ(env.store.ParaCount(), 0);  // stopped or not, the counter was seen running
}

TEST_F(ProgressWindow, StaysShownBehindTheFailedFitDialog) {
  OpenAndFit("soil-3x10.tsv", false);
  ParaKekka_Form0_1* r = env.main->Find<ParaKekka_Form0_1>(Screen::ParaKekka_Form0_1);
  ASSERT_NE(r, nullptr);
  const int16_t records = env.store.ParaCount();
  bool asked = false;
  env.dialogs.onExec = [&](QDialog& d) {
    auto* dialog = dynamic_cast<Sol_Dame0_1*>(&d);
    EXPECT_NE(dialog, nullptr);
    if (!dialog) return 0;
    asked = true;
    // Let every pending event of the window run, as the dialog's own loop
    // would, and look at the progress window behind it.
    QCoreApplication::processEvents();
    SaiKeisan_Form* p = env.main->Runner().Progress();
    EXPECT_NE(p, nullptr);
    if (p) {
      EXPECT_TRUE(p->isVisible());
      EXPECT_EQ(p->Label1[1]->text().toStdString(), "単純並行型の");
      EXPECT_EQ(p->Label1[2]->text().toStdString(), "パラメータを計算しています");
      EXPECT_EQ(p->Label1[3]->text().toStdString(), "しばらくお待ち下さい");
      EXPECT_TRUE(p->CommandStop->isVisible());
      EXPECT_TRUE(p->CommandStop->isEnabled());
      for (QWidget* part :
           {static_cast<QWidget*>(p->Label1[1]), static_cast<QWidget*>(p->Label1[2]),
            static_cast<QWidget*>(p->CommandStop)}) {
        EXPECT_TRUE(ShowsSomething(p, part)) << part->objectName().toStdString();
      }
      // The dialog does not cover the progress window.
      EXPECT_FALSE(dialog->frameGeometry().intersects(p->frameGeometry()))
          << "dialog " << dialog->frameGeometry().x() << "," << dialog->frameGeometry().y() << " "
          << dialog->frameGeometry().width() << "x" << dialog->frameGeometry().height()
          << ", progress " << p->frameGeometry().x() << "," << p->frameGeometry().y() << " "
          << p->frameGeometry().width() << "x" << p->frameGeometry().height();
    }
    // The dialog shows the values the failed search started from.
    EXPECT_EQ(dialog->Text1[3]->text().toStdString(), "-1000");
    dialog->Command2->click();  // キャンセル
    return dialog->result();
  };
  r->Command5->click();
  r->Text_HeiPara[3]->setText("-1000");
  r->Command1->click();
  EXPECT_TRUE(asked);
  EXPECT_EQ(env.store.ParaCount(), records);
  EXPECT_EQ(env.main->Runner().Progress(), nullptr);
}

}  // namespace
}  // namespace kelvora
