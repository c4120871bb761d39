#include "store/sheet_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <functional>

#include "store/export_target.h"
#include "test_dir.h"
#include "xlsx_reader.h"

namespace kelvora {
namespace {

using testing::Json;
using testing::JsonDouble;
using testing::ReadBytes;
using testing::ReadXlsx;
using testing::ReadXlsxStrings;
using testing::RunCommand;
using testing::TempDir;
using testing::WriteBytes;

const std::string kAwkwardName = "灰色低地土, \"水田\"\n2区";

Sheet SampleSheet() {
  Sheet s;
  s.name = "試料";
  s.rows.push_back({SheetCell::Text("名前"), SheetCell::Text("値"), SheetCell::Text("年/月/日"),
                    SheetCell::Text("小数3桁")});
  s.rows.push_back({SheetCell::Text(kAwkwardName), SheetCell::Number(0.1),
                    SheetCell::Date(2004, 2, 29), SheetCell::Number(12.3456, 3)});
  s.rows.push_back({SheetCell::Text("a"), SheetCell::Number(-1.5e-7), SheetCell::Date(1900, 3, 1),
                    SheetCell::Number(-0.0004, 3)});
  s.rows.push_back({SheetCell::Blank(), SheetCell::Number(84000.25), SheetCell::Date(2099, 12, 31),
                    SheetCell::Blank()});
  return s;
}

// Every cell of SampleSheet as written, read back by openpyxl.
TEST(SheetFile, XlsxReadsBackWithAnotherReader) {
  TempDir dir;
  const auto out = dir.path() / "表.xlsx";
  ASSERT_EQ(WriteSheetsXlsx(out, {SampleSheet()}), "");
  const Json book = ReadXlsx(out);
  ASSERT_EQ(book.size(), 1u);
  const Json& sheet = book[0];
  EXPECT_EQ(sheet["name"].text, "試料");
  EXPECT_EQ(sheet["freeze"].text, "A2");
  const Json& rows = sheet["rows"];
  ASSERT_EQ(rows.size(), 4u);
  const char* header[] = {"名前", "値", "年/月/日", "小数3桁"};
  for (size_t c = 0; c < 4; ++c) {
    EXPECT_EQ(rows[0][c]["k"].text, "s");
    EXPECT_EQ(rows[0][c]["v"].text, header[c]);
    EXPECT_TRUE(rows[0][c]["bold"].b) << c;
    EXPECT_FALSE(rows[1][c]["bold"].b) << c;
  }
  EXPECT_EQ(rows[1][0]["v"].text, kAwkwardName);
  EXPECT_EQ(rows[2][0]["v"].text, "a");
  EXPECT_EQ(rows[3][0]["k"].text, "e");
  EXPECT_EQ(rows[3][3]["k"].text, "e");
  // Numbers exactly as given, the general format unless decimals were asked.
  const double values[] = {0.1, -1.5e-7, 84000.25};
  for (size_t r = 1; r <= 3; ++r) {
    ASSERT_EQ(rows[r][1]["k"].text, "n");
    EXPECT_EQ(JsonDouble(rows[r][1]["v"]), values[r - 1]);
    EXPECT_EQ(rows[r][1]["fmt"].text, "General");
  }
  EXPECT_EQ(JsonDouble(rows[1][3]["v"]), 12.3456);
  EXPECT_EQ(rows[1][3]["fmt"].text, "0.000");
  EXPECT_EQ(JsonDouble(rows[2][3]["v"]), -0.0004);
  // Real dates (with Excel's 1900 leap-year quirk handled), shown as yyyy/mm/dd.
  const int dates[][3] = {{2004, 2, 29}, {1900, 3, 1}, {2099, 12, 31}};
  for (size_t r = 1; r <= 3; ++r) {
    ASSERT_EQ(rows[r][2]["k"].text, "d") << r;
    const Json& d = rows[r][2]["v"];
    EXPECT_EQ(d[0].number, dates[r - 1][0]);
    EXPECT_EQ(d[1].number, dates[r - 1][1]);
    EXPECT_EQ(d[2].number, dates[r - 1][2]);
    EXPECT_EQ(d[3].number, 0);
    EXPECT_EQ(rows[r][2]["fmt"].text, "yyyy/mm/dd");
  }
  // Guessed widths: the Japanese name column is wider than the short ones.
  const Json& widths = sheet["widths"];
  ASSERT_TRUE(widths.Has("A") && widths.Has("B"));
  EXPECT_GT(widths["A"].number, widths["B"].number);
  EXPECT_GE(widths["C"].number, 10);
}

TEST(SheetFile, XlsxSheetsKeepOrderGivenWidthsAndNoHeader) {
  TempDir dir;
  const auto out = dir.path() / "b.xlsx";
  Sheet a;
  a.name = "Data";
  a.rows = {{SheetCell::Number(1)}};
  a.headerRow = -1;
  a.columnWidths = {33};
  Sheet b = a;
  b.name = "data";  // the same name to Excel
  b.rows = {{SheetCell::Number(2)}};
  Sheet c = a;
  c.name = "a/b:c";
  c.rows = {{SheetCell::Date(2023, 2, 30)}};  // no such day
  ASSERT_EQ(WriteSheetsXlsx(out, {a, b, c}), "");
  const Json book = ReadXlsx(out);
  ASSERT_EQ(book.size(), 3u);
  EXPECT_EQ(book[0]["name"].text, "Data");
  EXPECT_EQ(book[1]["name"].text, "data (2)");
  EXPECT_EQ(book[2]["name"].text, "a_b_c");
  EXPECT_EQ(JsonDouble(book[1]["rows"][0][0]["v"]), 2);
  EXPECT_EQ(book[2]["rows"][0][0]["v"].text, "2023/02/30");
  EXPECT_EQ(book[0]["freeze"].text, "");
  EXPECT_FALSE(book[0]["rows"][0][0]["bold"].b);
  EXPECT_NEAR(book[0]["widths"]["A"].number, 33, 1);  // Excel stores a little padding
}

TEST(SheetFile, SheetNamesFollowExcelRules) {
  const std::string longAscii(40, 'x');
  const std::string japanese31 = "褐色森林土の長期連用試験圃場における牛ふん堆肥の窒素無機化推定";
  const std::string emoji = "\xF0\x9F\x8C\xB1";  // a seedling: two UTF-16 units
  struct Case {
    std::vector<std::string> wanted;
    std::vector<std::string> expected;
  } cases[] = {
      {{"土壌A", "土壌A", "土壌a"}, {"土壌A", "土壌A (2)", "土壌a (3)"}},
      {{longAscii, longAscii}, {std::string(31, 'x'), std::string(27, 'x') + " (2)"}},
      {{"[a]:b*c?d/e\\f"}, {"_a__b_c_d_e_f"}},
      {{"'quoted'", "", "", "History"}, {"quoted", "Sheet", "Sheet (2)", "History (2)"}},
      {{"名前\n2行"}, {"名前_2行"}},
      {{japanese31 + "試験"}, {japanese31}},
      {{japanese31, japanese31},
       {japanese31, "褐色森林土の長期連用試験圃場における牛ふん堆肥の窒素無 (2)"}},
      {{std::string(30, 'e') + emoji}, {std::string(30, 'e')}},
      {{std::string(29, 'e') + emoji + "z"}, {std::string(29, 'e') + emoji}},
      {{"A", "A", "A (2)", "a", "A"}, {"A", "A (2)", "A (2) (2)", "a (3)", "A (4)"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ValidSheetNames(c.wanted), c.expected) << c.wanted[0];
  }
}

TEST(SheetFile, CsvHasBomCrLfAndQuotedFields) {
  TempDir dir;
  const auto out = dir.path() / "表.csv";
  ASSERT_EQ(WriteSheetCsv(out, SampleSheet()), "");
  const std::string expected =
      "\xEF\xBB\xBF"
      "名前,値,年/月/日,小数3桁\r\n"
      "\"灰色低地土, \"\"水田\"\"\n2区\",0.1,2004/02/29,12.346\r\n"
      "a,-1.5e-07,1900/03/01,0.000\r\n"
      ",84000.25,2099/12/31,\r\n";
  EXPECT_EQ(ReadBytes(out), expected);
  // Python's csv module reads the same cells back.
  const std::string script =
      "import csv,sys\n"
      "rows=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig',newline='')))\n"
      "sys.stdout.buffer.write(repr(rows[1][0]).encode('utf-8')+b' '+str(len(rows)).encode())\n";
  WriteBytes(dir.path() / "r.py", script);
  EXPECT_EQ(RunCommand("python3 '" + (dir.path() / "r.py").string() + "' '" + out.string() + "'"),
            "'灰色低地土, \"水田\"\\n2区' 4");
}

// A full disk or quota is stood in for by a file-size limit, which stops the
// write even for the superuser. Runs `write` in a child under the limit and
// returns the message it gave.
std::string WriteUnderSizeLimit(const std::function<std::string()>& write) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return "pipe failed";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeFds[0]);
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit lim{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    const std::string m = write();
    (void)!::write(pipeFds[1], m.data(), m.size());
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  std::string m;
  char buf[512];
  ssize_t n;
  while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0) m.append(buf, static_cast<size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return m;
}

Sheet BigSheet() {
  Sheet s;
  for (int r = 0; r < 3000; ++r) {
    s.rows.push_back({SheetCell::Text("行" + std::to_string(r)), SheetCell::Number(r * 0.37)});
  }
  return s;
}

TEST(SheetFile, FailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  for (const char* name : {"old.csv", "old.xlsx"}) {
    TempDir dir;
    const auto out = dir.path() / name;
    WriteBytes(out, "old contents");
    const bool xlsx = std::string(name).ends_with(".xlsx");
    const std::string m = WriteUnderSizeLimit(
        [&] { return xlsx ? WriteSheetsXlsx(out, {BigSheet()}) : WriteSheetCsv(out, BigSheet()); });
    EXPECT_NE(m.find("ファイル「" + out.string() + "」に書き込めませんでした"), std::string::npos)
        << m;
    EXPECT_NE(m.find("元のファイルは変更されていません"), std::string::npos) << m;
    EXPECT_EQ(ReadBytes(out), "old contents");
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      (void)e;
      ++files;
    }
    EXPECT_EQ(files, 1) << name;
    // Without the limit the same write replaces the file.
    EXPECT_EQ(xlsx ? WriteSheetsXlsx(out, {BigSheet()}) : WriteSheetCsv(out, BigSheet()), "");
    EXPECT_NE(ReadBytes(out), "old contents");
  }
}

TEST(SheetFile, WriteIntoAMissingFolderSaysWhy) {
  TempDir dir;
  const auto out = dir.path() / "none" / "a.csv";
  const std::string m = WriteSheetCsv(out, SampleSheet());
  EXPECT_NE(m.find("「" + out.string() + "」"), std::string::npos) << m;
  EXPECT_NE(m.find("理由:"), std::string::npos) << m;
  EXPECT_EQ(m.find("元のファイル"), std::string::npos) << m;
}

TEST(SheetFile, FolderOrFifoAtThePathIsRefusedAndKept) {
  TempDir dir;
  const auto folder = dir.path() / "f.xlsx";
  std::filesystem::create_directory(folder);
  WriteBytes(folder / "inside", "x");
  const auto fifo = dir.path() / "p.csv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const auto& path : {folder, fifo}) {
    for (int xlsx = 0; xlsx < 2; ++xlsx) {
      const std::string m =
          xlsx ? WriteSheetsXlsx(path, {SampleSheet()}) : WriteSheetCsv(path, SampleSheet());
      EXPECT_NE(m.find("通常のファイルではありません"), std::string::npos) << m;
      EXPECT_NE(m.find(path.string()), std::string::npos) << m;
    }
  }
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(ReadBytes(folder / "inside"), "x");
  struct stat st {};
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(SheetFile, TooLongTextFailsWithoutTouchingTheOldFile) {
  TempDir dir;
  const auto out = dir.path() / "a.xlsx";
  WriteBytes(out, "old");
  Sheet s;
  s.rows = {{SheetCell::Text(std::string(40000, 'a'))}};
  const std::string m = WriteSheetsXlsx(out, {s});
  EXPECT_NE(m.find("書き込めませんでした"), std::string::npos) << m;
  EXPECT_EQ(ReadBytes(out), "old");
}

// Texts a spreadsheet would run as a formula (or a DDE call) stay texts in
// CSV; numbers and texts with such a character further on are untouched.
TEST(SheetFile, CsvTextsThatASpreadsheetWouldRunStayTexts) {
  const struct {
    SheetCell cell;
    const char* csv;
  } cases[] = {
      {SheetCell::Text("=HYPERLINK(\"http://x\",\"a\")"), "'=HYPERLINK(\"http://x\",\"a\")"},
      {SheetCell::Text("=cmd|' /C calc'!A0"), "'=cmd|' /C calc'!A0"},
      {SheetCell::Text("+81-29"), "'+81-29"},
      {SheetCell::Text("-1.5"), "'-1.5"},
      {SheetCell::Text("@SUM(A1)"), "'@SUM(A1)"},
      {SheetCell::Text("\t=1"), "'\t=1"},
      {SheetCell::Text("\r=1"), "'\r=1"},
      {SheetCell::Text("'quoted"), "'quoted"},
      {SheetCell::Text("a=b-c"), "a=b-c"},
      {SheetCell::Text(" =1"), " =1"},
      {SheetCell::Text("＝全角"), "＝全角"},
      {SheetCell::Text(""), ""},
      {SheetCell::Number(-1.5), "-1.5"},
      {SheetCell::Number(-0.25, 2), "-0.25"},
      {SheetCell::Date(2024, 1, 2), "2024/01/02"},
  };
  Sheet sheet;
  for (const auto& c : cases) {
    EXPECT_EQ(CsvCellText(c.cell), c.csv) << c.csv;
    sheet.rows.push_back({c.cell, SheetCell::Text("x")});
  }
  // In the file: quoted where the apostrophe's text needs it, read back by
  // Python's csv module as the apostrophe and the text.
  TempDir dir;
  const auto out = dir.path() / "a.csv";
  ASSERT_EQ(WriteSheetCsv(out, sheet), "");
  EXPECT_EQ(ReadBytes(out).substr(0, 40),
            "\xEF\xBB\xBF\"'=HYPERLINK(\"\"http://x\"\",\"\"a\"\")\",x\r\n");
  const Json rows = testing::ReadCsv(out);
  ASSERT_EQ(rows.size(), std::size(cases));
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i][0].text, cases[i].csv) << i;
}

