// Every file dialog opens in the folder last used for its kind of file, also
// after the program was started again, else in the documents folder.
#include "print/remembered_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "print/file_export.h"
#include "screen_test_env.h"
#include "screens/baiyo_form0_3.h"
#include "screens/ondo_form.h"

namespace kelvora {
namespace {

// Each test starts from nothing remembered and leaves nothing behind.
class RememberedFolders : public testing::Test {
 protected:
  void SetUp() override { KeepRememberedFoldersIn(QString()); }
  void TearDown() override { KeepRememberedFoldersIn(QString()); }
  QString Folder(const char* name) {
    QDir(dir.path()).mkpath(QString::fromUtf8(name));
    return dir.filePath(QString::fromUtf8(name));
  }
  QTemporaryDir dir;
  ScriptedDialogs dialogs;
};

TEST_F(RememberedFolders, EachKindStartsWhereItsLastFileWasChosen) {
  const QString exports = Folder("表"), pictures = Folder("図");
  for (FileKind kind : {FileKind::Export, FileKind::Picture, FileKind::Pdf,
                        FileKind::TemperatureFile, FileKind::GridFile}) {
    EXPECT_EQ(RememberedFolder(kind), DocumentsFolder());
  }
  // An export saved in one folder: the next export starts there, a picture
  // still in the documents folder; a cancelled dialog changes nothing.
  dialogs.fileNames = {exports + "/a.xlsx", QString(), pictures + "/p.svg", QString()};
  EXPECT_FALSE(
      AskSaveFile(dialogs, nullptr, FileKind::Export, "エクスポート", "a.xlsx", kXlsxFilter)
          .isEmpty());
  EXPECT_TRUE(AskSaveFile(dialogs, nullptr, FileKind::Export, "エクスポート", "b.csv", kCsvFilter)
                  .isEmpty());
  EXPECT_EQ(dialogs.suggestedPaths[1], exports + "/b.csv");
  EXPECT_EQ(ExportFolder(), exports);
  AskSaveFile(dialogs, nullptr, FileKind::Picture, "画像を保存", "g.png", QString());
  EXPECT_EQ(dialogs.suggestedPaths[2], QDir(DocumentsFolder()).filePath("g.png"));
  AskSaveFile(dialogs, nullptr, FileKind::Picture, "画像を保存", "g.png", QString());
  EXPECT_EQ(dialogs.suggestedPaths[3], pictures + "/g.png");
  EXPECT_EQ(RememberedFolder(FileKind::Pdf), DocumentsFolder());

  // A folder removed meanwhile: the documents folder again.
  ASSERT_TRUE(QDir(pictures).removeRecursively());
  EXPECT_EQ(RememberedFolder(FileKind::Picture), DocumentsFolder());
}

TEST_F(RememberedFolders, TheFoldersLastAcrossStartsInTheSettingsFile) {
  const QString settings = dir.filePath("config/kelvora/kelvora.conf");
  const QString temps = Folder("地温");
  KeepRememberedFoldersIn(settings);
  dialogs.openNames = {temps + "/logger.csv"};
  EXPECT_EQ(AskOpenFile(dialogs, nullptr, FileKind::TemperatureFile, "地温ファイルを開く", "*"),
            temps + "/logger.csv");
  // Another run without the file knows nothing; the next start with it does.
  KeepRememberedFoldersIn(QString());
  EXPECT_EQ(RememberedFolder(FileKind::TemperatureFile), DocumentsFolder());
  KeepRememberedFoldersIn(settings);
  EXPECT_EQ(RememberedFolder(FileKind::TemperatureFile), temps);
  EXPECT_TRUE(QFileInfo::exists(settings));
}

TEST_F(RememberedFolders, TheScreensOpenDialogsStartInTheirRememberedFolders) {
  test::ScreenEnv env;
  env.Show();
  Baiyo_Form0_3* baiyo = env.OpenBaiyo();
  ASSERT_NE(baiyo, nullptr);
  const QString grids = Folder("培養");
  env.dialogs.openNames = {grids + "/missing.tsv", QString()};
  baiyo->Grid->Edit_Load_File->trigger();  // cannot be read: a message
  baiyo->Grid->Edit_Load_File->trigger();  // cancelled
  ASSERT_EQ(env.dialogs.openFolders.size(), 2);
  EXPECT_EQ(env.dialogs.openFolders[0], DocumentsFolder());
  EXPECT_EQ(env.dialogs.openFolders[1], grids);
  // The temperature file of 地温入力 is a kind of its own.
  QTest::mouseClick(env.main->Command4, Qt::LeftButton);
  auto* ondo = env.main->Find<Ondo_Form>(Screen::Ondo_Form);
  ASSERT_NE(ondo, nullptr);
  env.dialogs.openNames = {QString()};
  QTest::mouseClick(ondo->Command10, Qt::LeftButton);
  ASSERT_EQ(env.dialogs.openFolders.size(), 3);
  EXPECT_EQ(env.dialogs.openFolders[2], DocumentsFolder());
}

}  // namespace
}  // namespace kelvora
