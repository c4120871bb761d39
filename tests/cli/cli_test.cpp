#include "cli/cli.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "cli_run.h"
#include "kelvora_version.h"
#include "mini_json.h"
#include "store/cp932.h"
#include "store/number_text.h"
#include "test_dir.h"

namespace kelvora {
namespace {

using testing::Json;
using testing::ParseJson;

using testing::Cli;
using testing::CliRun;

std::string Bench(const char* name) { return std::string(KELVORA_BENCH_DIR) + "/" + name; }

std::set<std::string> Keys(const Json& j) {
  std::set<std::string> k;
  for (const auto& [key, v] : j.fields) k.insert(key);
  return k;
}

TEST(Cli, FitPrintsTheAgreedJson) {
  CliRun r = Cli({"fit", Bench("soil-3x10.tsv"), "--std-temp", "25", "--name", "灰色低地土"});
  ASSERT_EQ(r.code, 0) << r.err;
  Json j = ParseJson(r.out);
  EXPECT_EQ(Keys(j), (std::set<std::string>{"material", "source", "observations", "models", "best",
                                            "refined_best", "record", "chart"}));
  EXPECT_EQ(j["material"].text, "soil");
  EXPECT_EQ(j["source"].text, "laboratory");
  EXPECT_EQ(j["observations"].number, 30);
  ASSERT_EQ(j["models"].size(), 3u);
  const Json& m = j["models"][0];
  EXPECT_EQ(Keys(m), (std::set<std::string>{"model", "name", "initial", "params", "rss", "aic",
                                            "sweeps", "ok", "stats", "refined"}));
  EXPECT_EQ(m["name"].text, "単純型");
  EXPECT_TRUE(m["ok"].b);
  // Singles are printed as their shortest round-trip text.
  Json expected = ParseJson(testing::ReadBytes(Bench("soil-3x10.expected.json")));
  const Json& e = expected["models"][0];
  EXPECT_EQ(m["rss"].text, ShortestSingle(static_cast<float>(e["rss"].number)));
  EXPECT_EQ(m["params"][1].text, ShortestSingle(static_cast<float>(e["params"][1].number)));
  EXPECT_EQ(m["sweeps"].number, e["sweeps"].number);
  EXPECT_EQ(j["best"].number, 1);
  const Json& rec = j["record"];
  EXPECT_EQ(Keys(rec), (std::set<std::string>{"SoilName", "ModelNo", "Param1", "Param2", "Param3",
                                              "Param4", "Param5", "Param6", "Param7", "Aic", "Rss",
                                              "IsManual", "StdTemp"}));
  EXPECT_EQ(rec["SoilName"].text, "灰色低地土");
  EXPECT_EQ(rec["Param1"].text, m["params"][0].text);
  EXPECT_EQ(rec["Param5"].number, 0);
  EXPECT_FALSE(rec["IsManual"].b);
  ASSERT_EQ(j["chart"].size(), 30u);
  EXPECT_EQ(j["chart"][0].size(), 3u);
  EXPECT_EQ(j["chart"][1][2].text, "1.59");  // the analysed amount
}

TEST(Cli, TablesWithAnyLineBreaksReadTheSame) {
  std::string table = testing::ReadBytes(Bench("soil-3x10.tsv"));
  testing::TempDir dir;
  std::string outs[3];
  const char* breaks[] = {"\n", "\r\n", "\r"};
  for (int i = 0; i < 3; ++i) {
    std::string t;
    for (char c : table) t += c == '\n' ? std::string(breaks[i]) : std::string(1, c);
    std::string path = (dir.path() / ("t" + std::to_string(i))).string();
    testing::WriteBytes(path, t);
    CliRun r = Cli({"fit", path, "--std-temp=25"});
    ASSERT_EQ(r.code, 0) << r.err;
    outs[i] = r.out;
  }
  EXPECT_EQ(outs[0], outs[1]);
  EXPECT_EQ(outs[0], outs[2]);
}

TEST(Cli, GivenInitialValuesReplaceTheGridSearch) {
  CliRun r =
      Cli({"fit", Bench("soil-3x10.tsv"), "--std-temp", "25", "--initial", "1=15000,0.02,10,1"});
  ASSERT_EQ(r.code, 0) << r.err;
  Json j = ParseJson(r.out);
  EXPECT_EQ(j["models"][0]["initial"][1].text, "0.02");
  EXPECT_EQ(j["models"][1]["initial"][0].number, 15000);  // model 2 keeps its grid
}

TEST(Cli, FailedModelListsWhatWasFittedAndExitsThree) {
  CliRun r = Cli({"fit", Bench("soil-3x10.tsv"), "--std-temp", "25", "--initial",
                  "2=10000,15000,-1000,0.01,2,5,0.5"});
  EXPECT_EQ(r.code, 3);
  Json j = ParseJson(r.out);
  EXPECT_FALSE(j.Has("best"));
  ASSERT_EQ(j["models"].size(), 2u);
  EXPECT_TRUE(j["models"][0]["ok"].b);
  EXPECT_FALSE(j["models"][1]["ok"].b);
  EXPECT_EQ(j["models"][1]["initial"][2].number, -1000);
  EXPECT_NE(r.err.find("単純並行型: パラメータの解が求まりませんでした"), std::string::npos);
  EXPECT_NE(r.err.find("--initial 2="), std::string::npos);
}

TEST(Cli, BadInputIsRefusedWithExitTwo) {
  testing::TempDir dir;
  std::string empty = (dir.path() / "empty.tsv").string();
  testing::WriteBytes(empty, "培養日数\t20\t25\t30\n");
  CliRun r = Cli({"fit", empty, "--std-temp", "25"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "培養結果を記入して下さい\n");
  EXPECT_TRUE(r.out.empty());
  r = Cli({"fit", Bench("soil-3x10.tsv"), "--std-temp", "abc"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "標準温度に数字を記入して下さい\n");
  EXPECT_EQ(Cli({"fit", Bench("soil-3x10.tsv"), "--std-temp", "25", "--colour"}).code, 2);
  EXPECT_EQ(Cli({"fit", Bench("soil-3x10.tsv")}).code, 2);
  EXPECT_EQ(Cli({"fit", Bench("soil-3x10.tsv"), "--std-temp", "25", "--initial", "4=1,2,3,4"}).code,
            2);
  EXPECT_EQ(Cli({"fit", Bench("soil-3x10.tsv"), "--std-temp", "25", "--initial", "1=1,2,3"}).code,
            2);
  EXPECT_EQ(Cli({"frobnicate"}).code, 2);
  EXPECT_EQ(Cli({}).code, 2);
  for (const char* cmd : {"fit", "fit-field", "estimate", "dump"}) {
    CliRun h = Cli({cmd, "--help"});
    EXPECT_EQ(h.code, 0) << cmd;
    EXPECT_NE(h.out.find("使い方"), std::string::npos) << cmd;
  }
}

TEST(Cli, FieldFit) {
  testing::TempDir dir;
  std::string path = (dir.path() / "field.tsv").string();
  std::string t = "年/月/日\t地温(℃)\t無機化量\n";
  for (int d = 1; d <= 60; ++d) {
    t += "2024/05/" + std::to_string(d) + "\t" + std::to_string(18 + d % 7) + "\t";
    if (d % 10 == 0) t += std::to_string(1.0 + d * 0.05);
    t += "\n";
  }
  testing::WriteBytes(path, t);
  CliRun r = Cli({"fit-field", path, "--std-temp", "25"});
  ASSERT_EQ(r.code, 0) << r.err;
  Json j = ParseJson(r.out);
  EXPECT_EQ(j["source"].text, "field");
  EXPECT_EQ(j["observations"].number, 6);
  EXPECT_EQ(j["chart"].size(), 6u);
}

TEST(Cli, EstimatePrintsEveryDay) {
  testing::TempDir dir;
  std::string path = (dir.path() / "series.tsv").string();
  testing::WriteBytes(
      path, "年/月/日\t地温(℃)\n2024/04/01\t25\n2024/04/02\t\n2024/04/03\t30\n2024/04/04\t20\n");
  CliRun r = Cli({"estimate", path, "--model", "4", "--params", "15000,0.02,10,1", "--std-temp",
                  "25", "--from", "2024/04/01", "--to", "2024/04/03"});
  ASSERT_EQ(r.code, 0) << r.err;
  Json j = ParseJson(r.out);
  EXPECT_EQ(j["model"].number, 4);
  EXPECT_EQ(j["unit"].text, "(%)");
  ASSERT_EQ(j["rows"].size(), 3u);
  EXPECT_EQ(j["rows"][0][0].text, "2024/04/01");
  EXPECT_EQ(j["rows"][0][2].text, FormatFixed(j["rows"][0][1].number, 2));
  EXPECT_EQ(j["rows"][1][1].kind, Json::Null);
  EXPECT_EQ(j["rows"][1][2].text, "");

  auto code = [&](std::vector<std::string> extra) {
    std::vector<std::string> a{"estimate", path, "--std-temp", "25"};
    a.insert(a.end(), extra.begin(), extra.end());
    return Cli(a).code;
  };
  EXPECT_EQ(
      code({"--model", "1", "--params", "1,2,3,4", "--from", "2024/04/03", "--to", "2024/04/01"}),
      2);
  EXPECT_EQ(code({"--model", "7", "--params", "1,2,3,4"}), 2);
  EXPECT_EQ(code({"--model", "2", "--params", "1,2,3,4"}), 2);
  EXPECT_EQ(code({"--model", "1", "--params", "1,2,3,x"}), 2);
  EXPECT_EQ(code({"--model", "1", "--params", "1,2,3,4", "--from", "2023/01/01"}), 2);
  testing::WriteBytes(path, "年/月/日\t地温(℃)\n2024/04/01\tabc\n");
  EXPECT_EQ(code({"--model", "1", "--params", "1,2,3,4"}), 2);
}

TEST(Cli, DumpPrintsEveryTableAndReportsUnreadableFiles) {
  CliRun r = Cli({"dump", std::string(KELVORA_SOURCE_DIR) + "/examples/Data"});
  ASSERT_EQ(r.code, 0) << r.err;
  Json j = ParseJson(r.out);
  EXPECT_EQ(Keys(j), (std::set<std::string>{"BaiyoTable", "ParaTable", "TionTable", "SuiteiTable",
                                            "HojyoTable", "SekkeiTable"}));
  EXPECT_GT(j["BaiyoTable"]["count"].number, 0);
  EXPECT_EQ(j["BaiyoTable"]["file"].text, "BaiyoData.txt");
  const Json& first = j["BaiyoTable"]["records"][0];
  EXPECT_EQ(Keys(first), (std::set<std::string>{"SoilName", "GridText", "IsFertilizer"}));
  EXPECT_EQ(first["GridText"].text.substr(0, 12), "培養日数");

  testing::TempDir dir;
  testing::WriteBytes(dir.path() / "TionData.txt",
                      *EncodeCp932("\"地点\",\"年/月/日\t地温(℃)\"\r\n\"壊れた\r\n"));
  CliRun bad = Cli({"dump", dir.path().string()});
  EXPECT_EQ(bad.code, 1);
  Json partial = ParseJson(bad.out);
  EXPECT_EQ(partial["TionTable"]["count"].number, 1);
  EXPECT_NE(bad.err.find("TionData.txt"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "TionData.bak"));  // read only
}

TEST(Cli, VersionAndTheOptionsInTheUsage) {
  CliRun v = Cli({"--version"});
  EXPECT_EQ(v.code, 0);
  EXPECT_EQ(v.out, std::string("kelvora-cli ") + kVersion + "\n");
  EXPECT_TRUE(v.err.empty());
  // -v as the desktop program takes it; "help COMMAND" as "COMMAND --help".
  EXPECT_EQ(Cli({"-v"}).out, v.out);
  for (const char* cmd : {"fit", "fit-field", "estimate", "dump", "report", "export"}) {
    CliRun help = Cli({"help", cmd});
    EXPECT_EQ(help.code, 0) << cmd;
    EXPECT_EQ(help.out, Cli({cmd, "--help"}).out) << cmd;
  }
  EXPECT_EQ(Cli({"help", "frobnicate"}).code, 2);
  CliRun h = Cli({"--help"});
  EXPECT_EQ(h.code, 0);
  for (const char* option :
       {"--help", "--version", "--std-temp", "--fertilizer", "--strict", "--name", "--initial",
        "--model", "--params", "--from", "--to", "--out", "--records", "--temperatures", "--soil",
        "--plan", "--series", "--year", "--dry-run"}) {
    EXPECT_NE(h.out.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace kelvora
