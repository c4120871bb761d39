// The soil-temperature series screen inside the main window, driven with
// clicks and keys: the date range and its messages, typed and pasted
// temperatures, new series that are never stored, paging, deletion and the
// estimation button.
#include "screens/ondo_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "screen_test_env.h"
#include "screens/temperature_file_dialog.h"
#include "store/cp932.h"
#include "store/data_files.h"
#include "store/grid_text.h"

namespace kelvora {
namespace {

using test::ClickCell;
using test::Key;
using test::ScreenEnv;
using test::Type;

TionRecord MakeSeries(const std::string& name, const std::vector<std::string>& temps,
                      const std::string& firstDate = "2004/04/") {
  std::vector<std::vector<std::string>> rows{{"年/月/日", "地温(℃)"}};
  for (size_t i = 0; i < temps.size(); ++i) {
    std::string day = std::to_string(i + 1);
    if (day.size() < 2) day = "0" + day;
    rows.push_back({firstDate + day, temps[i]});
  }
  return TionRecord{name, JoinGridText(rows)};
}

class OndoTest : public testing::Test {
 protected:
  void Open(std::initializer_list<TionRecord> records) {
    for (const TionRecord& r : records) env.store.TionTable.Append(r);
    env.Show();
    QTest::mouseClick(env.main->Command4, Qt::LeftButton);  // "地温入力"
    screen = env.main->Find<Ondo_Form>(Screen::Ondo_Form);
    ASSERT_NE(screen, nullptr);
    g = screen->MSFlexGrid1;
  }
  bool Shown(QWidget* w) const { return w->isVisibleTo(screen); }
  void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
  void SetCombo(QComboBox* c, const QString& text) {
    c->lineEdit()->clear();
    c->lineEdit()->setFocus();
    Type(text);
  }
  void Dates(const QString& y1, const QString& m1, const QString& d1, const QString& y2,
             const QString& m2, const QString& d2) {
    SetCombo(screen->Combo1, y1);
    SetCombo(screen->Combo2, m1);
    SetCombo(screen->Combo3, d1);
    SetCombo(screen->Combo4, y2);
    SetCombo(screen->Combo5, m2);
    SetCombo(screen->Combo6, d2);
  }
  void Confirm(const QString& y1, const QString& m1, const QString& d1, const QString& y2,
               const QString& m2, const QString& d2) {
    Dates(y1, m1, d1, y2, m2, d2);
    Click(screen->Text2);  // "③　確定"
  }
  QString Column(int col) const {
    QStringList cells;
    for (int r = 0; r < g->Rows(); ++r) cells << g->TextMatrix(r, col);
    return cells.join(QLatin1Char('|'));
  }

