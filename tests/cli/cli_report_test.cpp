// kelvora-cli report: the two reports from a data folder into a PDF file,
// without a display, the folder only read.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "cli/report.h"
#include "pdf_text.h"
#include "store/data_files.h"
#include "store/grid_text.h"
#include "store/hensuu.h"
#include "test_dir.h"

namespace kelvora {
namespace {

using testing::Count;
using testing::PdfPages;
using testing::PdfPageTexts;
using testing::Quote;

struct ReportRun {
  int code;
  std::string err;
};

// The real program in its own process, with no display at all.
ReportRun Report(const std::vector<std::string>& args, const std::filesystem::path& scratch) {
  std::string cmd =
      "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + Quote(KELVORA_CLI) + " report";
  for (const std::string& a : args) cmd += " " + Quote(a);
  const std::string err = (scratch / "stderr.txt").string();
  cmd += " > /dev/null 2> " + Quote(err);
  const int status = std::system(cmd.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testing::ReadBytes(err)};
}

std::map<std::string, std::string> FolderBytes(const std::filesystem::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    files[e.path().filename().string()] = testing::ReadBytes(e.path());
  }
  return files;
}

class CliReport : public ::testing::Test {
 protected:
  testing::TempDir tmp;
  std::filesystem::path data = tmp.path() / "Data";

  void SetUp() override {
    hensuu store;
    for (int i = 1; i <= 8; ++i) {
      ParaRecord p;
      p.SoilName = "土壌" + std::to_string(i);
      p.ModelNo = static_cast<int16_t>(1 + (i - 1) % 6);
      p.Param = {16752, 0.0204f, 9.73f, 1.66f, 19588, 3.25f, 1};
      p.StdTemp = 25;
      store.ParaTable.Append(p);
    }
    for (int i = 1; i <= 3; ++i) {
      SuiteiRecord s;
      s.ModelNo = i == 2 ? 5 : 1;
      s.SoilName = "推定" + std::to_string(i);
      s.SiteName = "つくば";
      std::vector<std::vector<std::string>> grid{{"年/月/日", "(mg/100g)"}};
      for (int d = 1; d <= 100; ++d) grid.push_back({"2025/01/01", std::to_string(d) + ".50"});
      s.GridText = JoinGridText(grid);
      store.SuiteiTable.Append(s);
    }
    std::filesystem::create_directories(data);
    ASSERT_TRUE(SaveDataFiles(store, data).empty());
  }
};

TEST_F(CliReport, DrawsTheChosenRecordsAndOnlyReadsTheFolder) {
  const auto before = FolderBytes(data);
  const std::string out = (tmp.path() / "para.pdf").string();
  ReportRun r = Report({"parameters", data.string(), "--out", out}, tmp.path());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(PdfPages(out), 2);  // eight sets: six and two

  r = Report({"parameters", data.string(), "--out", out, "--records", "2,4-5"}, tmp.path());
  ASSERT_EQ(r.code, 0) << r.err;
  auto pages = PdfPageTexts(out);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(Count(pages[0], "土壌名(肥料名)"), 3);
  for (const char* name : {"土壌2", "土壌4", "土壌5"}) EXPECT_EQ(Count(pages[0], name), 1) << name;
  EXPECT_EQ(Count(pages[0], "土壌1"), 0);

  // Estimations one after another, each from a new page.
  const std::string est = (tmp.path() / "est.pdf").string();
  r = Report({"estimations", data.string(), "--out", est, "--records", "3,1"}, tmp.path());
  ASSERT_EQ(r.code, 0) << r.err;
  pages = PdfPageTexts(est);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(Count(pages[0], "推定1"), 1);  // in record order
  EXPECT_EQ(Count(pages[1], "推定3"), 1);
  EXPECT_EQ(Count(pages[0], ".50"), 100);

  EXPECT_EQ(FolderBytes(data), before);
}

TEST_F(CliReport, BadInputEndsWithExitTwoAndWritesNothing) {
  const std::string out = (tmp.path() / "x.pdf").string();
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const std::vector<Case> cases{
      {{"parameters", data.string(), "--out", out, "--records", "9"}, "9"},
      {{"parameters", data.string(), "--out", out, "--records", "0-2"}, "0-2"},
      {{"parameters", data.string(), "--out", out, "--records", "3-1"}, "3-1"},
      {{"parameters", data.string(), "--out", out, "--records", "1,,2"}, "番号"},
      {{"estimations", data.string(), "--out", out, "--records", "4"}, "4"},
      {{"parameters", (tmp.path() / "無い").string(), "--out", out}, "無い"},
      {{"parameters", data.string()}, "--out"},
      {{"tables", data.string(), "--out", out}, "parameters"},
      {{"parameters", data.string(), "--out", (tmp.path() / "無い/x.pdf").string()}, "x.pdf"},
  };
  for (const Case& c : cases) {
    const ReportRun r = Report(c.args, tmp.path());
    EXPECT_EQ(r.code, 2) << c.args[0] << " " << c.says;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.says;
  }
}

TEST(RecordList, RangesAndSingleNumbers) {
  std::string error;
  auto list = ParseRecordList("1-3,7,2", 9, error);
  ASSERT_TRUE(list);
  EXPECT_EQ(*list, (std::vector<int16_t>{1, 2, 3, 7}));
  list = ParseRecordList("5", 5, error);
  ASSERT_TRUE(list);
  EXPECT_EQ(*list, (std::vector<int16_t>{5}));
  for (const char* bad : {"", "6", "a", "1-", "-2", "2-1", "1,", "1.5", "1000000"}) {
    EXPECT_FALSE(ParseRecordList(bad, 5, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace kelvora
