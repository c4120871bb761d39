// kelvora-cli supply and normals: every source equals kelvora-cli estimate of
// its set from its start day times its factor, to the last bit; a stored plan
// gives what its options give and says when its series is gone; the folder
// is only read by supply; normals adds its series as a save would.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "cli_run.h"
#include "estimation_fixture.h"
#include "kinetics/model_kind.h"
#include "mini_json.h"
#include "store/data_files.h"
#include "store/folder_lock.h"
#include "store/number_text.h"
#include "store/recovery.h"
#include "store/supply_plan.h"
#include "test_dir.h"
#include "xlsx_reader.h"

namespace kelvora {
namespace {

using testing::Cli;
using testing::Json;
using testing::ParseJson;

namespace fs = std::filesystem;

const std::string kSeries = std::string(KELVORA_BENCH_DIR) + "/series-2y.tsv";

double Exact(const Json& number) { return std::strtod(number.text.c_str(), nullptr); }

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::map<std::string, std::string> FolderBytes(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(dir)) {
    files[e.path().filename().string()] = testing::ReadBytes(e.path());
  }
  return files;
}

// A folder with the two-year reference series (and another one) and the six
// reference parameter sets.
class CliSupply : public ::testing::Test {
 protected:
  void SetUp() override {
    runs = testing::ReferenceRuns(std::string(KELVORA_BENCH_DIR) +
                                  "/series-2y.estimates.expected.json");
    store.TionTable.Append(testing::SeriesFromTsv(kSeries, "基準 2年"));
    store.TionTable.Append({"平年", "年/月/日\t地温(℃)\r2007/12/31\t3.5\r2008/01/01\t3.25"});
    for (size_t i = 0; i < runs.size(); ++i) {
      ParaRecord p = runs[i].para;
      p.SoilName = "set " + std::to_string(i + 1);
      store.ParaTable.Append(p);
    }
    ASSERT_TRUE(SaveDataFiles(store, dir.path()).empty());
  }

  std::string Params(size_t i) const {
    std::string text;
    for (int k = 0; k < RecordParamCount(runs[i].para.ModelNo); ++k) {
      text += (k ? "," : "") + ShortestSingle(runs[i].para.Param[static_cast<size_t>(k)]);
    }
    return text;
  }

  // kelvora-cli estimate of set i over the series from `from`.
  Json Estimate(size_t i, const std::string& from, const std::string& to) {
    const testing::CliRun r =
        Cli({"estimate", kSeries, "--model", std::to_string(runs[i].para.ModelNo), "--params",
             Params(i), "--std-temp", ShortestSingle(runs[i].para.StdTemp), "--from", from, "--to",
             to});
    EXPECT_EQ(r.code, 0) << r.err;
    return ParseJson(r.out);
  }

  testing::TempDir dir;
  hensuu store;
  std::vector<testing::ReferenceRun> runs;
};

TEST_F(CliSupply, EachSourceIsTheEstimateFromItsStartDayTimesItsFactor) {
  const std::vector<std::string> args{
      "supply",       dir.path().string(), "--temperatures", "1",
      "--from",       "2006/03/01",        "--to",           "2007/02/28",
      "--soil",       "2,12.5,1.13",       "--soil",         "3,15,0.9",
      "--fertilizer", "5,4.5,2006/05/10",  "--fertilizer",   "6,2.7,2006/07/26",
      "--fertilizer", "4,3.3,2006/03/01"};
  const testing::CliRun r = Cli(args);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("2006/07/26"), std::string::npos);  // a day without temperature is named
  const Json plan = ParseJson(r.out);
  ASSERT_EQ(plan["sources"].size(), 5u);
  const Json& days = plan["days"];
  ASSERT_EQ(days.size(), 365u);
  const size_t sets[] = {1, 2, 4, 5, 3};
  for (size_t s = 0; s < 5; ++s) {
    const Json& source = plan["sources"][s];
    EXPECT_EQ(source["record"].number, static_cast<double>(sets[s] + 1));
    EXPECT_EQ(source["kind"].text, s < 2 ? "soil" : "fertilizer");
    const std::string start = source["start"].text;
    const Json est = Estimate(sets[s], start, "2007/02/28");
    const Json& rows = est["rows"];
    const double factor = Exact(source["factor"]);
    size_t k = 0;
    for (size_t d = 0; d < days.size(); ++d) {
      const Json& amount = days[d]["sources"][s];
      if (days[d]["date"].text < start) {
        EXPECT_EQ(amount.text, "0") << s << " " << days[d]["date"].text;
        continue;
      }
      ASSERT_LT(k, rows.size());
      EXPECT_EQ(rows[k][0].text, days[d]["date"].text);
      if (rows[k][1].kind == Json::Null) {
        EXPECT_EQ(amount.kind, Json::Null);
      } else {
        EXPECT_TRUE(SameBits(Exact(amount), Exact(rows[k][1]) * factor))
            << s << " " << days[d]["date"].text << ": " << amount.text;
      }
      ++k;
    }
    EXPECT_EQ(k, rows.size());
  }
  EXPECT_EQ(Exact(plan["sources"][0]["factor"]), 12.5 * static_cast<double>(1.13f) / 10);
  EXPECT_EQ(days[0]["temperature"].kind, Json::Number);
  EXPECT_EQ(days[0]["forecast"].kind, Json::Bool);
  EXPECT_EQ(days[147]["total"].kind, Json::Null);  // 2006/07/26
}

