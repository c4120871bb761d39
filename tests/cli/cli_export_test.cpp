// kelvora-cli export: parameter sets and estimations of a data folder into
// .xlsx and .csv files, read back with other readers; the folder only read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "estimation_fixture.h"
#include "pdf_text.h"
#include "store/data_files.h"
#include "store/grid_text.h"
#include "store/hensuu.h"
#include "test_dir.h"
#include "xlsx_reader.h"

namespace kelvora {
namespace {

using testing::Json;
using testing::JsonDouble;
using testing::Quote;
using testing::ReadCsv;
using testing::ReadXlsx;

struct ExportRun {
  int code;
  std::string err;
};

// The real program in its own process.
ExportRun Export(const std::vector<std::string>& args, const std::filesystem::path& scratch,
                 const std::string& env = std::string()) {
  std::string cmd = env + Quote(KELVORA_CLI) + " export";
  for (const std::string& a : args) cmd += " " + Quote(a);
  const std::string err = (scratch / "stderr.txt").string();
  cmd += " > /dev/null 2> " + Quote(err);
  const int status = std::system(cmd.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testing::ReadBytes(err)};
}

// Every file of the folder with its bytes and modification time.
std::map<std::string, std::pair<std::string, std::filesystem::file_time_type>> FolderState(
    const std::filesystem::path& dir) {
  std::map<std::string, std::pair<std::string, std::filesystem::file_time_type>> files;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    files[e.path().filename().string()] = {testing::ReadBytes(e.path()),
                                           std::filesystem::last_write_time(e.path())};
  }
  return files;
}

// The amount texts of the days of a stored estimation.
std::vector<std::string> AmountTexts(const SuiteiRecord& rec) {
  std::vector<std::string> amounts;
  const auto rows = SplitGridText(rec.GridText);
  for (size_t r = 1; r < rows.size(); ++r) amounts.push_back(rows[r].size() > 1 ? rows[r][1] : "");
  return amounts;
}

class CliExport : public ::testing::Test {
 protected:
  testing::TempDir tmp;
  std::filesystem::path data = tmp.path() / "Data";
  hensuu stored;  // the folder as read back from its files

