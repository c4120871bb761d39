// The recovery copy against what others can put in a data folder: links in
// place of the folder or its files, copies from elsewhere or cut short, the
// permissions of what it writes, leftovers of interrupted writes; and the
// .bak copies of data files that are missing or damaged at a start.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/data_files.h"
#include "store/recovery.h"
#include "test_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

mode_t Mode(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
  return st.st_mode & 07777;
}

class RecoverySafety : public ::testing::Test {
 protected:
  void SetUp() override {
    data = dir.path() / "Data";
    store.BaiyoTable.Append({"黒ボク土", "培養日数\t20\t25\t30", false});
    store.TionTable.Append({"つくば", "年/月/日\t地温(℃)"});
    ASSERT_TRUE(SaveDataFiles(store, data).empty());
    saved = ReadBytes(data / kBaiyoFile);
    state.StartFromDataFiles(store);
  }
  RecoveryWriteResult WriteNow() {
    RecoverySnapshot s = state.TakeSnapshot(store);
    RecoveryWriteResult r = WriteSnapshot(data, run, s);
    state.Written(s, r);
    return r;
  }
  fs::path Folder() const { return data / kRecoveryFolder; }

  TempDir dir;
  fs::path data;
  std::string saved;
  hensuu store;
  RecoveryState state;
  RunInfo run{4242, "2026-12-09 09:00:00", "run4242abcdefghi"};
};

TEST_F(RecoverySafety, AFileOfTheCopyReplacedByALinkIsReplacedNotWrittenThrough) {
  store.BaiyoTable.Append({"追加", "", false});
  ASSERT_TRUE(WriteNow().messages.empty());
  fs::remove(Folder() / kBaiyoFile);
  fs::create_symlink("../BaiyoData.txt", Folder() / kBaiyoFile);
  store.BaiyoTable.Replace(1, {"名前を変えた", "", false});
  ASSERT_TRUE(WriteNow().messages.empty());
  EXPECT_EQ(ReadBytes(data / kBaiyoFile), saved);
  EXPECT_FALSE(fs::is_symlink(Folder() / kBaiyoFile));
  hensuu back;
  ASSERT_TRUE(ReadRecoveryCopy(back, data).empty());
  EXPECT_EQ(back.BaiyoTable(1).SoilName, "名前を変えた");
}

TEST_F(RecoverySafety, AFolderLinkedToTheDataFolderIsNeverWrittenThroughAndIsSetAside) {
  store.BaiyoTable.Append({"追加", "", false});
  ASSERT_TRUE(WriteNow().messages.empty());
  fs::remove_all(Folder());
  fs::create_directory_symlink(".", Folder());
  store.BaiyoTable.Replace(1, {"名前を変えた", "", false});
  RecoveryWriteResult r = WriteNow();
  EXPECT_TRUE(r.folderMissing);
  EXPECT_EQ(ReadBytes(data / kBaiyoFile), saved);
  // The next write makes the program's own folder; the link is kept aside.
  ASSERT_TRUE(WriteNow().messages.empty());
  EXPECT_EQ(ReadBytes(data / kBaiyoFile), saved);
  EXPECT_FALSE(fs::is_symlink(Folder()));
  EXPECT_TRUE(fs::is_directory(Folder()));
  int links = 0;
  for (const auto& e : fs::directory_iterator(data)) links += fs::is_symlink(e.symlink_status());
  EXPECT_EQ(links, 1);
  EXPECT_EQ(ReadBytes(data / kBaiyoFile), saved);
}

TEST_F(RecoverySafety, AFolderLinkedElsewhereIsNotOfferedReadOrEmptied) {
  const fs::path other = dir.path() / "other";
  ASSERT_TRUE(SaveDataFiles(store, other).empty());
  fs::create_directory_symlink(other, Folder());
  const RecoveryCopyInfo info = InspectRecoveryCopy(data);
  EXPECT_TRUE(info.exists);
  EXPECT_TRUE(Contains(info.folderProblem, "シンボリックリンク")) << info.folderProblem;
  hensuu back;
  FileMessages m = ReadRecoveryCopy(back, data);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(back.BaiyoCount(), 0);
  std::string reason;
  EXPECT_TRUE(RemoveRecoveryCopy(data, reason)) << reason;
  EXPECT_FALSE(RecoveryCopyExists(data));
  EXPECT_EQ(ReadBytes(other / kBaiyoFile), saved);
}

