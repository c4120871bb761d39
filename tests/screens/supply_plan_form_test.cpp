// The nitrogen supply plan screen inside the main window: the plan computed
// as the core computes it, stored and read back; what it says when another
// screen deletes its series or the set chosen for adding; the deletion
// dialog; the table, chart, copy, export, print and picture; and the
// normal-year button of the soil temperature screen.
#include "screens/supply_plan_form.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QImage>
#include <QTest>
#include <cstring>

#include "kinetics/normal_year.h"
#include "pdf_text.h"
#include "screen_test_env.h"
#include "screens/controls.h"
#include "screens/delfrm_select.h"
#include "screens/flex_grid.h"
#include "screens/help_window.h"
#include "screens/normal_year_dialog.h"
#include "screens/ondo_form.h"
#include "screens/qtext.h"
#include "store/data_files.h"
#include "store/grid_text.h"
#include "store/number_text.h"
#include "store/sakujyo.h"
#include "xlsx_reader.h"

namespace kelvora {
namespace {

using test::ScreenEnv;

// A series of daily temperatures from `first`, one decimal.
TionRecord Series(const std::string& name, CivilDate first, int days, double base) {
  std::vector<std::vector<std::string>> rows{{"年/月/日", "地温(℃)"}};
  for (int i = 0; i < days; ++i) {
    const double t = base + 8 * std::sin(i / 20.0);
    rows.push_back({DateText(DateOfDayNumber(DayNumber(first) + i)),
                    SingleText(*ParseSingle(FormatFixed(t, 1)))});
  }
  return {name, JoinGridText(rows)};
}

ParaRecord Set(const std::string& name, int16_t model, std::array<float, 7> p) {
  ParaRecord r;
  r.SoilName = name;
  r.ModelNo = model;
  r.Param = p;
  r.StdTemp = 25;
  r.IsManual = true;
  return r;
}

class SupplyPlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env.store.TionTable.Append(Series("圃場 2025", {2025, 4, 1}, 91, 20));
    env.store.TionTable.Append(Series("平年値", {2025, 1, 1}, 365, 18));
    env.store.ParaTable.Append(Set("水田土壌", 1, {16751.58f, 0.0204f, 9.73f, 1.66f}));
    env.store.ParaTable.Append(Set("基肥", 4, {12000, 0.5f, 100, 0}));
    env.store.ParaTable.Append(Set("被覆尿素", 5, {20169.56f, 0.0432f, 96.86f, 19.23f, 19588.2f}));
    env.Show();
  }
  SupplyPlanForm* Open() {
    QTest::mouseClick(env.main->Command7, Qt::LeftButton);  // "窒素供給量"
    auto* s = env.main->Find<SupplyPlanForm>(Screen::SupplyPlan);
    EXPECT_NE(s, nullptr);
    return s;
  }
  static void Choose(QComboBox* combo, const QString& text) {
    const int at = combo->findText(text, Qt::MatchStartsWith);
    ASSERT_GE(at, 0) << text.toStdString();
    combo->setCurrentIndex(at);
  }
  // The plan of the samples: soil 15 cm at 1.0, basal 4 kg and coated 6 kg on
  // 2025/05/10, the days after 30 June from the normal year.
  void Fill(SupplyPlanForm* s) {
    s->PlanName->setText(QStringLiteral("水稲 2025"));
    Choose(s->ObservedSeries, QStringLiteral("圃場 2025"));
    Choose(s->NormalSeries, QStringLiteral("平年値"));
    s->FirstDay->setDate(QDate(2025, 5, 10));
    s->LastDay->setDate(QDate(2025, 9, 30));
    for (const char* set : {"水田土壌", "基肥", "被覆尿素"}) {
      Choose(s->SetChoice, QString::fromUtf8(set));
      QTest::mouseClick(s->AddSource, Qt::LeftButton);
    }
    s->SourceTable->item(1, SupplyPlanForm::kKgCol)->setText(QStringLiteral("4"));
    s->SourceTable->item(2, SupplyPlanForm::kKgCol)->setText(QStringLiteral("6"));
  }
  // What the core computes for the same plan.
  SupplyResult Expected() const {
    SupplyInput in;
    in.observedGrid = env.store.TionTable(1).GridText;
    in.normalGrid = env.store.TionTable(2).GridText;
    in.first = {2025, 5, 10};
    in.last = {2025, 9, 30};
    const float kg[] = {0, 4, 6};
    for (int i = 0; i < 3; ++i) {
      PlanSource p;
      p.para = PlanCopyOf(env.store.ParaTable(i + 1));
      p.kgPer10a = kg[i];
      p.applied = in.first;
      in.sources.push_back(p);
    }
    return ComputeSupply(in);
  }

