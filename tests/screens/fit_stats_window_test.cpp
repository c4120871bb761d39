// "統計情報" on the results screen and the window "フィット統計": the tables,
// the charts and the figures kelvora-cli prints for the same data, the model
// following the results screen, 推定不能 where the data determine nothing,
// copy, print, F1, and a layout in which nothing covers anything.
#include "screens/fit_stats_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryFile>
#include <QTest>
#include <QTextBrowser>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <sstream>

#include "cli/cli.h"
#include "kinetics/estimation.h"
#include "mini_json.h"
#include "pdf_text.h"
#include "print/prionly_select.h"
#include "screen_test_env.h"
#include "screens/help_window.h"
#include "screens/parakekka_form0_1.h"
#include "store/data_files.h"
#include "store/number_text.h"

namespace kelvora {
namespace {

using test::ScreenEnv;

std::string BenchTable(const char* name) {
  return test::ReadBytes(std::filesystem::path(KELVORA_SOURCE_DIR) / "tests/data/bench" / name);
}

BaiyoRecord Record(const std::string& table, bool fertilizer) {
  GridTable g = GridFromRows(SplitGridText(table, kSpreadsheetFormat), 100, 4);
  g.Resize(100, 4);
  return BaiyoRecord{"試料", g.ToGridText(), fertilizer};
}

// The number a cell shows ("推定不能" and "—" are none).
std::optional<double> CellNumber(const QTableWidget* t, int r, int c) {
  const QTableWidgetItem* item = t->item(r, c);
  if (!item) return std::nullopt;
  bool ok = false;
  const double v = item->text().toDouble(&ok);
  return ok ? std::optional<double>(v) : std::nullopt;
}

QString CellText(const QTableWidget* t, int r, int c) {
  const QTableWidgetItem* item = t->item(r, c);
  return item ? item->text() : QString();
}

// A name for the messages.
std::string Name(const QWidget* w) {
  if (!w->objectName().isEmpty()) return w->objectName().toStdString();
  if (const auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text().toStdString();
  if (const auto* l = qobject_cast<const QLabel*>(w)) return l->text().left(8).toStdString();
  return w->metaObject()->className();
}

// The rectangle of a widget in the coordinates of `top`.
QRect In(const QWidget* w, const QWidget* top) {
  return QRect(w->mapTo(top, QPoint(0, 0)), w->size());
}

// No two of the widgets overlap, and each lies inside `top`'s contents.
void ExpectNoOverlap(const std::vector<QWidget*>& widgets, const QWidget* top, const QRect& area) {
  for (size_t a = 0; a < widgets.size(); ++a) {
    if (!widgets[a]->isVisibleTo(top)) continue;
    const QRect ra = In(widgets[a], top);
    EXPECT_TRUE(area.contains(ra)) << Name(widgets[a]) << " is cut off " << ra.x() << "," << ra.y()
                                   << " " << ra.width() << "x" << ra.height();
    for (size_t b = a + 1; b < widgets.size(); ++b) {
      if (!widgets[b]->isVisibleTo(top)) continue;
      EXPECT_FALSE(ra.intersects(In(widgets[b], top)))
          << Name(widgets[a]) << " covers " << Name(widgets[b]);
    }
  }
}

class FitStatsScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    SetHelpFilePath(QStringLiteral(KELVORA_SOURCE_DIR "/resources/help/KELVOHELP.html"));
  }
  void TearDown() override { SetHelpFilePath(QString()); }

  ParaKekka_Form0_1* Fit(const std::string& table, bool fertilizer) {
    env.store.BaiyoTable.Append(Record(table, fertilizer));
    env.store.BaiyoCurrent = 1;
    env.Show();
    Baiyo_Form0_3* baiyo = env.OpenBaiyo();
    EXPECT_NE(baiyo, nullptr);
    if (!baiyo) return nullptr;
    baiyo->Text1->setText(QStringLiteral("25"));
    QTest::mouseClick(baiyo->Command5, Qt::LeftButton);
    return env.main->Find<ParaKekka_Form0_1>(Screen::ParaKekka_Form0_1);
  }
  testing::Json Cli(const std::string& table, bool fertilizer) {
    return testing::ParseJson(test::CliFit("fit", table, "試料", fertilizer));
  }
  // The soil fit of `table` with "フィット統計" open once its refinement
  // has come back; nullptr when any step failed.
  FitStatsWindow* OpenRefined(const std::string& table, ParaKekka_Form0_1*& r) {
    r = Fit(table, false);
    if (!r) return nullptr;
    r->Command8->click();
    FitStatsWindow* w = r->StatsWindow();
    if (!w) return nullptr;
    for (int i = 0; i < 200 && !w->RefinementReady(); ++i) QTest::qWait(25);
    EXPECT_TRUE(w->RefinementReady());
    return w->RefinementReady() ? w : nullptr;
  }
  static void ClickBox(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(10, box->height() / 2));
  }

