// The reports drawn into PDF files and read back with poppler: pages, page
// size, the texts a reader sees, and nothing near the paper's edge.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>

#include "pdf_text.h"
#include "print/page_output.h"
#include "print/report_texts.h"
#include "print/reports.h"
#include "store/grid_text.h"

namespace kelvora {
namespace {

using testing::Count;
using testing::LinesWith;
using testing::PdfPages;
using testing::PdfPageSize;
using testing::PdfPageTexts;
using testing::WordsNearTheEdge;

constexpr const char* kA4Landscape = "842 x 595";
constexpr const char* kA4Portrait = "595 x 842";

ParaRecord Para(const std::string& name, int16_t model) {
  ParaRecord r;
  r.SoilName = name;
  r.ModelNo = model;
  r.Param = {20170, 0.0432449f, 96.86f, 19.234f, 19588, 4.5678f, 1.5f};
  r.Aic = 123.654f;
  r.Rss = 44.18f;
  r.StdTemp = 25;
  return r;
}

SuiteiRecord Estimation(const std::string& soil, int16_t model, int rows) {
  SuiteiRecord r;
  r.ModelNo = model;
  r.SoilName = soil;
  r.SiteName = "つくば地温";
  std::vector<std::vector<std::string>> grid{{"年/月/日", "(%)"}};
  for (int i = 1; i <= rows; ++i) {
    const int month = 1 + (i - 1) / 28 % 12, day = 1 + (i - 1) % 28;
    char date[16];
    std::snprintf(date, sizeof date, "%04d/%02d/%02d", 2025 + (i - 1) / 336, month, day);
    grid.push_back({date, std::to_string(i) + ".25"});
  }
  r.GridText = JoinGridText(grid);
  return r;
}

class ReportPdf : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  std::filesystem::path Path(const char* name) { return dir.filePath(name).toStdString(); }