  ScreenEnv env;
};

TEST_F(SupplyPlanTest, ThePlanIsTheCoreComputationAndIsStoredAsShown) {
  SupplyPlanForm* s = Open();
  ASSERT_NE(s, nullptr);
  // A new plan: the first series over its days, no source yet.
  EXPECT_TRUE(s->Problem().isEmpty()) << s->Problem().toStdString();
  EXPECT_EQ(s->Result().days.size(), 91u);
  EXPECT_EQ(s->DayGrid->Cols(), 4);
  Fill(s);
  ASSERT_TRUE(s->Problem().isEmpty()) << s->Problem().toStdString();
  const SupplyResult expected = Expected();
  ASSERT_TRUE(expected.ok);
  const SupplyResult& got = s->Result();
  ASSERT_EQ(got.days.size(), 144u);
  for (size_t d = 0; d < got.days.size(); ++d) {
    EXPECT_EQ(got.days[d].amounts, expected.days[d].amounts) << d;
    EXPECT_EQ(got.days[d].forecast, expected.days[d].forecast) << d;
  }
  // The table shows every day; forecast days are marked and shaded.
  FlexGrid* g = s->DayGrid;
  ASSERT_EQ(g->Rows(), 145);
  ASSERT_EQ(g->Cols(), 7);
  EXPECT_EQ(g->TextMatrix(0, 6), QStringLiteral("合計"));
  EXPECT_EQ(g->TextMatrix(1, 0), QStringLiteral("2025/05/10"));
  EXPECT_EQ(g->TextMatrix(144, 6), Q(FormatFixed(*expected.days.back().total, 2)));
  EXPECT_EQ(g->TextMatrix(52, 2), QString());  // 2025/06/30, observed
  EXPECT_EQ(g->TextMatrix(53, 2), QStringLiteral("予測"));
  g->SetRow(53);
  g->SetCol(3);
  EXPECT_TRUE(g->CellBackColor().isValid());
  g->SetRow(52);
  EXPECT_FALSE(g->CellBackColor().isValid());
  // The chart: a line per source and the total, the forecast shaded, the last
  // observed day marked; the legend names them.
  EXPECT_EQ(s->LinePieces(), 4);
  EXPECT_EQ(s->ForecastSpans(), 1);
  EXPECT_TRUE(s->LastObservedMarked());
  EXPECT_TRUE(s->Legend->text().contains(QStringLiteral("被覆尿素")));
  // F1 opens the help at the plan's chapter, which the page has.
  EXPECT_NE(test::ReadBytes(KELVORA_SOURCE_DIR "/resources/help/KELVOHELP.html")
                .find("name=\"" + HelpChapter(Screen::SupplyPlan).toStdString() + "\""),
            std::string::npos);

  // Applied, saved, read back: the same plan, computing the same.
  QTest::mouseClick(s->ApplyPlan, Qt::LeftButton);
  ASSERT_EQ(env.store.SekkeiCount(), 1);
  const SekkeiRecord& rec = env.store.SekkeiTable(1);
  EXPECT_EQ(rec.PlanName, "水稲 2025");
  EXPECT_EQ(rec.TionNo, 1);
  EXPECT_EQ(rec.SiteName, "圃場 2025");
  EXPECT_EQ(rec.NormalNo, 2);
  EXPECT_EQ(rec.FirstDate, "2025/05/10");
  EXPECT_EQ(s->PlanList->count(), 1);
  QTest::mouseClick(s->SaveFile, Qt::LeftButton);
  ASSERT_TRUE(std::filesystem::exists(env.DataDir() / kSekkeiFile));
  hensuu read;
  ASSERT_TRUE(ReadDataFiles(read, env.DataDir()).empty());
  EXPECT_TRUE(read.SekkeiTable.Rows() == env.store.SekkeiTable.Rows());

  // A new plan, then back to the stored one by its list entry.
  QTest::mouseClick(s->NewPlan, Qt::LeftButton);
  EXPECT_TRUE(s->PlanName->text().isEmpty());
  EXPECT_EQ(s->SourceTable->rowCount(), 0);
  EXPECT_EQ(env.store.SekkeiCount(), 1);  // an untouched new plan is not stored
  QTest::mouseClick(s->PlanList->viewport(), Qt::LeftButton, {},
                    s->PlanList->visualItemRect(s->PlanList->item(0)).center());
  EXPECT_EQ(s->PlanName->text(), QStringLiteral("水稲 2025"));
  EXPECT_EQ(s->Result().days.back().total, expected.days.back().total);

  // A cell that is no number is said, and nothing of it is stored.
  s->SourceTable->item(0, SupplyPlanForm::kDepthCol)->setText(QStringLiteral("深い"));
  EXPECT_TRUE(s->Problem().contains(QStringLiteral("作土深")));
  env.dialogs.shown.clear();
  QTest::mouseClick(s->ApplyPlan, Qt::LeftButton);
  EXPECT_TRUE(env.dialogs.Texts().join("").contains(QStringLiteral("保存していません")));
  EXPECT_EQ(env.store.SekkeiTable(1), rec);
  s->SourceTable->item(0, SupplyPlanForm::kDepthCol)->setText(QStringLiteral("15"));

  // Deleting the plan through the deletion dialog.
  env.dialogs.onExec = [](QDialog& d) {
    auto* dialog = dynamic_cast<DelFrm_Select*>(&d);
    EXPECT_NE(dialog, nullptr);
    if (!dialog) return int(QDialog::Rejected);
    EXPECT_EQ(dialog->List1->count(), 1);
    dialog->Command1_Click();  // "全て選択"
    dialog->Command2_Click();  // "削除"
    return int(QDialog::Accepted);
  };
  QTest::mouseClick(s->DeletePlans, Qt::LeftButton);
  EXPECT_EQ(env.store.SekkeiCount(), 0);
  EXPECT_EQ(s->PlanList->count(), 0);
  EXPECT_EQ(s->SourceTable->rowCount(), 0);
}