  ScreenEnv env;
};

TEST_F(FitStatsScreen, OpensAfterAFitWithTheTablesTheChartsAndTheCliFigures) {
  const std::string table = BenchTable("soil-3x10.tsv");
  ParaKekka_Form0_1* r = Fit(table, false);
  ASSERT_NE(r, nullptr);
  ASSERT_NE(r->Command8, nullptr);
  EXPECT_EQ(r->Command8->text(), QStringLiteral("統計情報"));
  EXPECT_EQ(r->Command8->accessibleName(), QStringLiteral("統計情報"));
  EXPECT_TRUE(r->Command8->isVisibleTo(r));
  const FitSession before = env.main->Session();
  QTest::mouseClick(r->Command8, Qt::LeftButton);
  FitStatsWindow* w = r->StatsWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->isWindow());
  EXPECT_EQ(w->windowTitle(), QStringLiteral("フィット統計"));
  EXPECT_EQ(w->Model(), 1);
  EXPECT_TRUE(w->Heading->text().startsWith(QStringLiteral("単純型")));

  // The parameter table.
  QTableWidget* p = w->ParamTable;
  ASSERT_EQ(p->columnCount(), 5);
  QStringList heads;
  for (int c = 0; c < 5; ++c) heads << p->horizontalHeaderItem(c)->text();
  EXPECT_EQ(heads.join(QStringLiteral(" | ")),
            QStringLiteral("パラメータ | 値 | 標準誤差 | 95%信頼区間 | t値"));
  ASSERT_EQ(p->rowCount(), 4);
  EXPECT_EQ(CellText(p, 0, 0), QStringLiteral("Ea (cal/mol)"));

  // The figures of kelvora-cli for the same table.
  const testing::Json cli = Cli(table, false);
  const testing::Json& st = cli["models"][0]["stats"];
  for (int j = 0; j < 4; ++j) {
    SCOPED_TRACE(j);
    std::optional<double> se = CellNumber(p, j, 2), t = CellNumber(p, j, 4);
    ASSERT_TRUE(se && t);
    EXPECT_NEAR(*se, st["se"][j].number, 5e-4 * std::fabs(st["se"][j].number));
    EXPECT_NEAR(*t, st["t"][j].number, 5e-4 * std::fabs(st["t"][j].number));
    const QStringList ci = CellText(p, j, 3).split(QStringLiteral(" ～ "));
    ASSERT_EQ(ci.size(), 2);
    const double width = st["ci95"][j][1].number - st["ci95"][j][0].number;
    EXPECT_NEAR(ci[0].toDouble(), st["ci95"][j][0].number, 1e-3 * width);
    EXPECT_NEAR(ci[1].toDouble(), st["ci95"][j][1].number, 1e-3 * width);
  }
  // The fit quality: n, 自由度, R² …
  QTableWidget* q = w->QualityTable;
  EXPECT_EQ(CellText(q, 0, 0), QStringLiteral("n"));
  EXPECT_EQ(CellText(q, 0, 1), QStringLiteral("30"));
  EXPECT_EQ(CellText(q, 1, 0), QStringLiteral("自由度"));
  EXPECT_EQ(CellText(q, 1, 1), QStringLiteral("26"));
  EXPECT_EQ(CellText(q, 3, 0), QStringLiteral("R²"));
  EXPECT_EQ(CellText(q, 3, 1), QString::number(st["r2"].number, 'f', 5));
  EXPECT_EQ(CellText(q, 0, 2), QStringLiteral("AIC"));
  EXPECT_EQ(CellText(q, 1, 2), QStringLiteral("AICc"));
  EXPECT_EQ(CellText(q, 1, 3), QString::number(st["aicc"].number, 'f', 2));
  EXPECT_EQ(CellText(q, 2, 3), QString::number(st["bic"].number, 'f', 2));
  EXPECT_EQ(CellText(q, 4, 2), QStringLiteral("Akaikeの重み"));
  // The correlation matrix, with its diagonal.
  ASSERT_EQ(w->CorrTable->rowCount(), 4);
  EXPECT_EQ(CellText(w->CorrTable, 0, 0), QStringLiteral("1.000"));
  EXPECT_NEAR(CellNumber(w->CorrTable, 1, 2).value_or(9), st["corr"][1][2].number, 1e-3);
  // Half-life and Q10.
  ASSERT_EQ(w->DerivedTable->rowCount(), 2);
  EXPECT_NEAR(CellNumber(w->DerivedTable, 0, 1).value_or(0), st["half_life"][1].number, 1e-3);
  EXPECT_NEAR(CellNumber(w->DerivedTable, 1, 1).value_or(0), st["q10"][0].number, 1e-3);
  EXPECT_GE(w->WarningList->count(), 1);

  // The charts: residuals per temperature with a zero line, the curve with
  // its band over the observations.
  QChart* rc = w->ResidualChart->chart();
  int residuals = 0, zeroLines = 0;
  for (QAbstractSeries* s : rc->series()) {
    if (auto* sc = qobject_cast<QScatterSeries*>(s)) residuals += sc->count();
    if (auto* line = qobject_cast<QLineSeries*>(s); line && !qobject_cast<QScatterSeries*>(s)) {
      ++zeroLines;
      for (const QPointF& pt : line->points()) EXPECT_EQ(pt.y(), 0.0);
    }
  }
  EXPECT_EQ(residuals, 30);
  EXPECT_EQ(zeroLines, 1);
  QChart* cc = w->CurveChart->chart();
  int bands = 0, observed = 0;
  for (QAbstractSeries* s : cc->series()) {
    if (qobject_cast<QAreaSeries*>(s)) ++bands;
    if (auto* sc = qobject_cast<QScatterSeries*>(s)) observed += sc->count();
  }
  EXPECT_EQ(bands, 3);  // one per incubation temperature
  EXPECT_EQ(observed, 30);

  // Nothing of the fit changed.
  const FitSession& after = env.main->Session();
  for (int m = 1; m <= 3; ++m) {
    EXPECT_EQ(after.params[m], before.params[m]);
    EXPECT_EQ(after.rss[m], before.rss[m]);
    EXPECT_EQ(after.aic[m], before.aic[m]);
  }
  EXPECT_EQ(after.currentModel, before.currentModel);
  EXPECT_EQ(after.chartTable.size(), before.chartTable.size());

  // Accessible names of what a screen reader meets.
  for (QWidget* x : std::vector<QWidget*>{w->ParamTable, w->QualityTable, w->CorrTable,
                                          w->DerivedTable, w->WarningList, w->ResidualChart,
                                          w->CurveChart, w->Command1, w->Command2, w->Command3}) {
    EXPECT_FALSE(x->accessibleName().isEmpty()) << x->objectName().toStdString();
  }
  EXPECT_EQ(w->Command1->text(), QStringLiteral("コピー"));
  EXPECT_EQ(w->Command2->text(), QStringLiteral("印刷"));
  EXPECT_EQ(w->Command3->text(), QStringLiteral("閉じる"));
}

