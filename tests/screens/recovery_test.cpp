// The recovery copy end to end: a program killed (-9) after a fit and an
// apply is restarted on the same data folder, which offers the unsaved data
// back; yes restores it, no keeps the copy aside; a normal exit removes the
// copy; a second program on the same folder is refused. The data files and
// their .bak copies never change along the way.
#include "store/recovery.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>
#include <QTest>
#include <map>
#include <sstream>

#include "screen_test_env.h"
#include "screens/fit_runner.h"
#include "screens/recovery_keeper.h"
#include "store/cp932.h"
#include "store/data_files.h"
#include "store/folder_lock.h"
#include "store/grid_text.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;

// Set for the program the kill test starts (this test program, running only
// RecoveryChild): its data folder and the file it writes when it is ready.
constexpr const char* kChildDataVar = "KELVORA_RECOVERY_CHILD_DATA";
constexpr const char* kChildReadyVar = "KELVORA_RECOVERY_CHILD_READY";
constexpr const char* kSampleName = "復旧試料";

const char* const kDataFiles[] = {"BaiyoData.txt", "ParaData.txt",  "TionData.txt", "Suitei.txt",
                                  "Hojyo.txt",     "BaiyoData.bak", "ParaData.bak", "TionData.bak",
                                  "Suitei.bak",    "Hojyo.bak"};

std::map<std::string, std::string> DataFileBytes(const fs::path& data) {
  std::map<std::string, std::string> bytes;
  for (const char* f : kDataFiles) {
    EXPECT_TRUE(fs::exists(data / f)) << f;
    bytes[f] = ReadBytes(data / f);
  }
  return bytes;
}

std::string BenchTable() {
  return ReadBytes(fs::path(KELVORA_SOURCE_DIR) / "tests/data/bench/soil-3x10.tsv");
}

// Enters a data set on the incubation screen as a new record and applies it.
void EnterAndApply(Baiyo_Form0_3* screen, const QString& name, const std::string& table) {
  QApplication::processEvents();                        // the buttons get their places
  QTest::mouseClick(screen->Command7, Qt::LeftButton);  // "① 新規作成"
  // The table is pasted as copied from a spreadsheet.
  screen->Grid->SelectCell(0, 0);
  test::SetClipboard(QString::fromStdString(table));
  screen->Grid->Edit_Paste_Click();
  screen->Text_Dojyo->setText(name);
  screen->Text1->setText(QStringLiteral("25"));
  QApplication::processEvents();
  QTest::mouseClick(screen->Command3, Qt::LeftButton);  // "⑥ 適用"
}

bool WaitForCopy(MDIForm1& main, const fs::path& data) {
  return QTest::qWaitFor(
      [&] { return main.Recovery().Idle() && fs::exists(data / kRecoveryFolder / kParaFile); },
      30000);
}

// Data saved by an earlier run: one incubation record and one parameter set,
// with the .bak copies made at the last start.
void EarlierData(const fs::path& data) {
  hensuu s;
  s.BaiyoTable.Append({"淡色黒ボク土", "培養日数\t20\t25\t30\r0\t1\t1\t1", false});
  ParaRecord p;
  p.SoilName = "淡色黒ボク土";
  p.ModelNo = 1;
  p.Param = {15000, 0.02f, 10, 0.5f, 0, 0, 0};
  p.StdTemp = 25;
  s.ParaTable.Append(p);
  ASSERT_TRUE(SaveDataFiles(s, data).empty());
  hensuu t;
  ASSERT_TRUE(LoadDataFiles(t, data).empty());
}

