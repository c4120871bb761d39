// Logger files through "ファイルから読込" on the soil-temperature screen: the
// preview's figures and first days, several channels added by one 適用, the
// same records as kelvora-cli import-temperatures writes, the reading stopped
// with 中止, and a preview that neither cuts its headings nor copies a huge
// cell.
#include "screens/temperature_file_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStringEncoder>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "screen_test_env.h"
#include "screens/ondo_form.h"
#include "screens/temperature_file_loader.h"
#include "store/data_files.h"
#include "store/grid_text.h"

namespace kelvora {
namespace {

using test::ScreenEnv;

// Readings every 10 minutes from 31 May 23:50 for three days and a bit, two
// channels, as a spreadsheet saves "Unicode テキスト" (UTF-16 LE, TABs).
std::string TenMinuteLogger() {
  QString text = QStringLiteral("日時\tCH1\tCH2\r\n");
  QDateTime t(QDate(2025, 5, 31), QTime(23, 50));
  for (int i = 0; i < 144 * 3 + 10; ++i, t = t.addSecs(600)) {
    text += t.toString(QStringLiteral("yyyy/MM/dd HH:mm")) +
            QStringLiteral("\t%1\t%2\r\n")
                .arg(10 + (i % 50) * 0.1, 0, 'f', 1)
                .arg(i % 61 == 3 ? QStringLiteral("Err") : QString::number(20 - (i % 30) * 0.05));
  }
  QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
  const QByteArray bytes = utf16.encode(text);
  return bytes.toStdString();
}

class TemperatureFileTest : public testing::Test {
 protected:
  void Open() {
    env.store.TionTable.Append(TionRecord{"札幌", "年/月/日\t地温(℃)\r2025/05/01\t9.5"});
    env.Show();
    QTest::mouseClick(env.main->Command4, Qt::LeftButton);  // "地温入力"
    screen = env.main->Find<Ondo_Form>(Screen::Ondo_Form);
    ASSERT_NE(screen, nullptr);
  }
  // The same file added by the command line to a folder holding what the
  // screen's table held first: the records it appends.
  std::vector<TionRecord> CliRecords(const QString& path, const std::vector<std::string>& options) {
    QTemporaryDir folder;
    hensuu before;
    before.TionTable.Append(env.store.TionTable(1));
    EXPECT_TRUE(SaveDataFiles(before, folder.path().toStdString()).empty());
    std::vector<std::string> args{"import-temperatures", path.toStdString(),
                                  folder.path().toStdString()};
    args.insert(args.end(), options.begin(), options.end());
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(args, out, err), 0) << err.str();
    hensuu after;
    EXPECT_TRUE(ReadDataFiles(after, folder.path().toStdString()).empty());
    std::vector<TionRecord> added;
    for (int i = 2; i <= after.TionCount(); ++i)
      added.push_back(after.TionTable(static_cast<int16_t>(i)));
    return added;
  }

