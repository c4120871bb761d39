// kelvora-cli's outputs and answers at their limits: standard output on a
// full disk or a closed pipe, --out naming something that is not a regular
// file or that the user made read-only, folders
// without data files, input the README refuses or warns about, and the
// parameter report of a full table.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "cli_run.h"
#include "pdf_text.h"
#include "store/data_files.h"
#include "store/hensuu.h"
#include "test_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using testing::Cli;
using testing::CliRun;
using testing::Quote;

std::string Bench(const char* name) { return std::string(KELVORA_BENCH_DIR) + "/" + name; }

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct ProgramRun {
  int code;
  std::string err;
};

// The real program in its own process, its standard output sent to `out`.
ProgramRun Program(const std::vector<std::string>& args, const std::string& out,
                   const fs::path& scratch, const std::string& limits = std::string()) {
  std::string cmd =
      limits + "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + Quote(KELVORA_CLI);
  for (const std::string& a : args) cmd += " " + Quote(a);
  const std::string err = (scratch / "stderr.txt").string();
  cmd += " > " + out + " 2> " + Quote(err);
  const int status = std::system(("sh -c " + Quote(cmd)).c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testing::ReadBytes(err)};
}

TEST(CliOutput, AFullDiskIsAnErrorForEveryCommand) {
  testing::TempDir tmp;
  const fs::path data = tmp.path() / "Data";
  hensuu store;
  store.TionTable.Append({"つくば", "年/月/日\t地温(℃)\r2025/01/01\t5"});
  ASSERT_TRUE(SaveDataFiles(store, data).empty());
  const std::vector<std::vector<std::string>> commands{
      {"dump", data.string()},
      {"fit", Bench("soil-3x10.tsv"), "--std-temp", "25"},
      {"estimate", Bench("series-2y.tsv"), "--model", "1", "--params", "16752,0.0204,9.73,1.66",
       "--std-temp", "25"},
      {"--help"},
      {"dump", "--help"},
  };
  for (const auto& args : commands) {
    SCOPED_TRACE(args[0] + " " + args[1 % args.size()]);
    const ProgramRun r = Program(args, "/dev/full", tmp.path());
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(Contains(r.err, "標準出力に書き込めませんでした")) << r.err;
  }
  // In the process: a stream that fails.
  std::ostringstream err;
  std::ostream broken(nullptr);
  EXPECT_EQ(RunCli({"dump", data.string()}, broken, err), 2);
  EXPECT_TRUE(Contains(err.str(), "標準出力に書き込めませんでした")) << err.str();
}

struct PipeRun {
  int status;
  std::string err;
};

// The real program with its standard output a pipe whose reading end is
// closed already, as after `| head -c 1` has read its byte or `| true` has
// ended; started as a shell starts it (SIGPIPE not ignored).
PipeRun IntoClosedPipe(const std::vector<std::string>& args, const fs::path& scratch) {
  int fds[2];
  if (::pipe(fds) != 0) return {-1, "pipe failed"};
  ::close(fds[0]);
  const std::string errPath = (scratch / "stderr.txt").string();
  std::vector<std::string> argv{KELVORA_CLI};
  argv.insert(argv.end(), args.begin(), args.end());
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGPIPE, SIG_DFL);
    ::dup2(fds[1], 1);
    ::close(fds[1]);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(err, 2);
    std::vector<char*> ptrs;
    for (std::string& a : argv) ptrs.push_back(a.data());
    ptrs.push_back(nullptr);
    ::execv(ptrs[0], ptrs.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {status, testing::ReadBytes(errPath)};
}

