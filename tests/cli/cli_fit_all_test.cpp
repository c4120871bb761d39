// kelvora-cli fit-all: each record's line against kelvora-cli fit / fit-field
// on the same table (the "models" text to the last character), the exit
// codes, --store through dump (one save, the backup, refused while the folder
// is in use) and --out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_run.h"
#include "mini_json.h"
#include "store/data_files.h"
#include "store/folder_lock.h"
#include "store/grid_text.h"
#include "store/hensuu.h"
#include "store/recovery.h"
#include "test_dir.h"

namespace kelvora {
namespace {

using testing::Cli;
using testing::CliRun;
using testing::Json;
using testing::ParseJson;

std::string Bench(const char* name) { return std::string(KELVORA_BENCH_DIR) + "/" + name; }

// The text of the value of "key" in one line of JSON (an array or object),
// found by its brackets outside strings.
std::string RawValue(const std::string& json, const std::string& key) {
  const std::string tag = "\"" + key + "\": ";
  size_t start = json.find(tag);
  if (start == std::string::npos) return std::string();
  start += tag.size();
  int depth = 0;
  bool inString = false;
  for (size_t i = start; i < json.size(); ++i) {
    const char c = json[i];
    if (inString) {
      if (c == '\\') ++i;
      if (c == '"') inString = false;
      continue;
    }
    if (c == '"') inString = true;
    if (c == '[' || c == '{') ++depth;
    if (c == ']' || c == '}') {
      if (--depth == 0) return json.substr(start, i - start + 1);
    }
  }
  return std::string();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

// A table whose amounts are so large that the squared residuals overflow:
// the first model's search fails, as on the screen.
const char* kOverflowing =
    "培養日数\t15\t25\t35\n0\t1e20\t1e20\t1e20\n7\t2e20\t2e20\t2e20\n14\t3e20\t3e20\t3e20\n";

struct Season {
  testing::TempDir dir;
  std::string soil = testing::ReadBytes(Bench("soil-3x10.tsv"));
  // Records 1 and 3 the soil table (two names), 2 empty, 4 one that fails.
  Season() {
    hensuu store;
    store.BaiyoTable.Append(Lab("灰色低地土", soil));
    store.BaiyoTable.Append(BaiyoRecord{"空の記録", "", false});
    store.BaiyoTable.Append(Lab("黒ボク土", soil));
    store.BaiyoTable.Append(Lab("桁あふれ", kOverflowing));
    store.HojyoTable.Append(HojyoRecord{
        "ほ場",
        GridFromRows(
            SplitGridText(testing::ReadBytes(Bench("field-soil-1y.tsv")), kSpreadsheetFormat), 2, 3)
            .ToGridText(),
        false});
    store.ParaTable.Append(ParaRecord{"前からの記録", 1, {1, 2, 3, 4, 0, 0, 0}, 5, 6, true, 25});
    EXPECT_TRUE(SaveDataFiles(store, dir.path()).empty());
  }
  static BaiyoRecord Lab(const std::string& name, const std::string& tsv) {
    GridTable g = GridFromRows(SplitGridText(tsv, kSpreadsheetFormat), 100, 4);
    return {name, g.ToGridText(), false};
  }
  std::string Dir() const { return dir.path().string(); }
  std::string Table(const std::string& name, const std::string& text) const {
    const std::filesystem::path path =
        dir.path().parent_path() / (dir.path().filename().string() + "-" + name + ".tsv");
    testing::WriteBytes(path, text);
    return path.string();
  }
};

TEST(CliFitAll, EachLineIsTheSingleFitOfItsRecordInRecordOrder) {
  Season season;
  CliRun all = Cli({"fit-all", season.Dir(), "--jobs", "2"});
  EXPECT_EQ(all.code, 1) << all.err;  // two records could not be fitted
  const std::vector<std::string> lines = Lines(all.out);
  ASSERT_EQ(lines.size(), 4u);
  const CliRun single = Cli({"fit", season.Table("soil", season.soil), "--std-temp", "25"});
  ASSERT_EQ(single.code, 0) << single.err;
  const Json fit = ParseJson(single.out);
  const std::string names[] = {"灰色低地土", "空の記録", "黒ボク土", "桁あふれ"};
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i].substr(0, 80));
    const Json j = ParseJson(lines[i]);
    EXPECT_EQ(j.size(), 6u);
    EXPECT_EQ(j["record"].number, static_cast<double>(i + 1));
    EXPECT_EQ(j["name"].text, names[i]);
  }
  for (size_t i : {size_t{0}, size_t{2}}) {
    const Json j = ParseJson(lines[i]);
    EXPECT_TRUE(j["ok"].b);
    EXPECT_EQ(j["message"].text, "");
    EXPECT_EQ(j["best"].number, fit["best"].number);
    // Statistics and refinement included, every digit as fit prints them.
    ASSERT_NE(RawValue(single.out, "models").find("\"refined\": {"), std::string::npos);
    EXPECT_EQ(RawValue(lines[i], "models"), RawValue(single.out, "models"));
  }
  const Json empty = ParseJson(lines[1]);
  EXPECT_FALSE(empty["ok"].b);
  EXPECT_EQ(empty["message"].text, "培養結果を記入して下さい");
  EXPECT_EQ(empty["best"].kind, Json::Null);
  EXPECT_EQ(empty["models"].size(), 0u);