  ScreenEnv env;
  Ondo_Form* screen = nullptr;
};

TEST_F(TemperatureFileTest, TwoChannelsAreAddedByOneApplyAsTheCommandLineAddsThem) {
  Open();
  QTemporaryDir dir;
  const QString path = test::WriteFile(dir, QStringLiteral("ロガー.txt"), TenMinuteLogger());
  env.dialogs.openNames.push_back(path);
  env.dialogs.onExec = [&](QDialog& d) {
    auto* p = qobject_cast<TemperatureFileDialog*>(&d);
    EXPECT_NE(p, nullptr);
    if (p == nullptr) return int(QDialog::Rejected);
    EXPECT_TRUE(p->FileLabel->text().contains("UTF-16 LE、タブ区切り"))
        << p->FileLabel->text().toStdString();
    EXPECT_EQ(p->SkipBox->value(), 1);
    EXPECT_EQ(p->TimeColumn->currentText(), "なし");  // the time is in the date column
    const QString status = p->Status->text();
    EXPECT_TRUE(status.contains("2025/05/31～2025/06/04（5日）")) << status.toStdString();
    EXPECT_TRUE(status.contains("1日144回の読取（10分ごと）")) << status.toStdString();
    EXPECT_TRUE(status.contains("不完全な日: 2日（空欄）")) << status.toStdString();
    // The first days of the series: 31 May (one reading) empty.
    EXPECT_EQ(p->SeriesPreview->rowCount(), 5);
    EXPECT_EQ(p->SeriesPreview->item(0, 0)->text(), "2025/05/31");
    EXPECT_EQ(p->SeriesPreview->item(0, 1)->text(), "");
    EXPECT_FALSE(p->SeriesPreview->item(1, 1)->text().isEmpty());
    EXPECT_EQ(p->OkButton->text(), "読込");
    // The second channel too, renamed; keeping incomplete days fills 31 May.
    p->SetTemperatureColumn(2, true);
    EXPECT_EQ(p->OkButton->text(), "適用");
    EXPECT_EQ(p->Names(), (std::vector<std::string>{"ロガー CH1", "ロガー CH2"}));
    p->Channels->item(2, TemperatureFileDialog::kChannelName)->setText(QStringLiteral("深さ10cm"));
    EXPECT_EQ(p->Channels->item(2, TemperatureFileDialog::kChannelFailed)->text(), "8件");
    EXPECT_EQ(p->Channels->item(1, TemperatureFileDialog::kChannelPerDay)->text(), "144");
    p->KeepIncomplete->setChecked(true);
    EXPECT_EQ(p->SeriesPreview->item(0, 1)->text(), "10");
    EXPECT_EQ(p->Names(), (std::vector<std::string>{"ロガー CH1", "深さ10cm"}));
    return int(QDialog::Accepted);
  };
  QTest::mouseClick(screen->Command10, Qt::LeftButton);  // "ファイルから読込"
  ASSERT_EQ(env.store.TionCount(), 3);
  EXPECT_EQ(env.store.TionTable(2).SiteName, "ロガー CH1");
  EXPECT_EQ(env.store.TionTable(3).SiteName, "深さ10cm");
  EXPECT_EQ(screen->List1->count(), 3);
  EXPECT_FALSE(screen->NewMode());
  EXPECT_EQ(screen->Text_Titen->text(), "ロガー CH1");
  ASSERT_FALSE(env.dialogs.shown.empty());
  EXPECT_TRUE(env.dialogs.shown.back().text.contains("2つの系列を追加しました"));

  const std::vector<TionRecord> cli =
      CliRecords(path, {"--temperature-column", "2,3", "--keep-incomplete"});
  ASSERT_EQ(cli.size(), 2u);
  EXPECT_EQ(cli[0], env.store.TionTable(2));
  EXPECT_EQ(cli[1].SiteName, "ロガー CH2");
  EXPECT_EQ(cli[1].GridText, env.store.TionTable(3).GridText);
}

TEST_F(TemperatureFileTest, OneChannelWithATimeColumnGoesOntoTheScreenAndApplyStoresIt) {
  Open();
  QTemporaryDir dir;
  // Every 6 hours, date and time in two columns; 2 June has two readings.
  const QString path =
      test::WriteFile(dir, QStringLiteral("six.csv"),
                      "日付,時刻,地温\n2025/6/1,0:00,10\n2025/6/1,6:00,11\n2025/6/1,12:00,12.25\n"
                      "2025/6/1,18:00,11\n2025/6/2,0:00,9\n2025/6/2,6:00,9.5\n2025/6/3,0:00,8\n"
                      "2025/6/3,6:00,8\n2025/6/3,12:00,8\n2025/6/3,18:00,8.01\n");
  env.dialogs.openNames.push_back(path);
  env.dialogs.onExec = [&](QDialog& d) {
    auto& p = static_cast<TemperatureFileDialog&>(d);
    EXPECT_EQ(p.TimeColumn->currentText(), "2列目");
    EXPECT_EQ(p.Columns().temperatureColumn, 2);
    EXPECT_TRUE(p.Status->text().contains("日平均の最低 8℃、最高 11.06℃"))
        << p.Status->text().toStdString();
    return int(QDialog::Accepted);
  };
  QTest::mouseClick(screen->Command10, Qt::LeftButton);
  EXPECT_TRUE(screen->NewMode());
  ASSERT_GE(env.dialogs.shown.size(), 2u);
  EXPECT_TRUE(env.dialogs.shown.back().text.contains("読取が1日4回の75%に満たない日があります"))
      << env.dialogs.shown.back().text.toStdString();
  EXPECT_TRUE(env.dialogs.shown.back().text.contains("2025/06/02"));
  QTest::mouseClick(screen->Text1, Qt::LeftButton);  // "⑥ 適用"
  ASSERT_EQ(env.store.TionCount(), 2);
  EXPECT_EQ(env.store.TionTable(2).GridText,
            "年/月/日\t地温(℃)\r2025/06/01\t11.06\r2025/06/02\t\r2025/06/03\t8");
  const std::vector<TionRecord> cli = CliRecords(path, {});
  ASSERT_EQ(cli.size(), 1u);
  EXPECT_EQ(cli[0], env.store.TionTable(2));
}

TEST_F(TemperatureFileTest, StopEndsTheReadingAndNothingChanges) {
  Open();
  QTemporaryDir dir;
  std::string big = "日付,地温\n";
  for (int i = 0; i < 20000; ++i) big += "2025/6/1 0:00,1\n";
  const QString path = test::WriteFile(dir, QStringLiteral("big.csv"), big);
  TemperatureFileLoader loader;
  loader.showAfterMs = 0;
  int shown = 0;
  loader.onProgressShown = [&](TemperatureFileProgress& p) {
    ++shown;
    EXPECT_EQ(p.windowTitle(), "地温ファイルの読込");
    EXPECT_EQ(p.CommandStop->accessibleName(), "中止");
    EXPECT_TRUE(p.isModal());
    QTest::mouseClick(p.CommandStop, Qt::LeftButton);
  };
  EXPECT_FALSE(loader.Load(screen, path.toStdString()));
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(loader.StoppedEarly());
  // Not stopped: the same loader reads it (the rows repeat: refused later).
  loader.onProgressShown = nullptr;
  const std::optional<TemperatureFileLoad> load = loader.Load(screen, path.toStdString());
  ASSERT_TRUE(load);
  EXPECT_FALSE(loader.StoppedEarly());
  EXPECT_EQ(load->read.error, "3行目の日時 2025/06/01 00:00 は前の行と重複しています。");
  EXPECT_EQ(env.store.TionCount(), 1);
}

TEST_F(TemperatureFileTest, PreviewHeadingsStayWholeAndAHugeCellIsShownShort) {
  TemperatureFileLoad load;
  load.fileName = "w.csv";
  const std::string text =
      "日付,最高,平均,注記\n2025/6/1,20,15," + std::string(200000, 'z') + "\n2025/6/2,21,16,x\n";
  load.rows = DelimitedText(text, ',');
  load.guess = GuessTemperatureColumns(load.rows);
  load.read = ReadTemperatureSeries(load.rows, load.guess);
  TemperatureFileDialog p(std::move(load));
  p.resize(1000, 560);
  p.show();
  EXPECT_EQ(p.Columns().temperatureColumn, 2);  // the heading says 平均
  p.SetTemperatureColumn(2, false);
  p.SetTemperatureColumn(1, true);
  QHeaderView* header = p.Preview->horizontalHeader();
  EXPECT_EQ(p.Preview->horizontalHeaderItem(1)->text(), "2列目（地温）");
  EXPECT_GE(p.Preview->columnWidth(1), header->sectionSizeHint(1));
  EXPECT_EQ(p.Preview->item(1, 3)->text().size(), 101);  // 100 and "…"
  EXPECT_TRUE(p.OkButton->isEnabled());
  EXPECT_FALSE(p.Channels->item(0, TemperatureFileDialog::kChannelUse)->checkState() ==
               Qt::Checked);
}

}  // namespace
}  // namespace kelvora