// The program the kill test kills: it starts on the given folder, applies a
// new data set, fits it, waits until the copy is written and says so.
TEST(RecoveryChild, FitsAppliesAndWaitsToBeKilled) {
  const QByteArray dataVar = qgetenv(kChildDataVar);
  if (dataVar.isEmpty()) GTEST_SKIP() << "run by RecoveryRun.AKilledRun... only";
  const fs::path data(dataVar.toStdString());
  hensuu store;
  ScriptedDialogs dialogs;
  MDIForm1 main(store, data, dialogs);
  main.resize(1366, 768);
  ASSERT_TRUE(main.Startup());
  auto* screen = main.Find<Baiyo_Form0_3>(Screen::Baiyo_Form0_3);
  ASSERT_NE(screen, nullptr);
  EnterAndApply(screen, QString::fromUtf8(kSampleName), BenchTable());
  ASSERT_EQ(store.BaiyoCount(), 2);
  QApplication::processEvents();
  QTest::mouseClick(screen->Command5, Qt::LeftButton);  // "⑦ パラメータ算出"
  ASSERT_EQ(store.ParaCount(), 2) << dialogs.Texts().join("\n").toStdString();
  ASSERT_TRUE(WaitForCopy(main, data));
  ASSERT_TRUE(dialogs.shown.empty()) << dialogs.shown[0].text.toStdString();
  {
    // The applied table as this run holds it, for the restart to compare.
    const std::string ready = qgetenv(kChildReadyVar).toStdString();
    // Also what saving would have kept: singles are stored to 7 digits.
    ASSERT_TRUE(SaveDataFiles(store, ready + ".saved").empty());
    std::ofstream(ready, std::ios::binary) << store.BaiyoTable(2).GridText;
  }
  for (;;) QTest::qWait(1000);
}

class RecoveryRun : public ::testing::Test {
 protected:
  fs::path Root() const { return fs::path(tmp.path().toStdString()); }
  QTemporaryDir tmp;
};