TEST_F(FitStatsScreen, FollowsTheModelOfTheResultsAndShowsNotEstimable) {
  ParaKekka_Form0_1* r = Fit(BenchTable("soil-3x10.tsv"), false);
  ASSERT_NE(r, nullptr);
  r->Command8->click();
  FitStatsWindow* w = r->StatsWindow();
  ASSERT_NE(w, nullptr);
  // The parallel model on this soil: its two pools cannot be told apart.
  ClickBox(r->Check[2]);
  EXPECT_EQ(w->Model(), 2);
  ASSERT_EQ(w->ParamTable->rowCount(), 7);
  for (int j = 0; j < 7; ++j) {
    for (int c = 2; c <= 4; ++c)
      EXPECT_EQ(CellText(w->ParamTable, j, c), QStringLiteral("推定不能"));
  }
  bool told = false;
  for (int i = 0; i < w->WarningList->count(); ++i)
    told = told || w->WarningList->item(i)->text().contains(QStringLiteral("推定不能"));
  EXPECT_TRUE(told);
  EXPECT_TRUE(w->CurveChart->chart()->title().contains(QStringLiteral("信頼帯なし")));
  // Model 3: numbers again, one strong correlation coloured.
  ClickBox(r->Check[3]);
  EXPECT_EQ(w->Model(), 3);
  EXPECT_TRUE(CellNumber(w->ParamTable, 0, 2).has_value());
  bool coloured = false;
  for (int a = 0; a < 7; ++a)
    for (int b = 0; b < 7; ++b)
      coloured = coloured || (a != b && w->CorrTable->item(a, b)->background().color() ==
                                            QColor(255, 170, 170));
  EXPECT_TRUE(coloured);
  // A second press brings the same window to the front at the shown model.
  r->Command8->click();
  EXPECT_EQ(r->StatsWindow(), w);
  EXPECT_EQ(r->findChildren<FitStatsWindow*>().size(), 1);
}

