// Data files under faults: read errors, damaged files, planted links, killed
// saves, permissions.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <regex>

#include "store/cp932.h"
#include "store/data_files.h"
#include "store/record_line.h"
#include "test_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::string ParaLine(const std::string& name, float stdTemp) {
  ParaRecord p;
  p.SoilName = name;
  p.ModelNo = 1;
  p.Param = {15000, 0.02f, 10, 1, 0, 0, 0};
  p.Aic = -3.5f;
  p.Rss = 0.25f;
  p.IsManual = true;
  p.StdTemp = stdTemp;
  return *WriteRecordLine(ToFields(p), nullptr);
}

std::string BaiyoLine(const std::string& name) {
  BaiyoRecord r{name, "培養日数\t20\t25\t30\r0\t1.2\t1.3\t1.4\r7\t\t2\t", true};
  return *WriteRecordLine(ToFields(r), nullptr);
}

mode_t ModeOf(const fs::path& p) {
  struct stat st;
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return st.st_mode & 07777;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::string> TempFilesIn(const fs::path& dir) {
  std::vector<std::string> found;
  for (const auto& e : fs::directory_iterator(dir)) {
    std::string name = e.path().filename().string();
    if (Contains(name, ".tmp")) found.push_back(name);
  }
  return found;
}

// A process id that is certainly not running: a child that has exited and
// been reaped.
pid_t DeadPid() {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return pid;
}

// ---- read errors --------------------------------------------------------

TEST(FileSafety, FolderInPlaceOfAFileIsReportedAndNeverSavedOver) {
  TempDir dir;
  WriteBytes(dir.path() / "ParaData.bak", ParaLine("前回", 25));
  fs::create_directory(dir.path() / "ParaData.txt");
  hensuu store;
  FileMessages m = LoadDataFiles(store, dir.path(), "s");
  ASSERT_EQ(m.size(), 1u);
  EXPECT_TRUE(Contains(m[0], "ParaData.txt")) << m[0];
  EXPECT_TRUE(Contains(m[0], std::strerror(EISDIR))) << m[0];
  EXPECT_TRUE(Contains(m[0], "ParaData.bak")) << m[0];  // the backup holds the previous version
  EXPECT_EQ(ReadBytes(dir.path() / "ParaData.bak"), ParaLine("前回", 25));
  EXPECT_EQ(store.FilesNotToSave.count(kParaFile), 1u);

  store.ParaTable.Append(ParaRecord{});
  store.BaiyoTable.Append(BaiyoRecord{"新", "", false});
  FileMessages saved = SaveDataFiles(store, dir.path());
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_TRUE(Contains(saved[0], "ParaData.txt")) << saved[0];
  EXPECT_TRUE(fs::is_directory(dir.path() / "ParaData.txt"));
  EXPECT_EQ(ReadBytes(dir.path() / "BaiyoData.txt"),
            *WriteRecordLine(ToFields(store.BaiyoTable(1)), nullptr));
  EXPECT_TRUE(TempFilesIn(dir.path()).empty());
}

TEST(FileSafety, FifoInPlaceOfAFileNeitherBlocksNorIsReplaced) {
  TempDir dir;
  fs::path fifo = dir.path() / "TionData.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  hensuu store;
  // Nobody ever writes to the FIFO: a reader that opened it would wait forever.
  auto load = std::async(std::launch::async, [&] { return LoadDataFiles(store, dir.path(), "s"); });
  ASSERT_EQ(load.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  FileMessages m = load.get();
  ASSERT_EQ(m.size(), 1u);
  EXPECT_TRUE(Contains(m[0], "TionData.txt")) << m[0];
  EXPECT_TRUE(Contains(m[0], "名前付きパイプ")) << m[0];
  EXPECT_FALSE(fs::exists(dir.path() / "TionData.bak"));
  store.TionTable.Append(TionRecord{"地点", ""});
  EXPECT_EQ(SaveTionFile(store, dir.path()).size(), 1u);
  EXPECT_TRUE(fs::is_fifo(fifo));

  std::string bytes, reason;
  EXPECT_FALSE(ReadFileWhole(fifo, bytes, reason));
  EXPECT_FALSE(ReadFileWhole(dir.path(), bytes, reason, false));
  EXPECT_EQ(reason, "フォルダです（Is a directory）");
}

TEST(FileSafety, InputOutputErrorInTheMiddleOfAReadIsNotAnEmptyFile) {
  // Reading /proc/self/mem from offset 0 fails with an I/O error: a data file
  // linked there stands for a disk whose reads fail.
  TempDir dir;
  WriteBytes(dir.path() / "Suitei.bak", "old backup");
  fs::create_symlink("/proc/self/mem", dir.path() / "Suitei.txt");
  std::string bytes, reason;
  ASSERT_FALSE(ReadFileWhole(dir.path() / "Suitei.txt", bytes, reason));
  EXPECT_EQ(reason, "入出力エラーが発生しました（Input/output error）");

  hensuu store;
  FileMessages m = LoadDataFiles(store, dir.path(), "s");
  ASSERT_EQ(m.size(), 1u);
  EXPECT_TRUE(Contains(m[0], "Suitei.txt")) << m[0];
  EXPECT_TRUE(Contains(m[0], std::strerror(EIO))) << m[0];
  EXPECT_EQ(ReadBytes(dir.path() / "Suitei.bak"), "old backup");
  EXPECT_EQ(SaveDataFiles(store, dir.path()).size(), 1u);
  EXPECT_TRUE(fs::is_symlink(dir.path() / "Suitei.txt"));
}

// ---- damaged files and their backups ------------------------------------

TEST(FileSafety, FileCutInItsSecondRecordLeavesTheGoodBackupAlone) {
  TempDir dir;
  const std::string previous = ParaLine("一", 25) + ParaLine("二", 25) + ParaLine("三", 25);
  WriteBytes(dir.path() / "ParaData.bak", previous);
  const std::string damaged = ParaLine("一", 25) + ParaLine("二", 25).substr(0, 9);
  WriteBytes(dir.path() / "ParaData.txt", damaged);
  hensuu store;
  FileMessages m = LoadDataFiles(store, dir.path(), "s");
  ASSERT_EQ(m.size(), 1u);
  EXPECT_TRUE(Contains(m[0], "2行目")) << m[0];
  EXPECT_TRUE(Contains(m[0], "ParaData.bak")) << m[0];
  EXPECT_EQ(ReadBytes(dir.path() / "ParaData.bak"), previous);
  EXPECT_EQ(ReadBytes(dir.path() / "ParaData.txt.unreadable-s"), damaged);
  EXPECT_EQ(store.ParaCount(), 1);
  // The damaged file is safe aside, so the records read may be saved.
  EXPECT_TRUE(SaveDataFiles(store, dir.path()).empty());
  EXPECT_EQ(ReadBytes(dir.path() / "ParaData.txt"), ParaLine("一", 25));
  EXPECT_EQ(ReadBytes(dir.path() / "ParaData.bak"), previous);
}

TEST(FileSafety, DamagedFileThatCannotBeCopiedAsideIsNeverSavedOver) {
  TempDir dir;
  const std::string damaged = ParaLine("一", 25) + "\"壊";
  WriteBytes(dir.path() / "ParaData.txt", damaged);
  fs::create_directory(dir.path() / "ParaData.txt.unreadable-s");  // the copy's name is taken
  // A link planted at the copy's name is not followed.
  WriteBytes(dir.path() / "victim", "precious");
  WriteBytes(dir.path() / "Hojyo.txt", "\"壊");
  fs::create_symlink(dir.path() / "victim", dir.path() / "Hojyo.txt.unreadable-s");
  hensuu store;
  FileMessages m = LoadDataFiles(store, dir.path(), "s");
  ASSERT_EQ(m.size(), 2u);
  EXPECT_TRUE(Contains(m[0], "今回は保存しません")) << m[0];
  EXPECT_TRUE(Contains(m[1], "今回は保存しません")) << m[1];
  EXPECT_EQ(ReadBytes(dir.path() / "victim"), "precious");
  EXPECT_EQ(SaveDataFiles(store, dir.path()).size(), 2u);
  EXPECT_EQ(ReadBytes(dir.path() / "ParaData.txt"), damaged);
  EXPECT_EQ(ReadBytes(dir.path() / "Hojyo.txt"), "\"壊");
}

TEST(FileSafety, LastRecordCutAtAnyByteIsMalformed) {
  // The last record of the file ends in ",25" CR LF; cut short anywhere, it
  // must not load (",2" would read as StdTemp 2).
  const std::string first = ParaLine("一", 20);
  const std::string last = ParaLine("二", 25);
  ASSERT_TRUE(Contains(last, ",#TRUE#,25\r\n"));
  TempDir dir;
  for (size_t cut = 1; cut < last.size(); ++cut) {
    SCOPED_TRACE("cut after byte " + std::to_string(cut));
    const std::string bytes = first + last.substr(0, cut);
    WriteBytes(dir.path() / "ParaData.txt", bytes);
    WriteBytes(dir.path() / "ParaData.bak", first + last);
    hensuu store;
    FileMessages m = LoadDataFiles(store, dir.path(), std::to_string(cut));
    ASSERT_EQ(m.size(), 1u);
    EXPECT_TRUE(Contains(m[0], "ParaData.txt」の2行目")) << m[0];
    ASSERT_EQ(store.ParaCount(), 1);
    EXPECT_EQ(store.ParaTable(1).StdTemp, 20);
    EXPECT_EQ(ReadBytes(dir.path() / ("ParaData.txt.unreadable-" + std::to_string(cut))), bytes);
    EXPECT_EQ(ReadBytes(dir.path() / "ParaData.bak"), first + last);
  }
  // A record of grid text (quoted CRs and TABs) cut anywhere is malformed too.
  const std::string grid = BaiyoLine("土");
  for (size_t cut = 1; cut < grid.size(); ++cut) {
    ReadResult r = ReadRecordLines(grid + grid.substr(0, cut), RecordFieldKinds<BaiyoRecord>());
    EXPECT_FALSE(r.ok) << "cut after byte " << cut;
    EXPECT_EQ(r.badLine, 2) << "cut after byte " << cut;
    EXPECT_EQ(r.records.size(), 1u);
  }
  ReadResult whole = ReadRecordLines(first + last, RecordFieldKinds<ParaRecord>());
  EXPECT_TRUE(whole.ok);
  EXPECT_EQ(whole.records.size(), 2u);
}

// ---- temporary files ------------------------------------------------------

TEST(FileSafety, PlantedLinksAtTemporaryNamesAreNotFollowed) {
  TempDir dir;
  fs::path data = dir.path() / "Data";
  fs::create_directory(data);
  fs::path victim = dir.path() / "victim.txt";
  WriteBytes(victim, "precious");
  // The names earlier versions used: "<file>.tmp<pid>".
  for (const char* f : {"BaiyoData.txt", "ParaData.txt", "TionData.txt", "Suitei.txt", "Hojyo.txt",
                        "BaiyoData.bak"}) {
    fs::create_symlink(victim, data / (std::string(f) + ".tmp" + std::to_string(::getpid())));
  }
  hensuu store;
  EXPECT_TRUE(LoadDataFiles(store, data).empty());
  store.BaiyoTable.Append(BaiyoRecord{"土", "", false});
  EXPECT_TRUE(SaveDataFiles(store, data).empty());
  EXPECT_EQ(ReadBytes(victim), "precious");
  EXPECT_EQ(store.BaiyoCount(), 1);
  hensuu back;
  ReadDataFiles(back, data);
  EXPECT_EQ(back.BaiyoCount(), 1);
}

TEST(FileSafety, StaleTemporaryFilesOfDeadSavesAreRemovedAtStart) {
  TempDir dir;
  const std::string dead = std::to_string(DeadPid());
  const std::string alive = "1";  // init outlives every test
  const std::vector<std::string> stale = {
      "BaiyoData.txt.tmp" + dead + ".Ab3dEf9Z", "ParaData.bak.tmp" + dead + ".zzzzzzzz",
      "Hojyo.txt.tmp" + dead,  // as earlier versions named them
  };
  const std::vector<std::string> kept = {
      "BaiyoData.txt.tmp" + alive + ".Ab3dEf9Z",  // a save still running
      "notes.tmp" + dead,                         // not a name of ours
      "BaiyoData.txt.tmp" + dead + ".short",      // not our pattern
      "BaiyoData.txt.tmp" + dead + ".Ab3dEf9Z.x",
  };
  for (const auto& n : stale) WriteBytes(dir.path() / n, std::string(1000, 'x'));
  for (const auto& n : kept) WriteBytes(dir.path() / n, "x");
  fs::create_directory(dir.path() / ("TionData.txt.tmp" + dead + ".Ab3dEf9Z"));
  hensuu store;
  EXPECT_TRUE(LoadDataFiles(store, dir.path()).empty());
  for (const auto& n : stale) EXPECT_FALSE(fs::exists(dir.path() / n)) << n;
  for (const auto& n : kept) EXPECT_TRUE(fs::exists(dir.path() / n)) << n;
  EXPECT_TRUE(fs::is_directory(dir.path() / ("TionData.txt.tmp" + dead + ".Ab3dEf9Z")));
}

// ---- permissions and links -------------------------------------------------

TEST(FileSafety, SavesAndCopiesKeepThePermissionsOfTheirOriginal) {
  TempDir dir;
  WriteBytes(dir.path() / "ParaData.txt", ParaLine("一", 25));
  ::chmod((dir.path() / "ParaData.txt").c_str(), 0600);
  WriteBytes(dir.path() / "Hojyo.txt", "\"壊れた");
  ::chmod((dir.path() / "Hojyo.txt").c_str(), 0640);
  hensuu store;
  EXPECT_EQ(LoadDataFiles(store, dir.path(), "s").size(), 1u);
  EXPECT_EQ(ModeOf(dir.path() / "ParaData.bak"), 0600u);
  EXPECT_EQ(ModeOf(dir.path() / "Hojyo.txt.unreadable-s"), 0640u);
  store.ParaTable.Append(ParaRecord{});
  EXPECT_TRUE(SaveDataFiles(store, dir.path()).empty());
  EXPECT_EQ(ModeOf(dir.path() / "ParaData.txt"), 0600u);
  EXPECT_EQ(ModeOf(dir.path() / "Hojyo.txt"), 0640u);

  // A new file gets the usual permissions: 0666 less the umask.
  const mode_t mask = ::umask(027);
  std::string reason;
  ASSERT_TRUE(WriteFileAtomically(dir.path() / "new.txt", "x", reason)) << reason;
  ::umask(mask);
  EXPECT_EQ(ModeOf(dir.path() / "new.txt"), 0640u);
}

TEST(FileSafety, DataFileThatIsALinkIsSavedThroughTheLink) {
  TempDir dir;
  fs::path data = dir.path() / "Data";
  fs::path elsewhere = dir.path() / "shared";
  fs::create_directories(data);
  fs::create_directories(elsewhere);
  WriteBytes(elsewhere / "baiyo.txt", BaiyoLine("前"));
  ::chmod((elsewhere / "baiyo.txt").c_str(), 0600);
  fs::create_symlink("../shared/baiyo.txt", data / "BaiyoData.txt");  // relative link
  fs::create_symlink(elsewhere / "para.txt", data / "ParaData.txt");  // target not there yet
  // A killed save beside the target left this.
  const std::string staleName = "baiyo.txt.tmp" + std::to_string(DeadPid()) + ".Ab3dEf9Z";
  WriteBytes(elsewhere / staleName, "partial");
  // Outside the data folder only temporary files of the link's target are ours.
  const std::string otherName = "other.txt.tmp" + std::to_string(DeadPid()) + ".Ab3dEf9Z";
  WriteBytes(elsewhere / otherName, "not ours to judge");

  hensuu store;
  EXPECT_TRUE(LoadDataFiles(store, data).empty());
  EXPECT_FALSE(fs::exists(elsewhere / staleName));
  EXPECT_TRUE(fs::exists(elsewhere / otherName));
  EXPECT_TRUE(fs::exists(elsewhere / "para.txt"));  // created through the link
  ASSERT_EQ(store.BaiyoCount(), 1);
  store.BaiyoTable.Append(BaiyoRecord{"後", "", false});
  store.ParaTable.Append(ParaRecord{});
  EXPECT_TRUE(SaveDataFiles(store, data).empty());
  EXPECT_TRUE(fs::is_symlink(data / "BaiyoData.txt"));
  EXPECT_TRUE(fs::is_symlink(data / "ParaData.txt"));
  EXPECT_EQ(ReadBytes(elsewhere / "baiyo.txt"),
            BaiyoLine("前") + *WriteRecordLine(ToFields(store.BaiyoTable(2)), nullptr));
  EXPECT_EQ(ModeOf(elsewhere / "baiyo.txt"), 0600u);
  EXPECT_FALSE(ReadBytes(elsewhere / "para.txt").empty());
  EXPECT_TRUE(TempFilesIn(data).empty());
  EXPECT_EQ(TempFilesIn(elsewhere), std::vector<std::string>{otherName});
}

// ---- the order of system calls of a save -----------------------------------

// Run by FolderIsSyncedAfterTheRename in a child process under strace.
TEST(FileSafety, DISABLED_SaveOneFileForTrace) {
  const char* dir = std::getenv("KELVORA_TRACE_DIR");
  ASSERT_NE(dir, nullptr);
  hensuu store;
  store.BaiyoTable.Append(BaiyoRecord{"土", "", false});
  ASSERT_TRUE(SaveBaiyoFile(store, dir).empty());
}

TEST(FileSafety, FolderIsSyncedAfterTheRename) {
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  TempDir dir;
  fs::path log = dir.path() / "trace.txt";
  fs::path data = dir.path() / "Data";
  fs::create_directory(data);
  std::string self = fs::read_symlink("/proc/self/exe").string();
  // The leak checker of a sanitizer build cannot run under a tracer.
  std::string cmd =
      "ASAN_OPTIONS=detect_leaks=0 KELVORA_TRACE_DIR='" + data.string() + "' strace -f -qq -o '" +
      log.string() +
      "' -e trace=openat,open,write,fsync,fdatasync,rename,renameat,renameat2,close '" + self +
      "' --gtest_also_run_disabled_tests "
      "--gtest_filter=FileSafety.DISABLED_SaveOneFileForTrace >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::string trace = ReadBytes(log);
  // openat(..."Data/BaiyoData.txt.tmp<pid>.<8>", O_WRONLY|O_CREAT|O_EXCL|O_NOFOLLOW...) = fd
  std::smatch tmp;
  ASSERT_TRUE(std::regex_search(
      trace, tmp,
      std::regex(
          R"re(open(?:at)?\([^"]*"([^"]*BaiyoData\.txt\.tmp[0-9]+\.[A-Za-z0-9]{8})", ([^)]*)\) = ([0-9]+))re")))
      << trace;
  EXPECT_TRUE(Contains(tmp[2], "O_EXCL")) << tmp[2];
  EXPECT_TRUE(Contains(tmp[2], "O_NOFOLLOW")) << tmp[2];
  const std::string fd = tmp[3];
  size_t sync = trace.find("fsync(" + fd + ")", tmp.position(0));
  size_t rename = trace.find("rename", tmp.position(0));
  ASSERT_NE(sync, std::string::npos) << trace;
  ASSERT_NE(rename, std::string::npos) << trace;
  EXPECT_LT(sync, rename);
  // After the rename: the folder is opened and synced.
  std::smatch folder;
  std::string after = trace.substr(rename);
  ASSERT_TRUE(std::regex_search(after, folder,
                                std::regex("open(?:at)?\\([^\"]*\"" + data.string() +
                                           "/?\", [^)]*O_DIRECTORY[^)]*\\) = ([0-9]+)")))
      << after;
  EXPECT_TRUE(Contains(after, "fsync(" + folder[1].str() + ")")) << after;
}