  const CliRun failing = Cli(
      {"fit", season.Table("overflow", kOverflowing), "--std-temp", "25", "--name", "桁あふれ"});
  EXPECT_EQ(failing.code, 3);
  const Json failed = ParseJson(lines[3]);
  EXPECT_FALSE(failed["ok"].b);
  EXPECT_EQ(failed["message"].text, "単純型: パラメータの解が求まりませんでした");
  ASSERT_NE(RawValue(failing.out, "models").find("\"ok\": false"), std::string::npos);
  EXPECT_EQ(RawValue(lines[3], "models"), RawValue(failing.out, "models"));
  EXPECT_NE(all.err.find("4件中 2件を算出しました（算出できなかった記録: 2, 4）"),
            std::string::npos)
      << all.err;

  // One job, or more jobs than records, gives the same lines.
  EXPECT_EQ(Cli({"fit-all", season.Dir(), "--jobs", "1"}).out, all.out);
  EXPECT_EQ(Cli({"fit-all", season.Dir(), "--jobs", "8", "--records", "1,3"}).out,
            lines[0] + "\n" + lines[2] + "\n");
}

TEST(CliFitAll, FieldRecordsAreFittedAsFitField) {
  Season season;
  CliRun all = Cli({"fit-all", season.Dir(), "--field", "--std-temp", "20"});
  ASSERT_EQ(all.code, 0) << all.err;
  const CliRun single =
      Cli({"fit-field", Bench("field-soil-1y.tsv"), "--std-temp", "20", "--name", "ほ場"});
  ASSERT_EQ(single.code, 0) << single.err;
  ASSERT_EQ(Lines(all.out).size(), 1u);
  EXPECT_EQ(ParseJson(all.out)["name"].text, "ほ場");
  ASSERT_NE(RawValue(single.out, "models").find("\"stats\": {"), std::string::npos);
  EXPECT_EQ(RawValue(all.out, "models"), RawValue(single.out, "models"));
}

