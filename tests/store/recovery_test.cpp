// The recovery copy of unsaved tables and the data folder lock: what changes
// a table's generation, what a snapshot takes, what the copy holds on disk and
// how it is read back, set aside and removed; the lock against a second
// program, also when the first was killed.
#include "store/recovery.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "store/cp932.h"
#include "store/data_files.h"
#include "store/folder_lock.h"
#include "test_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

const char* kAllFiles[] = {"BaiyoData.txt", "ParaData.txt", "TionData.txt", "Suitei.txt",
                           "Hojyo.txt"};

ParaRecord Para(const std::string& name, float k) {
  ParaRecord p;
  p.SoilName = name;
  p.ModelNo = 1;
  p.Param = {17000.5f, k, 12.25f, 0.1f, 0, 0, 0};
  p.Aic = -3.5f;
  p.Rss = 0.0125f;
  p.StdTemp = 25;
  return p;
}

// A store with one record in every table, as loaded from the data files.
void Fill(hensuu& store) {
  store.BaiyoTable.Append({"黒ボク土,畑", "培養日数\t20\t25\t30\r0\t1\t1.5\t2", false});
  store.ParaTable.Append(Para("黒ボク土", 0.0123f));
  store.TionTable.Append({"つくば", "年/月/日\t地温(℃)\r2026/04/01\t12.5"});
  store.SuiteiTable.Append({1, "黒ボク土", "つくば", "年/月/日\t(mg/100g)\r2026/04/01\t0.1", 25});
  store.HojyoTable.Append({"灰色低地土", "年/月/日\t地温(℃)\t無機化量\r2026/04/01\t12\t", true});
}

TEST(TableGeneration, EveryChangeAndOnlyAChangeGivesANewGeneration) {
  Table<ParaRecord> t;
  uint64_t g = t.Generation();
  ASSERT_TRUE(t.Append(Para("a", 1)));
  EXPECT_NE(t.Generation(), g);
  g = t.Generation();
  t.Replace(1, Para("b", 2));
  EXPECT_NE(t.Generation(), g);
  EXPECT_EQ(t(1).SoilName, "b");
  g = t.Generation();
  // Reading, also through a non-const table, changes nothing.
  Table<ParaRecord>& same = t;
  EXPECT_EQ(same(1).Param[1], 2.0f);
  EXPECT_EQ(same(same.Count()).SoilName, "b");
  for (const ParaRecord& r : same.Rows()) EXPECT_EQ(r.ModelNo, 1);
  EXPECT_EQ(t.Generation(), g);
  t.Append(Para("c", 3));
  const uint64_t afterAppend = t.Generation();
  t.Remove(1);
  EXPECT_NE(t.Generation(), afterAppend);
  EXPECT_EQ(t(1).SoilName, "c");
  g = t.Generation();
  t.Clear();
  EXPECT_NE(t.Generation(), g);

  // A copy keeps the generation and the records; a table assigned from
  // another one never takes a generation its old content had.
  Table<ParaRecord> a, b;
  a.Append(Para("x", 1));
  b.Append(Para("y", 1));
  Table<ParaRecord> copy = a;
  EXPECT_EQ(copy.Generation(), a.Generation());
  EXPECT_EQ(copy(1), a(1));
  const uint64_t before = a.Generation();
  a = b;
  EXPECT_NE(a.Generation(), before);
  // Changing the original leaves the copy as it was.
  b.Replace(1, Para("z", 9));
  EXPECT_EQ(a(1).SoilName, "y");
}

TEST(TableGeneration, AFullTableRefusesAnAppendWithoutAChange) {
  Table<TionRecord> t;
  for (int i = 0; i < kMaxRecords; ++i) ASSERT_TRUE(t.Append({"s", ""}));
  const uint64_t g = t.Generation();
  EXPECT_FALSE(t.Append({"one too many", ""}));
  EXPECT_EQ(t.Generation(), g);
  EXPECT_EQ(t.Count(), kMaxRecords);
}

class RecoveryCopyTest : public ::testing::Test {
 protected:
  fs::path Folder() const { return dir.path() / kRecoveryFolder; }
  RecoveryWriteResult WriteNow() {
    RecoverySnapshot s = state.TakeSnapshot(store);
    RecoveryWriteResult r = WriteSnapshot(dir.path(), run, s);
    state.Written(s, r);
    return r;
  }
  TempDir dir;
  hensuu store;
  RecoveryState state;
  RunInfo run{4242, "2026-12-09 09:00:00", "testrun0000000001"};
};

