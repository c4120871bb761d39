// Which data folder the desktop program uses: --data-dir, Data beside the
// program, or the user's own folder made on the first start with the samples.
#include "store/data_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "test_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
using Kind = DataFolderChoice::Kind;

class DataFolderTest : public ::testing::Test {
 protected:
  DataFolderTest() {
    places.programDir = tmp.path() / "bin";
    places.userDataHome = tmp.path() / "home" / ".local" / "share";
    places.samples = tmp.path() / "share" / "kelvora" / "examples" / "Data";
    fs::create_directories(places.programDir);
    fs::create_directories(places.samples);
    WriteBytes(places.samples / "BaiyoData.txt", "baiyo\r\n");
    WriteBytes(places.samples / "ParaData.txt", "para\r\n");
  }
  fs::path UserFolder() const { return places.userDataHome / "kelvora" / "Data"; }

  TempDir tmp;
  DataFolderPlaces places;
};

TEST_F(DataFolderTest, TheCommandLineComesFirstAndNothingIsMade) {
  fs::create_directories(places.programDir / "Data");
  places.commandLine = tmp.path() / "elsewhere" / "Data";
  DataFolderChoice c = ChooseDataFolder(places);
  EXPECT_EQ(c.kind, Kind::CommandLine);
  EXPECT_EQ(c.dir, *places.commandLine);
  EXPECT_FALSE(c.createdUserFolder);
  EXPECT_FALSE(fs::exists(*places.commandLine));
  EXPECT_FALSE(fs::exists(places.userDataHome));
  EXPECT_EQ(DataFolderNote(c), "");
}

TEST_F(DataFolderTest, AnExistingDataBesideTheProgramIsUsedAlsoWhenInstalled) {
  fs::create_directories(places.programDir / "Data");
  for (bool installed : {false, true}) {
    places.installed = installed;
    DataFolderChoice c = ChooseDataFolder(places);
    EXPECT_EQ(c.kind, Kind::BesideProgram);
    EXPECT_EQ(c.dir, places.programDir / "Data");
  }
  EXPECT_FALSE(fs::exists(places.userDataHome));
}

TEST_F(DataFolderTest, ABuildFolderGetsDataBesideTheProgramAsBefore) {
  DataFolderChoice c = ChooseDataFolder(places);
  EXPECT_EQ(c.kind, Kind::BesideProgram);
  EXPECT_EQ(c.dir, places.programDir / "Data");
  EXPECT_TRUE(fs::is_directory(c.dir));
  EXPECT_TRUE(fs::is_empty(c.dir));  // today's behaviour: no samples there
  EXPECT_FALSE(c.createdUserFolder);
  EXPECT_FALSE(fs::exists(places.userDataHome));
  EXPECT_EQ(DataFolderNote(c), "");
}

TEST_F(DataFolderTest, AnInstalledProgramNeverMakesDataBesideItself) {
  // Root could write into /usr/bin: the data go to the user's folder all
  // the same.
  places.installed = true;
  DataFolderChoice c = ChooseDataFolder(places);
  EXPECT_EQ(c.kind, Kind::UserFolder);
  EXPECT_EQ(c.dir, UserFolder());
  EXPECT_FALSE(fs::exists(places.programDir / "Data"));
}

TEST_F(DataFolderTest, FirstStartWhereDataCannotBeMadeBesideTheProgram) {
  // A program folder in which nothing can be made, for root too.
  WriteBytes(tmp.path() / "file", "");
  places.programDir = tmp.path() / "file" / "bin";
  DataFolderChoice c = ChooseDataFolder(places);
  EXPECT_EQ(c.kind, Kind::UserFolder);
  EXPECT_EQ(c.dir, UserFolder());
  EXPECT_TRUE(c.createdUserFolder);
  EXPECT_EQ(c.samplesCopied, 2);
  EXPECT_TRUE(c.messages.empty());
  EXPECT_EQ(ReadBytes(c.dir / "BaiyoData.txt"), "baiyo\r\n");
  EXPECT_EQ(ReadBytes(c.dir / "ParaData.txt"), "para\r\n");
  // Nothing is left of the filling: only Data in the program's own folder.
  std::vector<fs::path> entries;
  for (const auto& e : fs::directory_iterator(places.userDataHome / "kelvora")) {
    entries.push_back(e.path().filename());
  }
  EXPECT_EQ(entries, std::vector<fs::path>{"Data"});
  // A data home made here is the user's alone.
  EXPECT_EQ(fs::status(places.userDataHome).permissions() & fs::perms::all, fs::perms::owner_all);

  const std::string note = DataFolderNote(c);
  EXPECT_NE(note.find(c.dir.string()), std::string::npos) << note;
  EXPECT_NE(note.find("サンプルデータを入れてあります"), std::string::npos) << note;
  EXPECT_NE(note.find("データフォルダを開く"), std::string::npos) << note;
}