  std::filesystem::path Parameters(const std::vector<ParaRecord>& records) {
    const auto path = Path("para.pdf");
    PdfFileSink sink(QString::fromStdString(path.string()));
    EXPECT_TRUE(PrintParameterReport(sink, records)) << sink.Error().toStdString();
    EXPECT_TRUE(sink.Finish()) << sink.Error().toStdString();
    return path;
  }
  std::filesystem::path Estimations(const std::vector<SuiteiRecord>& records) {
    const auto path = Path("est.pdf");
    PdfFileSink sink(QString::fromStdString(path.string()));
    for (const SuiteiRecord& r : records) {
      EXPECT_TRUE(PrintEstimationReport(sink, r)) << sink.Error().toStdString();
    }
    EXPECT_TRUE(sink.Finish()) << sink.Error().toStdString();
    return path;
  }
};

TEST_F(ReportPdf, ParameterPagesHoldSixBlocks) {
  std::vector<ParaRecord> seven;
  for (int i = 1; i <= 7; ++i) seven.push_back(Para("土壌" + std::to_string(i), 1 + (i - 1) % 6));
  auto pdf = Parameters(seven);
  EXPECT_EQ(PdfPages(pdf), 2);
  EXPECT_EQ(PdfPageSize(pdf), kA4Landscape);
  auto pages = PdfPageTexts(pdf);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(Count(pages[0], "土壌名(肥料名)"), 6);
  EXPECT_EQ(Count(pages[1], "土壌名(肥料名)"), 1);
  EXPECT_EQ(Count(pages[1], "土壌7"), 1);
  EXPECT_EQ(Count(pages[1], "土壌1"), 0);  // no block of the first page is left over
  EXPECT_EQ(Count(pages[1], "パラメータ計算結果"), 1);
  EXPECT_TRUE(WordsNearTheEdge(pdf, 10).empty()) << WordsNearTheEdge(pdf, 10).front();

  // Six records: exactly one page.
  seven.pop_back();
  pdf = Parameters(seven);
  EXPECT_EQ(PdfPages(pdf), 1);
  EXPECT_EQ(Count(PdfPageTexts(pdf)[0], "土壌名(肥料名)"), 6);

  // None: one page with the title (and the rules) alone.
  pdf = Parameters({});
  EXPECT_EQ(PdfPages(pdf), 1);
  pages = PdfPageTexts(pdf);
  EXPECT_EQ(Count(pages[0], "パラメータ計算結果"), 1);
  EXPECT_EQ(Count(pages[0], "土壌名"), 0);
  EXPECT_EQ(Count(pages[0], "AIC"), 0);
}

TEST_F(ReportPdf, BlockShowsTheModelsNamesAndValues) {
  // Block 1: simple fertilizer model; block 2: the Gaussian model.
  const auto pdf = Parameters({Para("被覆尿素A", 4), Para("被覆尿素B", 6)});
  const std::string page = PdfPageTexts(pdf).at(0);
  const std::string first = page.substr(0, page.find("被覆尿素B"));
  const std::string second = page.substr(page.find("被覆尿素B"));
  EXPECT_EQ(Count(first, "肥料単純型"), 1);
  const auto names = LinesWith(first, "Ea");
  ASSERT_EQ(names.size(), 1u);
  for (const char* n : {"Ea", " k ", "No", " C"}) EXPECT_EQ(Count(names[0] + " ", n), 1) << n;
  for (const char* n : {"TAU", "σ", "Ea2"}) EXPECT_EQ(Count(first, n), 0) << n;
  EXPECT_EQ(Count(first, "20170"), 1);
  EXPECT_EQ(Count(first, "0.04324"), 1);
  EXPECT_EQ(Count(first, "96.86"), 1);
  EXPECT_EQ(Count(first, "19.23"), 1);  // C of the fertilizer model
  EXPECT_EQ(Count(first, "19588"), 0);  // slot 5 is not used by the model
  EXPECT_EQ(Count(first, "123.65"), 1);
  EXPECT_EQ(Count(first, "44.18"), 1);

  EXPECT_EQ(Count(second, "シグモイド肥料ガウス補正型"), 1);
  EXPECT_EQ(Count(second, "N = No(1-exp(-k"), 1);
  for (const char* n : {"Ea1", "TAU", "Ea2", "σ"}) EXPECT_EQ(Count(second, n), 1) << n;
  const auto sigma = LinesWith(second, "σ");
  ASSERT_EQ(sigma.size(), 1u);
  // σ heads the second row; its value, two decimals, is the first of the row below.
  const auto values = LinesWith(second, "123.65");
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].find("4.57"), values[0].find_first_not_of(' '));
}

TEST_F(ReportPdf, EstimationColumnsAndPages) {
  // 100 rows: 69 + 31, each column under its header.
  auto pdf = Estimations({Estimation("灰色低地土", 1, 100)});
  EXPECT_EQ(PdfPages(pdf), 1);
  EXPECT_EQ(PdfPageSize(pdf), kA4Portrait);
  auto pages = PdfPageTexts(pdf);
  EXPECT_EQ(Count(pages[0], "年/月/日"), 2);
  EXPECT_EQ(Count(pages[0], "無機化量"), 2);
  EXPECT_EQ(Count(pages[0], "mg/100g"), 2);
  EXPECT_EQ(Count(pages[0], ".25"), 100);
  EXPECT_EQ(Count(pages[0], "灰色低地土"), 1);
  EXPECT_EQ(Count(pages[0], "単純型"), 1);
  // Row 69 ends the first column and row 70 opens the second on the line of row 1.
  const auto top = LinesWith(pages[0], "2025/01/01");
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(Count(top[0], "70.25"), 1);
  EXPECT_TRUE(WordsNearTheEdge(pdf, 10).empty()) << WordsNearTheEdge(pdf, 10).front();

  // 300 rows: four columns on page 1, 24 rows under a header on page 2.
  pdf = Estimations({Estimation("被覆肥料", 5, 300)});
  EXPECT_EQ(PdfPages(pdf), 2);
  pages = PdfPageTexts(pdf);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(Count(pages[0], "無機化率"), 4);
  EXPECT_EQ(Count(pages[0], "%"), 4);
  EXPECT_EQ(Count(pages[0], ".25"), 276);
  EXPECT_EQ(Count(pages[1], "無機化率"), 1);
  EXPECT_EQ(Count(pages[1], ".25"), 24);
  EXPECT_EQ(Count(pages[1], "被覆肥料"), 0);  // no heading block on later pages
  EXPECT_EQ(Count(pages[1], "mg/100g"), 0);
  EXPECT_TRUE(WordsNearTheEdge(pdf, 10).empty()) << WordsNearTheEdge(pdf, 10).front();

  // 69 rows: the second column is its header and unit line alone.
  pdf = Estimations({Estimation("黒ボク土", 2, 69)});
  pages = PdfPageTexts(pdf);
  EXPECT_EQ(Count(pages[0], "年/月/日"), 2);
  EXPECT_EQ(Count(pages[0], ".25"), 69);
}