TEST(CliFitAll, StoreAppendsTheBestModelsInOneSaveKeepingTheOldFile) {
  Season season;
  const std::filesystem::path para = season.dir.path() / "ParaData.txt";
  const std::string before = testing::ReadBytes(para);
  {
    // Refused while the desktop program holds the folder: nothing fitted,
    // nothing written.
    FolderLock desktop;
    std::string detail;
    ASSERT_EQ(desktop.Take(season.dir.path(), detail), FolderLock::Result::Taken);
    CliRun refused = Cli({"fit-all", season.Dir(), "--store"});
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("が使用中です。"), std::string::npos) << refused.err;
    EXPECT_EQ(testing::ReadBytes(para), before);
  }
  const std::string csv =
      (season.dir.path().parent_path() / (season.dir.path().filename().string() + "-一括計算.csv"))
          .string();
  CliRun stored = Cli({"fit-all", season.Dir(), "--store", "--out", csv});
  EXPECT_EQ(stored.code, 1) << stored.err;
  EXPECT_EQ(testing::ReadBytes(season.dir.path() / "ParaData.bak"), before);
  EXPECT_FALSE(std::filesystem::exists(season.dir.path() / kLockFile));

  // The stored sets are the records fit prints, after the one there before,
  // as the program writes them to the data file.
  const CliRun single = Cli({"fit", season.Table("soil", season.soil), "--std-temp", "25"});
  const Json record = ParseJson(single.out)["record"];
  hensuu expected;
  expected.ParaTable.Append(ParaRecord{"前からの記録", 1, {1, 2, 3, 4, 0, 0, 0}, 5, 6, true, 25});
  for (const char* name : {"灰色低地土", "黒ボク土"}) {
    ParaRecord p{name, static_cast<int16_t>(record["ModelNo"].number), {}, 0, 0, false, 0};
    for (int k = 0; k < 7; ++k) {
      p.Param[k] = static_cast<float>(record["Param" + std::to_string(k + 1)].number);
    }
    p.Aic = static_cast<float>(record["Aic"].number);
    p.Rss = static_cast<float>(record["Rss"].number);
    p.StdTemp = static_cast<float>(record["StdTemp"].number);
    expected.ParaTable.Append(p);
  }
  const std::filesystem::path written = season.dir.path() / "expected";
  ASSERT_TRUE(SaveDataFiles(expected, written).empty());
  ASSERT_NE(RawValue(Cli({"dump", written.string()}).out, "ParaTable").find("黒ボク土"),
            std::string::npos);
  EXPECT_EQ(RawValue(Cli({"dump", season.Dir()}).out, "ParaTable"),
            RawValue(Cli({"dump", written.string()}).out, "ParaTable"));

  // --out: a row per fitted record and model, a row for each of the others.
  std::vector<std::string> rows;
  for (const std::string& line : Lines(testing::ReadBytes(csv))) {
    rows.push_back(line.substr(0, line.find(',', line.find(',') + 1)));  // 記録,名前
  }
  std::filesystem::remove(csv);
  EXPECT_EQ(rows, (std::vector<std::string>{"\xEF\xBB\xBF記録,名前", "1,灰色低地土", "1,灰色低地土",
                                            "1,灰色低地土", "2,空の記録", "3,黒ボク土",
                                            "3,黒ボク土", "3,黒ボク土", "4,桁あふれ"}));
}