// ---- kill -9 in the middle of saves ----------------------------------------

// A child saves a big folder over and over; it is killed at random moments.
// After each kill the next start must find every file whole (the old or the
// new version) and no temporary file. KELVORA_KILL_TRIALS and
// KELVORA_KILL_MB make the trial longer (24 kills of a 20 MB folder: 24, 20).
TEST(FileSafety, KilledSavesLeaveNoPartialFileAndNoTemporaryFile) {
  const int trials =
      std::getenv("KELVORA_KILL_TRIALS") ? std::atoi(std::getenv("KELVORA_KILL_TRIALS")) : 6;
  const int megabytes =
      std::getenv("KELVORA_KILL_MB") ? std::atoi(std::getenv("KELVORA_KILL_MB")) : 4;
  TempDir dir;
  // Two versions of every table, each about a fifth of the folder.
  auto fill = [&](hensuu& s, const std::string& tag) {
    const std::string grid(static_cast<size_t>(megabytes) * 1024 * 1024 / 5 / 400, '9');
    for (int i = 0; i < 400; ++i) {
      s.BaiyoTable.Append(BaiyoRecord{tag + std::to_string(i), grid, false});
      s.TionTable.Append(TionRecord{tag, grid});
      s.HojyoTable.Append(HojyoRecord{tag, grid, true});
      s.SuiteiTable.Append(SuiteiRecord{1, tag, tag, grid, 25});
    }
    for (int i = 0; i < 2000; ++i) s.ParaTable.Append(ParaRecord{tag, 1, {}, 0, 0, false, 25});
  };
  hensuu versionA, versionB;
  fill(versionA, "A");
  fill(versionB, "B");
  ASSERT_TRUE(SaveDataFiles(versionA, dir.path()).empty());
  std::string expected[2][5];
  const char* files[] = {kBaiyoFile, kParaFile, kTionFile, kSuiteiFile, kHojyoFile};
  for (int f = 0; f < 5; ++f) expected[0][f] = ReadBytes(dir.path() / files[f]);
  ASSERT_TRUE(SaveDataFiles(versionB, dir.path()).empty());
  for (int f = 0; f < 5; ++f) expected[1][f] = ReadBytes(dir.path() / files[f]);

  std::srand(static_cast<unsigned>(::getpid()));
  int leftBehind = 0;
  for (int t = 0; t < trials; ++t) {
    SCOPED_TRACE("trial " + std::to_string(t));
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int round = 0;; ++round) SaveDataFiles(round % 2 ? versionA : versionB, dir.path());
    }
    ::usleep(static_cast<useconds_t>(20000 + std::rand() % 400000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    leftBehind += static_cast<int>(TempFilesIn(dir.path()).size());

    hensuu store;
    FileMessages m = LoadDataFiles(store, dir.path(), "s");
    EXPECT_TRUE(m.empty()) << m.front();
    for (int f = 0; f < 5; ++f) {
      std::string now = ReadBytes(dir.path() / files[f]);
      EXPECT_TRUE(now == expected[0][f] || now == expected[1][f]) << files[f];
      EXPECT_EQ(
          ReadBytes(dir.path() /
                    (std::string(files[f]).substr(0, std::string(files[f]).rfind('.')) + ".bak")),
          now);
    }
    EXPECT_EQ(TempFilesIn(dir.path()), std::vector<std::string>{});
  }
  std::printf(
      "kill -9 trial: %d kills, %d MB folder, %d temporary files left by the killed saves, "
      "none after the next start\n",
      trials, megabytes, leftBehind);
}

}  // namespace
}  // namespace kelvora