  ScreenEnv env;
  Ondo_Form* screen = nullptr;
  FlexGrid* g = nullptr;
};

TEST_F(OndoTest, OpensOnAnUntouchedNewSeriesThatIsNeverStored) {
  Open({MakeSeries("札幌", {"10", "11"}), MakeSeries("盛岡", {"9"})});
  EXPECT_EQ(screen->windowTitle(), "地温入力");
  EXPECT_TRUE(screen->NewMode());
  EXPECT_EQ(env.store.TionCurrent, 3);
  EXPECT_EQ(screen->List1->count(), 2);
  EXPECT_TRUE(screen->List1->selectedItems().isEmpty());
  EXPECT_EQ(g->Rows(), 100);
  EXPECT_EQ(g->TextMatrix(0, 0), "年/月/日");
  EXPECT_EQ(g->TextMatrix(0, 1), "地温(℃)");
  EXPECT_EQ(g->Row(), 1);
  EXPECT_EQ(g->Col(), 1);
  const QDate today = QDate::currentDate();
  EXPECT_EQ(screen->Combo1->currentText().toInt(), today.year());
  EXPECT_EQ(screen->Combo5->currentText().toInt(), today.month());
  EXPECT_EQ(screen->Combo6->currentText().toInt(), today.day());
  EXPECT_EQ(screen->Combo1->count(), 131);
  EXPECT_EQ(screen->Combo1->itemText(0), "1970");
  EXPECT_EQ(screen->Combo3->itemText(30), "31");
  // New-input mode: "キャンセル" and "③　確定"; "⑥ 適用" waits for the dates.
  EXPECT_TRUE(Shown(screen->Command4) && Shown(screen->Command9) && Shown(screen->Text2) &&
              Shown(screen->Command6));
  EXPECT_FALSE(Shown(screen->Command3) || Shown(screen->Text1) || Shown(screen->Command1) ||
               Shown(screen->Command7) || Shown(screen->Text3) || Shown(screen->Command5) ||
               Shown(screen->Command8));
  // A name alone does not make a series.
  screen->Text_Titen->setText(QStringLiteral("名前だけ"));
  EXPECT_TRUE(env.main->CloseChildScreen(Screen::Ondo_Form));
  EXPECT_EQ(env.store.TionCount(), 2);
  EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST_F(OndoTest, DatesCarryOverAndWrongRangesLeaveTheGridAlone) {
  Open({});
  Confirm("2004", "4", "1", "2004", "4", "30");
  EXPECT_EQ(g->Rows(), 31);
  EXPECT_EQ(g->TextMatrix(1, 0), "2004/04/01");
  EXPECT_EQ(g->TextMatrix(30, 0), "2004/04/30");
  EXPECT_TRUE(Shown(screen->Command3) && Shown(screen->Text1));  // "⑥ 適用" now
  EXPECT_TRUE(Shown(screen->Command4));

  // April 31 is May 1; February 30 of a common year is March 2; month 13 is
  // January of the next year.
  Confirm("2004", "4", "31", "2004", "5", "3");
  EXPECT_EQ(Column(0), "年/月/日|2004/05/01|2004/05/02|2004/05/03");
  Confirm("2003", "2", "30", "2003", "3", "2");
  EXPECT_EQ(Column(0), "年/月/日|2003/03/02");
  Confirm("2004", "12", "31", "2004", "13", "1");
  EXPECT_EQ(Column(0), "年/月/日|2004/12/31|2005/01/01");
  ASSERT_TRUE(env.dialogs.shown.empty());

  const QString before = Column(0);
  Confirm("2004", "5", "2", "2004", "5", "1");
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].title, "注意");
  EXPECT_EQ(env.dialogs.shown[0].text,
            "最初の日と最後の日の前後関係が正しくありません。\r\n正しく設定して下さい。");
  EXPECT_EQ(Column(0), before);

  // Texts that build no date: reported before the order.
  for (const char* bad : {"abc", "4.5", "0", ""}) {
    env.dialogs.shown.clear();
    Confirm("2004", "5", "2", "2004", QString::fromUtf8(bad), "1");
    ASSERT_EQ(env.dialogs.shown.size(), 1u) << bad;
    EXPECT_EQ(env.dialogs.shown[0].title, "注意");
    EXPECT_EQ(env.dialogs.shown[0].text, "日付を正しく入力して下さい");
    EXPECT_EQ(Column(0), before);
  }
  env.dialogs.shown.clear();
  Confirm("1899", "12", "31", "1900", "1", "1");
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].text, "日付を正しく入力して下さい");

  // The row count stays a 16-bit count: 32766 days at most.
  env.dialogs.shown.clear();
  Confirm("1970", "1", "1", "2059", "9", "17");  // 32767 days
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_TRUE(env.dialogs.shown[0].text.contains("32766"))
      << env.dialogs.shown[0].text.toStdString();
  EXPECT_EQ(Column(0), before);
  env.dialogs.shown.clear();
  Confirm("1970", "1", "1", "2059", "9", "16");
  EXPECT_TRUE(env.dialogs.shown.empty());
  EXPECT_EQ(g->Rows(), 32767);
  EXPECT_EQ(g->TextMatrix(32766, 0), "2059/09/16");

  // Start equal to end: one day.
  Confirm("2004", "6", "15", "2004", "6", "15");
  EXPECT_EQ(Column(0), "年/月/日|2004/06/15");
}

