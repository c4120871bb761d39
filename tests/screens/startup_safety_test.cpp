// Start-up over a data folder others can write: a lock that cannot be taken
// ends the program before anything is read or written; a recovery folder
// that is a link is never offered, read or written; a copy whose note does
// not vouch for it is offered only with a warning, and the question says
// when the copy was taken.
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>

#include "screen_test_env.h"
#include "screens/recovery_keeper.h"
#include "store/data_files.h"
#include "store/folder_lock.h"
#include "store/recovery.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;

std::map<std::string, std::string> Entries(const fs::path& dir) {
  std::map<std::string, std::string> e;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const fs::file_status st = entry.symlink_status();
    e[entry.path().filename().string()] = fs::is_regular_file(st) ? ReadBytes(entry.path())
                                          : fs::is_symlink(st)    ? "link"
                                                                  : "other";
  }
  return e;
}

// A data folder saved and started once (the .bak copies made).
void Saved(const fs::path& data, const std::string& name) {
  hensuu s;
  s.BaiyoTable.Append({name, "培養日数\t20\t25\t30", false});
  ASSERT_TRUE(SaveDataFiles(s, data).empty());
  hensuu t;
  ASSERT_TRUE(LoadDataFiles(t, data).empty());
}

TEST(StartupSafety, ALockThatCannotBeTakenEndsTheProgramBeforeAnythingIsWritten) {
  test::ScreenEnv env;
  const fs::path data = env.DataDir();
  ASSERT_NO_FATAL_FAILURE(Saved(data, "黒ボク土"));
  // A lock file planted as a link to a file elsewhere.
  const fs::path elsewhere = data.parent_path() / "elsewhere.txt";
  { std::ofstream(elsewhere) << "keep"; }
  fs::create_symlink(elsewhere, data / kLockFile);
  const auto before = Entries(data);
  EXPECT_FALSE(env.main->Startup());
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  const QString text = env.dialogs.shown[0].text;
  EXPECT_TRUE(text.contains(QStringLiteral("を使用中にできませんでした"))) << text.toStdString();
  EXPECT_TRUE(text.endsWith(QStringLiteral("プログラムを終了します。"))) << text.toStdString();
  EXPECT_FALSE(env.main->isVisible());
  EXPECT_EQ(env.store.BaiyoCount(), 0);
  EXPECT_EQ(Entries(data), before);
  EXPECT_EQ(ReadBytes(elsewhere), "keep");
}

TEST(StartupSafety, ARecoveryFolderThatIsALinkIsSetAsideUnreadAndUntouched) {
  test::ScreenEnv env;
  const fs::path data = env.DataDir();
  ASSERT_NO_FATAL_FAILURE(Saved(data, "黒ボク土"));
  const fs::path other = data.parent_path() / "Other";
  ASSERT_NO_FATAL_FAILURE(Saved(other, "よその土"));
  const auto otherBefore = Entries(other);
  fs::create_directory_symlink(other, data / kRecoveryFolder);
  ASSERT_TRUE(env.main->Startup());
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].kind, "message");
  EXPECT_TRUE(env.dialogs.shown[0].text.contains(QStringLiteral("復元しません")))
      << env.dialogs.shown[0].text.toStdString();
  ASSERT_EQ(env.store.BaiyoCount(), 1);
  EXPECT_EQ(env.store.BaiyoTable(1).SoilName, "黒ボク土");
  EXPECT_FALSE(fs::exists(fs::symlink_status(data / kRecoveryFolder)));

  // Edits go into the program's own folder, never into the other one.
  env.store.BaiyoTable.Replace(1, {"名前を変えた", "", false});
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return env.main->Recovery().Idle() &&
               fs::is_directory(fs::symlink_status(data / kRecoveryFolder));
      },
      10000));
  EXPECT_FALSE(fs::is_symlink(data / kRecoveryFolder));
  EXPECT_EQ(Entries(other), otherBefore);
  env.dialogs.answers = {false};
  EXPECT_TRUE(env.main->close());
  EXPECT_EQ(Entries(other), otherBefore);
}

TEST(StartupSafety, ACopyWithoutItsNoteIsOfferedOnlyWithAWarningAndItsTime) {
  test::ScreenEnv env;
  const fs::path data = env.DataDir();
  ASSERT_NO_FATAL_FAILURE(Saved(data, "黒ボク土"));
  // A folder that parses, made by hand: no note.
  hensuu copy;
  copy.BaiyoTable.Append({"持ち込まれた土", "", false});
  ASSERT_TRUE(SaveDataFiles(copy, data / kRecoveryFolder).empty());
  env.dialogs.answers = {false};
  ASSERT_TRUE(env.main->Startup());
  ASSERT_GE(env.dialogs.shown.size(), 1u);
  const QString q = env.dialogs.shown[0].text;
  EXPECT_EQ(env.dialogs.shown[0].kind, "question");
  EXPECT_TRUE(
      q.startsWith(QStringLiteral("前回、保存されずに終了したデータがあります。復元しますか")));
  EXPECT_TRUE(q.contains(QStringLiteral("控えの日時: "))) << q.toStdString();
  EXPECT_TRUE(q.contains(QStringLiteral("注意: この控えは"))) << q.toStdString();
  EXPECT_TRUE(q.contains(QStringLiteral("RecoveryNote.txt"))) << q.toStdString();
  EXPECT_EQ(env.store.BaiyoTable(1).SoilName, "黒ボク土");
  env.dialogs.answers = {false};
  EXPECT_TRUE(env.main->close());
}

}  // namespace
}  // namespace kelvora