// Other screens delete a set or a series while the plan is open: the plan
// computes from its copies, says when its series is gone and never takes the
// record that moved into its place; a set chosen for adding that was deleted
// is said to be gone.
// Reached by keyboard and by its button: Tab leaves the source table for the
// controls after it, and the screen minimised comes back whole.
TEST_F(SupplyPlanTest, TabLeavesTheSourceTableAndAMinimisedScreenComesBack) {
  SupplyPlanForm* s = Open();
  ASSERT_NE(s, nullptr);
  Fill(s);
  QApplication::setActiveWindow(env.main.get());
  s->SourceTable->setFocus();
  s->SourceTable->setCurrentCell(0, 0);
  ASSERT_TRUE(s->SourceTable->hasFocus());
  QTest::keyClick(s->SourceTable, Qt::Key_Tab);
  EXPECT_FALSE(s->SourceTable->hasFocus());
  EXPECT_NE(QApplication::focusWidget(), nullptr);

  ChildFrame* frame = env.main->FrameOf(Screen::SupplyPlan);
  ASSERT_NE(frame, nullptr);
  const QSize normal = frame->size();
  frame->showMinimized();
  ASSERT_TRUE(frame->isMinimized());
  QTest::mouseClick(env.main->Command7, Qt::LeftButton);
  EXPECT_FALSE(frame->isMinimized());
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(frame->size(), normal);
  EXPECT_GE(frame->y(), 0);
}