TEST_F(OndoTest, AShorterRangeKeepsTypedTemperaturesAndApplyCleansThem) {
  Open({});
  Confirm("2004", "4", "1", "2004", "4", "10");
  ClickCell(g, 1, 1);
  Type("12.50");
  Key(Qt::Key_Return);
  Type("abc");
  Key(Qt::Key_Return);
  Type("13");
  Key(Qt::Key_Return);
  ClickCell(g, 8, 1);
  Type("20");
  Key(Qt::Key_Return);
  ClickCell(g, 3, 1);
  Type("14");  // left in the editor
  Confirm("2004", "3", "31", "2004", "4", "3");
  EXPECT_EQ(Column(0), "年/月/日|2004/03/31|2004/04/01|2004/04/02|2004/04/03");
  EXPECT_EQ(Column(1), "地温(℃)|12.50|abc|14|");

  screen->Text_Titen->setFocus();
  Click(screen->Text1);  // "⑥ 適用", name left empty
  ASSERT_EQ(env.store.TionCount(), 1);
  const TionRecord& r = env.store.TionTable(1);
  EXPECT_EQ(r.SiteName, "新規温度");
  EXPECT_EQ(r.GridText,
            "年/月/日\t地温(℃)\r2004/03/31\t12.5\r2004/04/01\t\r2004/04/02\t14\r2004/04/03\t");
  EXPECT_FALSE(screen->NewMode());
  EXPECT_EQ(screen->List1->currentRow(), 0);
  EXPECT_FALSE(Shown(screen->Command3) || Shown(screen->Command4));
  EXPECT_TRUE(Shown(screen->Command1) && Shown(screen->Command7) && Shown(screen->Command5) &&
              Shown(screen->Command8) && Shown(screen->Command9));

  // Re-dating a stored series in record mode: stored by the next apply.
  Confirm("2005", "1", "1", "2005", "1", "2");
  EXPECT_FALSE(Shown(screen->Command3));
  Click(screen->Text3);  // "新規入力"
  EXPECT_EQ(env.store.TionTable(1).GridText, "年/月/日\t地温(℃)\r2005/01/01\t12.5\r2005/01/02\t");
  EXPECT_TRUE(screen->NewMode());
  EXPECT_EQ(g->Rows(), 100);
  EXPECT_EQ(env.store.TionCurrent, 2);
  // "キャンセル" goes back to the last stored series, storing nothing.
  Click(screen->Command4);
  EXPECT_EQ(env.store.TionCount(), 1);
  EXPECT_EQ(env.store.TionCurrent, 1);
  EXPECT_EQ(g->Rows(), 3);
  EXPECT_EQ(screen->Text_Titen->text(), "新規温度");
}

TEST_F(OndoTest, PastingAYearOfTemperatures) {
  Open({});
  Confirm("2003", "1", "1", "2003", "12", "31");
  ASSERT_EQ(g->Rows(), 366);
  QStringList lines;
  for (int i = 0; i < 365; ++i) lines << QString::fromStdString(std::to_string(i % 30) + ".5");
  test::SetClipboard(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
  ClickCell(g, 1, 1);
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_TRUE(env.dialogs.shown.empty());
  EXPECT_EQ(g->TextMatrix(365, 1), "4.5");
  screen->Text_Titen->setText(QStringLiteral("つくば"));
  Click(screen->Text1);
  ASSERT_EQ(env.store.TionCount(), 1);
  const GridTable t = GridFromText(env.store.TionTable(1).GridText, 0, 2);
  ASSERT_EQ(t.Rows(), 366);
  EXPECT_EQ(t.Cell(365, 0), "2003/12/31");
  EXPECT_EQ(t.Cell(365, 1), "4.5");
  EXPECT_EQ(t.Cell(31, 1), "0.5");
  EXPECT_EQ(env.store.TionTable(1).SiteName, "つくば");

  // One row more than the grid holds does not fit.
  test::SetClipboard(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n1"));
  ClickCell(g, 1, 1);
  Key(Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].text, "貼り付け先が範囲外です");
}

TEST_F(OndoTest, ListKeysAndClicksPageThroughTheSeries) {
  Open({MakeSeries("A", {"1"}), MakeSeries("B", {"2", "3"}), MakeSeries("C", {"4", "5", "6"})});
  QListWidget* list = screen->List1;
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(2)).center());
  EXPECT_EQ(env.store.TionCurrent, 3);
  EXPECT_EQ(screen->Text_Titen->text(), "C");
  EXPECT_EQ(g->Rows(), 4);
  EXPECT_EQ(g->TextMatrix(3, 1), "6");
  EXPECT_EQ(env.store.TionCount(), 3);  // the untouched new series was not stored

  list->setFocus();
  Key(Qt::Key_Down);  // on the last series: nothing
  EXPECT_EQ(env.store.TionCurrent, 3);
  Key(Qt::Key_Up);
  EXPECT_EQ(screen->Text_Titen->text(), "B");
  EXPECT_EQ(g->Rows(), 3);
  EXPECT_EQ(list->currentRow(), 1);
  // Edits go with the move.
  screen->Text_Titen->setText(QStringLiteral("B2"));
  list->setFocus();
  Key(Qt::Key_Up);
  Key(Qt::Key_Up);  // on the first series: nothing
  EXPECT_EQ(env.store.TionCurrent, 1);
  EXPECT_EQ(screen->Text_Titen->text(), "A");
  EXPECT_EQ(g->Rows(), 2);
  EXPECT_EQ(env.store.TionTable(2).SiteName, "B2");
  EXPECT_EQ(list->item(1)->text(), "B2");
  EXPECT_EQ(env.store.TionCount(), 3);
}

