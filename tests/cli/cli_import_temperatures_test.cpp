// kelvora-cli import-temperatures: a logger file into a data folder's
// TionData.txt, checked through `kelvora-cli dump` against daily means
// computed here; the lock of a running desktop program, --dry-run and bad
// input leave the folder as it was.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "cli_run.h"
#include "logger_files.h"
#include "mini_json.h"
#include "store/data_files.h"
#include "store/folder_lock.h"
#include "store/grid_text.h"
#include "store/hensuu.h"
#include "store/recovery.h"
#include "test_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using testing::Cli;
using testing::Json;
using testing::ParseJson;

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct ProgramRun {
  int code;
  std::string out, err;
};

// The real program in its own process (the lock is held by this one).
ProgramRun Program(const std::vector<std::string>& args, const fs::path& scratch) {
  std::string cmd = Quote(KELVORA_CLI);
  for (const std::string& a : args) cmd += " " + Quote(a);
  cmd += " > " + Quote((scratch / "out.txt").string()) + " 2> " +
         Quote((scratch / "err.txt").string());
  const int status = std::system(cmd.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testing::ReadBytes(scratch / "out.txt"),
          testing::ReadBytes(scratch / "err.txt")};
}

std::map<std::string, std::pair<std::string, fs::file_time_type>> FolderState(const fs::path& dir) {
  std::map<std::string, std::pair<std::string, fs::file_time_type>> files;
  for (const auto& e : fs::directory_iterator(dir)) {
    files[e.path().filename().string()] = {testing::ReadBytes(e.path()),
                                           fs::last_write_time(e.path())};
  }
  return files;
}

// An hourly two-channel logger: 1 to 4 June 2025, a gap on 2 June from 06:00
// to 18:00, channel 2 failing ("-----") at 03:00 every day, and the means of
// its days computed here.
struct HourlyLogger {
  std::string text;
  std::vector<std::vector<std::string>> grid[2];  // the expected grid rows per channel
};

HourlyLogger MakeLogger() {
  HourlyLogger l;
  l.text = "ロガー,No.7\n日時,CH1 5cm,CH2 10cm\n";
  const int64_t first = DayNumber({2025, 6, 1});
  std::vector<testing::LoggerReading> rs;
  for (int i = 0; i < 24 * 4; ++i) {
    testing::LoggerReading r;
    r.day = first + i / 24;
    r.minute = (i % 24) * 60;
    if (r.day == first + 1 && r.minute >= 6 * 60 && r.minute < 18 * 60) continue;
    const int a = 1000 + (i * 37) % 900, b = 1500 + (i * 53) % 700;
    r.hundredths = {a, b};
    r.failedText = {"", ""};
    if (r.minute == 180) {
      r.hundredths[1].reset();
      r.failedText[1] = "-----";
    }
    rs.push_back(r);
  }
  testing::AvoidTies(rs, 2);
  for (const auto& r : rs) {
    l.text += DateText(DateOfDayNumber(r.day)) + " " + testing::TimeOfMinute(r.minute, true, true);
    for (size_t k = 0; k < 2; ++k) {
      l.text +=
          "," + (r.hundredths[k] ? testing::HundredthsText(*r.hundredths[k]) : r.failedText[k]);
    }
    l.text += "\n";
  }
  const auto days = testing::DaysOf(rs, 2);
  for (size_t k = 0; k < 2; ++k) {
    l.grid[k].push_back({"年/月/日", "地温(℃)"});
    for (const auto& [day, d] : days[k]) {
      EXPECT_FALSE(testing::IsTie(d.sum, d.readable));
      // 2 June holds 12 of 24 readings: below 75 %, left empty.
      const bool complete = d.readable >= 18;
      l.grid[k].push_back({DateText(DateOfDayNumber(day)),
                           complete ? testing::MeanOfHundredths(d.sum, d.readable) : ""});
    }
  }
  return l;
}

class CliImportTemperatures : public ::testing::Test {
 protected:
  testing::TempDir tmp;
  fs::path data = tmp.path() / "Data";
  fs::path file = tmp.path() / "圃場A.csv";
  HourlyLogger logger = MakeLogger();

