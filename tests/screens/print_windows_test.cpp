// "データの選択" and "プリンターの選択": the lists, the current printer, the
// reports going out as print jobs or into a PDF file, and what happens when
// the printer fails, the file name is not given or the table changes.
#include <gtest/gtest.h>

#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTest>

#include "pdf_text.h"
#include "print/prifrm_select.h"
#include "print/prionly_select.h"
#include "print/reports.h"
#include "screen_test_env.h"
#include "store/grid_text.h"

namespace kelvora {
namespace {

using test::ScreenEnv;
using testing::Count;
using testing::PdfPages;
using testing::PdfPageSize;
using testing::PdfPageTexts;

ParaRecord Para(const std::string& name) {
  ParaRecord r;
  r.SoilName = name;
  r.ModelNo = 1;
  r.Param = {15500, 0.013f, 8.6f, 2.3f, 0, 0, 0};
  r.StdTemp = 25;
  return r;
}

SuiteiRecord Estimation(const std::string& soil, const std::string& site, int16_t model) {
  SuiteiRecord r;
  r.ModelNo = model;
  r.SoilName = soil;
  r.SiteName = site;
  r.GridText =
      JoinGridText({{"年/月/日", "(mg/100g)"}, {"2025/04/01", "0.12"}, {"2025/04/02", "0.25"}});
  return r;
}

QStringList Entries(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

class PrintWindows : public ::testing::Test {
 protected:
  ScreenEnv env;

  PriFrm_Select* Open(int16_t kind) {
    env.store.PrintKind = kind;
    env.main->ShowPrintSelection();
    return env.main->PrintSelection();
  }
  // Lets the window that closed itself go away.
  static void Settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
  std::filesystem::path Job(size_t i) const { return env.printers.jobs.at(i).file.toStdString(); }
};

TEST_F(PrintWindows, ParameterSetsGoToTheChosenPrinterAsOneDocument) {
  for (int i = 1; i <= 7; ++i) env.store.ParaTable.Append(Para("土壌" + std::to_string(i)));
  env.store.ParaCurrent = 3;
  PriFrm_Select* w = Open(1);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), "データの選択");
  EXPECT_EQ(w->Frame1->title(), "印刷する項目の選択");
  EXPECT_EQ(w->Frame2->title(), "プリンタの選択");
  EXPECT_EQ(w->Label5->text(), "土壌（肥料）名");
  EXPECT_EQ(w->Label3->text() + w->Label4->text(),
            "複数選択の場合、Shift + やCtrl + （マウスの左クリック）で選択して下さい。");
  EXPECT_EQ(w->List1->count(), 7);
  EXPECT_EQ(w->List1->currentRow(), 2);
  EXPECT_EQ(w->List1->selectionMode(), QAbstractItemView::ExtendedSelection);
  // Installed printers in the system's order, then the PDF entry; the
  // system's default is the current printer at start.
  EXPECT_EQ(Entries(w->List2),
            QStringList({"事務所のプリンター", "Canon_LBP", "PDFファイルに保存"}));
  EXPECT_EQ(w->List2->currentRow(), 1);
  for (QWidget* c : std::initializer_list<QWidget*>{w->List1, w->List2, w->Command1, w->Command2,
                                                    w->Command3, w->Command4}) {
    EXPECT_FALSE(c->accessibleName().isEmpty() && c->property("text").toString().isEmpty())
        << c->objectName().toStdString();
  }

  QTest::mouseClick(w->Command1, Qt::LeftButton);  // "全て選択"
  EXPECT_EQ(w->List1->selectedItems().size(), 7);
  w->List2->setCurrentRow(0);
  QTest::mouseClick(w->Command2, Qt::LeftButton);  // "印刷"
  ASSERT_EQ(env.printers.jobs.size(), 1u);
  EXPECT_EQ(env.printers.jobs[0].printer, "事務所のプリンター");
  EXPECT_EQ(PdfPages(Job(0)), 2);
  EXPECT_EQ(PdfPageSize(Job(0)), "842 x 595");
  EXPECT_EQ(Count(PdfPageTexts(Job(0)).at(1), "土壌7"), 1);
  EXPECT_TRUE(env.dialogs.shown.empty());
  Settle();
  EXPECT_EQ(env.main->PrintSelection(), nullptr);  // closed after printing