TEST_F(FitStatsScreen, GaussModelIsConditionalAndLagEnergyNotEstimable) {
  ParaKekka_Form0_1* r = Fit(BenchTable("fertilizer-3x11.tsv"), true);
  ASSERT_NE(r, nullptr);
  r->Command8->click();
  FitStatsWindow* w = r->StatsWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->Model(), 5);
  ASSERT_EQ(w->ParamTable->rowCount(), 5);
  EXPECT_EQ(CellText(w->ParamTable, 4, 2), QStringLiteral("推定不能"));  // Ea2
  EXPECT_TRUE(CellNumber(w->ParamTable, 3, 2).has_value());              // TAU
  ClickBox(r->Check[3]);
  EXPECT_EQ(w->Model(), 6);
  ASSERT_EQ(w->ParamTable->rowCount(), 1);
  EXPECT_EQ(CellText(w->ParamTable, 0, 0), QStringLiteral("σ (day)"));
  EXPECT_TRUE(w->Note->text().contains(QStringLiteral("条件付き")));
}

TEST_F(FitStatsScreen, CopyPrintHelpAndClose) {
  ParaKekka_Form0_1* r = Fit(BenchTable("soil-3x10.tsv"), false);
  ASSERT_NE(r, nullptr);
  r->Command8->click();
  FitStatsWindow* w = r->StatsWindow();
  ASSERT_NE(w, nullptr);

  // "コピー": the tables as TAB / CR LF text.
  QGuiApplication::clipboard()->clear();
  QTest::mouseClick(w->Command1, Qt::LeftButton);
  const QString text = QGuiApplication::clipboard()->text();
  EXPECT_TRUE(text.contains(QStringLiteral("パラメータ\t値\t標準誤差\t95%信頼区間\tt値\r\n")));
  EXPECT_TRUE(text.contains(QStringLiteral("n\t30\tAIC\t")));
  EXPECT_TRUE(text.contains(QStringLiteral("相関行列\r\n")));
  EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[^\r]\n"))));

  // "印刷": the printer choice, then one page.
  env.dialogs.onExec = [&](QDialog& d) {
    auto* choice = qobject_cast<PriOnly_Select*>(&d);
    EXPECT_NE(choice, nullptr);
    if (!choice) return int(QDialog::Rejected);
    choice->List2->setCurrentRow(0);
    choice->Command1->click();
    return choice->result();
  };
  QTest::mouseClick(w->Command2, Qt::LeftButton);
  ASSERT_EQ(env.printers.jobs.size(), 1u);
  EXPECT_EQ(env.printers.jobs[0].title, "フィット統計");
  const std::filesystem::path job = env.printers.jobs[0].file.toStdString();
  EXPECT_EQ(testing::PdfPages(job), 1);

  // F1: its own chapter of the help.
  QApplication::setActiveWindow(w);
  ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  w->Command1->setFocus();
  QTest::keyClick(w->Command1, Qt::Key_F1);
  auto* help = w->findChild<HelpWindow*>();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->Browser->source().fragment(), QStringLiteral("fitstats"));
  EXPECT_GT(help->Browser->verticalScrollBar()->value(), 0);
  help->close();
  const std::string page = test::ReadBytes(KELVORA_SOURCE_DIR "/resources/help/KELVOHELP.html");
  EXPECT_NE(page.find("name=\"fitstats\""), std::string::npos);

  // "閉じる"; and the window goes with the results screen in any case.
  QPointer<FitStatsWindow> guard(w);
  QTest::mouseClick(w->Command3, Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(guard.isNull());
  r->Command8->click();
  guard = r->StatsWindow();
  ASSERT_FALSE(guard.isNull());
  r->Command6->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(guard.isNull());
}