TEST_F(SupplyPlanTest, RecordsDeletedElsewhereAreToldNeverReplaced) {
  SupplyPlanForm* s = Open();
  ASSERT_NE(s, nullptr);
  Fill(s);
  QTest::mouseClick(s->ApplyPlan, Qt::LeftButton);
  const SupplyResult before = s->Result();

  // Every set deleted, as the parameter list would: nothing changes.
  Choose(s->SetChoice, QStringLiteral("被覆尿素"));
  while (env.store.ParaCount() > 0) {
    env.store.ParaCurrent = 1;
    DeleteParaRecord(env.store);
  }
  s->Activated();
  ASSERT_TRUE(s->Problem().isEmpty()) << s->Problem().toStdString();
  EXPECT_EQ(s->Result().days.back().amounts, before.days.back().amounts);
  env.dialogs.shown.clear();
  QTest::mouseClick(s->AddSource, Qt::LeftButton);
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_TRUE(env.dialogs.shown[0].text.contains(QStringLiteral("「被覆尿素")));
  EXPECT_TRUE(env.dialogs.shown[0].text.contains(QStringLiteral("削除されています")));
  EXPECT_EQ(s->SourceTable->rowCount(), 3);

  // The normal year deleted: said, until another is chosen; then the
  // observed series itself deleted while a series of the same name moves
  // into its place.
  env.store.TionTable.Append(Series("圃場 2025", {2025, 4, 1}, 91, 30));
  env.store.TionCurrent = 2;
  DeleteTionRecord(env.store);  // the normal year
  s->Activated();
  EXPECT_TRUE(s->Problem().contains(QStringLiteral("「平年値」"))) << s->Problem().toStdString();
  EXPECT_TRUE(s->Result().days.empty());
  Choose(s->NormalSeries, QStringLiteral("（なし）"));
  ASSERT_TRUE(s->Problem().isEmpty()) << s->Problem().toStdString();
  EXPECT_EQ(s->Result().daysWithoutTemperature.size(), 92u);  // July on: no temperature
  env.store.TionCurrent = 1;
  DeleteTionRecord(env.store);
  s->Activated();
  EXPECT_TRUE(s->Problem().contains(QStringLiteral("「圃場 2025」は削除されました")))
      << s->Problem().toStdString();
  EXPECT_TRUE(s->Result().days.empty());
  QTest::mouseClick(s->ApplyPlan, Qt::LeftButton);
  EXPECT_EQ(env.store.SekkeiTable(1).TionNo, 0);
  EXPECT_EQ(env.store.SekkeiTable(1).SiteName, "圃場 2025");
  // Shown again from the list: its series is still not taken from the
  // series of the same name.
  QTest::mouseClick(s->NewPlan, Qt::LeftButton);
  QTest::mouseClick(s->PlanList->viewport(), Qt::LeftButton, {},
                    s->PlanList->visualItemRect(s->PlanList->item(0)).center());
  EXPECT_TRUE(s->Problem().contains(QStringLiteral("「圃場 2025」が見つかりません")))
      << s->Problem().toStdString();
  EXPECT_TRUE(s->ObservedSeries->currentText().contains(QStringLiteral("見つかりません")));
}