// A stored plan gives what its options give; the folder is only read; when
// its series has gone the plan says so and gives no result.
TEST_F(CliSupply, StoredPlanAndItsSeries) {
  PlanSource soil;
  soil.para = PlanCopyOf(store.ParaTable(1));
  soil.depthCm = 15;
  soil.density = 1;
  PlanSource coated;
  coated.para = PlanCopyOf(store.ParaTable(5));
  coated.kgPer10a = 6;
  coated.applied = {2007, 12, 1};
  store.SekkeiTable.Append({"冬から", "基準 2年", 1, "平年", 2, "2007/11/20", "2008/01/01",
                            PlanSourcesText({soil, coated})});
  ASSERT_TRUE(SaveDataFiles(store, dir.path()).empty());
  const auto before = FolderBytes(dir.path());
  const testing::CliRun stored = Cli({"supply", dir.path().string(), "--plan", "1"});
  ASSERT_EQ(stored.code, 0) << stored.err;
  const testing::CliRun given =
      Cli({"supply", dir.path().string(), "--temperatures", "1,2", "--from", "2007/11/20", "--to",
           "2008/01/01", "--soil", "1,15,1", "--fertilizer", "5,6,2007/12/01"});
  ASSERT_EQ(given.code, 0) << given.err;
  EXPECT_EQ(stored.out, given.out);
  const Json plan = ParseJson(stored.out);
  const Json& last = plan["days"][42];
  EXPECT_EQ(last["date"].text, "2008/01/01");
  EXPECT_EQ(last["temperature"].text, "3.25");
  EXPECT_TRUE(last["forecast"].b);
  EXPECT_FALSE(plan["days"][41]["forecast"].b);
  EXPECT_EQ(FolderBytes(dir.path()), before);

  // The plan's copy outlives its set: the record is then null.
  hensuu changed;
  ASSERT_TRUE(ReadDataFiles(changed, dir.path()).empty());
  changed.ParaTable.Remove(1);
  changed.TionTable.Remove(2);  // the normal year, removed without renumbering the plan
  ASSERT_TRUE(SaveDataFiles(changed, dir.path()).empty());
  const testing::CliRun gone = Cli({"supply", dir.path().string(), "--plan", "1"});
  EXPECT_EQ(gone.code, 2);
  EXPECT_NE(gone.err.find("「平年」が見つかりません"), std::string::npos) << gone.err;
  EXPECT_TRUE(gone.out.empty());
  changed.TionTable.Append({"平年", "年/月/日\t地温(℃)\r2008/01/01\t3.25"});
  ASSERT_TRUE(SaveDataFiles(changed, dir.path()).empty());
  const testing::CliRun copy = Cli({"supply", dir.path().string(), "--plan", "1"});
  ASSERT_EQ(copy.code, 0) << copy.err;
  EXPECT_EQ(ParseJson(copy.out)["sources"][0]["record"].kind, Json::Null);
  EXPECT_EQ(ParseJson(copy.out)["days"][42]["sources"][0].text, last["sources"][0].text);
}

