// What the printed reports say and where, before anything is drawn.
#include "print/report_texts.h"

#include <gtest/gtest.h>

#include <cmath>

#include "store/grid_text.h"

namespace kelvora {
namespace {

ParaRecord Para(int16_t model, std::array<float, 7> params) {
  ParaRecord r;
  r.SoilName = "試験土壌";
  r.ModelNo = model;
  r.Param = params;
  r.Aic = -12.345f;
  r.Rss = 0.125f;
  r.StdTemp = 25;
  return r;
}

TEST(ParameterBlock, NamesAndPatternsFollowTheModel) {
  // Coated fertilizer, simple model: four positions, nothing in 5 to 7, even
  // when the record's unused slots hold values of an earlier model.
  ParameterBlock b = MakeParameterBlock(Para(4, {21000.4f, 0.0123456f, 98.766f, 1.005f, 7, 8, 9}));
  EXPECT_EQ(b.modelName, "肥料単純型");
  EXPECT_EQ(b.formula, "N = No(1-exp(-k・t)) ");
  EXPECT_EQ(b.names1, (std::array<std::string, 5>{"Ea", "k", "No", "C", ""}));
  EXPECT_EQ(b.values1[0], "21000");
  EXPECT_EQ(b.values1[1], "0.01235");
  EXPECT_EQ(b.values1[2], "98.77");
  EXPECT_EQ(b.values1[4], "");
  EXPECT_EQ(b.names2, (std::array<std::string, 5>{"", "", "AIC", "残差平方和", "標準温度（℃）"}));
  EXPECT_EQ(b.values2[0], "");
  EXPECT_EQ(b.values2[1], "");
  EXPECT_EQ(b.values2[2], "-12.35");  // rounded half away from zero
  EXPECT_EQ(b.values2[3], "0.13");
  EXPECT_EQ(b.values2[4], "25");

  // The Gaussian model: six positions, k to five decimals (the results
  // screen shows four), sigma to two.
  b = MakeParameterBlock(Para(6, {20170, 0.0432449f, 96.86f, 19.234f, 19588, 4.5678f, 0}));
  EXPECT_EQ(b.modelName, "シグモイド肥料ガウス補正型");
  EXPECT_EQ(b.names1, (std::array<std::string, 5>{"Ea1", "k", "No", "TAU", "Ea2"}));
  EXPECT_EQ(b.values1[1], "0.04324");
  EXPECT_EQ(b.values1[3], "19.23");
  EXPECT_EQ(b.names2[0], "σ");
  EXPECT_EQ(b.values2[0], "4.57");
  EXPECT_EQ(b.names2[1], "");

  // Immobilization model: the report names position 6 "Nim" (the list says
  // "Noim"); both rate constants five decimals, both energies whole.
  b = MakeParameterBlock(Para(3, {15000.5f, 9000.4f, 0.05f, 0.123456f, 10, 2.345f, 1}));
  EXPECT_EQ(b.names1, (std::array<std::string, 5>{"Ea", "Eaim", "k", "kim", "No"}));
  EXPECT_EQ(b.values1[0], "15001");
  EXPECT_EQ(b.values1[1], "9000");
  EXPECT_EQ(b.values1[3], "0.12346");
  EXPECT_EQ(b.names2[0], "Nim");
  EXPECT_EQ(b.names2[1], "C");
  EXPECT_EQ(b.values2[0], "2.35");
  EXPECT_EQ(b.formula, "N = No(1-exp(-k・t)) - Nim(1-exp(-kim・t)) + C");
}

TEST(ParameterBlock, StoredFiguresArePrintedAsStored) {
  // A hand-entered set has AIC and RSS 0; the standard temperature is its
  // stored text, not a pattern.
  ParaRecord r = Para(1, {15500, 0.013f, 8.6f, 2.3f, 0, 0, 0});
  r.IsManual = true;
  r.Aic = 0;
  r.Rss = 0;
  r.StdTemp = 22.5f;
  ParameterBlock b = MakeParameterBlock(r);
  EXPECT_EQ(b.values2[2], "0.00");
  EXPECT_EQ(b.values2[3], "0.00");
  EXPECT_EQ(b.values2[4], "22.5");
  EXPECT_EQ(b.soilName, "試験土壌");

  // A model number no table knows: no model line, no parameter names.
  r.ModelNo = 9;
  b = MakeParameterBlock(r);
  EXPECT_EQ(b.modelName, "");
  EXPECT_EQ(b.formula, "");
  EXPECT_EQ(b.names1, (std::array<std::string, 5>{}));
  EXPECT_EQ(b.names2[2], "AIC");
}

SuiteiRecord Estimation(int16_t model, int rows) {
  SuiteiRecord r;
  r.ModelNo = model;
  r.SoilName = "灰色低地土";
  r.SiteName = "つくば2025";
  std::vector<std::vector<std::string>> grid{{"年/月/日", "(mg/100g)"}};
  for (int i = 1; i <= rows; ++i) {
    grid.push_back({"2025/01/" + std::to_string(1000 + i).substr(1), std::to_string(i) + ".00"});
  }
  r.GridText = JoinGridText(grid);
  return r;
}

// Items of a page at a given x.
std::vector<TextItem> Column(const ReportPageText& page, double x) {
  std::vector<TextItem> items;
  for (const TextItem& t : page) {
    if (t.x == x) items.push_back(t);
  }
  return items;
}

bool IsHeader(const TextItem& t) { return t.text.rfind("年/月/日", 0) == 0; }
bool IsUnit(const TextItem& t) { return t.text.rfind(std::string(20, ' '), 0) == 0; }

int Rows(const std::vector<TextItem>& items) {
  int n = 0;
  for (const TextItem& t : items) n += t.text.rfind("2025/", 0) == 0;
  return n;
}

TEST(EstimationReport, HeadingBlockStepsAndRounding) {
  // h = 180.5: every y is rounded half to even as it is placed.
  const auto pages = EstimationReportPages(Estimation(1, 2), 180.5);
  ASSERT_EQ(pages.size(), 1u);
  const ReportPageText& p = pages[0];
  ASSERT_EQ(p.size(), 10u);  // 8 heading lines (no item for the empty one) + 2 rows
  EXPECT_EQ(p[0].text, "土壌名： ");
  EXPECT_EQ(p[0].y, 680);  // 680.5 to even
  EXPECT_EQ(p[1].text, "灰色低地土");
  EXPECT_EQ(p[1].y, 860);  // 860.5 to even
  EXPECT_EQ(p[2].text, "温度データ： ");
  EXPECT_EQ(p[2].y, 1221);
  EXPECT_EQ(p[3].text, "つくば2025");
  EXPECT_EQ(p[4].text, "モデル： ");
  EXPECT_EQ(p[5].text, "単純型");
  EXPECT_EQ(p[6].text, "年/月/日       無機化量");
  EXPECT_EQ(p[7].text, "                    mg/100g");
  EXPECT_EQ(p[8].text, "2025/01/001     1.00");
  // Column header two lines below the model line, rows one line apart.
  EXPECT_NEAR(p[6].y - p[5].y, 2 * 180.5, 1.0);
  EXPECT_NEAR(p[9].y - p[8].y, 180.5, 0.5);
  for (const TextItem& t : p) {
    EXPECT_EQ(t.x, 1000);
    EXPECT_EQ(t.y, std::nearbyint(t.y));
  }
}

TEST(EstimationReport, ColumnsOfSixtyNineRows) {
  const double h = 190;
  // 100 rows: 69 in the first column, 31 in the second, each under a header
  // and a unit line.
  auto pages = EstimationReportPages(Estimation(1, 100), h);
  ASSERT_EQ(pages.size(), 1u);
  auto first = Column(pages[0], 1000), second = Column(pages[0], 3500);
  EXPECT_EQ(Rows(first), 69);
  EXPECT_EQ(Rows(second), 31);
  ASSERT_GE(second.size(), 3u);
  EXPECT_TRUE(IsHeader(second[0]));
  EXPECT_TRUE(IsUnit(second[1]));
  EXPECT_EQ(second[0].y, std::nearbyint(std::nearbyint(9 * h + 500) + h));
  EXPECT_EQ(second[2].y, second[1].y + h);
  EXPECT_TRUE(Column(pages[0], 6000).empty());
  // The first row of a later column sits where the first column's first row
  // sits.
  EXPECT_EQ(second[2].y, first[8].y);

  // 300 rows: four full columns (276 rows) on page 1, 24 rows on page 2
  // at x = 1000 under a column header, without the heading block.
  pages = EstimationReportPages(Estimation(5, 300), h);
  ASSERT_EQ(pages.size(), 2u);
  for (double x : kEstimationColumnX) EXPECT_EQ(Rows(Column(pages[0], x)), 69) << x;
  auto next = Column(pages[1], 1000);
  EXPECT_EQ(Rows(next), 24);
  EXPECT_EQ(pages[1].size(), 26u);
  EXPECT_TRUE(IsHeader(next[0]));
  EXPECT_EQ(next[0].text, "年/月/日       無機化率");
  EXPECT_EQ(next[1].text, "                    ％");
  EXPECT_EQ(next[2].text, "2025/01/277     277.00");

  // Exactly 69 rows: a second column of the header and unit line alone.
  pages = EstimationReportPages(Estimation(2, 69), h);
  ASSERT_EQ(pages.size(), 1u);
  second = Column(pages[0], 3500);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_TRUE(IsHeader(second[0]));
  EXPECT_TRUE(IsUnit(second[1]));

  // Exactly 276 rows: the next page carries the header alone.
  pages = EstimationReportPages(Estimation(2, 276), h);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[1].size(), 2u);
}

TEST(EstimationReport, MaterialTexts) {
  for (int16_t m : {1, 2, 3}) {
    EXPECT_EQ(EstimationReportTexts(m).quantity, "無機化量");
    EXPECT_EQ(EstimationReportTexts(m).unit, "mg/100g");
  }
  for (int16_t m : {4, 5, 6}) {
    EXPECT_EQ(EstimationReportTexts(m).quantity, "無機化率");
    EXPECT_EQ(EstimationReportTexts(m).unit, "％");
  }
  EXPECT_EQ(EstimationReportTexts(6).model, "シグモイド肥料ガウス補正型");
  const EstimationTexts none = EstimationReportTexts(0);
  EXPECT_EQ(none.model + none.quantity + none.unit, "");
  // With no texts the header and unit line keep their blanks.
  const auto pages = EstimationReportPages(Estimation(7, 1), 190);
  EXPECT_EQ(pages[0][6].text, "年/月/日       ");
  EXPECT_EQ(pages[0][7].text, std::string(20, ' '));
}

}  // namespace
}  // namespace kelvora