// A text holding what reads like the workbook format's escape of a character
// is read back literally, distinct from the real character.
TEST(SheetFile, XlsxTextsThatLookLikeEscapesReadBackLiterally) {
  const std::vector<std::string> texts = {"_x000D_",
                                          "a\rb",
                                          "_x0041_",
                                          "x_x005F_y",
                                          "_X0041_",
                                          "_x000D_x0041_",
                                          "_x12",
                                          "_x1234",
                                          "\x01"
                                          "ctl",
                                          "tab\tand\nLF",
                                          "&<>\"'",
                                          " 空白 ",
                                          "CR\r"};
  Sheet sheet;
  sheet.headerRow = -1;
  for (const std::string& t : texts) sheet.rows.push_back({SheetCell::Text(t)});
  TempDir dir;
  const auto out = dir.path() / "esc.xlsx";
  ASSERT_EQ(WriteSheetsXlsx(out, {sheet}), "");
  const Json strings = ReadXlsxStrings(out);
  ASSERT_EQ(strings.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(strings[i].text, texts[i]) << i;
  // And another reader opens it, the texts in their cells.
  const Json book = ReadXlsx(out);
  ASSERT_EQ(book.size(), 1u);
  EXPECT_EQ(book[0]["rows"].size(), texts.size());
  EXPECT_EQ(book[0]["rows"][10][0]["v"].text, "&<>\"'");
}

// Nothing is written to a temporary folder: an export works without one.
TEST(SheetFile, XlsxNeedsNoTemporaryFolder) {
  TempDir dir;
  const auto out = dir.path() / "t.xlsx";
  // TMPDIR names a folder that does not exist while the workbook is written.
  struct Restore {
    const char* before = std::getenv("TMPDIR");
    std::string saved = before ? before : "";
    ~Restore() { before ? ::setenv("TMPDIR", saved.c_str(), 1) : ::unsetenv("TMPDIR"); }
  };
  std::string m;
  {
    Restore restore;
    ::setenv("TMPDIR", (dir.path() / "none").c_str(), 1);
    m = WriteSheetsXlsx(out, {SampleSheet()});
  }
  EXPECT_EQ(m, "");
  EXPECT_EQ(ReadXlsx(out).size(), 1u);
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

// The same sheets give the same bytes, whether held whole or made one at a
// time; the file is a sound ZIP archive.
TEST(SheetFile, XlsxIsTheSameForTheSameSheets) {
  TempDir dir;
  std::vector<Sheet> sheets = {SampleSheet(), BigSheet()};
  sheets[1].name = "大";
  ASSERT_EQ(WriteSheetsXlsx(dir.path() / "a.xlsx", sheets), "");
  ASSERT_EQ(
      WriteSheetsXlsx(dir.path() / "b.xlsx", {"試料", "大"}, [&](size_t i) { return sheets[i]; }),
      "");
  const std::string a = ReadBytes(dir.path() / "a.xlsx");
  EXPECT_EQ(a, ReadBytes(dir.path() / "b.xlsx"));
  EXPECT_EQ(RunCommand(
                "python3 -c 'import sys,zipfile; print(zipfile.ZipFile(sys.argv[1]).testzip())' '" +
                (dir.path() / "a.xlsx").string() + "'"),
            "None\n");
  const Json book = ReadXlsx(dir.path() / "a.xlsx");
  ASSERT_EQ(book.size(), 2u);
  EXPECT_EQ(book[1]["rows"].size(), 3000u);
  EXPECT_EQ(book[1]["rows"][2999][0]["v"].text, "行2999");
}

// A file made read-only, or a folder the user may not write in, is refused
// by every export, as spreadsheet programs refuse it; the superuser too, who
// could write anyway: the permissions say what the user meant.
TEST(SheetFile, ReadOnlyFileOrFolderIsRefusedAndKept) {
  TempDir dir;
  const auto file = dir.path() / "ro.xlsx";
  WriteBytes(file, "old");
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  const auto folder = dir.path() / "ro";
  std::filesystem::create_directory(folder);
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  const std::vector<std::function<std::string(const std::filesystem::path&)>> writers = {
      [](const std::filesystem::path& p) { return WriteSheetsXlsx(p, {SampleSheet()}); },
      [](const std::filesystem::path& p) { return WriteSheetCsv(p, SampleSheet()); },
      [](const std::filesystem::path& p) {
        std::string reason;
        return WriteExportFile(p, "picture", reason) ? std::string() : reason;
      },
  };
  for (const auto& write : writers) {
    const std::string overFile = write(file);
    EXPECT_NE(overFile.find("読み取り専用のファイルです"), std::string::npos) << overFile;
    const std::string intoFolder = write(folder / "new.csv");
    EXPECT_NE(intoFolder.find("フォルダ「" + folder.string() + "」は読み取り専用です"),
              std::string::npos)
        << intoFolder;
  }
  EXPECT_EQ(ReadBytes(file), "old");
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 2);
  // Writable again, both are written.
  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  EXPECT_EQ(WriteSheetCsv(file, SampleSheet()), "");
  EXPECT_EQ(WriteSheetCsv(folder / "new.csv", SampleSheet()), "");
}

}  // namespace
}  // namespace kelvora
