// Reading daily temperature files and tables written by other programs: the
// encodings, separators, date forms and headers met in practice, and the
// series (with its gaps and refusals) that comes out.
#include "store/temperature_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "store/cp932.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = fs::temp_directory_path() / ("kelvora_tf_" + std::to_string(rd()));
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  fs::path Write(const std::string& name, const std::string& bytes) const {
    const fs::path p = path_ / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

struct Imported {
  TextFileRead file;
  std::vector<DelimitedRow> rows;
  TemperatureColumns columns;
  TemperatureRead read;
};

// What the soil temperature screen does with a file when the guess is kept.
Imported Import(const fs::path& path) {
  Imported out;
  out.file = ReadTextFile(path);
  if (!out.file.file) return out;
  const std::string& text = out.file.file->text;
  out.rows = SplitDelimited(text, DetectSeparator(text));
  out.columns = GuessTemperatureColumns(out.rows);
  out.read = ReadTemperatureSeries(out.rows, out.columns);
  return out;
}

Imported ImportText(const std::string& text) {
  TempDir dir;
  return Import(dir.Write("t.csv", text));
}

CivilDate D(int y, int m, int d) { return CivilDate{y, m, d}; }

// The grid text the screen keeps for a series typed by hand, written out.
const char* const kLeapSeries =
    "年/月/日\t地温(℃)\r"
    "2024/02/27\t12.5\r"
    "2024/02/28\t13\r"
    "2024/02/29\t-0.5\r"
    "2024/03/01\t10\r"
    "2024/03/02\t0.1";

TEST(TemperatureFile, Cp932WithHeaderAndUtf8WithBomGiveTheSameSeries) {
  // A logger export saved by a Japanese spreadsheet: five lines of heading.
  const std::string sjisText =
      "地点名,つくば圃場\r\n"
      "測器,地中温度計 深さ10cm\r\n"
      "期間,2024年2月27日～2024年3月2日\r\n"
      "\r\n"
      "日付,地温(℃)\r\n"
      "2024/2/27,12.5\r\n"
      "2024/2/28,１３\r\n"
      "2024/2/29,-0.50\r\n"
      "2024/3/1,1e1\r\n"
      "2024/3/2,0.1\r\n";
  const std::optional<std::string> sjis = EncodeCp932(sjisText);
  ASSERT_TRUE(sjis);
  ASSERT_NE(*sjis, sjisText);  // really other bytes than UTF-8
  // The same days from another program: UTF-8 with a byte-order mark, TABs,
  // ISO dates, LF line ends and no heading.
  const std::string utf8 =
      "\xEF\xBB\xBF"
      "2024-02-27\t12.50\n2024-02-28\t13.0\n2024-02-29\t-.5\n2024-03-01\t10\n2024-03-02\t0.10\n";
  TempDir dir;
  const Imported a = Import(dir.Write("tsukuba.csv", *sjis));
  const Imported b = Import(dir.Write("tsukuba.txt", utf8));
  ASSERT_TRUE(a.file.file) << a.file.error;
  ASSERT_TRUE(b.file.file) << b.file.error;
  EXPECT_EQ(a.file.file->encoding, FileEncoding::Cp932);
  EXPECT_EQ(b.file.file->encoding, FileEncoding::Utf8WithBom);
  EXPECT_EQ(a.columns, (TemperatureColumns{5, 0, 1}));
  EXPECT_EQ(b.columns, (TemperatureColumns{0, 0, 1}));
  EXPECT_EQ(a.rows[2].fields[1], "2024年2月27日～2024年3月2日");
  ASSERT_TRUE(a.read.series) << a.read.error;
  ASSERT_TRUE(b.read.series) << b.read.error;
  EXPECT_EQ(SeriesGridText(*a.read.series), kLeapSeries);
  EXPECT_EQ(SeriesGridText(*b.read.series), kLeapSeries);
  EXPECT_EQ(a.read.series->first, D(2024, 2, 27));
  EXPECT_TRUE(a.read.series->missingDays.empty());
  EXPECT_TRUE(a.read.series->blankDays.empty());
}

TEST(TemperatureFile, GapsAreListedAndLeftEmpty) {
  const Imported im = ImportText(
      "2024/12/30,5.5\n"
      "2024/12/31,\n"      // the logger failed: an empty temperature
      "2025/01/03,4\n"     // 1 and 2 January are not in the file
      "\n"                 // a blank line is passed over
      "2025/01/05,欠測\n"  // not a number
      "2025/01/07,3.25\n");
  ASSERT_TRUE(im.read.series) << im.read.error;
  const TemperatureSeries& s = *im.read.series;
  ASSERT_EQ(s.dates.size(), 9u);
  EXPECT_EQ(s.dates.front(), "2024/12/30");
  EXPECT_EQ(s.dates.back(), "2025/01/07");
  const std::vector<std::string> temps{"5.5", "", "", "", "4", "", "", "", "3.25"};
  EXPECT_EQ(s.temperatures, temps);
  EXPECT_EQ(s.missingDays,
            (std::vector<CivilDate>{D(2025, 1, 1), D(2025, 1, 2), D(2025, 1, 4), D(2025, 1, 6)}));
  EXPECT_EQ(s.blankDays, (std::vector<CivilDate>{D(2024, 12, 31), D(2025, 1, 5)}));
  EXPECT_EQ(DayRuns(s.missingDays),
            (std::vector<std::string>{"2025/01/01～2025/01/02", "2025/01/04", "2025/01/06"}));
}

TEST(TemperatureFile, DatesOutOfOrderRepeatedOrUnreadableAreRefusedWithTheirLine) {
  struct Case {
    const char* text;
    int line;
    const char* words;
  };
  const Case cases[] = {
      {"日付,地温\n2024/5/1,10\n2024/5/3,11\n2024/5/2,12\n", 4, "前の行の日付より前"},
      {"2024/5/1,10\n2024/5/2,11\n2024/5/2,11\n", 3, "重複"},
      // Repeated further back is still a repetition, not merely out of order.
      {"2024/5/1,10\n2024/5/2,11\n2024/5/3,11\n2024/5/1,9\n", 4, "重複"},
      // A quoted heading over two lines: the line numbers still count the file's lines.
      {"\"観測\n地点\",x\n日付,地温\n2024/5/1,10\n2024/5/1,10\n", 5, "重複"},
      {"日付,地温\r\n2024/5/1,10\r\n2024/5/32,10\r\n", 3, "「2024/5/32」を読み取れません"},
      {"日付,地温\r\n2024/5/1,10\r\n平均,10\r\n", 3, "「平均」を読み取れません"},
  };
  for (const Case& c : cases) {
    const Imported im = ImportText(c.text);
    EXPECT_FALSE(im.read.series) << c.text;
    EXPECT_EQ(im.read.errorLine, c.line) << c.text;
    EXPECT_NE(im.read.error.find(std::to_string(c.line) + "行目"), std::string::npos)
        << im.read.error;
    EXPECT_NE(im.read.error.find(c.words), std::string::npos) << im.read.error;
  }
  // No data, the same column twice, a range too long for the grid.
  // A heading alone: the guess skips nothing, so the heading is read as data.
  EXPECT_EQ(ImportText("日付,地温\n").read.error, "1行目の日付「日付」を読み取れません。");
  EXPECT_EQ(ReadTemperatureSeries(SplitDelimited("日付,地温\n\n", ','), {1, 0, 1}).error,
            "日付と地温の行がありません。");
  const std::vector<DelimitedRow> rows = SplitDelimited("2024/5/1,10\n", ',');
  EXPECT_FALSE(ReadTemperatureSeries(rows, {0, 0, 0}).series);
  const Imported longRange = ImportText("1900/1/1,1\n2000/1/1,2\n");
  EXPECT_FALSE(longRange.read.series);
  EXPECT_EQ(longRange.read.errorLine, 2);
  EXPECT_EQ(longRange.read.error, "期間は32766日以内にして下さい。");
}

TEST(TemperatureFile, SeparatorsAreDetected) {
  struct Case {
    const char* text;
    char separator;
  };
  const Case cases[] = {
      {"2024/5/1,10\n2024/5/2,11\n", ','},
      {"2024/5/1\t10\n2024/5/2\t11\n", '\t'},
      {"2024/5/1;10\n2024/5/2;11\n", ';'},
      // Decimal commas inside a semicolon list.
      {"2024/5/1;10,5\n2024/5/2;11,5\n", ';'},
      // Commas inside quoted TAB-separated fields do not count.
      {"\"a,b\"\t1\n\"c,d\"\t2\n", '\t'},
      // A heading line with other separators does not outweigh the data.
      {"地点;つくば;深さ10cm\n日付,地温\n2024/5/1,10\n2024/5/2,11\n", ','},
      {"only one column\n", ','},
  };
  for (const Case& c : cases) EXPECT_EQ(DetectSeparator(c.text), c.separator) << c.text;
}

TEST(TemperatureFile, DateForms) {
  struct Case {
    const char* text;
    std::optional<CivilDate> date;
  };
  const Case cases[] = {
      {"2024/05/01", D(2024, 5, 1)},   {"2024-05-01", D(2024, 5, 1)},
      {"2024/5/1", D(2024, 5, 1)},     {"2024-5-1", D(2024, 5, 1)},
      {"2024年5月1日", D(2024, 5, 1)}, {"2024年12月31日", D(2024, 12, 31)},
      {" 2024/5/1 ", D(2024, 5, 1)},   {"2024/2/29", D(2024, 2, 29)},
      {"2023/2/29", std::nullopt},  // no carrying over in a file
      {"2024/4/31", std::nullopt},     {"2024/13/1", std::nullopt},
      {"2024/0/1", std::nullopt},      {"24/5/1", std::nullopt},
      {"2024/005/1", std::nullopt},    {"2024/5-1", std::nullopt},
      {"2024年5/1", std::nullopt},     {"2024年5月1", std::nullopt},
      {"2024/5/1日", std::nullopt},    {"2024/5/1/2", std::nullopt},
      {"2024/5", std::nullopt},        {"1899/12/31", std::nullopt},
      {"5/1/2024", std::nullopt},      {"", std::nullopt},
      {"12.5", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseFileDate(c.text), c.date) << c.text;
}

TEST(TemperatureFile, WeatherServiceDownload) {
  // The shape of a weather service's daily download: a time stamp, a blank
  // line, the station in every column, two heading lines, quality columns.
  const std::string text =
      "ダウンロードした時刻：2024/01/10 12:00:00\r\n"
      "\r\n"
      ",\"つくば（館野）\",\"つくば（館野）\",\"つくば（館野）\",\"つくば（館野）\","
      "\"つくば（館野）\",\"つくば（館野）\"\r\n"
      "年月日,最高気温(℃),最高気温(℃),最高気温(℃),平均気温(℃),平均気温(℃),平均気温(℃)\r\n"
      ",,品質情報,均質番号,,品質情報,均質番号\r\n"
      "2024/1/1,10.1,8,1,5.4,8,1\r\n"
      "2024/1/2,9.8,8,1,\"4.2\",8,1\r\n"
      "2024/1/3,11.0,8,1,6,8,1\r\n";
  const Imported im = ImportText(EncodeCp932(text).value());
  ASSERT_TRUE(im.file.file);
  EXPECT_EQ(im.file.file->encoding, FileEncoding::Cp932);
  EXPECT_EQ(im.rows[2].fields[1], "つくば（館野）");
  EXPECT_EQ(im.columns, (TemperatureColumns{5, 0, 4}));
  ASSERT_TRUE(im.read.series) << im.read.error;
  EXPECT_EQ(im.read.series->temperatures, (std::vector<std::string>{"5.4", "4.2", "6"}));
  EXPECT_EQ(im.read.series->dates,
            (std::vector<std::string>{"2024/01/01", "2024/01/02", "2024/01/03"}));

  // A heading naming 地温 wins over 平均; with no heading, the first number
  // after the date; the date need not come first.
  EXPECT_EQ(GuessTemperatureColumns(SplitDelimited("日付,平均気温,地温\n2024/1/1,1,2\n", ',')),
            (TemperatureColumns{1, 0, 2}));
  EXPECT_EQ(GuessTemperatureColumns(SplitDelimited("No.,日付,温度\n1,2024/1/1,2\n", ',')),
            (TemperatureColumns{1, 1, 2}));
  EXPECT_EQ(GuessTemperatureColumns(SplitDelimited("7.5,2024/1/1\n", ',')),
            (TemperatureColumns{0, 1, 0}));
  EXPECT_EQ(GuessTemperatureColumns(SplitDelimited("a,b\nc,d\n", ',')), (TemperatureColumns{}));
}

TEST(TemperatureFile, QuotedFieldsAndLineNumbers) {
  const std::vector<DelimitedRow> rows =
      SplitDelimited("a,\"b,c\",\"say \"\"hi\"\"\"\r\n\"two\r\nlines\",x\rlast,", ',');
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].line, 1);
  EXPECT_EQ(rows[0].fields, (std::vector<std::string>{"a", "b,c", "say \"hi\""}));
  EXPECT_EQ(rows[1].line, 2);
  EXPECT_EQ(rows[1].fields, (std::vector<std::string>{"two\r\nlines", "x"}));
  EXPECT_EQ(rows[2].line, 4);
  EXPECT_EQ(rows[2].fields, (std::vector<std::string>{"last", ""}));
  EXPECT_TRUE(SplitDelimited("", ',').empty());
  EXPECT_EQ(SplitDelimited("\n\n", ',').size(), 2u);
}