TEST_F(FitStatsScreen, TheButtonCoversNothingAtAnySizeAndTheWindowCutsNothingOff) {
  ParaKekka_Form0_1* r = Fit(BenchTable("soil-3x10.tsv"), false);
  ASSERT_NE(r, nullptr);
  QWidget* frame = r->parentWidget();
  ASSERT_NE(frame, nullptr);
  std::vector<QWidget*> parts{r->Command1, r->Command2, r->Command3, r->Command4, r->Command5,
                              r->Command6, r->Command7, r->Command8, r->MSChart1, r->Label8,
                              r->Frame[1], r->Frame[2], r->Frame[3]};
  // Every size the user can give the window: its frame does not shrink below
  // its minimum (the layout's), and the button does not make that larger.
  const QSize least = frame->minimumSizeHint();
  // It takes the free place of the right column of buttons and is no wider
  // than the buttons already there, so the layout keeps its size.
  int column = 0;
  for (QPushButton* b : {r->Command6, r->Command3, r->Command1, r->Command7})
    column = std::max(column, b->sizeHint().width());
  EXPECT_LE(r->Command8->sizeHint().width(), column);
  EXPECT_EQ(In(r->Command8, r).left(), In(r->Command3, r).left());
  EXPECT_GT(In(r->Command8, r).top(), In(r->Command3, r).bottom());
  EXPECT_EQ(In(r->Command8, r).top(), In(r->Command2, r).top());
  for (QSize size : {least, QSize(1100, 700), QSize(1340, 740), least + QSize(7, 3),
                     QSize(least.width(), 900), QSize(1800, least.height())}) {
    size = size.expandedTo(least);
    SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
    frame->resize(size);
    QApplication::processEvents();
    ExpectNoOverlap(parts, r, QRect(QPoint(0, 0), r->size()));
    // The button is fully inside the screen and not under another button
    // while the initial values are edited either.
    r->Command5->click();
    QApplication::processEvents();
    EXPECT_FALSE(r->Command8->isVisibleTo(r));
    ExpectNoOverlap(parts, r, QRect(QPoint(0, 0), r->size()));
    r->Command7->click();
    EXPECT_TRUE(r->Command8->isVisibleTo(r));
  }

  // The window: the sections side by side, none over another; at a small
  // size its contents scroll instead of being cut off.
  r->Command8->click();
  FitStatsWindow* w = r->StatsWindow();
  ASSERT_NE(w, nullptr);
  QApplication::processEvents();
  auto* content = w->findChild<QWidget*>(QStringLiteral("Content"));
  ASSERT_NE(content, nullptr);
  std::vector<QWidget*> sections{w->Heading,     w->Note,          w->ParamTable,
                                 w->CorrTable,   w->QualityTable,  w->DerivedTable,
                                 w->WarningList, w->ResidualChart, w->CurveChart};
  for (int16_t model : {1, 2, 3}) {
    w->ShowModel(model);
    for (QSize size : {w->size(), QSize(700, 500)}) {
      w->resize(size);
      QApplication::processEvents();
      ExpectNoOverlap(sections, content, QRect(QPoint(0, 0), content->size()));
      // Every table shows all its cells.
      for (QTableWidget* t : {w->ParamTable, w->QualityTable, w->CorrTable, w->DerivedTable}) {
        const int last = t->rowCount() - 1;
        if (last >= 0) {
          EXPECT_LE(t->rowViewportPosition(last) + t->rowHeight(last), t->viewport()->height())
              << t->objectName().toStdString();
        }
        int width = 0;
        for (int c = 0; c < t->columnCount(); ++c) width += t->columnWidth(c);
        EXPECT_LE(width, t->viewport()->width() + 1) << t->objectName().toStdString();
      }
      // The buttons stay in the window.
      for (QPushButton* b : {w->Command1, w->Command2, w->Command3}) {
        EXPECT_TRUE(w->rect().contains(In(b, w))) << b->text().toStdString();
      }
    }
  }
}