TEST_F(CliSupply, OutputFilesAndRefusals) {
  const std::string d = dir.path().string();
  const std::vector<std::string> base{"supply",     d,      "--temperatures", "1",      "--from",
                                      "2006/05/01", "--to", "2006/05/31",     "--soil", "1,15,1"};
  auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> args = base;
    args.insert(args.end(), more.begin(), more.end());
    return Cli(args);
  };
  const fs::path xlsx = dir.path() / "out" / "plan.xlsx";
  fs::create_directories(xlsx.parent_path());
  const testing::CliRun written = with({"--fertilizer", "5,4,2006/05/10", "--out", xlsx.string()});
  ASSERT_EQ(written.code, 0) << written.err;
  const Json plan = ParseJson(written.out);
  const Json book = testing::ReadXlsx(xlsx);
  ASSERT_EQ(book.size(), 2u);
  const Json& rows = book[0]["rows"];
  ASSERT_EQ(rows.size(), 32u);
  EXPECT_EQ(rows[0][0]["v"].text, "年/月/日");
  // The workbook keeps the whole amount (shown with two decimals).
  EXPECT_EQ(testing::JsonDouble(rows[20][3]["v"]), Exact(plan["days"][19]["sources"][0]));
  EXPECT_EQ(rows[20][3]["fmt"].text, "0.00");
  EXPECT_EQ(book[1]["rows"][6][1]["v"].text, "set 1");
  const fs::path csv = dir.path() / "out" / "plan.csv";
  ASSERT_EQ(with({"--out", csv.string()}).code, 0);
  EXPECT_EQ(testing::ReadCsv(csv).size(), 32u);

  const std::vector<std::vector<std::string>> refused{
      {"--fertilizer", "1,4,2006/05/10"},  // a soil's set as a fertilizer
      {"--soil", "5,15,1"},                // and a fertilizer's as a soil
      {"--soil", "7,15,1"},                // no such set
      {"--soil", "1,15"},
      {"--soil", "1,15,x"},
      {"--fertilizer", "5,4,2006/06/10"},  // applied after the last day
      {"--fertilizer", "5,4,5月10日"},
      {"--plan", "1"},
      {"--out", (dir.path() / "plan.pdf").string()},
  };
  for (const auto& more : refused) {
    const testing::CliRun r = with(more);
    EXPECT_EQ(r.code, 2) << more[0] << " " << more[1];
    EXPECT_FALSE(r.err.empty());
    EXPECT_TRUE(r.out.empty()) << more[1];
  }
  EXPECT_EQ(Cli({"supply", d, "--plan", "1"}).code, 2);  // no plan stored
  EXPECT_EQ(Cli({"supply", (dir.path() / "none").string(), "--plan", "1"}).code, 2);
  EXPECT_EQ(Cli({"supply", d}).code, 2);
  EXPECT_EQ(
      Cli({"supply", d, "--temperatures", "3", "--from", "2006/05/01", "--to", "2006/05/31"}).code,
      2);
}

TEST_F(CliSupply, NormalsAddsTheSeriesAsASaveWould) {
  const std::string d = dir.path().string();
  const std::string oldFile = testing::ReadBytes(dir.path() / kTionFile);
  const testing::CliRun dry = Cli(
      {"normals", d, "--series", "1", "--year", "2024", "--name", "平年 \"2024\"", "--dry-run"});
  ASSERT_EQ(dry.code, 0) << dry.err;
  EXPECT_EQ(testing::ReadBytes(dir.path() / kTionFile), oldFile);
  EXPECT_FALSE(fs::exists(dir.path() / "TionData.bak"));
  const Json j = ParseJson(dry.out);
  EXPECT_EQ(j["name"].text, "平年 ＂2024＂");
  EXPECT_EQ(j["first"].text, "2024/01/01");
  EXPECT_EQ(j["last"].text, "2024/12/31");
  EXPECT_EQ(j["days"].number, 366);
  EXPECT_EQ(j["years"].size(), 2u);
  EXPECT_EQ(j["empty_days"].size(), 0u);  // 29 February from 28 February and 1 March

  const testing::CliRun added =
      Cli({"normals", d, "--series", "1", "--year", "2024", "--name", "平年 \"2024\""});
  ASSERT_EQ(added.code, 0) << added.err;
  EXPECT_EQ(added.out, dry.out);
  EXPECT_EQ(testing::ReadBytes(dir.path() / "TionData.bak"), oldFile);
  hensuu read;
  ASSERT_TRUE(ReadDataFiles(read, dir.path()).empty());
  ASSERT_EQ(read.TionCount(), 3);
  EXPECT_EQ(read.TionTable(3).SiteName, "平年 ＂2024＂");
  EXPECT_EQ(read.TionTable(1), store.TionTable(1));
  for (const char* f : {kBaiyoFile, kParaFile, kSuiteiFile, kHojyoFile}) {
    EXPECT_TRUE(fs::exists(dir.path() / f));
  }
  EXPECT_FALSE(fs::exists(dir.path() / kSekkeiFile));

  // Refused: series that overlap, a bad number, a folder in use, a recovery
  // copy waiting; nothing is written then.
  const std::string now = testing::ReadBytes(dir.path() / kTionFile);
  EXPECT_EQ(Cli({"normals", d, "--series", "1,1", "--year", "2024", "--name", "x"}).code, 2);
  EXPECT_EQ(Cli({"normals", d, "--series", "4", "--year", "2024", "--name", "x"}).code, 2);
  EXPECT_EQ(Cli({"normals", d, "--series", "1", "--year", "二千", "--name", "x"}).code, 2);
  {
    FolderLock lock;
    std::string detail;
    ASSERT_EQ(lock.Take(dir.path(), detail), FolderLock::Result::Taken);
    const testing::CliRun busy =
        Cli({"normals", d, "--series", "1", "--year", "2024", "--name", "x"});
    EXPECT_EQ(busy.code, 2);
    EXPECT_NE(busy.err.find("使用中"), std::string::npos) << busy.err;
  }
  fs::create_directory(dir.path() / kRecoveryFolder);
  EXPECT_EQ(Cli({"normals", d, "--series", "1", "--year", "2024", "--name", "x"}).code, 2);
  EXPECT_EQ(testing::ReadBytes(dir.path() / kTionFile), now);
}

}  // namespace
}  // namespace kelvora