  void SetUp() override {
    hensuu store;
    store.TionTable.Append(TionRecord{"つくば", "年/月/日\t地温(℃)\r2025/05/01\t12.5"});
    store.ParaTable.Append(ParaRecord{});
    fs::create_directories(data);
    ASSERT_TRUE(SaveDataFiles(store, data).empty());
    testing::WriteBytes(file, logger.text);
  }

  Json Dump() {
    const testing::CliRun r = Cli({"dump", data.string()});
    EXPECT_EQ(r.code, 0) << r.err;
    return ParseJson(r.out)["TionTable"];
  }
};

TEST_F(CliImportTemperatures, AddsEachChannelAsTheScreenWouldAndKeepsTheOldFile) {
  const auto before = FolderState(data);
  const ProgramRun r =
      Program({"import-temperatures", file.string(), data.string(), "--temperature-column", "2,3"},
              tmp.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const Json out = ParseJson(r.out);
  EXPECT_EQ(out["encoding"].text, "utf-8");
  EXPECT_EQ(out["separator"].text, "comma");
  EXPECT_TRUE(out["sub_daily"].b);
  ASSERT_EQ(out["series"].size(), 2u);
  const Json& s1 = out["series"][0];
  EXPECT_EQ(s1["name"].text, "圃場A CH1 5cm");
  EXPECT_EQ(out["series"][1]["name"].text, "圃場A CH2 10cm");
  EXPECT_EQ(s1["first"].text, "2025/06/01");
  EXPECT_EQ(s1["last"].text, "2025/06/04");
  EXPECT_EQ(s1["days"].number, 4);
  EXPECT_EQ(s1["readings_per_day"].number, 24);
  ASSERT_EQ(s1["incomplete_days"].size(), 1u);
  EXPECT_EQ(s1["incomplete_days"][0].text, "2025/06/02");
  EXPECT_EQ(s1["missing_days"].size(), 0u);
  EXPECT_EQ(s1["failed_readings"].number, 0);
  EXPECT_EQ(out["series"][1]["failed_readings"].number, 4);

  // The folder read back: the old series, then one per channel.
  const Json table = Dump();
  ASSERT_EQ(table["count"].number, 3);
  EXPECT_EQ(table["records"][0]["SiteName"].text, "つくば");
  for (size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(table["records"][k + 1]["GridText"].text, JoinGridText(logger.grid[k])) << k;
  }
  // TionData.txt through a rename, its old bytes kept as TionData.bak, the
  // other four files untouched, no lock or temporary file left.
  const auto after = FolderState(data);
  EXPECT_EQ(after.at("TionData.bak").first, before.at("TionData.txt").first);
  for (const char* name : {kBaiyoFile, kParaFile, kSuiteiFile, kHojyoFile}) {
    EXPECT_EQ(after.at(name), before.at(name)) << name;
  }
  std::set<std::string> names;
  for (const auto& [name, state] : after) names.insert(name);
  std::set<std::string> expected;
  for (const auto& [name, state] : before) expected.insert(name);
  expected.insert("TionData.bak");
  EXPECT_EQ(names, expected);
}

TEST_F(CliImportTemperatures, RefusedWhileTheDesktopProgramHoldsTheFolder) {
  const auto before = FolderState(data);
  {
    FolderLock lock;
    std::string detail;
    ASSERT_EQ(lock.Take(data, detail), FolderLock::Result::Taken) << detail;
    const auto locked = FolderState(data);
    const ProgramRun r = Program({"import-temperatures", file.string(), data.string()}, tmp.path());
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("が使用中です"), std::string::npos) << r.err;
    EXPECT_EQ(FolderState(data), locked);
    // Reading only is not writing: a dry run goes on.
    const ProgramRun dry =
        Program({"import-temperatures", file.string(), data.string(), "--dry-run"}, tmp.path());
    EXPECT_EQ(dry.code, 0) << dry.err;
  }
  EXPECT_EQ(FolderState(data), before);
  // Not held any more: added, one channel guessed, named after the file.
  const ProgramRun r = Program(
      {"import-temperatures", file.string(), data.string(), "--name", "北圃場"}, tmp.path());
  ASSERT_EQ(r.code, 0) << r.err;
  const Json table = Dump();
  ASSERT_EQ(table["count"].number, 2);
  EXPECT_EQ(table["records"][1]["SiteName"].text, "北圃場");
  EXPECT_EQ(table["records"][1]["GridText"].text, JoinGridText(logger.grid[0]));
}