TEST_F(DataFolderTest, TheUserFolderIsMadeOnceAndThenOnlyUsed) {
  places.installed = true;
  ASSERT_TRUE(ChooseDataFolder(places).createdUserFolder);
  // The user changes the data; the samples are never copied over them again.
  WriteBytes(UserFolder() / "BaiyoData.txt", "mine\r\n");
  fs::remove(UserFolder() / "ParaData.txt");
  DataFolderChoice again = ChooseDataFolder(places);
  EXPECT_EQ(again.kind, Kind::UserFolder);
  EXPECT_EQ(again.dir, UserFolder());
  EXPECT_FALSE(again.createdUserFolder);
  EXPECT_EQ(again.samplesCopied, 0);
  EXPECT_EQ(DataFolderNote(again), "");
  EXPECT_EQ(ReadBytes(UserFolder() / "BaiyoData.txt"), "mine\r\n");
  EXPECT_FALSE(fs::exists(UserFolder() / "ParaData.txt"));
}

TEST_F(DataFolderTest, AnExistingDataHomeKeepsItsPermissions) {
  places.installed = true;
  fs::create_directories(places.userDataHome);
  fs::permissions(places.userDataHome, fs::perms::owner_all | fs::perms::group_read |
                                           fs::perms::group_exec | fs::perms::others_read |
                                           fs::perms::others_exec);
  ASSERT_TRUE(ChooseDataFolder(places).createdUserFolder);
  EXPECT_EQ(fs::status(places.userDataHome).permissions() & fs::perms::all,
            fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                fs::perms::others_read | fs::perms::others_exec);
}

TEST_F(DataFolderTest, WithoutSamplesTheNewFolderIsEmptyAndTheNoteSaysSo) {
  places.installed = true;
  places.samples = tmp.path() / "no-such-folder";
  DataFolderChoice c = ChooseDataFolder(places);
  EXPECT_TRUE(c.createdUserFolder);
  EXPECT_EQ(c.samplesCopied, 0);
  EXPECT_TRUE(fs::is_directory(c.dir));
  EXPECT_TRUE(fs::is_empty(c.dir));
  EXPECT_NE(DataFolderNote(c).find("空のフォルダ"), std::string::npos);
}

TEST_F(DataFolderTest, AUserFolderThatCannotBeMadeIsLeftToTheDataFiles) {
  places.installed = true;
  WriteBytes(tmp.path() / "home-file", "");
  places.userDataHome = tmp.path() / "home-file" / "share";
  DataFolderChoice c = ChooseDataFolder(places);
  EXPECT_EQ(c.kind, Kind::UserFolder);
  EXPECT_EQ(c.dir, places.userDataHome / "kelvora" / "Data");
  EXPECT_FALSE(c.createdUserFolder);
  EXPECT_EQ(DataFolderNote(c), "");
  // The data files' start-up names the folder it cannot make.
  hensuu store;
  FileMessages messages = LoadDataFiles(store, c.dir);
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(messages[0].find(c.dir.string()), std::string::npos) << messages[0];
}

TEST_F(DataFolderTest, TwoFirstStartsAtOnceFillTheFolderOnce) {
  places.installed = true;
  DataFolderChoice a, b;
  std::thread other([&] { b = ChooseDataFolder(places); });
  a = ChooseDataFolder(places);
  other.join();
  EXPECT_EQ(a.dir, UserFolder());
  EXPECT_EQ(b.dir, UserFolder());
  // One of them made it (and tells the user); the other uses it as it is.
  EXPECT_NE(a.createdUserFolder, b.createdUserFolder);
  EXPECT_EQ(a.samplesCopied + b.samplesCopied, 2);
  EXPECT_EQ(ReadBytes(UserFolder() / "BaiyoData.txt"), "baiyo\r\n");
  EXPECT_EQ(ReadBytes(UserFolder() / "ParaData.txt"), "para\r\n");
}

TEST(UserDataHome, XdgDataHomeElseHomeLocalShare) {
  EXPECT_EQ(UserDataHome("/x/data", "/home/u"), fs::path("/x/data"));
  EXPECT_EQ(UserDataHome(nullptr, "/home/u"), fs::path("/home/u/.local/share"));
  // An empty or relative XDG_DATA_HOME is ignored (XDG Base Directory).
  EXPECT_EQ(UserDataHome("", "/home/u"), fs::path("/home/u/.local/share"));
  EXPECT_EQ(UserDataHome("rel/data", "/home/u"), fs::path("/home/u/.local/share"));
  // Without HOME: the user database's home folder.
  fs::path fromDatabase = UserDataHome(nullptr, nullptr);
  EXPECT_TRUE(fromDatabase.is_absolute()) << fromDatabase;
  EXPECT_EQ(fromDatabase.filename(), "share");
}

TEST(PlacesOfProgram, AnInstalledProgramFindsItsSamples) {
  TempDir tmp;
  fs::create_directories(tmp.path() / "usr" / "bin");
  PlacesOfProgram(tmp.path() / "usr" / "bin");
  EXPECT_FALSE(PlacesOfProgram(tmp.path() / "usr" / "bin").installed);
  fs::create_directories(tmp.path() / "usr" / "share" / "kelvora" / "examples" / "Data");
  DataFolderPlaces p = PlacesOfProgram(tmp.path() / "usr" / "bin");
  EXPECT_TRUE(p.installed);
  EXPECT_EQ(p.samples, tmp.path() / "usr" / "share" / "kelvora" / "examples" / "Data");
  EXPECT_EQ(p.programDir, tmp.path() / "usr" / "bin");
}

}  // namespace
}  // namespace kelvora