TEST_F(SupplyPlanTest, CopyExportPrintAndPicture) {
  SupplyPlanForm* s = Open();
  ASSERT_NE(s, nullptr);
  Fill(s);
  QTest::mouseClick(s->CopyTable, Qt::LeftButton);
  const QStringList lines = QGuiApplication::clipboard()->text().split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 145);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("年/月/日\t地温(℃)\t予測\t1 ")));
  EXPECT_TRUE(lines[144].startsWith(QStringLiteral("2025/09/30\t")));

  QTemporaryDir out;
  const QString xlsx = out.filePath(QStringLiteral("plan.xlsx"));
  env.dialogs.fileNames = {xlsx};
  QTest::mouseClick(s->Export, Qt::LeftButton);
  EXPECT_TRUE(env.dialogs.suggestedPaths.back().endsWith(QStringLiteral("水稲 2025.xlsx")));
  const testing::Json book = testing::ReadXlsx(xlsx.toStdString());
  ASSERT_EQ(book.size(), 2u);
  EXPECT_EQ(book[0]["rows"].size(), 145u);
  EXPECT_EQ(book[1]["name"].text, "供給源");

  // Printed to a printer: the plan's page, then the days.
  env.dialogs.onExec = [](QDialog& d) {
    d.accept();
    return int(QDialog::Accepted);
  };
  QTest::mouseClick(s->Print, Qt::LeftButton);
  ASSERT_EQ(env.printers.jobs.size(), 1u);
  const std::vector<std::string> pages =
      testing::PdfPageTexts(env.printers.jobs[0].file.toStdString());
  ASSERT_GE(pages.size(), 2u);
  EXPECT_NE(pages[0].find("水稲 2025"), std::string::npos);
  EXPECT_NE(pages[0].find("作土深 15 cm"), std::string::npos);
  std::string all;
  for (const std::string& p : pages) all += p;
  EXPECT_NE(all.find("2025/09/30"), std::string::npos);
  EXPECT_NE(all.find(FormatFixed(*s->Result().days.back().total, 2)), std::string::npos);

  const QString png = out.filePath(QStringLiteral("plan.png"));
  env.dialogs.fileNames = {png};
  QTest::mouseClick(s->SavePicture, Qt::LeftButton);
  const QImage image(png);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), s->ChartPanel->width() * 2);
}

// "平年値の作成" on the soil temperature screen: the series of the dialog on
// the screen as a new series, stored only by "⑥ 適用".
TEST_F(SupplyPlanTest, NormalYearButtonGivesANewSeriesStoredOnApply) {
  QTest::mouseClick(env.main->Command4, Qt::LeftButton);  // "地温入力"
  auto* ondo = env.main->Find<Ondo_Form>(Screen::Ondo_Form);
  ASSERT_NE(ondo, nullptr);
  QString summary;
  env.dialogs.onExec = [&summary](QDialog& d) {
    auto* dialog = dynamic_cast<NormalYearDialog*>(&d);
    EXPECT_NE(dialog, nullptr);
    if (!dialog) return int(QDialog::Rejected);
    dialog->SeriesList->selectAll();  // both series: the years overlap in April
    EXPECT_FALSE(dialog->Make->isEnabled());
    summary = dialog->Summary->text();
    dialog->SeriesList->clearSelection();
    dialog->SeriesList->item(0)->setSelected(true);
    dialog->Year->setValue(2026);
    EXPECT_TRUE(dialog->Make->isEnabled());
    EXPECT_EQ(dialog->SeriesName->text(), QStringLiteral("平年値 2026"));
    return int(QDialog::Accepted);
  };
  QTest::mouseClick(ondo->Command11, Qt::LeftButton);
  EXPECT_TRUE(summary.contains(QStringLiteral("2回"))) << summary.toStdString();
  EXPECT_EQ(env.store.TionCount(), 2);  // nothing stored yet
  EXPECT_TRUE(ondo->NewMode());
  EXPECT_EQ(ondo->Text_Titen->text(), QStringLiteral("平年値 2026"));
  ASSERT_EQ(ondo->MSFlexGrid1->Rows(), 366);
  EXPECT_TRUE(ondo->Command3->isVisibleTo(ondo));
  // Made again over the series not applied yet: asked first; a no keeps it.
  ondo->Text_Titen->setText(QStringLiteral("手直し"));
  env.dialogs.shown.clear();
  env.dialogs.answers = {false};
  QTest::mouseClick(ondo->Command11, Qt::LeftButton);
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].text, QStringLiteral("表の内容を平年値で置き換えますか"));
  EXPECT_EQ(ondo->Text_Titen->text(), QStringLiteral("手直し"));
  ondo->Text_Titen->setText(QStringLiteral("平年値 2026"));
  QTest::mouseClick(ondo->Command3, Qt::LeftButton);  // "⑥ 適用"
  ASSERT_EQ(env.store.TionCount(), 3);
  const NormalYear expected = MakeNormalYear({env.store.TionTable(1)}, 2026);
  EXPECT_EQ(env.store.TionTable(3).GridText, expected.gridText);
  EXPECT_EQ(env.store.TionTable(3).SiteName, "平年値 2026");
}

}  // namespace
}  // namespace kelvora