TEST_F(OndoTest, DeletionGoesThroughTheDialogAndKeepsPendingEdits) {
  Open({});
  Click(screen->Command4);  // empty table: stays new
  EXPECT_TRUE(screen->NewMode());
  screen->Command8->click();  // hidden in new mode, but says why if pressed
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].text, "削除するデータがありません");
  env.main->CloseChildScreen(Screen::Ondo_Form);

  env.store.TionTable.Append(MakeSeries("A", {"1"}));
  env.store.TionTable.Append(MakeSeries("B", {"2"}));
  QTest::mouseClick(env.main->Command4, Qt::LeftButton);
  screen = env.main->Find<Ondo_Form>(Screen::Ondo_Form);
  ASSERT_NE(screen, nullptr);
  QListWidget* list = screen->List1;
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(1)).center());
  screen->Text_Titen->setText(QStringLiteral("書きかけ"));
  int runs = 0;
  env.main->SetDeletionDialog([&](QWidget*) {
    ++runs;
    EXPECT_TRUE(screen->Deleting);
    EXPECT_EQ(env.store.DeleteKind, 6);
    EXPECT_EQ(env.store.TionTable(2).SiteName, "B");  // not applied first
    env.store.TionTable.Remove(1);
    env.store.TionCurrent = 1;
  });
  Click(screen->Command8);
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(screen->Deleting);
  ASSERT_EQ(env.store.TionCount(), 1);
  EXPECT_EQ(screen->Text_Titen->text(), "書きかけ");  // kept: its series stays
  EXPECT_EQ(screen->List1->count(), 1);

  // The last one gone: a new, empty series.
  env.main->SetDeletionDialog([&](QWidget*) { env.store.TionTable.Clear(); });
  Click(screen->Command8);
  EXPECT_EQ(env.store.TionCount(), 0);
  EXPECT_EQ(env.store.TionCurrent, 1);
  EXPECT_TRUE(screen->NewMode());
  EXPECT_EQ(g->Rows(), 100);
  EXPECT_EQ(screen->List1->count(), 0);
  EXPECT_EQ(screen->Text_Titen->text(), "");
}

TEST_F(OndoTest, EstimationButtonStoresTheSeriesFirstAndSaveWritesTheFile) {
  Open({MakeSeries("A", {"1"})});
  Confirm("2004", "4", "1", "2004", "4", "2");
  ClickCell(g, 2, 1);
  Type("7.25");
  screen->Text_Titen->setText(QStringLiteral("新しい地点"));
  Click(screen->Text1);
  ASSERT_EQ(env.store.TionCount(), 2);
  Click(screen->Command1);  // "ファイル保存"
  EXPECT_TRUE(env.dialogs.shown.empty());
  hensuu reread;
  EXPECT_TRUE(LoadDataFiles(reread, env.DataDir()).empty());
  ASSERT_EQ(reread.TionCount(), 2);
  EXPECT_EQ(reread.TionTable(2), env.store.TionTable(2));

  ClickCell(g, 1, 1);
  Type("3");
  Click(screen->Command5);  // "窒素無機化推定"
  EXPECT_EQ(env.store.TionTable(2).GridText, "年/月/日\t地温(℃)\r2004/04/01\t3\r2004/04/02\t7.25");
  EXPECT_NE(env.main->FindScreen(Screen::Suitei_Form), nullptr);
}