TEST(TemperatureFile, GridPasteTextOfCsvAndTsv) {
  // A TSV is pasted as it is.
  const std::string tsv = "0\t20\t25\r\n7\t1.5\t\"2\"\r\n";
  EXPECT_EQ(GridPasteText(tsv), tsv);
  // A CSV becomes the same cells with TABs; quotes resolved, breaks and TABs
  // inside a cell become spaces.
  EXPECT_EQ(GridPasteText("0,20,25\n7,\"1,5\",\"a \"\"b\"\"\"\n14,\"x\r\ny\",\"p\tq\"\n"),
            "0\t20\t25\r\n7\t1,5\ta \"b\"\r\n14\tx y\tp q\r\n");
  EXPECT_EQ(GridPasteText("1;2\n3;4"), "1\t2\r\n3\t4\r\n");
}

TEST(TemperatureFile, EncodingsAndFilesRefused) {
  EXPECT_TRUE(IsValidUtf8("abc つくば ℃ \xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xE3\x81"));          // cut short
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\x82\xA0"));          // あ in code page 932

  EXPECT_EQ(DecodeTextFile("\x82\xA0")->text, "あ");
  EXPECT_EQ(DecodeTextFile("\x82\xA0")->encoding, FileEncoding::Cp932);
  EXPECT_EQ(DecodeTextFile("plain")->encoding, FileEncoding::Utf8);
  EXPECT_EQ(DecodeTextFile(std::string_view("\xFF\xFE"
                                            "a\0b\0",
                                            6))
                ->text,
            "ab");                                       // UTF-16 after its mark
  EXPECT_FALSE(DecodeTextFile("\xEF\xBB\xBF\x82\xA0"));  // a mark, then no UTF-8

  TempDir dir;
  const TextFileRead folder = ReadTextFile(dir.Path());
  EXPECT_FALSE(folder.file);
  EXPECT_NE(folder.error.find("を読み込めません"), std::string::npos) << folder.error;
  const fs::path fifo = dir.Path() / "pipe.csv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const TextFileRead pipe = ReadTextFile(fifo);
  EXPECT_FALSE(pipe.file);
  EXPECT_NE(pipe.error.find("「pipe.csv」"), std::string::npos) << pipe.error;
  const TextFileRead bad = ReadTextFile(dir.Write("bad.csv", "\xFF\xFF"));
  EXPECT_NE(bad.error.find("文字コード"), std::string::npos) << bad.error;
}

}  // namespace
}  // namespace kelvora