// "最小二乗法による確認": computed after the window is shown; on this soil
// model 3 stops short of the minimum (the CLI reports the same refinement),
// model 1 does not; the refined set is stored as a new one beside the fit's.
TEST_F(FitStatsScreen, LeastSquaresCheckAndStoringTheRefinedSet) {
  const std::string table = BenchTable("soil-3x10.tsv");
  ParaKekka_Form0_1* r = nullptr;
  FitStatsWindow* w = OpenRefined(table, r);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->Command4->text(), QStringLiteral("精密化した値を保存"));
  EXPECT_EQ(w->Command4->accessibleName(), w->Command4->text());

  EXPECT_TRUE(
      w->RefineLine->text().startsWith(QStringLiteral("探索結果は最小二乗解と一致しています")));
  EXPECT_FALSE(w->Command4->isEnabled());

  ClickBox(r->Check[3]);
  ASSERT_EQ(w->Model(), 3);
  const testing::Json cli = Cli(table, false);
  const testing::Json& refined = cli["models"][2]["refined"];
  ASSERT_TRUE(refined["improved"].b);
  const double fitRss = cli["models"][2]["rss"].number, rss = refined["rss"].number;
  const QString expected =
      QStringLiteral("探索は最小値の手前で止まっています：残差平方和 %1 → %2（%3%）")
          .arg(QString::number(fitRss, 'f', 4), QString::number(rss, 'f', 4),
               QString::number((rss / fitRss - 1) * 100, 'f', 1));
  EXPECT_EQ(
      expected,
      QStringLiteral("探索は最小値の手前で止まっています：残差平方和 1.4071 → 1.2685（-9.8%）"));
  EXPECT_TRUE(w->RefineLine->text().startsWith(expected)) << w->RefineLine->text().toStdString();
  // The fit's and the refined values side by side, then RSS and AIC.
  ASSERT_EQ(w->RefineTable->columnCount(), 3);
  ASSERT_EQ(w->RefineTable->rowCount(), 9);
  for (int j = 0; j < 7; ++j) {
    EXPECT_NEAR(*CellNumber(w->RefineTable, j, 1), cli["models"][2]["params"][j].number,
                1e-4 * std::fabs(cli["models"][2]["params"][j].number));
    EXPECT_NEAR(*CellNumber(w->RefineTable, j, 2), refined["params"][j].number,
                1e-4 * std::fabs(refined["params"][j].number));
  }

  const int16_t before = env.store.ParaCount();
  const ParaRecord fitRecord = env.store.ParaTable(before);
  ASSERT_TRUE(w->Command4->isEnabled());
  QTest::mouseClick(w->Command4, Qt::LeftButton);
  ASSERT_EQ(env.store.ParaCount(), before + 1);
  const ParaRecord stored = env.store.ParaTable(before + 1);
  EXPECT_EQ(stored.SoilName, "試料（精密化）");
  EXPECT_EQ(stored.ModelNo, 3);
  EXPECT_EQ(stored.Rss, static_cast<float>(rss));
  EXPECT_EQ(stored.Aic, static_cast<float>(refined["aic"].number));
  for (int j = 0; j < 7; ++j)
    EXPECT_EQ(stored.Param[j], static_cast<float>(refined["params"][j].number));
  EXPECT_EQ(env.store.ParaTable(before), fitRecord);  // the fit's set stays as it was
  EXPECT_FALSE(w->Command4->isEnabled());

  EXPECT_EQ(RefinedSetName(QStringLiteral("試料"), 5), QStringLiteral("試料（精密"));
  EXPECT_EQ(RefinedSetName(QStringLiteral("試料"), 100), QStringLiteral("試料（精密化）"));
}

// The lines drawn on a chart with the given name, in the order they were
// added (not the legend's own entries, which hold no points).
std::vector<QLineSeries*> LinesNamed(QChartView* v, const QString& name) {
  std::vector<QLineSeries*> out;
  for (QAbstractSeries* s : v->chart()->series()) {
    auto* line = qobject_cast<QLineSeries*>(s);
    if (line && line->name() == name && line->count() > 0) out.push_back(line);
  }
  return out;
}