  // The chosen printer stays the current one for the rest of the run.
  w = Open(1);
  EXPECT_EQ(w->List2->currentRow(), 0);
  // "キャンセル" prints nothing.
  QTest::mouseClick(w->Command3, Qt::LeftButton);
  Settle();
  EXPECT_EQ(env.main->PrintSelection(), nullptr);
  EXPECT_EQ(env.printers.jobs.size(), 1u);
}

TEST_F(PrintWindows, EstimationsAreSeparateDocumentsInListOrder) {
  env.store.SuiteiTable.Append(Estimation("黒ボク土", "つくば", 1));
  env.store.SuiteiTable.Append(Estimation("灰色低地土", "水戸", 2));
  env.store.SuiteiTable.Append(Estimation("被覆尿素", "つくば", 5));
  env.store.SuiteiCurrent = 2;
  PriFrm_Select* w = Open(2);
  EXPECT_EQ(w->Label5->text(), "土壌（肥料）名 × 地温名");
  EXPECT_EQ(Entries(w->List1),
            QStringList({"黒ボク土 × つくば", "灰色低地土 × 水戸", "被覆尿素 × つくば"}));
  EXPECT_EQ(w->List1->currentRow(), 1);
  w->List1->clearSelection();
  w->List1->item(2)->setSelected(true);
  w->List1->item(0)->setSelected(true);
  QTest::mouseClick(w->Command2, Qt::LeftButton);
  ASSERT_EQ(env.printers.jobs.size(), 2u);
  EXPECT_EQ(env.printers.jobs[0].title, "黒ボク土 × つくば");
  EXPECT_EQ(env.printers.jobs[1].title, "被覆尿素 × つくば");
  EXPECT_EQ(PdfPageSize(Job(0)), "595 x 842");
  EXPECT_EQ(Count(PdfPageTexts(Job(0)).at(0), "無機化量"), 1);
  EXPECT_EQ(Count(PdfPageTexts(Job(1)).at(0), "無機化率"), 1);
  EXPECT_EQ(env.store.SuiteiCurrent, 3);  // left on the last one printed

  // No estimation selected: nothing printed, no file asked for.
  w = Open(2);
  w->List1->clearSelection();
  QTest::mouseClick(w->Command2, Qt::LeftButton);
  EXPECT_EQ(env.printers.jobs.size(), 2u);
  EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST_F(PrintWindows, PdfEntryAsksForAFileAndACancelPrintsNothing) {
  env.store.ParaTable.Append(Para("土壌A"));
  PriFrm_Select* w = Open(1);
  w->List1->clearSelection();
  w->List2->setCurrentRow(2);  // "PDFファイルに保存"
  env.dialogs.fileNames = {QString()};
  QTest::mouseClick(w->Command2, Qt::LeftButton);
  EXPECT_TRUE(w->isVisible());  // stays for another choice
  EXPECT_TRUE(env.printers.jobs.empty());
  ASSERT_EQ(env.dialogs.suggestedPaths.size(), 1);
  EXPECT_TRUE(env.dialogs.suggestedPaths[0].endsWith("パラメータ計算結果.pdf"));

  // With a file name: nothing selected still gives the page with the title.
  const QString file = env.tmp.filePath("報告.pdf");
  env.dialogs.fileNames = {file};
  QTest::mouseClick(w->Command2, Qt::LeftButton);
  EXPECT_EQ(PdfPages(file.toStdString()), 1);
  const std::string page = PdfPageTexts(file.toStdString()).at(0);
  EXPECT_EQ(Count(page, "パラメータ計算結果"), 1);
  EXPECT_EQ(Count(page, "土壌A"), 0);
  Settle();
  EXPECT_EQ(env.main->PrintSelection(), nullptr);

  // The PDF entry is now the current printer.
  w = Open(2);
  EXPECT_EQ(w->List2->currentRow(), 2);
}

TEST_F(PrintWindows, PrinterFailureIsToldAndTheWindowStays) {
  env.store.ParaTable.Append(Para("土壌A"));
  env.printers.broken = true;
  PriFrm_Select* w = Open(1);
  QTest::mouseClick(w->Command2, Qt::LeftButton);
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].title, "注意");
  EXPECT_TRUE(env.dialogs.shown[0].text.contains("Canon_LBP"));
  EXPECT_TRUE(w->isVisible());

  // A PDF file that cannot be written names the file.
  env.printers.broken = false;
  w->List2->setCurrentRow(2);
  env.dialogs.fileNames = {env.tmp.filePath("無いフォルダ/a.pdf")};
  QTest::mouseClick(w->Command2, Qt::LeftButton);
  ASSERT_EQ(env.dialogs.shown.size(), 3u);  // message, file question, message
  EXPECT_TRUE(env.dialogs.shown[2].text.contains("a.pdf"));
  EXPECT_TRUE(w->isVisible());
}

TEST_F(PrintWindows, AChangedTableKeepsTheSelectionByRecordAndNeverPrintsAnother) {
  env.store.ParaTable.Append(Para("土壌A"));
  env.store.ParaTable.Append(Para("土壌B"));
  PriFrm_Select* w = Open(1);
  w->List1->clearSelection();
  w->List1->item(1)->setSelected(true);
  env.store.ParaTable.Remove(1);  // another set deleted on the parameter list meanwhile
  QTest::mouseClick(w->Command2, Qt::LeftButton);
  // The selection follows its record: 土壌B is printed, nothing else.
  ASSERT_EQ(env.printers.jobs.size(), 1u);
  EXPECT_TRUE(env.dialogs.shown.empty());
  EXPECT_EQ(Count(PdfPageTexts(Job(0)).at(0), "土壌B"), 1);
  EXPECT_EQ(Count(PdfPageTexts(Job(0)).at(0), "土壌A"), 0);
  Settle();

  // The selected set itself deleted: nothing is printed, the user chooses again.
  w = Open(1);
  w->List1->clearSelection();
  w->List1->item(0)->setSelected(true);
  env.store.ParaTable.Append(Para("土壌C"));
  env.store.ParaTable.Remove(1);
  QTest::mouseClick(w->Command2, Qt::LeftButton);
  EXPECT_EQ(env.printers.jobs.size(), 1u);
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_TRUE(env.dialogs.shown[0].text.contains("選び直して"));
  EXPECT_EQ(Entries(w->List1), QStringList({"土壌C"}));

  // Another print kind lists nothing and prints nothing.
  w = Open(0);
  EXPECT_EQ(w->List1->count(), 0);
  QTest::mouseClick(w->Command2, Qt::LeftButton);
  EXPECT_EQ(env.printers.jobs.size(), 1u);
}

