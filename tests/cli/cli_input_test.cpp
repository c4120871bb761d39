// kelvora-cli on bad input: never a wrong answer reported as success.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "cli/cli.h"
#include "cli/input_checks.h"
#include "cli_run.h"
#include "kinetics/lab_table.h"
#include "mini_json.h"
#include "test_dir.h"

namespace kelvora {
namespace {

using testing::Json;
using testing::ParseJson;

using testing::Cli;
using testing::CliRun;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string SoilTable() {
  return testing::ReadBytes(std::string(KELVORA_BENCH_DIR) + "/soil-3x10.tsv");
}

// The soil table with cell (row, col) of the file replaced.
std::string WithCell(std::string table, int row, int col, const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(table);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  std::vector<std::string> cells;
  std::istringstream cin(lines[row]);
  for (std::string c; std::getline(cin, c, '\t');) cells.push_back(c);
  cells[col] = text;
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i) line += (i ? "\t" : "") + cells[i];
  lines[row] = line;
  std::string outText;
  for (const auto& l : lines) outText += l + "\n";
  return outText;
}

class CliInput : public ::testing::Test {
 protected:
  std::string File(const std::string& name, const std::string& bytes) {
    std::string path = (dir.path() / name).string();
    testing::WriteBytes(path, bytes);
    return path;
  }
  testing::TempDir dir;
};

TEST_F(CliInput, CellsEmptiedByTheCleanUpAreNamedAndStrictRefusesThem) {
  std::string table = SoilTable();
  table = WithCell(table, 2, 1, "abc");
  table = WithCell(table, 3, 2, "nan");
  table = WithCell(table, 4, 3, "1e39");
  table = WithCell(table, 5, 1, std::string(1 << 20, '7') + "x");  // a 1 MB cell
  const std::string path = File("t.tsv", table);

  CliRun r = Cli({"fit", path, "--std-temp", "25"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ParseJson(r.out)["observations"].number, 26);
  EXPECT_TRUE(Contains(r.err, "警告: 表の3行2列目「abc」は数字ではないため、空欄として扱います。"))
      << r.err;
  EXPECT_TRUE(Contains(r.err, "4行3列目「nan」")) << r.err;
  EXPECT_TRUE(Contains(r.err, "5行4列目「1e39」")) << r.err;
  EXPECT_TRUE(Contains(r.err, "6行2列目「77777777777777777777…」")) << r.err;
  EXPECT_LT(r.err.size(), 1000u);

  CliRun strict = Cli({"fit", path, "--std-temp", "25", "--strict"});
  EXPECT_EQ(strict.code, 2);
  EXPECT_TRUE(strict.out.empty());
  EXPECT_TRUE(Contains(strict.err, "エラー: 表の3行2列目「abc」が数字ではありません。"))
      << strict.err;
  // A clean table passes --strict without a word.
  CliRun clean = Cli({"fit", File("clean.tsv", SoilTable()), "--std-temp=25", "--strict"});
  EXPECT_EQ(clean.code, 0);
  EXPECT_EQ(clean.err, "");

  // Field tables: the same for the temperature and amount columns.
  const std::string field =
      File("f.tsv",
           "年/月/日\t地温(℃)\t無機化量\n2024/05/01\t20\t\n2024/05/02\t2x\t1\n"
           "2024/05/03\t21\t2\n2024/05/04\t22\t3\n");
  CliRun f = Cli({"fit-field", field, "--std-temp", "25", "--strict"});
  EXPECT_EQ(f.code, 2);
  EXPECT_TRUE(Contains(f.err, "3行2列目「2x」")) << f.err;
}

TEST_F(CliInput, TemperaturesAtOrBelowAbsoluteZeroAreRefused) {
  const std::string path = File("t.tsv", SoilTable());
  for (const char* ts : {"-273", "-273.5", "-1e6"}) {
    CliRun r = Cli({"fit", path, "--std-temp", ts});
    EXPECT_EQ(r.code, 2) << ts;
    EXPECT_EQ(r.err, std::string(kStandardTempTooLow) + "\n") << ts;
    EXPECT_TRUE(r.out.empty());
  }
  const std::string field =
      File("f.tsv",
           "年/月/日\t地温(℃)\t無機化量\n2024/05/01\t20\t\n2024/05/02\t-273\t1\n"
           "2024/05/03\t21\t2\n");
  CliRun f = Cli({"fit-field", field, "--std-temp", "25"});
  EXPECT_EQ(f.code, 2);
  EXPECT_TRUE(Contains(f.err, "表の3行目の地温「-273」が-273℃以下です。")) << f.err;
  EXPECT_EQ(Cli({"fit-field", field, "--std-temp", "-300"}).code, 2);

  const std::string series = File("s.tsv", "年/月/日\t地温(℃)\n2024/04/01\t25\n2024/04/02\t-280\n");
  auto estimate = [&](const char* ts) {
    return Cli({"estimate", series, "--model", "1", "--params", "15000,0.02,10,1", "--std-temp", ts,
                "--to", "2024/04/01"});
  };
  EXPECT_EQ(estimate("25").code, 0);  // the impossible day lies outside the range
  CliRun e = estimate("-273");
  EXPECT_EQ(e.code, 2);
  EXPECT_EQ(e.err, std::string(kStandardTempTooLow) + "\n");
  CliRun day =
      Cli({"estimate", series, "--model", "1", "--params", "15000,0.02,10,1", "--std-temp", "25"});
  EXPECT_EQ(day.code, 2);
  EXPECT_TRUE(Contains(day.err, "2024/04/02 の地温「-280」が-273℃以下です。")) << day.err;
}

TEST_F(CliInput, TextThatIsNotUtf8IsRefusedNamingTheLine) {
  std::string table = SoilTable();
  size_t third = table.find('\n', table.find('\n') + 1) + 1;
  table.insert(third + 2, "\xff");
  CliRun r = Cli({"fit", File("t.tsv", table), "--std-temp", "25"});
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(r.out.empty());
  EXPECT_TRUE(Contains(r.err, "の3行目に UTF-8 として読めない文字があります。")) << r.err;
  // Shift_JIS text (a file saved by an older spreadsheet) is not UTF-8 either.
  CliRun sjis = Cli({"estimate", File("s.tsv", "\x94\x4e/\x8c\x8e/\x93\xfa\t\n2024/04/01\t25\n"),
                     "--model", "1", "--params", "1,2,3,4", "--std-temp", "25"});
  EXPECT_EQ(sjis.code, 2);
  EXPECT_TRUE(Contains(sjis.err, "の1行目に")) << sjis.err;
  CliRun name = Cli({"fit", File("ok.tsv", SoilTable()), "--std-temp", "25", "--name", "土\xe5"});
  EXPECT_EQ(name.code, 2);
  EXPECT_TRUE(name.out.empty());

  EXPECT_EQ(FirstNonUtf8Line("a\r\nb\rc\nd\xc0\xaf"), 4);  // overlong "/"
  EXPECT_EQ(FirstNonUtf8Line("\xed\xa0\x80"), 1);          // a surrogate
  EXPECT_EQ(FirstNonUtf8Line("\xf4\x90\x80\x80"), 1);      // beyond U+10FFFF
  EXPECT_EQ(FirstNonUtf8Line("地温\n\xf0\x9f\x98\x80\n"), 0);
  EXPECT_EQ(FirstNonUtf8Line("ab\xe5\x9c"), 1);  // cut in the middle of a character
}

TEST_F(CliInput, EmptyOrHeaderOnlySeriesSaysSo) {
  auto run = [&](const std::string& text) {
    return Cli({"estimate", File("s.tsv", text), "--model", "1", "--params", "1,2,3,4",
                "--std-temp", "25"});
  };
  CliRun empty = run("");
  EXPECT_EQ(empty.code, 2);
  EXPECT_EQ(empty.err, "地温の表が空です。\n");
  CliRun header = run("年/月/日\t地温(℃)\n");
  EXPECT_EQ(header.code, 2);
  EXPECT_EQ(header.err, "地温の表に見出しの行しかありません。\n");
}

TEST_F(CliInput, FolderOrMissingTableGivesTheSystemsReason) {
  CliRun folder = Cli({"fit", dir.path().string(), "--std-temp", "25"});
  EXPECT_EQ(folder.code, 2);
  EXPECT_TRUE(Contains(folder.err, std::strerror(EISDIR))) << folder.err;
  CliRun missing = Cli({"estimate", (dir.path() / "none.tsv").string(), "--model", "1", "--params",
                        "1,2,3,4", "--std-temp", "25"});
  EXPECT_EQ(missing.code, 2);
  EXPECT_TRUE(Contains(missing.err, std::strerror(ENOENT))) << missing.err;
  EXPECT_EQ(Cli({"fit-field", dir.path().string(), "--std-temp", "25"}).code, 2);
}

TEST_F(CliInput, DatesThatAreNotConsecutiveDaysAreWarnedAbout) {
  struct Case {
    const char* dates[4];
    int line;  // the line named, 0 for none
    const char* says;
  } cases[] = {
      {{"2005/02/27", "2005/02/28", "2005/03/01", "2005/3/2"}, 0, ""},
      {{"2004/02/28", "2004/02/29", "2004/03/01", "2004/03/02"}, 0, ""},  // leap year
      {{"2005/02/28", "2005/02/29", "2005/03/01", "2005/03/02"}, 3, "は正しい日付ではありません"},
      {{"2005/02/27", "2005/02/28", "2005/02/30", "2005/03/01"}, 4, "は正しい日付ではありません"},
      {{"2005/04/01", "2005/04/02", "2005/04/02", "2005/04/03"}, 4, "が前の行の翌日ではありません"},
      {{"2005/04/03", "2005/04/02", "2005/04/01", "2005/03/31"}, 3, "が前の行の翌日ではありません"},
      {{"2005/12/31", "2006/01/01", "2006/01/03", "2006/01/04"}, 4, "が前の行の翌日ではありません"},
      {{"2005/04/01", "", "2005/04/03", "2005/04/04"}, 3, "は正しい日付ではありません"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dates[1]);
    std::string field = "年/月/日\t地温(℃)\t無機化量\n";
    std::string series = "年/月/日\t地温(℃)\n";
    for (int i = 0; i < 4; ++i) {
      field += std::string(c.dates[i]) + "\t" + std::to_string(20 + i) + "\t" +
               std::to_string(i + 1) + "\n";
      series += std::string(c.dates[i]) + "\t" + std::to_string(20 + i) + "\n";
    }
    CliRun f = Cli({"fit-field", File("f.tsv", field), "--std-temp", "25"});
    CliRun e = Cli({"estimate", File("s.tsv", series), "--model", "4", "--params",
                    "15000,0.02,10,1", "--std-temp", "25"});
    EXPECT_NE(f.code, 2) << f.err;
    EXPECT_EQ(e.code, 0) << e.err;
    if (c.line == 0) {
      EXPECT_FALSE(Contains(f.err, "警告")) << f.err;
      EXPECT_EQ(e.err, "");
      continue;
    }
    // File line L holds the date of day L - 1, dates[L - 2].
    const std::string named = std::to_string(c.line) + "行目の年/月/日「" +
                              std::string(c.dates[c.line - 2]) + "」" + c.says;
    EXPECT_TRUE(Contains(f.err, "警告: 表の" + named)) << f.err;
    EXPECT_TRUE(Contains(e.err, "警告: 地温の表の" + named)) << e.err;
  }
}

TEST_F(CliInput, LongFitsShowModelAndSweepOnATerminalOnly) {
  const std::string path = File("t.tsv", SoilTable());
  // Not a terminal: nothing but the result.
  CliRun quiet = Cli({"fit", path, "--std-temp", "25"});
  ASSERT_EQ(quiet.code, 0);
  EXPECT_EQ(quiet.err, "");
  // On a terminal (script(1) gives the program one): one line rewritten in place.
  if (std::system("script -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "script(1) is missing";
  const std::string log = (dir.path() / "typescript").string();
  const std::string cmd = "script -q -e -c \"'" + std::string(KELVORA_CLI) + "' fit '" + path +
                          "' --std-temp 25 >/dev/null\" '" + log + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const std::string shown = testing::ReadBytes(log);
  EXPECT_TRUE(Contains(shown, "\r\033[K単純型の")) << shown;
  EXPECT_TRUE(Contains(shown, "（反復 1 回）")) << shown;
  EXPECT_TRUE(Contains(shown, "有機化無機化並行型の")) << shown;
  EXPECT_FALSE(Contains(shown, "\n単純型")) << shown;  // never a new line per sweep
}

}  // namespace
}  // namespace kelvora