TEST_F(FitStatsScreen, RefinedCurveOverlayAndTheStoredSetEstimatesLikeAnyOther) {
  ParaKekka_Form0_1* r = nullptr;
  FitStatsWindow* w = OpenRefined(BenchTable("soil-3x10.tsv"), r);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->Check1->accessibleName(), QStringLiteral("精密化した曲線を重ねる"));
  // Model 1: the search found the minimum, there is nothing to overlay.
  ASSERT_FALSE(w->Refinement()->models[w->Model()]->improved);
  EXPECT_FALSE(w->Check1->isEnabled());

  ClickBox(r->Check[3]);
  ASSERT_EQ(w->Model(), 3);
  ASSERT_TRUE(w->Check1->isEnabled());
  EXPECT_TRUE(LinesNamed(w->CurveChart, QStringLiteral("精密化した値")).empty());
  ClickBox(w->Check1);
  ASSERT_TRUE(w->Check1->isChecked());
  const std::vector<QLineSeries*> fitted = LinesNamed(w->CurveChart, QStringLiteral("計算値"));
  const std::vector<QLineSeries*> refined =
      LinesNamed(w->CurveChart, QStringLiteral("精密化した値"));
  ASSERT_EQ(fitted.size(), 3u);
  ASSERT_EQ(refined.size(), 3u);
  const ModelStats& at = *w->Refinement()->models[3]->stats;
  for (size_t g = 0; g < 3; ++g) {
    SCOPED_TRACE(g);
    const QList<QPointF> f = fitted[g]->points(), p = refined[g]->points();
    ASSERT_EQ(p.size(), f.size());
    // Drawn at the fitted curve's adjusted days, where the observations sit.
    for (qsizetype i = 0; i < p.size(); ++i) EXPECT_EQ(p[i].x(), f[i].x());
    // The curve ends at the last observation of its temperature, where the
    // statistics at the refined values computed the model's value.
    const StatsPoint* last = nullptr;
    for (const StatsPoint& sp : at.points) {
      if (sp.group == static_cast<int>(g) + 1) last = &sp;
    }
    ASSERT_NE(last, nullptr);
    EXPECT_NEAR(p.back().y(), last->calc, 1e-9 * std::fabs(last->calc));
    EXPECT_GT(std::fabs(p.back().y() - f.back().y()), 1e-4);  // not the fitted curve again
  }
  ClickBox(w->Check1);
  EXPECT_TRUE(LinesNamed(w->CurveChart, QStringLiteral("精密化した値")).empty());
  ClickBox(w->Check1);
  ClickBox(r->Check[1]);  // a model without an improvement takes the overlay away
  EXPECT_FALSE(w->Check1->isChecked());
  EXPECT_FALSE(w->Check1->isEnabled());
  EXPECT_TRUE(LinesNamed(w->CurveChart, QStringLiteral("精密化した値")).empty());

  // Stored, written to ParaData.txt, read back: the same set, and it
  // estimates exactly as kelvora-cli estimates with the refined values.
  ClickBox(r->Check[3]);
  ASSERT_TRUE(w->Command4->isEnabled());
  QTest::mouseClick(w->Command4, Qt::LeftButton);
  const ParaRecord stored = env.store.ParaTable(env.store.ParaCount());
  ASSERT_EQ(stored.SoilName, "試料（精密化）");
  ASSERT_TRUE(SaveDataFiles(env.store, env.DataDir()).empty());
  hensuu reread;
  ASSERT_TRUE(ReadDataFiles(reread, env.DataDir()).empty());
  ASSERT_EQ(reread.ParaCount(), env.store.ParaCount());
  const ParaRecord back = reread.ParaTable(reread.ParaCount());
  // The file holds singles as seven-digit texts, as it does for every set.
  EXPECT_EQ(back.SoilName, stored.SoilName);
  EXPECT_EQ(back.ModelNo, stored.ModelNo);
  EXPECT_FALSE(back.IsManual);
  EXPECT_EQ(back.StdTemp, stored.StdTemp);
  for (int j = 0; j < 7; ++j) EXPECT_EQ(SingleText(back.Param[j]), SingleText(stored.Param[j]));
  EXPECT_EQ(SingleText(back.Aic), SingleText(stored.Aic));
  EXPECT_EQ(SingleText(back.Rss), SingleText(stored.Rss));
  // Saved again, the file stays as it was.
  const std::string first = test::ReadBytes(env.DataDir() / kParaFile);
  ASSERT_TRUE(SaveDataFiles(reread, env.DataDir()).empty());
  EXPECT_EQ(test::ReadBytes(env.DataDir() / kParaFile), first);

  const std::string seriesText = BenchTable("series-2y.tsv");
  std::vector<std::string> temps{std::string()};
  std::vector<std::string> dates{std::string()};
  {
    std::istringstream in(seriesText);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      dates.push_back(line.substr(0, tab));
      temps.push_back(line.substr(tab + 1));
    }
  }
  const int days = static_cast<int>(temps.size()) - 1;
  ASSERT_GT(days, 300);
  const EstimateResult mine = EstimateSeries(back, temps, days);
  ASSERT_TRUE(mine.ok) << mine.message;

  QTemporaryFile series;
  ASSERT_TRUE(series.open());
  series.write(seriesText.data(), static_cast<qint64>(seriesText.size()));
  series.flush();
  std::string params;
  for (int j = 0; j < 7; ++j) {
    std::ostringstream v;
    v.precision(9);  // enough to give back every single exactly
    v << back.Param[j];
    params += (j ? "," : "") + v.str();
  }
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"estimate", series.fileName().toStdString(), "--model", "3", "--params", params,
                    "--std-temp", "25"},
                   out, err),
            0)
      << err.str();
  const testing::Json cli = testing::ParseJson(out.str());
  const auto& rows = cli["rows"].items;
  ASSERT_EQ(static_cast<int>(rows.size()), days);
  for (int d = 1; d <= days; ++d) {
    if (rows[d - 1][1].kind == testing::Json::Null) {  // a day without temperature
      EXPECT_FALSE(mine.dayAmounts[d].has_value()) << dates[d];
      continue;
    }
    ASSERT_TRUE(mine.dayAmounts[d].has_value()) << dates[d];
    EXPECT_EQ(*mine.dayAmounts[d], rows[d - 1][1].number) << dates[d];
  }
}