TEST(CliOutput, AClosedPipeIsAnErrorForEveryCommand) {
  testing::TempDir tmp;
  const fs::path data = tmp.path() / "Data";
  hensuu store;
  store.TionTable.Append({"つくば", "年/月/日\t地温(℃)\r2025/01/01\t5"});
  ASSERT_TRUE(SaveDataFiles(store, data).empty());
  const std::vector<std::vector<std::string>> commands{
      {"dump", data.string()},
      {"fit", Bench("soil-3x10.tsv"), "--std-temp", "25"},
      {"fit-field", Bench("field-soil-1y.tsv"), "--std-temp", "25"},
      {"estimate", Bench("series-2y.tsv"), "--model", "1", "--params", "16752,0.0204,9.73,1.66",
       "--std-temp", "25"},
      {"--help"},
      {"--version"},
      {"export", "--help"},
  };
  for (const auto& args : commands) {
    SCOPED_TRACE(args[0] + " " + args[1 % args.size()]);
    const PipeRun r = IntoClosedPipe(args, tmp.path());
    ASSERT_TRUE(WIFEXITED(r.status)) << "ended by signal " << WTERMSIG(r.status);
    EXPECT_EQ(WEXITSTATUS(r.status), 2);
    EXPECT_TRUE(Contains(r.err, "標準出力に書き込めませんでした")) << r.err;
  }
}

// A data folder under `dir` holding one parameter set.
fs::path OneParameterSet(const fs::path& dir) {
  const fs::path data = dir / "Data";
  hensuu store;
  ParaRecord p;
  p.SoilName = "黒ボク土";
  p.ModelNo = 1;
  store.ParaTable.Append(p);
  EXPECT_TRUE(SaveDataFiles(store, data).empty());
  return data;
}

// A file made read-only, or a folder the user may not write in, is refused
// as spreadsheet programs refuse it (also for the superuser, who could).
TEST(CliOutput, AReportOverAReadOnlyFileOrIntoAReadOnlyFolderIsRefused) {
  testing::TempDir tmp;
  const fs::path data = OneParameterSet(tmp.path());
  const fs::path file = tmp.path() / "old.pdf";
  testing::WriteBytes(file, "old report");
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  const fs::path folder = tmp.path() / "ro";
  fs::create_directory(folder);
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  for (const fs::path& out : {file, folder / "new.pdf"}) {
    const ProgramRun r = Program({"report", "parameters", data.string(), "--out", out.string()},
                                 "/dev/null", tmp.path());
    EXPECT_EQ(r.code, 2) << out;
    EXPECT_TRUE(Contains(r.err, "読み取り専用")) << r.err;
  }
  EXPECT_EQ(testing::ReadBytes(file), "old report");
  EXPECT_TRUE(fs::is_empty(folder));
  ::chmod(folder.c_str(), 0755);
}

TEST(CliOutput, AReportOntoAFifoOrALinkToOneIsRefusedAndTheFifoStays) {
  testing::TempDir tmp;
  const fs::path data = OneParameterSet(tmp.path());
  const fs::path fifo = tmp.path() / "report.pdf";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink(fifo, tmp.path() / "link.pdf");
  for (const fs::path& out : {fifo, tmp.path() / "link.pdf"}) {
    const ProgramRun r = Program({"report", "parameters", data.string(), "--out", out.string()},
                                 "/dev/null", tmp.path());
    EXPECT_EQ(r.code, 2) << out;
    EXPECT_TRUE(Contains(r.err, "通常のファイルではない")) << r.err;
    EXPECT_TRUE(Contains(r.err, "名前付きパイプ")) << r.err;
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
  }
  EXPECT_TRUE(fs::is_symlink(tmp.path() / "link.pdf"));
}

TEST(CliOutput, AFolderWithoutDataFilesIsSaidToBeOne) {
  testing::TempDir tmp;
  testing::WriteBytes(tmp.path() / "notes.txt", "not a data file");
  CliRun dump = Cli({"dump", tmp.path().string()});
  EXPECT_EQ(dump.code, 2);
  EXPECT_TRUE(Contains(dump.err, "データファイル")) << dump.err;
  EXPECT_EQ(dump.out, "");
  const std::string pdf = (tmp.path() / "x.pdf").string();
  const ProgramRun report =
      Program({"report", "parameters", tmp.path().string(), "--out", pdf}, "/dev/null", tmp.path());
  EXPECT_EQ(report.code, 2);
  EXPECT_TRUE(Contains(report.err, "データファイル")) << report.err;
  EXPECT_FALSE(fs::exists(pdf));
  // One data file is enough to be a data folder.
  testing::WriteBytes(tmp.path() / kParaFile, "");
  EXPECT_EQ(Cli({"dump", tmp.path().string()}).code, 0);
}