TEST_F(RecoveryCopyTest, NothingIsWrittenUntilATableChanges) {
  Fill(store);
  state.StartFromDataFiles(store);
  EXPECT_FALSE(state.Pending(store));
  store.ParaCurrent = 1;  // indexes are not data
  store.WindowCascadeOffset = 500;
  EXPECT_FALSE(state.Pending(store));
  store.ParaTable.Append(Para("新しい土", 0.5f));
  EXPECT_TRUE(state.Pending(store));
}

TEST_F(RecoveryCopyTest, TheFirstCopyHoldsAllFiveFilesAsTheDataFilesWouldAndTheNote) {
  Fill(store);
  state.StartFromDataFiles(store);
  store.ParaTable.Append(Para("新しい土", 0.5f));
  RecoverySnapshot s = state.TakeSnapshot(store);
  EXPECT_TRUE(s.wholeFolder);
  EXPECT_TRUE(s.baiyo && s.para && s.tion && s.suitei && s.hojyo);
  RecoveryWriteResult r = WriteSnapshot(dir.path(), run, s);
  ASSERT_TRUE(r.messages.empty()) << r.messages[0];
  state.Written(s, r);
  EXPECT_FALSE(state.Pending(store));

  // Byte for byte what saving the data files writes (code page 932, CR LF).
  fs::path saved = dir.path() / "saved";
  ASSERT_TRUE(SaveDataFiles(store, saved).empty());
  for (const char* f : kAllFiles) {
    EXPECT_EQ(ReadBytes(Folder() / f), ReadBytes(saved / f)) << f;
  }
  EXPECT_NE(ReadBytes(Folder() / kParaFile).find(*EncodeCp932("\"新しい土\",1,")),
            std::string::npos);
  const std::string note = ReadBytes(Folder() / kRecoveryNote);
  EXPECT_NE(note.find("pid: 4242\r\n"), std::string::npos) << note;
  EXPECT_NE(note.find("started: 2026-12-09 09:00:00\r\n"), std::string::npos) << note;
  EXPECT_NE(note.find("written: "), std::string::npos) << note;
  // No temporary folder or file is left behind.
  int entries = 0;
  for (const auto& e : fs::directory_iterator(dir.path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 2);  // the copy and "saved"
  int files = 0;
  for (const auto& e : fs::directory_iterator(Folder())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 7);  // the six tables (Sekkei.txt too, empty) and the note
}

TEST_F(RecoveryCopyTest, LaterCopiesWriteOnlyTheChangedTables) {
  Fill(store);
  state.StartFromDataFiles(store);
  store.BaiyoTable.Append({"追加", "培養日数\t20\t25\t30", true});
  ASSERT_TRUE(WriteNow().messages.empty());

  // Files of unchanged tables are not rewritten: a marker put in one stays.
  WriteBytes(Folder() / kTionFile, "untouched");
  store.ParaTable.Replace(1, Para("選び直し", 0.25f));
  store.SuiteiTable.Remove(1);
  RecoverySnapshot s = state.TakeSnapshot(store);
  EXPECT_FALSE(s.wholeFolder);
  EXPECT_TRUE(s.para && s.suitei);
  EXPECT_FALSE(s.baiyo || s.tion || s.hojyo);
  RecoveryWriteResult r = WriteSnapshot(dir.path(), run, s);
  ASSERT_TRUE(r.messages.empty());
  state.Written(s, r);
  EXPECT_EQ(ReadBytes(Folder() / kTionFile), "untouched");
  EXPECT_EQ(fs::file_size(Folder() / kSuiteiFile), 0u);

  store.TionTable.Clear();
  ASSERT_TRUE(WriteNow().messages.empty());
  hensuu back;
  ASSERT_TRUE(ReadRecoveryCopy(back, dir.path()).empty());
  EXPECT_EQ(back.BaiyoCount(), 2);
  EXPECT_EQ(back.BaiyoTable(2).SoilName, "追加");
  EXPECT_EQ(back.ParaTable(1), Para("選び直し", 0.25f));
  EXPECT_EQ(back.SuiteiCount(), 0);
  EXPECT_EQ(back.TionCount(), 0);
  EXPECT_EQ(back.HojyoTable(1), store.HojyoTable(1));
  EXPECT_EQ(back.BaiyoCurrent, 2);
  EXPECT_EQ(back.HojyoCurrent, 1);
}

TEST_F(RecoveryCopyTest, AFolderRemovedMeanwhileIsWrittenWholeAgain) {
  Fill(store);
  state.StartFromDataFiles(store);
  store.ParaTable.Append(Para("p", 1));
  ASSERT_TRUE(WriteNow().messages.empty());
  fs::remove_all(Folder());
  store.ParaTable.Append(Para("q", 2));
  RecoveryWriteResult r = WriteNow();
  EXPECT_TRUE(r.folderMissing);
  EXPECT_TRUE(state.Pending(store));
  ASSERT_TRUE(WriteNow().messages.empty());
  hensuu back;
  ASSERT_TRUE(ReadRecoveryCopy(back, dir.path()).empty());
  EXPECT_EQ(back.ParaCount(), 3);
  EXPECT_EQ(back.TionCount(), 1);
}

TEST_F(RecoveryCopyTest, AFailedWriteIsTakenAgainAndLeavesNoHalfFolder) {
  Fill(store);
  state.StartFromDataFiles(store);
  store.TionTable.Append({"𠮷野", ""});  // no code page 932 form
  RecoveryWriteResult r = WriteNow();
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_FALSE(fs::exists(Folder()));
  EXPECT_TRUE(state.Pending(store));
  store.TionTable.Remove(2);
  ASSERT_TRUE(WriteNow().messages.empty());
  EXPECT_TRUE(fs::exists(Folder() / kTionFile));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(RecoveryCopyTest, AStoppedWriteLeavesTheCopyAsItWas) {
  Fill(store);
  state.StartFromDataFiles(store);
  store.ParaTable.Append(Para("p", 1));
  std::atomic<bool> stop{true};
  RecoverySnapshot s = state.TakeSnapshot(store);
  RecoveryWriteResult r = WriteSnapshot(dir.path(), run, s, &stop);
  EXPECT_FALSE(r.messages.empty());
  EXPECT_TRUE(fs::is_empty(dir.path()));
  state.Written(s, r);
  ASSERT_TRUE(WriteNow().messages.empty());
  const std::string para = ReadBytes(Folder() / kParaFile);
  store.ParaTable.Append(Para("q", 2));
  s = state.TakeSnapshot(store);
  EXPECT_FALSE(WriteSnapshot(dir.path(), run, s, &stop).messages.empty());
  EXPECT_EQ(ReadBytes(Folder() / kParaFile), para);
}

TEST_F(RecoveryCopyTest, RestoredTablesNeedNoNewCopyUntilTheyChange) {
  Fill(store);
  state.StartFromDataFiles(store);
  store.HojyoTable.Append({"h", "", false});
  ASSERT_TRUE(WriteNow().messages.empty());

  hensuu next;
  RecoveryState nextState;
  ASSERT_TRUE(ReadRecoveryCopy(next, dir.path()).empty());
  nextState.StartFromCopy(next);
  EXPECT_FALSE(nextState.Pending(next));
  next.HojyoTable.Remove(2);
  EXPECT_TRUE(nextState.Pending(next));
  RecoverySnapshot s = nextState.TakeSnapshot(next);
  EXPECT_FALSE(s.wholeFolder);
  EXPECT_TRUE(s.hojyo && !s.para);
}

TEST_F(RecoveryCopyTest, AnIncompleteCopyIsNotRead) {
  Fill(store);
  state.StartFromDataFiles(store);
  store.ParaTable.Append(Para("p", 1));
  ASSERT_TRUE(WriteNow().messages.empty());
  fs::remove(Folder() / kSuiteiFile);
  hensuu other;
  other.ParaTable.Append(Para("kept", 3));
  FileMessages m = ReadRecoveryCopy(other, dir.path());
  ASSERT_EQ(m.size(), 1u);
  EXPECT_NE(m[0].find("Suitei.txt"), std::string::npos);
  EXPECT_EQ(other.ParaCount(), 1);
  EXPECT_EQ(other.ParaTable(1).SoilName, "kept");

  // A damaged line is not read either.
  WriteBytes(Folder() / kSuiteiFile, "");
  WriteBytes(Folder() / kParaFile, "\"broken\",x\r\n");
  EXPECT_FALSE(ReadRecoveryCopy(other, dir.path()).empty());
  EXPECT_EQ(other.ParaTable(1).SoilName, "kept");
}

TEST_F(RecoveryCopyTest, SetAsideKeepsEveryCopyUnderItsOwnName) {
  for (int i = 0; i < 3; ++i) {
    fs::create_directory(Folder());
    WriteBytes(Folder() / kRecoveryNote, std::to_string(i));
    std::string reason;
    std::optional<fs::path> aside = SetRecoveryCopyAside(dir.path(), reason, "20261209-101500");
    ASSERT_TRUE(aside) << reason;
    EXPECT_FALSE(fs::exists(Folder()));
    EXPECT_EQ(ReadBytes(*aside / kRecoveryNote), std::to_string(i));
  }
  EXPECT_TRUE(fs::exists(dir.path() / "復旧-20261209-101500"));
  EXPECT_TRUE(fs::exists(dir.path() / "復旧-20261209-101500-2"));
  EXPECT_TRUE(fs::exists(dir.path() / "復旧-20261209-101500-3"));

  // Without a given stamp the name carries when the copy was last written.
  fs::create_directory(Folder());
  WriteBytes(Folder() / kRecoveryNote, "n");
  std::string reason;
  std::optional<fs::path> aside = SetRecoveryCopyAside(dir.path(), reason);
  ASSERT_TRUE(aside) << reason;
  const std::string name = aside->filename().string();
  ASSERT_EQ(name.size(), std::string("復旧-YYYYMMDD-HHMMSS").size()) << name;
  EXPECT_EQ(name.substr(0, std::string("復旧-").size()), "復旧-");

  std::string why;
  fs::create_directory(Folder());
  WriteBytes(Folder() / kParaFile, "x");
  EXPECT_TRUE(RemoveRecoveryCopy(dir.path(), why));
  EXPECT_FALSE(RecoveryCopyExists(dir.path()));
  EXPECT_TRUE(RemoveRecoveryCopy(dir.path(), why));  // nothing to remove is fine
}

TEST(FolderLockTest, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
  TempDir dir;
  FolderLock first;
  std::string detail;
  ASSERT_EQ(first.Take(dir.path(), detail), FolderLock::Result::Taken) << detail;
  EXPECT_EQ(ReadBytes(dir.path() / kLockFile).substr(0, std::to_string(getpid()).size() + 1),
            std::to_string(getpid()) + "\n");
  FolderLock second;
  EXPECT_EQ(second.Take(dir.path(), detail), FolderLock::Result::InUse);
  EXPECT_EQ(detail, std::to_string(getpid()));
  EXPECT_FALSE(second.Held());
  first.Release();
  EXPECT_FALSE(fs::exists(dir.path() / kLockFile));
  EXPECT_EQ(second.Take(dir.path(), detail), FolderLock::Result::Taken);
  // Another folder is another lock.
  TempDir other;
  FolderLock third;
  EXPECT_EQ(third.Take(other.path(), detail), FolderLock::Result::Taken);
}

TEST(FolderLockTest, AFifoInTheLockFilesPlaceIsRefusedAndKept) {
  TempDir dir;
  const fs::path fifo = dir.path() / kLockFile;
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  {
    FolderLock lock;
    std::string detail;
    // Neither blocks on the FIFO nor takes it.
    EXPECT_EQ(lock.Take(dir.path(), detail), FolderLock::Result::Failed);
    EXPECT_FALSE(lock.Held());
    EXPECT_NE(detail.find(FileKindName(S_IFIFO)), std::string::npos) << detail;
  }
  EXPECT_TRUE(fs::is_fifo(fifo));  // still there after the lock object is gone
}

TEST(FolderLockTest, ALockLeftByAKilledProcessIsTakenOver) {
  TempDir dir;
  // A lock file naming a process that is gone (nobody holds its lock).
  WriteBytes(dir.path() / kLockFile, "999999\n2026-12-01 08:00:00\n");
  {
    FolderLock lock;
    std::string detail;
    EXPECT_EQ(lock.Take(dir.path(), detail), FolderLock::Result::Taken) << detail;
  }

  // A process holding the lock is killed (-9): the lock goes with it.
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    FolderLock lock;
    std::string detail;
    char ok = lock.Take(dir.path(), detail) == FolderLock::Result::Taken ? 'y' : 'n';
    if (write(ready[1], &ok, 1) != 1) _exit(2);
    for (;;) pause();
  }
  close(ready[1]);
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  close(ready[0]);
  ASSERT_EQ(ok, 'y');
  FolderLock lock;
  std::string detail;
  EXPECT_EQ(lock.Take(dir.path(), detail), FolderLock::Result::InUse);
  EXPECT_EQ(detail, std::to_string(child));
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_TRUE(fs::exists(dir.path() / kLockFile));  // left behind, but not locked
  EXPECT_EQ(lock.Take(dir.path(), detail), FolderLock::Result::Taken) << detail;
  EXPECT_EQ(ReadBytes(dir.path() / kLockFile).substr(0, std::to_string(getpid()).size()),
            std::to_string(getpid()));
}

}  // namespace
}  // namespace kelvora