// How many significant digits a plain number text shows ("10.000" has 5).
int SignificantDigits(QString text) {
  text.remove(QLatin1Char('-')).remove(QLatin1Char('.'));
  while (text.startsWith(QLatin1Char('0')) && text.size() > 1) text.remove(0, 1);
  return static_cast<int>(text.size());
}

// Everything the window shows is in sight, in the copy and told alike: the
// bounds of an interval with the same significant digits, every row of the
// least-squares check of a seven-parameter model, legend entries that show
// what is drawn, a window on the accessibility bus, and the results screen's
// boxes that behave alike by mouse and by a screen reader's toggle action.
TEST_F(FitStatsScreen, BoundsAlikeEveryRowShownAndCopiedLegendsAsDrawnAndAWindowForReaders) {
  ParaKekka_Form0_1* r = nullptr;
  FitStatsWindow* w = OpenRefined(BenchTable("soil-3x10.tsv"), r);
  ASSERT_NE(w, nullptr);
  QAccessibleInterface* window = QAccessible::queryAccessibleInterface(w);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->role(), QAccessible::Window);
  EXPECT_EQ(window->text(QAccessible::Name), QStringLiteral("フィット統計"));

  for (int j = 0; j < w->ParamTable->rowCount(); ++j) {
    const QStringList ci = CellText(w->ParamTable, j, 3).split(QStringLiteral(" ～ "));
    ASSERT_EQ(ci.size(), 2);
    EXPECT_EQ(SignificantDigits(ci[0]), 5) << ci[0].toStdString();
    EXPECT_EQ(SignificantDigits(ci[1]), 5) << ci[1].toStdString();
  }

  // The third box by its toggle action: it alone is checked, its model shown.
  QAccessibleInterface* box = QAccessible::queryAccessibleInterface(r->Check[3]);
  ASSERT_TRUE(box && box->actionInterface());
  box->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  EXPECT_TRUE(r->Check[3]->isChecked());
  EXPECT_FALSE(r->Check[1]->isChecked() || r->Check[2]->isChecked());
  ASSERT_EQ(w->Model(), 3);
  EXPECT_TRUE(r->ModelChanged());

  QTableWidget* t = w->RefineTable;
  ASSERT_EQ(t->rowCount(), 9);
  EXPECT_EQ(CellText(t, 7, 0), QStringLiteral("残差平方和"));
  EXPECT_EQ(CellText(t, 8, 0), QStringLiteral("AIC"));
  EXPECT_LE(t->rowViewportPosition(8) + t->rowHeight(8), t->viewport()->height());
  w->Command1->click();
  const QString copied = QGuiApplication::clipboard()->text();
  EXPECT_TRUE(copied.contains(QStringLiteral("最小二乗法による確認\r\n") +
                              w->RefineLine->text().section(QLatin1Char('\n'), 0, 0)));
  EXPECT_TRUE(
      copied.contains(QStringLiteral("AIC\t%1\t%2\r\n").arg(CellText(t, 8, 1), CellText(t, 8, 2))));

  // Three temperatures, each drawn in its colour: their observations' entries
  // carry the colours; the curve, band and refined entries only their kind of
  // line, in grey.
  // The legend draws a line's entry with the line's pen.
  w->Check1->setChecked(true);
  QCoreApplication::processEvents();
  QSet<QString> kinds, temperatures;
  for (QLegendMarker* m : w->CurveChart->chart()->legend()->markers()) {
    if (!m->isVisible()) continue;
    const QString name = m->label();
    if (name == QStringLiteral("計算値") || name == QStringLiteral("精密化した値")) {
      kinds << name;
      auto* line = qobject_cast<QLineSeries*>(m->series());
      ASSERT_NE(line, nullptr);
      EXPECT_EQ(line->pen().color(), QColor(90, 90, 90)) << name.toStdString();
      EXPECT_EQ(line->pen().style(),
                name == QStringLiteral("計算値") ? Qt::SolidLine : Qt::DashLine);
      EXPECT_EQ(line->count(), 0);  // the entry alone: the curves are in colour
    } else if (name == QStringLiteral("95%信頼帯")) {
      kinds << name;
      const QColor fill = m->brush().color();
      EXPECT_TRUE(fill.red() == fill.green() && fill.green() == fill.blue());
    } else {
      temperatures << name;
      auto* observed = qobject_cast<QScatterSeries*>(m->series());
      ASSERT_NE(observed, nullptr) << name.toStdString();
      EXPECT_EQ(m->brush().color(), observed->pen().color()) << name.toStdString();
    }
  }
  EXPECT_EQ(kinds.size(), 3);
  EXPECT_EQ(temperatures.size(), 3);
}

}  // namespace
}  // namespace kelvora