TEST_F(RecoveryRun, AKilledRunIsRestoredOnYesAndKeptAsideOnNo) {
  const fs::path data = Root() / "Data";
  ASSERT_NO_FATAL_FAILURE(EarlierData(data));
  const auto before = DataFileBytes(data);
  const fs::path ready = Root() / "ready";
  const fs::path saved = Root() / "ready.saved";

  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(kChildDataVar, QString::fromStdString(data.string()));
  env.insert(kChildReadyVar, QString::fromStdString(ready.string()));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QString::fromStdString(fs::read_symlink("/proc/self/exe").string()),
              {QStringLiteral("--gtest_filter=RecoveryChild.*")});
  ASSERT_TRUE(child.waitForStarted());
  const bool isReady = QTest::qWaitFor(
      [&] { return fs::exists(ready) || child.state() == QProcess::NotRunning; }, 300000);
  if (!isReady || !fs::exists(ready)) {
    child.kill();
    child.waitForFinished();
    FAIL() << "the program did not get ready:\n" << child.readAll().toStdString();
  }
  const qint64 pid = child.processId();

  // A second program on the same folder is refused before it reads or writes
  // anything.
  {
    hensuu store;
    ScriptedDialogs dialogs;
    MDIForm1 second(store, data, dialogs);
    EXPECT_FALSE(second.Startup());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "注意");
    EXPECT_EQ(dialogs.shown[0].text.toStdString(),
              "データフォルダ「" + data.string() +
                  "」は、別に起動しているケルボラ１（プロセス番号 " + std::to_string(pid) +
                  "）が使用中です。\nプログラムを終了します。");
    EXPECT_FALSE(second.isVisible());
    EXPECT_EQ(store.BaiyoCount(), 0);
  }

  ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
  ASSERT_TRUE(child.waitForFinished());
  EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
  EXPECT_EQ(DataFileBytes(data), before);
  ASSERT_TRUE(fs::is_directory(data / kRecoveryFolder));
  EXPECT_NE(ReadBytes(data / kRecoveryFolder / kRecoveryNote).find("pid: " + std::to_string(pid)),
            std::string::npos);
  EXPECT_TRUE(fs::exists(data / kLockFile));  // the dead run's, not locked any more
  std::map<std::string, std::string> copyBytes;
  for (const auto& e : fs::directory_iterator(data / kRecoveryFolder)) {
    copyBytes[e.path().filename().string()] = ReadBytes(e.path());
  }
  EXPECT_EQ(copyBytes.size(), 7u);  // the six tables and the note

  // The same folder twice over, for each answer.
  const fs::path data2 = Root() / "Data2";
  fs::copy(data, data2, fs::copy_options::recursive);

  // Yes: the applied data set and the fitted parameter set are back.
  {
    hensuu store;
    ScriptedDialogs dialogs;
    dialogs.answers = {true};
    MDIForm1 main(store, data, dialogs);
    ASSERT_TRUE(main.Startup());  // the stale lock is taken over
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "question");
    EXPECT_EQ(dialogs.shown[0].title, "注意");
    // When the copy was taken; no warning: the note vouches for the copy.
    EXPECT_TRUE(dialogs.shown[0].text.startsWith(
        QStringLiteral("前回、保存されずに終了したデータがあります。復元しますか\n\n控えの日時: ")))
        << dialogs.shown[0].text.toStdString();
    EXPECT_FALSE(dialogs.shown[0].text.contains(QStringLiteral("注意")));
    ASSERT_EQ(store.BaiyoCount(), 2);
    EXPECT_EQ(store.BaiyoTable(2).SoilName, kSampleName);
    EXPECT_EQ(store.BaiyoTable(2).GridText, ReadBytes(ready));
    EXPECT_NE(store.BaiyoTable(2).GridText.find("\r28\t2.95\t5.07\t8.33\r"), std::string::npos);
    EXPECT_EQ(store.BaiyoCurrent, 2);
    auto* screen = main.Find<Baiyo_Form0_3>(Screen::Baiyo_Form0_3);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->Text_Dojyo->text(), QString::fromUtf8(kSampleName));
    ASSERT_EQ(store.ParaCount(), 2);
    // The tables are those the killed run would have saved.
    hensuu expected;
    ASSERT_TRUE(ReadDataFiles(expected, saved).empty());
    ASSERT_EQ(expected.ParaCount(), 2);
    EXPECT_EQ(store.ParaTable(2), expected.ParaTable(2));
    EXPECT_NE(store.ParaTable(2).Aic, 0.0f);
    for (int16_t i = 1; i <= 2; ++i) EXPECT_EQ(store.BaiyoTable(i), expected.BaiyoTable(i));
    EXPECT_EQ(store.ParaTable(2).SoilName, kSampleName);
    EXPECT_EQ(store.ParaTable(1).SoilName, "淡色黒ボク土");

    // The files stay as they were until the user saves; the copy stays too.
    EXPECT_EQ(DataFileBytes(data), before);
    EXPECT_TRUE(fs::is_directory(data / kRecoveryFolder));
    EXPECT_EQ(ReadBytes(data / kLockFile).substr(0, std::to_string(getpid()).size() + 1),
              std::to_string(getpid()) + "\n");
    dialogs.answers = {false};
    EXPECT_TRUE(main.close());
    EXPECT_FALSE(fs::exists(data / kRecoveryFolder));
    EXPECT_FALSE(fs::exists(data / kLockFile));
    EXPECT_EQ(DataFileBytes(data), before);
  }

  // No: the data files' tables; the copy kept aside under its date and time.
  {
    hensuu store;
    ScriptedDialogs dialogs;
    dialogs.answers = {false};
    MDIForm1 main(store, data2, dialogs);
    ASSERT_TRUE(main.Startup());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith(
        QStringLiteral("前回、保存されずに終了したデータがあります。復元しますか")));
    EXPECT_EQ(store.BaiyoCount(), 1);
    EXPECT_EQ(store.ParaCount(), 1);
    EXPECT_FALSE(fs::exists(data2 / kRecoveryFolder));
    std::vector<fs::path> aside;
    for (const auto& e : fs::directory_iterator(data2)) {
      if (e.path().filename().string().rfind("復旧-", 0) == 0) aside.push_back(e.path());
    }
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(aside[0].filename().string().size(), std::string("復旧-20261209-101500").size());
    for (const auto& [name, bytes] : copyBytes)
      EXPECT_EQ(ReadBytes(aside[0] / name), bytes) << name;
    EXPECT_EQ(DataFileBytes(data2), before);
    // The copy aside is kept at exit.
    dialogs.answers = {false};
    EXPECT_TRUE(main.close());
    EXPECT_TRUE(fs::exists(aside[0] / kParaFile));
    EXPECT_EQ(DataFileBytes(data2), before);
  }
}