TEST_F(OndoTest, FileButtonFillsANewSeriesThatApplyStoresLikeAPaste) {
  Open({});
  QTemporaryDir dir;
  // A logger export in code page 932 with five heading lines, a day missing
  // (29 February) and a day without a reading.
  const std::string text =
      "地点,つくば\r\n深さ,10cm\r\n開始,2024/2/27\r\n\r\n日付,地温(℃)\r\n"
      "2024/2/27,12.5\r\n2024/2/28,１３\r\n2024/3/1,1e1\r\n2024/3/2,\r\n";
  env.dialogs.openNames.push_back(
      test::WriteFile(dir, QStringLiteral("つくば圃場.csv"), EncodeCp932(text).value()));
  int previews = 0;
  env.dialogs.onExec = [&](QDialog& d) {
    ++previews;
    auto* preview = qobject_cast<TemperatureFileDialog*>(&d);
    EXPECT_NE(preview, nullptr);
    if (preview == nullptr) return int(QDialog::Rejected);
    EXPECT_EQ(preview->windowTitle(), "地温ファイルの読込");
    EXPECT_EQ(preview->SkipBox->value(), 5);
    EXPECT_EQ(preview->DateColumn->currentText(), "1列目");
    EXPECT_EQ(preview->Columns().temperatureColumn, 1);  // "2列目"
    EXPECT_TRUE(preview->OkButton->isEnabled());
    EXPECT_TRUE(preview->Status->text().contains("2024/02/27～2024/03/02（5日）"))
        << preview->Status->text().toStdString();
    EXPECT_TRUE(preview->Status->text().contains("ファイルにない日: 1日"));
    EXPECT_TRUE(preview->FileLabel->text().contains("シフトJIS"));
    return int(QDialog::Accepted);
  };
  Click(screen->Command10);  // "ファイルから読込"
  EXPECT_EQ(previews, 1);
  ASSERT_EQ(env.dialogs.shown.size(), 2u);  // the file question, then the days without a reading
  EXPECT_EQ(env.dialogs.shown[0].kind, "open");
  const QString days = env.dialogs.shown[1].text;
  EXPECT_TRUE(days.contains("ファイルにない日があります")) << days.toStdString();
  EXPECT_TRUE(days.contains("2024/02/29"));
  EXPECT_TRUE(days.contains("数値でない日"));
  EXPECT_TRUE(days.contains("2024/03/02"));

  // On the screen, not stored: the range in the date boxes, the name from the
  // file, the apply button offered.
  EXPECT_EQ(env.store.TionCount(), 0);
  EXPECT_TRUE(screen->NewMode());
  EXPECT_TRUE(Shown(screen->Command3));
  EXPECT_EQ(screen->Text_Titen->text(), "つくば圃場");
  EXPECT_EQ(
      screen->Combo1->currentText() + screen->Combo2->currentText() + screen->Combo3->currentText(),
      "2024227");
  EXPECT_EQ(
      screen->Combo4->currentText() + screen->Combo5->currentText() + screen->Combo6->currentText(),
      "202432");
  EXPECT_EQ(Column(0), "年/月/日|2024/02/27|2024/02/28|2024/02/29|2024/03/01|2024/03/02");
  EXPECT_EQ(Column(1), "地温(℃)|12.5|13||10|");
  Click(screen->Text1);  // "⑥ 適用"
  ASSERT_EQ(env.store.TionCount(), 1);

  // The same days confirmed and pasted by hand give the same record.
  Click(screen->Text3);  // "新規入力"
  Confirm("2024", "2", "27", "2024", "3", "2");
  test::SetClipboard(QStringLiteral("12.5\r\n１３\r\n\r\n1e1\r\n\r\n"));
  ClickCell(g, 1, 1);
  Key(Qt::Key_V, Qt::ControlModifier);
  screen->Text_Titen->setText(QStringLiteral("つくば圃場"));
  Click(screen->Text1);
  ASSERT_EQ(env.store.TionCount(), 2);
  EXPECT_EQ(env.store.TionTable(1).GridText, env.store.TionTable(2).GridText);
  EXPECT_EQ(env.store.TionTable(1).SiteName, env.store.TionTable(2).SiteName);
}