TEST_F(ReportPdf, EstimationsFollowEachOtherOnNewPages) {
  // In one PDF file every estimation starts on a page of its own, in order.
  const auto pdf = Estimations(
      {Estimation("一番目", 1, 10), Estimation("二番目", 4, 300), Estimation("三番目", 6, 5)});
  EXPECT_EQ(PdfPages(pdf), 4);
  const auto pages = PdfPageTexts(pdf);
  ASSERT_EQ(pages.size(), 4u);
  EXPECT_EQ(Count(pages[0], "一番目"), 1);
  EXPECT_EQ(Count(pages[1], "二番目"), 1);
  EXPECT_EQ(Count(pages[2], ".25"), 24);
  EXPECT_EQ(Count(pages[3], "三番目"), 1);
  EXPECT_EQ(Count(pages[3], "シグモイド肥料ガウス補正型"), 1);
}

TEST_F(ReportPdf, EstimationTextFitsTheLongestPage) {
  // A4 portrait with the PDF margins: heading, column header, unit line and
  // 69 rows fit, and the text is not shrunk below a readable size.
  const double mm = 1440 / 25.4;
  const double width = (210 - 2 * kPdfMarginMillimetres) * mm;
  const double height = (297 - 2 * kPdfMarginMillimetres) * mm;
  const EstimationFont font = ChooseEstimationFont(width, height);
  EXPECT_LE(kEstimationTop + kEstimationLinesPerPage * font.h, height);
  EXPECT_GE(font.pixelTwips, 120);  // 6 point at least
  // A smaller page gets a smaller text.
  EXPECT_LT(ChooseEstimationFont(width, height * 0.8).pixelTwips, font.pixelTwips);
}

TEST_F(ReportPdf, FailuresNameTheFileAndKeepTheOldOne) {
  // A folder that does not exist.
  const QString missing = dir.filePath("無い/report.pdf");
  PdfFileSink sink(missing);
  EXPECT_FALSE(PrintParameterReport(sink, {Para("土", 1)}));
  EXPECT_FALSE(sink.Finish());
  EXPECT_TRUE(sink.Error().contains(QStringLiteral("report.pdf"))) << sink.Error().toStdString();
  EXPECT_FALSE(QFile::exists(missing));

  // A file given up before it was finished leaves the old one as it was.
  const QString old = dir.filePath("old.pdf");
  {
    QFile f(old);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old contents");
  }
  {
    PdfFileSink abandoned(old);
    ASSERT_TRUE(PrintParameterReport(abandoned, {Para("土", 1)}));
  }
  QFile f(old);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("old contents"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);  // no temporary file left
}

TEST_F(ReportPdf, WindowImageFillsTheLandscapePage) {
  QImage image(800, 400, QImage::Format_RGB32);
  image.fill(Qt::white);
  const auto path = Path("image.pdf");
  PdfFileSink sink(QString::fromStdString(path.string()));
  ASSERT_TRUE(PrintWindowImage(sink, image, QStringLiteral("画面")));
  ASSERT_TRUE(sink.Finish());
  EXPECT_EQ(PdfPages(path), 1);
  EXPECT_EQ(PdfPageSize(path), kA4Landscape);
}

}  // namespace
}  // namespace kelvora