TEST(CliOutput, InputTheReadmeRefusesOrWarnsAbout) {
  testing::TempDir tmp;
  auto file = [&](const char* name, const std::string& text) {
    const fs::path p = tmp.path() / name;
    testing::WriteBytes(p, text);
    return p.string();
  };
  // Incubation temperatures at or below -273 ℃: exit 2, no advice about --initial.
  for (const char* t : {"-273", "-300"}) {
    SCOPED_TRACE(t);
    CliRun r = Cli(
        {"fit", file("cold.tsv", std::string("培養日数\t") + t + "\n0\t1\n7\t2\n14\t3\n28\t4\n"),
         "--std-temp", "25"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, "-273℃以下")) << r.err;
    EXPECT_FALSE(Contains(r.err, "--initial")) << r.err;
    EXPECT_EQ(r.out, "");
  }
  // A series of blank lines is an empty series.
  CliRun blank = Cli({"estimate", file("blank.tsv", std::string(999, '\n')), "--model", "1",
                      "--params", "16752,0.0204,9.73,1.66", "--std-temp", "25"});
  EXPECT_EQ(blank.code, 2);
  EXPECT_TRUE(Contains(blank.err, "空")) << blank.err;
  EXPECT_EQ(blank.out, "");
  CliRun noTemps =
      Cli({"estimate", file("dates.tsv", "年/月/日\t地温\n2025/01/01\t\n2025/01/02\t\n"), "--model",
           "1", "--params", "16752,0.0204,9.73,1.66", "--std-temp", "25"});
  EXPECT_EQ(noTemps.code, 2);
  EXPECT_TRUE(Contains(noTemps.err, "地温が記入されていません")) << noTemps.err;

  // Warned about, the result as before.
  CliRun negative = Cli({"fit", file("neg.tsv", "培養日数\t25\n-5\t1\n7\t2\n14\t3\n28\t4\n56\t5\n"),
                         "--std-temp", "25"});
  EXPECT_TRUE(Contains(negative.err, "警告: 表の2行1列目の培養日数「-5」が負の値です。"))
      << negative.err;
  CliRun oneRow =
      Cli({"fit", file("one.tsv", "培養日数\t20\t25\t30\n28\t1\t2\t3\n"), "--std-temp", "25"});
  EXPECT_TRUE(Contains(oneRow.err, "警告: 測定値が3個しかありません")) << oneRow.err;
  CliRun hot = Cli({"estimate", Bench("series-2y.tsv"), "--model", "1", "--params",
                    "16752,0.0204,9.73,1.66", "--std-temp", "1e30"});
  EXPECT_TRUE(Contains(hot.err, "警告: 標準温度「1e30」")) << hot.err;
  CliRun usual = Cli({"estimate", Bench("series-2y.tsv"), "--model", "1", "--params",
                      "16752,0.0204,9.73,1.66", "--std-temp", "25"});
  EXPECT_EQ(usual.code, 0);
  EXPECT_EQ(usual.err, "");
}

TEST(CliOutput, TheParameterReportOfAFullTableIsDrawnInBoundedMemory) {
  testing::TempDir tmp;
  const fs::path data = tmp.path() / "Data";
  hensuu store;
  ParaRecord p;
  p.SoilName = "土";
  p.ModelNo = 1;
  p.Param = {16752, 0.0204f, 9.73f, 1.66f, 0, 0, 0};
  p.StdTemp = 25;
  while (store.ParaCount() < kMaxRecords) ASSERT_TRUE(store.ParaTable.Append(p));
  ASSERT_TRUE(SaveDataFiles(store, data).empty());
  const fs::path pdf = tmp.path() / "all.pdf";
  // 1.5 GB of address space and 10 minutes at most: a counter that wraps
  // grows the list until either runs out.
  const ProgramRun r = Program({"report", "parameters", data.string(), "--out", pdf.string()},
                               "/dev/null", tmp.path(), "ulimit -v 1500000; timeout 600 ");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(testing::PdfPages(pdf), (kMaxRecords + 5) / 6);
}

}  // namespace
}  // namespace kelvora