TEST_F(OndoTest, FileButtonTakesThePreviewChoiceAndRefusesBadFiles) {
  Open({MakeSeries("札幌", {"10", "11"})});
  QListWidget* list = screen->List1;
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(0)).center());
  ASSERT_FALSE(screen->NewMode());
  QTemporaryDir dir;

  // Cancelling the file question or the preview changes nothing.
  env.dialogs.openNames.push_back(QString());
  Click(screen->Command10);
  env.dialogs.openNames.push_back(
      test::WriteFile(dir, QStringLiteral("two.txt"), "date\tmax\tmean\n2024-05-01\t20\t15.5\n"));
  env.dialogs.onExec = [](QDialog&) { return int(QDialog::Rejected); };
  Click(screen->Command10);
  EXPECT_FALSE(screen->NewMode());
  EXPECT_EQ(Column(1), "地温(℃)|10|11");

  // A date out of order: the preview says where, and the screen refuses it
  // even when the dialog is accepted.
  const QString unordered = test::WriteFile(dir, QStringLiteral("unordered.csv"),
                                            "日付,地温\n2024/5/1,1\n2024/5/3,2\n2024/5/2,3\n");
  env.dialogs.openNames.push_back(unordered);
  env.dialogs.onExec = [](QDialog& d) {
    auto& preview = static_cast<TemperatureFileDialog&>(d);
    EXPECT_FALSE(preview.OkButton->isEnabled());
    EXPECT_TRUE(preview.Status->text().contains("4行目")) << preview.Status->text().toStdString();
    return int(QDialog::Accepted);
  };
  env.dialogs.shown.clear();
  Click(screen->Command10);
  ASSERT_EQ(env.dialogs.shown.size(), 2u);
  EXPECT_TRUE(env.dialogs.shown[1].text.contains("4行目の日付 2024/05/02 が前の行の日付より前"))
      << env.dialogs.shown[1].text.toStdString();
  EXPECT_FALSE(screen->NewMode());
  EXPECT_EQ(Column(1), "地温(℃)|10|11");

  // Bytes that are neither UTF-8 nor code page 932.
  env.dialogs.openNames.push_back(
      test::WriteFile(dir, QStringLiteral("binary.csv"), "\xFF\xFE\xFF"));
  env.dialogs.shown.clear();
  Click(screen->Command10);
  ASSERT_EQ(env.dialogs.shown.size(), 2u);
  EXPECT_TRUE(env.dialogs.shown[1].text.contains("文字コード"));

  // Another column than the guess: the shown series (with an edit) is applied
  // first, as "新規入力" does, and the new one takes the chosen column.
  screen->Text_Titen->setText(QStringLiteral("札幌2"));
  env.dialogs.openNames.push_back(dir.filePath(QStringLiteral("two.txt")));
  env.dialogs.onExec = [](QDialog& d) {
    auto& preview = static_cast<TemperatureFileDialog&>(d);
    EXPECT_EQ(preview.Columns().temperatureColumn, 1);  // the first number
    preview.SetTemperatureColumn(1, false);
    preview.SetTemperatureColumn(2, true);
    EXPECT_TRUE(preview.Status->text().contains("（1日）"));
    return int(QDialog::Accepted);
  };
  env.dialogs.shown.clear();
  Click(screen->Command10);
  EXPECT_EQ(env.dialogs.shown.size(), 1u);  // no day without a reading
  EXPECT_EQ(env.store.TionTable(1).SiteName, "札幌2");
  EXPECT_TRUE(screen->NewMode());
  EXPECT_EQ(Column(0), "年/月/日|2024/05/01");
  EXPECT_EQ(Column(1), "地温(℃)|15.5");
  EXPECT_EQ(screen->Text_Titen->text(), "two");
  // "キャンセル" drops it like any new series.
  Click(screen->Command4);
  EXPECT_EQ(env.store.TionCount(), 1);
  EXPECT_EQ(screen->Text_Titen->text(), "札幌2");
}

}  // namespace
}  // namespace kelvora