TEST_F(CliImportTemperatures, DryRunAndBadInputLeaveTheFolderAsItWas) {
  const auto before = FolderState(data);
  // --dry-run: the same report, nothing written; the keep option fills 2 June.
  const testing::CliRun dry =
      Cli({"import-temperatures", file.string(), data.string(), "--dry-run", "--keep-incomplete"});
  ASSERT_EQ(dry.code, 0) << dry.err;
  EXPECT_EQ(ParseJson(dry.out)["series"][0]["incomplete_days"].size(), 1u);
  EXPECT_EQ(FolderState(data), before);

  const fs::path repeated = tmp.path() / "repeated.csv";
  testing::WriteBytes(repeated, "日時,地温\n2025/6/1 0:00,1\n2025/6/1 1:00,2\n2025/6/1 1:00,3\n");
  struct Case {
    std::vector<std::string> args;
    const char* words;
  };
  const Case cases[] = {
      {{repeated.string(), data.string()}, "4行目の日時 2025/06/01 01:00 は前の行と重複しています"},
      {{file.string(), data.string(), "--temperature-column", "9"}, "9列目はありません"},
      {{file.string(), data.string(), "--min-coverage", "1.5"}, "0から1の数"},
      {{file.string(), data.string(), "--temperature-column", "0"}, "1以上の整数"},
      {{file.string(), data.string(), "--skip", "-1"}, "0以上の整数"},
      {{file.string(), data.string(), "--date-column", "2"}, "別の列を選んで下さい"},
      {{file.string(), data.string(), "--dry-run", "--dry-run"}, "2回以上"},
      {{file.string(), data.string(), "--colour"}, "不明なオプション"},
      {{file.string()}, "地温のファイルとデータフォルダ"},
      {{(tmp.path() / "none.csv").string(), data.string()}, "none.csv"},
      {{file.string(), (tmp.path() / "nowhere").string()}, "がありません"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"import-temperatures"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const testing::CliRun r = Cli(args);
    EXPECT_EQ(r.code, 2) << c.words;
    EXPECT_EQ(r.out, "") << c.words;
    EXPECT_NE(r.err.find(c.words), std::string::npos) << r.err;
  }
  EXPECT_EQ(FolderState(data), before);
  EXPECT_EQ(Cli({"import-temperatures", "--help"}).code, 0);
}

// The commands that add a series: never while the recovery copy of a session
// that ended without saving waits (restoring and saving it would drop the
// series), and the .bak copy of a private file stays private.
TEST_F(CliImportTemperatures, AddingWaitsForARecoveryCopyAndKeepsAPrivateFilePrivate) {
  const fs::path tion = data / kTionFile;
  fs::permissions(tion, fs::perms::owner_read | fs::perms::owner_write);
  const std::vector<std::vector<std::string>> adding = {
      {"import-temperatures", file.string(), data.string()},
      {"normals", data.string(), "--series", "1", "--year", "2026", "--name", "平年"}};
  fs::create_directory(data / kRecoveryFolder);
  const auto before = FolderState(data);
  for (const std::vector<std::string>& args : adding) {
    const testing::CliRun r = Cli(args);
    EXPECT_EQ(r.code, 2) << args[0];
    EXPECT_NE(r.err.find("保存されずに終了したデータの控え"), std::string::npos) << r.err;
  }
  EXPECT_EQ(FolderState(data), before);
  fs::remove(data / kRecoveryFolder);
  for (const std::vector<std::string>& args : adding) {
    const testing::CliRun r = Cli(args);
    ASSERT_EQ(r.code, 0) << args[0] << r.err;
    EXPECT_EQ(fs::status(data / "TionData.bak").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write)
        << args[0];
  }
  EXPECT_EQ(Dump()["count"].number, 3);
}

}  // namespace
}  // namespace kelvora