// Records no single fit would call a success are none in a batch either, and
// nothing is stored for them: a table of fewer observations than any model
// has parameters, a stored table larger than the screen's grid.
TEST(CliFitAll, UndeterminedAndOversizedRecordsAreNotFittedNorStored) {
  testing::TempDir dir;
  std::string tall = "培養日数\t15\t25\t35\n";
  for (int d = 0; d < 120; ++d) tall += std::to_string(d) + "\t1\t2\t3\n";
  hensuu store;
  store.BaiyoTable.Append(Season::Lab("少ない", "培養日数\t15\t25\t35\n0\t1\t1\t1\n"));
  store.BaiyoTable.Append(
      BaiyoRecord{"長い", JoinGridText(SplitGridText(tall, kSpreadsheetFormat)), false});
  store.BaiyoTable.Append(BaiyoRecord{
      "広い", "培養日数\t15\t25\t35\t45\r0\t1\t1\t1\t1\r7\t2\t2\t2\t2\r14\t3\t3\t3\t3", false});
  store.ParaTable.Append(ParaRecord{"前からの記録", 1, {1, 2, 3, 4, 0, 0, 0}, 5, 6, true, 25});
  ASSERT_TRUE(SaveDataFiles(store, dir.path()).empty());
  const std::string para = testing::ReadBytes(dir.path() / kParaFile);
  const CliRun r = Cli({"fit-all", dir.path().string(), "--store"});
  EXPECT_EQ(r.code, 1) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 3u);
  const char* messages[] = {"測定値が3個しかありません",
                            "表の行が多すぎます（見出しを含めて100行まで）",
                            "表の列が多すぎます（4列まで）"};
  for (size_t i = 0; i < 3; ++i) {
    const Json line = ParseJson(lines[i]);
    EXPECT_EQ(line["ok"].kind, Json::Bool);
    EXPECT_FALSE(line["ok"].b) << lines[i];
    EXPECT_NE(line["message"].text.find(messages[i]), std::string::npos) << lines[i];
  }
  EXPECT_EQ(testing::ReadBytes(dir.path() / kParaFile), para);
  // The same soil table as a single fit warns and exits 3.
  EXPECT_EQ(
      Cli({"fit", Season().Table("few", "培養日数\t15\t25\t35\n0\t1\t1\t1\n"), "--std-temp", "25"})
          .code,
      3);
}

// --store waits for the recovery copy of a session that ended without
// saving; a --out the export would refuse is refused before anything is
// fitted or stored; a private ParaData.txt leaves a private .bak copy.
TEST(CliFitAll, StoreWaitsForARecoveryCopyAndRefusesABadOutFirst) {
  Season season;
  const std::filesystem::path para = season.dir.path() / kParaFile;
  std::filesystem::permissions(
      para, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const std::string before = testing::ReadBytes(para);
  std::filesystem::create_directory(season.dir.path() / kRecoveryFolder);
  CliRun waiting = Cli({"fit-all", season.Dir(), "--store", "--records", "1"});
  EXPECT_EQ(waiting.code, 2);
  EXPECT_EQ(waiting.out, "");
  EXPECT_NE(waiting.err.find("保存されずに終了したデータの控え"), std::string::npos) << waiting.err;
  std::filesystem::remove(season.dir.path() / kRecoveryFolder);
  const CliRun folder =
      Cli({"fit-all", season.Dir(), "--store", "--records", "1", "--out", season.Dir() + ".csv/"});
  EXPECT_EQ(folder.code, 2);
  EXPECT_EQ(folder.out, "");
  EXPECT_EQ(testing::ReadBytes(para), before);
  const CliRun stored = Cli({"fit-all", season.Dir(), "--store", "--records", "1"});
  EXPECT_EQ(stored.code, 0) << stored.err;
  EXPECT_NE(testing::ReadBytes(para), before);
  EXPECT_EQ(std::filesystem::status(season.dir.path() / "ParaData.bak").permissions() &
                std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(CliFitAll, BadArgumentsAndFoldersExitTwo) {
  Season season;
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"fit-all"}, "データフォルダを1つ指定して下さい。"},
      {{"fit-all", season.Dir(), "--jobs", "0"}, "--jobs には1以上の整数を指定して下さい。"},
      {{"fit-all", season.Dir(), "--std-temp", "abc"}, "標準温度に数字を記入して下さい"},
      {{"fit-all", season.Dir(), "--records", "9"}, ""},
      {{"fit-all", season.Dir(), "--out", "x.pdf"},
       "拡張子を .xlsx（Excel）か .csv にして下さい。"},
      {{"fit-all", (season.dir.path() / "none").string()}, ""},
  };
  for (const Case& c : cases) {
    CliRun r = Cli(c.args);
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  hensuu store;
  store.TionTable.Append(TionRecord{"地点", "年/月/日\t地温(℃)"});
  const std::filesystem::path noRecords = season.dir.path() / "no-records";
  ASSERT_TRUE(SaveDataFiles(store, noRecords).empty());
  CliRun r = Cli({"fit-all", noRecords.string(), "--field"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("ほ場埋設の記録がありません"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kelvora