TEST_F(RecoverySafety, TheCopyIsPrivateWhateverTheFileCreationMask) {
  const mode_t old = ::umask(022);
  store.TionTable.Append({"札幌", ""});
  RecoveryWriteResult r = WriteNow();
  store.TionTable.Append({"盛岡", ""});
  RecoveryWriteResult r2 = WriteNow();
  ::umask(old);
  ASSERT_TRUE(r.messages.empty() && r2.messages.empty());
  EXPECT_EQ(Mode(Folder()), 0700u);
  for (const auto& e : fs::directory_iterator(Folder())) {
    EXPECT_EQ(Mode(e.path()), 0600u) << e.path();
  }
  // A copy left by an earlier version (0755) is private once kept aside.
  fs::remove_all(Folder());
  fs::create_directory(Folder());
  fs::permissions(Folder(), fs::perms(0755));
  std::string reason;
  std::optional<fs::path> aside = SetRecoveryCopyAside(data, reason, "20261209-101500");
  ASSERT_TRUE(aside) << reason;
  EXPECT_EQ(Mode(*aside), 0700u);
}

TEST_F(RecoverySafety, TheNoteVouchesOnlyForTheProgramsOwnWholeCopyOfThisFolder) {
  store.BaiyoTable.Append({"二", "", false});
  store.BaiyoTable.Append({"三", "", false});
  ASSERT_TRUE(WriteNow().messages.empty());
  const std::string note = ReadBytes(Folder() / kRecoveryNote);
  EXPECT_TRUE(Contains(note, "folder: " + fs::canonical(data).string() + "\r\n")) << note;
  EXPECT_TRUE(Contains(note, "run: run4242abcdefghi\r\n")) << note;
  RecoveryCopyInfo info = InspectRecoveryCopy(data);
  EXPECT_TRUE(info.folderProblem.empty());
  EXPECT_TRUE(info.warning.empty()) << info.warning;
  EXPECT_EQ(info.taken.size(), std::string("2026-12-09 10:15:00").size()) << info.taken;
  EXPECT_TRUE(Contains(note, "written: " + info.taken)) << note;

  // Cut at a record boundary: two of the three records.
  const std::string whole = ReadBytes(Folder() / kBaiyoFile);
  const size_t second = whole.find("\r\n", whole.find("\r\n") + 2) + 2;
  WriteBytes(Folder() / kBaiyoFile, whole.substr(0, second));
  hensuu back;
  ASSERT_TRUE(ReadRecoveryCopy(back, data).empty());  // it parses, yet
  EXPECT_EQ(back.BaiyoCount(), 2);
  EXPECT_TRUE(Contains(InspectRecoveryCopy(data).warning, kBaiyoFile));
  WriteBytes(Folder() / kBaiyoFile, whole);
  EXPECT_TRUE(InspectRecoveryCopy(data).warning.empty());

  // Junk, missing, and another folder's note.
  WriteBytes(Folder() / kRecoveryNote, "junk");
  EXPECT_FALSE(InspectRecoveryCopy(data).warning.empty());
  fs::remove(Folder() / kRecoveryNote);
  EXPECT_TRUE(Contains(InspectRecoveryCopy(data).warning, "ありません"));
  WriteBytes(Folder() / kRecoveryNote, note);
  const fs::path elsewhere = dir.path() / "Elsewhere";
  fs::create_directory(elsewhere);
  fs::copy(Folder(), elsewhere / kRecoveryFolder);
  info = InspectRecoveryCopy(elsewhere);
  EXPECT_TRUE(Contains(info.warning, "別のデータフォルダ")) << info.warning;
  EXPECT_FALSE(info.taken.empty());
}

TEST_F(RecoverySafety, AFifoInTheCopyIsNamedAsSuchAndNeverBlocks) {
  store.BaiyoTable.Append({"二", "", false});
  ASSERT_TRUE(WriteNow().messages.empty());
  fs::remove(Folder() / kParaFile);
  ASSERT_EQ(::mkfifo((Folder() / kParaFile).c_str(), 0600), 0);
  hensuu back;
  FileMessages m = ReadRecoveryCopy(back, data);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_TRUE(Contains(m[0], "名前付きパイプ")) << m[0];
  EXPECT_FALSE(Contains(m[0], "ありません。")) << m[0];
}