TEST_F(RecoveryRun, ANormalExitRemovesTheCopyWhateverTheAnswer) {
  for (bool save : {true, false}) {
    SCOPED_TRACE(save ? "yes" : "no");
    const fs::path data = Root() / (save ? "yes" : "no");
    ASSERT_NO_FATAL_FAILURE(EarlierData(data));
    const auto before = DataFileBytes(data);
    hensuu store;
    ScriptedDialogs dialogs;
    MDIForm1 main(store, data, dialogs);
    ASSERT_TRUE(main.Startup());
    EXPECT_TRUE(dialogs.shown.empty());
    // Nothing changed yet: no copy.
    QTest::qWait(2 * RecoveryKeeper::kIntervalMs);
    EXPECT_FALSE(fs::exists(data / kRecoveryFolder));

    auto* screen = main.Find<Baiyo_Form0_3>(Screen::Baiyo_Form0_3);
    ASSERT_NE(screen, nullptr);
    EnterAndApply(screen, QStringLiteral("灰色低地土"), BenchTable());
    ASSERT_EQ(store.BaiyoCount(), 2);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          return main.Recovery().Idle() &&
                 ReadBytes(data / kRecoveryFolder / kBaiyoFile).find(*EncodeCp932("灰色低地土")) !=
                     std::string::npos;
        },
        30000));
    EXPECT_EQ(DataFileBytes(data), before);

    dialogs.answers = {save};
    EXPECT_TRUE(main.close());
    EXPECT_FALSE(fs::exists(data / kRecoveryFolder));
    EXPECT_FALSE(fs::exists(data / kLockFile));
    std::map<std::string, std::string> after = DataFileBytes(data);
    if (save) {
      EXPECT_NE(after["BaiyoData.txt"].find(*EncodeCp932("灰色低地土")), std::string::npos);
      for (const char* bak : {"BaiyoData.bak", "ParaData.bak", "Hojyo.bak"}) {
        EXPECT_EQ(after[bak], before.at(bak)) << bak;
      }
    } else {
      EXPECT_EQ(after, before);
    }
  }
}

TEST_F(RecoveryRun, ACopyThatCannotBeReadIsKeptAsideAndTheFilesAreUsed) {
  const fs::path data = Root() / "Data";
  ASSERT_NO_FATAL_FAILURE(EarlierData(data));
  fs::create_directory(data / kRecoveryFolder);
  std::ofstream(data / kRecoveryFolder / kParaFile) << "\"half";
  hensuu store;
  ScriptedDialogs dialogs;
  dialogs.answers = {true};
  MDIForm1 main(store, data, dialogs);
  ASSERT_TRUE(main.Startup());
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[1].kind, "message");
  EXPECT_TRUE(dialogs.shown[1].text.contains(QStringLiteral("BaiyoData.txt")));
  EXPECT_TRUE(dialogs.shown[1].text.endsWith(QStringLiteral("データファイルの内容で始めます。")));
  EXPECT_EQ(store.BaiyoCount(), 1);
  EXPECT_EQ(store.ParaCount(), 1);
  EXPECT_FALSE(fs::exists(data / kRecoveryFolder));
  bool kept = false;
  for (const auto& e : fs::directory_iterator(data)) {
    if (e.path().filename().string().rfind("復旧-", 0) == 0) {
      kept = ReadBytes(e.path() / kParaFile) == "\"half";
    }
  }
  EXPECT_TRUE(kept);
}

TEST_F(RecoveryRun, AFailedSaveAtExitKeepsTheCopy) {
  const fs::path data = Root() / "Data";
  ASSERT_NO_FATAL_FAILURE(EarlierData(data));
  hensuu store;
  ScriptedDialogs dialogs;
  MDIForm1 main(store, data, dialogs);
  ASSERT_TRUE(main.Startup());
  auto* screen = main.Find<Baiyo_Form0_3>(Screen::Baiyo_Form0_3);
  ASSERT_NE(screen, nullptr);
  EnterAndApply(screen, QStringLiteral("灰色低地土"), BenchTable());
  ASSERT_TRUE(WaitForCopy(main, data));
  // ParaData.txt cannot be replaced while a folder with contents stands in
  // its place: the save fails.
  fs::rename(data / kParaFile, Root() / "para-aside");
  fs::create_directories(data / kParaFile / "inside");
  // An edit after the last copy goes into the copy at exit.
  store.ParaTable.Remove(1);
  dialogs.answers = {true, true};  // save; then end without saving
  EXPECT_TRUE(main.close());
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_TRUE(dialogs.shown[1].text.endsWith(QStringLiteral("保存せずに終了しますか。")));
  ASSERT_TRUE(fs::is_directory(data / kRecoveryFolder));
  hensuu copy;
  ASSERT_TRUE(ReadRecoveryCopy(copy, data).empty());
  EXPECT_EQ(copy.BaiyoCount(), 2);
  EXPECT_EQ(copy.BaiyoTable(2).SoilName, "灰色低地土");
  EXPECT_EQ(copy.ParaCount(), 0);
  EXPECT_FALSE(fs::exists(data / kLockFile));
}

}  // namespace
}  // namespace kelvora