  void SetUp() override {
    hensuu store;
    const auto runs = testing::ReferenceRuns(std::string(KELVORA_BENCH_DIR) +
                                             "/series-2y.estimates.expected.json");
    const TionRecord series =
        testing::SeriesFromTsv(std::string(KELVORA_BENCH_DIR) + "/series-2y.tsv", "つくば");
    store.TionTable.Append(series);
    for (size_t i = 0; i < runs.size(); ++i) {
      ParaRecord p = runs[i].para;
      p.SoilName = "土壌, 試験" + std::to_string(i + 1);
      p.Aic = 12.345f * static_cast<float>(i + 1);
      p.Rss = 0.0123f;
      p.IsManual = i == 3;
      store.ParaTable.Append(p);
      store.SuiteiTable.Append(testing::EstimateAsTheScreenDoes(p, series));
    }
    std::filesystem::create_directories(data);
    ASSERT_TRUE(SaveDataFiles(store, data).empty());
    ASSERT_TRUE(ReadDataFiles(stored, data).empty());
  }
};

TEST_F(CliExport, WritesWhatTheFolderHoldsAndOnlyReadsIt) {
  const auto before = FolderState(data);

  // Parameter sets, every one, as a workbook: each slot the model uses.
  const auto paraXlsx = tmp.path() / "para.xlsx";
  ExportRun r = Export({"parameters", data.string(), "--out", paraXlsx.string()}, tmp.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const Json book = ReadXlsx(paraXlsx);
  ASSERT_EQ(book.size(), 1u);
  const Json& rows = book[0]["rows"];
  ASSERT_EQ(rows.size(), 7u);
  std::map<std::string, size_t> column;
  for (size_t c = 0; c < rows[0].size(); ++c) column[rows[0][c]["v"].text] = c;
  const std::map<int, std::vector<std::string>> slotNames = {
      {1, {"Ea", "k", "No", "C"}},
      {2, {"Ea1", "Ea2", "k1", "k2", "No1", "No2", "C"}},
      {3, {"Ea", "Eaim", "k", "kim", "No", "Nim", "C"}},
      {4, {"Ea", "k", "No", "C"}},
      {5, {"Ea1", "k", "No", "TAU", "Ea2"}},
      {6, {"Ea1", "k", "No", "TAU", "Ea2", "σ"}}};
  for (int i = 1; i <= 6; ++i) {
    const ParaRecord& p = stored.ParaTable(i);
    const Json& row = rows[static_cast<size_t>(i)];
    SCOPED_TRACE(p.SoilName);
    EXPECT_EQ(row[0]["v"].text, p.SoilName);
    const std::vector<std::string>& names = slotNames.at(p.ModelNo);
    for (size_t s = 0; s < names.size(); ++s) {
      EXPECT_EQ(static_cast<float>(JsonDouble(row[column.at(names[s])]["v"])), p.Param[s])
          << names[s];
    }
    if (p.IsManual) {
      EXPECT_EQ(row[column.at("AIC")]["k"].text, "e");
      EXPECT_EQ(row[column.at("入力方法")]["v"].text, "手入力");
    } else {
      EXPECT_EQ(static_cast<float>(JsonDouble(row[column.at("AIC")]["v"])), p.Aic);
      EXPECT_EQ(static_cast<float>(JsonDouble(row[column.at("残差平方和")]["v"])), p.Rss);
      EXPECT_EQ(row[column.at("入力方法")]["v"].text, "計算");
    }
    EXPECT_EQ(static_cast<float>(JsonDouble(row[column.at("標準温度")]["v"])), p.StdTemp);
  }

  // Two sets as CSV, in record order whatever the order of the list.
  const auto paraCsv = tmp.path() / "para.csv";
  r = Export({"parameters", data.string(), "--out", paraCsv.string(), "--records", "5,2"},
             tmp.path());
  ASSERT_EQ(r.code, 0) << r.err;
  const Json csv = ReadCsv(paraCsv);
  ASSERT_EQ(csv.size(), 3u);
  EXPECT_EQ(csv[1][0].text, stored.ParaTable(2).SoilName);
  EXPECT_EQ(csv[2][0].text, stored.ParaTable(5).SoilName);

  // Estimations 2 and 6 as a workbook, all as one CSV table.
  const auto estXlsx = tmp.path() / "est.xlsx";
  r = Export({"estimations", data.string(), "--out", estXlsx.string(), "--records", "2,6"},
             tmp.path());
  ASSERT_EQ(r.code, 0) << r.err;
  const Json est = ReadXlsx(estXlsx);
  ASSERT_EQ(est.size(), 2u);
  for (size_t s = 0; s < 2; ++s) {
    const SuiteiRecord& rec = stored.SuiteiTable(s == 0 ? 2 : 6);
    const std::vector<std::string> amounts = AmountTexts(rec);
    const Json& sheet = est[s]["rows"];
    EXPECT_EQ(sheet[0][1]["v"].text, rec.SoilName);
    ASSERT_EQ(sheet.size(), 5 + amounts.size());
    for (size_t d = 0; d < amounts.size(); ++d) {
      const Json& cell = sheet[5 + d][2];
      if (amounts[d].empty()) {
        EXPECT_EQ(cell["k"].text, "e") << d;
      } else {
        EXPECT_EQ(JsonDouble(cell["v"]), std::strtod(amounts[d].c_str(), nullptr)) << d;
      }
    }
  }
  const auto estCsv = tmp.path() / "est.csv";
  r = Export({"estimations", data.string(), "--out", estCsv.string()}, tmp.path());
  ASSERT_EQ(r.code, 0) << r.err;
  const Json table = ReadCsv(estCsv);
  size_t at = 1;
  for (int i = 1; i <= 6; ++i) {
    for (const std::string& amount : AmountTexts(stored.SuiteiTable(i))) {
      ASSERT_LT(at, table.size());
      EXPECT_EQ(table[at][0].text, stored.SuiteiTable(i).SoilName);
      EXPECT_EQ(table[at++][4].text, amount);
    }
  }
  EXPECT_EQ(at, table.size());

  EXPECT_EQ(FolderState(data), before);
}

TEST_F(CliExport, BadInputEndsWithExitTwoAndWritesNothing) {
  const std::filesystem::path empty = tmp.path() / "Empty";
  std::filesystem::create_directories(empty);
  {
    hensuu none;
    none.ParaTable.Append(ParaRecord{"土壌", 1, {}, 0, 0, false, 25});
    ASSERT_TRUE(SaveDataFiles(none, empty).empty());
  }
  const std::string out = (tmp.path() / "x.xlsx").string();
  const std::string folderOut = (tmp.path() / "folder.csv").string();
  std::filesystem::create_directories(folderOut);
  // Made read-only by the user: refused even for the superuser.
  const std::string readOnly = (tmp.path() / "ro.csv").string();
  testing::WriteBytes(readOnly, "old");
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  const std::filesystem::path readOnlyFolder = tmp.path() / "ro";
  std::filesystem::create_directories(readOnlyFolder);
  ASSERT_EQ(::chmod(readOnlyFolder.c_str(), 0555), 0);
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const std::vector<Case> cases{
      {{"parameters", data.string(), "--out", out, "--records", "7"}, "7"},
      {{"parameters", data.string(), "--out", out, "--records", "0-2"}, "0-2"},
      {{"parameters", data.string(), "--out", out, "--records", "1,,2"}, "番号"},
      {{"estimations", data.string(), "--out", out, "--records", "3-1"}, "3-1"},
      {{"estimations", empty.string(), "--out", out}, "推定結果がありません"},
      {{"parameters", (tmp.path() / "無い").string(), "--out", out}, "無い"},
      {{"parameters", data.string()}, "--out"},
      {{"parameters", data.string(), "--out", (tmp.path() / "x.pdf").string()}, ".xlsx"},
      {{"tables", data.string(), "--out", out}, "parameters"},
      {{"parameters", data.string(), "--out", out, "--sheet", "1"}, "--sheet"},
      {{"parameters", data.string(), "--out", (tmp.path() / "無い/x.xlsx").string()}, "x.xlsx"},
      {{"estimations", data.string(), "--out", folderOut}, "通常のファイルではありません"},
      {{"estimations", data.string(), "--out", readOnly}, "読み取り専用のファイルです"},
      {{"parameters", data.string(), "--out", readOnly}, "読み取り専用のファイルです"},
      {{"parameters", data.string(), "--out", (readOnlyFolder / "p.xlsx").string()},
       "は読み取り専用です"},
  };
  const auto before = FolderState(tmp.path());
  for (const Case& c : cases) {
    const ExportRun r = Export(c.args, tmp.path());
    EXPECT_EQ(r.code, 2) << c.args[0] << " " << c.says;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("[ERROR]"), std::string::npos) << r.err;  // only our own message
    EXPECT_FALSE(std::filesystem::exists(out)) << c.says;
  }
  auto after = FolderState(tmp.path());
  after.erase("stderr.txt");
  auto expected = before;
  expected.erase("stderr.txt");
  EXPECT_EQ(after, expected);  // no file added, not even a temporary one
  EXPECT_TRUE(std::filesystem::is_empty(folderOut));
  EXPECT_TRUE(std::filesystem::is_empty(readOnlyFolder));
  ::chmod(readOnlyFolder.c_str(), 0755);
}

// No temporary folder is needed: a TMPDIR that names none is no obstacle,
// and nothing is left beside the file written.
TEST_F(CliExport, AMissingTemporaryFolderIsNoObstacle) {
  const std::filesystem::path outDir = tmp.path() / "out";
  std::filesystem::create_directories(outDir);
  for (const char* name : {"e.xlsx", "e.csv"}) {
    const auto out = outDir / name;
    const ExportRun r = Export({"estimations", data.string(), "--out", out.string()}, tmp.path(),
                               "env TMPDIR=" + Quote((tmp.path() / "none").string()) + " ");
    ASSERT_EQ(r.code, 0) << name << ": " << r.err;
    EXPECT_EQ(r.err, "");
  }
  EXPECT_EQ(ReadXlsx(outDir / "e.xlsx").size(), 6u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outDir),
                          std::filesystem::directory_iterator()),
            2);
}

}  // namespace
}  // namespace kelvora