TEST_F(RecoverySafety, LeftoversOfInterruptedWritesGoAndNothingElse) {
  store.BaiyoTable.Append({"二", "", false});
  ASSERT_TRUE(WriteNow().messages.empty());
  // A whole-folder write and a file write of a killed run (no such process).
  fs::create_directory(data / "復旧.tmp999996");
  WriteBytes(data / "復旧.tmp999996" / kParaFile, std::string(1000, 'x'));
  WriteBytes(Folder() / "ParaData.txt.tmp999996.Ab3dEf7h", "half");
  WriteBytes(Folder() / "notes.txt.tmp999996.zzzzzzzz", "mine");
  WriteBytes(data / "notes.txt.tmp999996.zzzzzzzz", "mine too");
  WriteBytes(data / "BaiyoData.txt.tmp999996.Ab3dEf7h", "half");
  RemoveRecoveryLeftovers(data);
  EXPECT_FALSE(fs::exists(data / "復旧.tmp999996"));
  EXPECT_FALSE(fs::exists(Folder() / "ParaData.txt.tmp999996.Ab3dEf7h"));
  EXPECT_TRUE(fs::exists(Folder() / "notes.txt.tmp999996.zzzzzzzz"));
  hensuu loaded;
  LoadDataFiles(loaded, data);
  EXPECT_FALSE(fs::exists(data / "BaiyoData.txt.tmp999996.Ab3dEf7h"));
  EXPECT_EQ(ReadBytes(data / "notes.txt.tmp999996.zzzzzzzz"), "mine too");
}

TEST(BakSafety, AMissingFileNeverEmptiesItsBak) {
  TempDir dir;
  hensuu s;
  s.BaiyoTable.Append({"黒ボク土", "培養日数", false});
  ASSERT_TRUE(SaveDataFiles(s, dir.path()).empty());
  hensuu first;
  ASSERT_TRUE(LoadDataFiles(first, dir.path()).empty());
  const std::string good = ReadBytes(dir.path() / "BaiyoData.bak");
  ASSERT_FALSE(good.empty());
  fs::remove(dir.path() / kBaiyoFile);
  hensuu next;
  FileMessages m = LoadDataFiles(next, dir.path(), "20261209-110000");
  ASSERT_EQ(m.size(), 1u);
  EXPECT_TRUE(Contains(m[0], "がなかったため")) << m[0];
  EXPECT_EQ(ReadBytes(dir.path() / "BaiyoData.bak"), good);
  EXPECT_EQ(ReadBytes(dir.path() / "BaiyoData.bak.kept-20261209-110000"), good);
  EXPECT_EQ(fs::file_size(dir.path() / kBaiyoFile), 0u);
}

TEST(BakSafety, TheRecordsOfADamagedFileSurviveASaveAndTheNextStart) {
  TempDir dir;
  hensuu s;
  for (const char* name : {"一", "二", "三"}) {
    ParaRecord p;
    p.SoilName = name;
    p.ModelNo = 1;
    s.ParaTable.Append(p);
  }
  ASSERT_TRUE(SaveDataFiles(s, dir.path()).empty());
  hensuu first;
  ASSERT_TRUE(LoadDataFiles(first, dir.path()).empty());
  const std::string good = ReadBytes(dir.path() / "ParaData.bak");
  // The second record is damaged.
  std::string bytes = ReadBytes(dir.path() / kParaFile);
  const size_t field = bytes.find(",1,", bytes.find("\r\n"));
  ASSERT_NE(field, std::string::npos);
  bytes.replace(field, 3, ",x,");
  WriteBytes(dir.path() / kParaFile, bytes);

  hensuu damaged;
  FileMessages m = LoadDataFiles(damaged, dir.path(), "20261209-110000");
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(damaged.ParaCount(), 1);
  EXPECT_EQ(ReadBytes(dir.path() / "ParaData.bak"), good);
  ASSERT_TRUE(SaveDataFiles(damaged, dir.path()).empty());  // what could be read
  hensuu after;
  EXPECT_TRUE(LoadDataFiles(after, dir.path(), "20261209-120000").empty());
  // The earlier version with all three records exists still.
  EXPECT_EQ(ReadBytes(dir.path() / "ParaData.bak.kept-20261209-110000"), good);
  hensuu three;
  const fs::path check = dir.path() / "check";
  fs::create_directory(check);
  fs::copy_file(dir.path() / "ParaData.bak.kept-20261209-110000", check / kParaFile);
  ASSERT_TRUE(ReadDataFiles(three, check).empty());
  EXPECT_EQ(three.ParaCount(), 3);
  EXPECT_TRUE(fs::exists(dir.path() / "ParaData.txt.unreadable-20261209-110000"));
}

}  // namespace
}  // namespace kelvora