TEST_F(PrintWindows, PreviewShowsThePagesAndPrintsNothing) {
  for (int i = 1; i <= 7; ++i) env.store.ParaTable.Append(Para("土壌" + std::to_string(i)));
  env.store.SuiteiTable.Append(Estimation("黒ボク土", "つくば", 1));
  env.store.SuiteiTable.Append(Estimation("被覆尿素", "水戸", 4));
  env.store.SuiteiCurrent = 1;
  int pages = -1;
  QPageLayout::Orientation orientation = QPageLayout::Portrait;
  env.dialogs.onExec = [&](QDialog& d) {
    auto* preview = qobject_cast<QPrintPreviewDialog*>(&d);
    EXPECT_NE(preview, nullptr);
    if (!preview) return int(QDialog::Rejected);
    EXPECT_EQ(preview->windowTitle(), "印刷プレビュー");
    auto* widget = preview->findChild<QPrintPreviewWidget*>();
    EXPECT_NE(widget, nullptr);
    if (!widget) return int(QDialog::Rejected);
    widget->updatePreview();
    pages = widget->pageCount();
    orientation = preview->printer()->pageLayout().orientation();
    return int(QDialog::Rejected);
  };
  PriFrm_Select* w = Open(1);
  w->Command1->click();
  w->Command4->click();  // "印刷プレビュー"
  EXPECT_EQ(pages, 2);
  EXPECT_EQ(orientation, QPageLayout::Landscape);
  EXPECT_TRUE(w->isVisible());

  w = Open(2);
  w->Command1->click();
  w->Command4->click();
  EXPECT_EQ(pages, 2);  // one page for each estimation
  EXPECT_EQ(orientation, QPageLayout::Portrait);
  EXPECT_EQ(env.store.SuiteiCurrent, 1);  // only printing moves it
  EXPECT_TRUE(env.printers.jobs.empty());
}

TEST_F(PrintWindows, PrinterOnlyWindowChoosesTheCurrentPrinter) {
  PrintState& state = env.main->Printing();
  {
    PriOnly_Select w(state);
    EXPECT_EQ(w.windowTitle(), "プリンターの選択");
    EXPECT_EQ(w.Label1->text(), "プリンターを選択して下さい");
    EXPECT_EQ(w.Command1->text(), "印刷");
    EXPECT_EQ(w.List2->currentRow(), 1);
    w.List2->setCurrentRow(0);
    w.reject();  // closed another way: the current printer stays
  }
  EXPECT_EQ(state.Current().name, "Canon_LBP");
  {
    PriOnly_Select w(state);
    w.List2->setCurrentRow(0);
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    EXPECT_EQ(w.result(), QDialog::Accepted);
  }
  EXPECT_EQ(state.Current().name, "事務所のプリンター");

  // The current entry: the last of several equal names, the first when none matches.
  const std::vector<PrinterEntry> entries{{"A", false}, {"B", false}, {"A", false}, {"", true}};
  EXPECT_EQ(PrintState::CurrentIndex(entries, {"A", false}), 2);
  EXPECT_EQ(PrintState::CurrentIndex(entries, {"", true}), 3);
  EXPECT_EQ(PrintState::CurrentIndex(entries, {"C", false}), 0);

  // No printer installed: the PDF entry alone, selected.
  env.printers.names.clear();
  env.printers.defaultName.clear();
  PrintState none(env.printers);
  PriOnly_Select w(none);
  EXPECT_EQ(Entries(w.List2), QStringList({"PDFファイルに保存"}));
  EXPECT_EQ(w.List2->currentRow(), 0);
}

TEST(SystemPrinters, APrinterThatIsNotThereIsNotReplacedByTheDefault) {
  // Qt would send the job to the default printer; the user is told instead.
  SystemPrinters system;
  const QString gone = QStringLiteral("取り外されたプリンター");
  ASSERT_FALSE(system.PrinterNames().contains(gone));
  std::unique_ptr<DocumentSink> sink = system.OpenPrinter(gone);
  EXPECT_FALSE(PrintParameterReport(*sink, {Para("土壌A")}));
  EXPECT_FALSE(sink->Finish());
  EXPECT_TRUE(sink->Error().contains(gone)) << sink->Error().toStdString();
  EXPECT_TRUE(sink->Error().contains(QStringLiteral("見つかりません")));
}

}  // namespace
}  // namespace kelvora
