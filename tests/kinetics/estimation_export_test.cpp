#include "kinetics/estimation_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>

#include "../store/test_dir.h"
#include "estimation_fixture.h"
#include "store/grid_text.h"
#include "xlsx_reader.h"

namespace kelvora {
namespace {

using testing::EstimateAsTheScreenDoes;
using testing::Json;
using testing::JsonDouble;
using testing::ReadBytes;
using testing::ReadCsv;
using testing::ReadXlsx;
using testing::ReferenceRun;
using testing::SeriesFromTsv;
using testing::TempDir;

const std::string kSeriesTsv = std::string(KELVORA_BENCH_DIR) + "/series-2y.tsv";
const std::string kRunsJson = std::string(KELVORA_BENCH_DIR) + "/series-2y.estimates.expected.json";

// The temperature text of every date of the reference series, read straight
// from the file.
std::map<std::string, std::string> TemperatureByDate() {
  std::map<std::string, std::string> temps;
  std::FILE* f = std::fopen(kSeriesTsv.c_str(), "r");
  char line[256];
  while (f && std::fgets(line, sizeof line, f)) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    const size_t tab = s.find('\t');
    temps[s.substr(0, tab)] = tab == std::string::npos ? "" : s.substr(tab + 1);
  }
  if (f) std::fclose(f);
  return temps;
}

struct Fixture {
  hensuu store;
  std::vector<ReferenceRun> runs;
};

// Records 1-6: the six reference runs over the whole series; 7: the second
// run over days 100-130; 8: an estimation whose series was deleted since.
// A shorter series of the same name comes first in the series table.
Fixture MakeStore() {
  Fixture f;
  f.runs = testing::ReferenceRuns(kRunsJson);
  const TionRecord series = SeriesFromTsv(kSeriesTsv, "圃場A");
  f.store.TionTable.Append(
      {"圃場A", "年/月/日\t地温(℃)\r1999/01/01\t3\r1999/01/02\t4\r1999/01/03\t5"});
  f.store.TionTable.Append(series);
  for (size_t i = 0; i < f.runs.size(); ++i) {
    f.runs[i].para.SoilName = (i < 3 ? "土壌" : "肥料") + std::to_string(i + 1);
    f.store.ParaTable.Append(f.runs[i].para);
    f.store.SuiteiTable.Append(EstimateAsTheScreenDoes(f.runs[i].para, series));
  }
  f.store.SuiteiTable.Append(EstimateAsTheScreenDoes(f.runs[1].para, series, 100, 130));
  TionRecord gone = series;
  gone.SiteName = "消えた地点";
  f.store.SuiteiTable.Append(EstimateAsTheScreenDoes(f.runs[0].para, gone, 1, 40));
  return f;
}

// The stored amount text of each day of an estimation record.
std::vector<std::string> StoredAmounts(const SuiteiRecord& rec) {
  std::vector<std::string> amounts;
  size_t at = rec.GridText.find('\r');
  while (at != std::string::npos) {
    const size_t end = rec.GridText.find('\r', at + 1);
    const std::string row =
        rec.GridText.substr(at + 1, end == std::string::npos ? end : end - at - 1);
    amounts.push_back(row.substr(row.find('\t') + 1));
    at = end;
  }
  return amounts;
}

void ExpectDate(const Json& cell, const std::string& text) {
  int y = 0, m = 0, d = 0;
  ASSERT_EQ(std::sscanf(text.c_str(), "%d/%d/%d", &y, &m, &d), 3);
  ASSERT_EQ(cell["k"].text, "d") << text;
  EXPECT_EQ(cell["v"][0].number, y);
  EXPECT_EQ(cell["v"][1].number, m);
  EXPECT_EQ(cell["v"][2].number, d);
  EXPECT_EQ(cell["fmt"].text, "yyyy/mm/dd");
}

TEST(EstimationExport, XlsxHasOneSheetPerEstimationWithEveryDay) {
  TempDir dir;
  const Fixture f = MakeStore();
  const auto temps = TemperatureByDate();
  const auto out = dir.path() / "推定.xlsx";
  ASSERT_EQ(ExportEstimations(f.store, {0, 1, 2, 3, 4, 5, 6, 7}, out), "");
  const Json book = ReadXlsx(out);
  ASSERT_EQ(book.size(), 8u);
  const char* models[] = {"単純型",     "単純並行型",       "有機化無機化並行型",
                          "肥料単純型", "シグモイド肥料型", "シグモイド肥料ガウス補正型"};
  for (size_t s = 0; s < 8; ++s) {
    SCOPED_TRACE("sheet " + std::to_string(s));
    const SuiteiRecord& rec = f.store.SuiteiTable(static_cast<int>(s) + 1);
    const Json& sheet = book[s];
    const std::string expectedName = s == 6 ? "土壌2×圃場A (2)" : rec.SoilName + "×" + rec.SiteName;
    EXPECT_EQ(sheet["name"].text, expectedName);
    EXPECT_EQ(sheet["freeze"].text, "A6");
    const Json& rows = sheet["rows"];
    // A coated fertilizer's name under the estimation screen's label.
    EXPECT_EQ(rows[0][0]["v"].text, rec.ModelNo <= 3 ? "土壌名：" : "土壌(肥料)名：");
    EXPECT_EQ(rows[0][1]["v"].text, rec.SoilName);
    EXPECT_EQ(rows[1][0]["v"].text, "温度データ：");
    EXPECT_EQ(rows[1][1]["v"].text, rec.SiteName);
    EXPECT_EQ(rows[2][0]["v"].text, "モデル：");
    EXPECT_EQ(rows[2][1]["v"].text, models[rec.ModelNo - 1]);
    EXPECT_EQ(rows[4][0]["v"].text, "年/月/日");
    EXPECT_EQ(rows[4][1]["v"].text, "地温(℃)");
    EXPECT_EQ(rows[4][2]["v"].text, rec.ModelNo <= 3 ? "無機化量(mg/100g)" : "無機化率(%)");
    EXPECT_TRUE(rows[4][2]["bold"].b);

    const std::vector<std::string> stored = StoredAmounts(rec);
    ASSERT_EQ(rows.size(), 5 + stored.size());
    const ReferenceRun& run = f.runs[s < 6 ? s : s == 6 ? 1 : 0];
    const bool seriesKept = s != 7;
    const size_t firstDay = s == 6 ? 99 : 0;
    for (size_t d = 0; d < stored.size(); ++d) {
      const Json& row = rows[5 + d];
      const auto& [date, exact] = run.rows[firstDay + d];
      SCOPED_TRACE(date);
      ExpectDate(row[0], date);
      const std::string& temp = temps.at(date);
      if (!seriesKept) {
        EXPECT_EQ(row[1]["k"].text, "e");  // nothing to take the temperature from
      } else if (temp.empty()) {
        EXPECT_EQ(row[1]["k"].text, "e");
        EXPECT_EQ(row[2]["k"].text, "e");
        EXPECT_TRUE(stored[d].empty());
        continue;
      }
      if (seriesKept) {
        ASSERT_EQ(row[1]["k"].text, "n");
        EXPECT_EQ(JsonDouble(row[1]["v"]), std::strtod(temp.c_str(), nullptr));
      }
      ASSERT_EQ(row[2]["k"].text, "n");
      EXPECT_EQ(row[2]["fmt"].text, "0.00");
      EXPECT_EQ(JsonDouble(row[2]["v"]), std::strtod(stored[d].c_str(), nullptr));
      // The whole-series runs agree with the reference amounts to the hundredth.
      if (s < 6) {
        ASSERT_TRUE(exact.has_value());
        EXPECT_NEAR(JsonDouble(row[2]["v"]), *exact, 0.005 + 1e-9);
      }
    }
  }
}

TEST(EstimationExport, CsvIsOneLongTable) {
  TempDir dir;
  const Fixture f = MakeStore();
  const auto temps = TemperatureByDate();
  const auto out = dir.path() / "推定.csv";
  const std::vector<int> chosen = {3, 6, 7};
  ASSERT_EQ(ExportEstimations(f.store, chosen, out), "");
  EXPECT_EQ(ReadBytes(out).substr(0, 3), "\xEF\xBB\xBF");
  const Json rows = ReadCsv(out);
  const std::vector<std::string> header = {"名前", "地温データ名", "年/月/日",
                                           "地温", "推定値",       "単位"};
  ASSERT_GE(rows.size(), 1u);
  for (size_t c = 0; c < header.size(); ++c) EXPECT_EQ(rows[0][c].text, header[c]);
  size_t at = 1;
  for (int index : chosen) {
    const SuiteiRecord& rec = f.store.SuiteiTable(index + 1);
    const std::vector<std::string> stored = StoredAmounts(rec);
    const size_t firstDay = index == 6 ? 99 : 0;
    const ReferenceRun& run = f.runs[index == 3 ? 3 : index == 6 ? 1 : 0];
    for (size_t d = 0; d < stored.size(); ++d, ++at) {
      ASSERT_LT(at, rows.size());
      const Json& row = rows[at];
      const std::string& date = run.rows[firstDay + d].first;
      SCOPED_TRACE(rec.SoilName + " " + date);
      EXPECT_EQ(row[0].text, rec.SoilName);
      EXPECT_EQ(row[1].text, rec.SiteName);
      EXPECT_EQ(row[2].text, date);
      // The deleted series leaves the temperatures blank.
      if (index == 7 || temps.at(date).empty()) {
        EXPECT_EQ(row[3].text, "");
      } else {
        EXPECT_EQ(std::strtod(row[3].text.c_str(), nullptr),
                  std::strtod(temps.at(date).c_str(), nullptr))
            << row[3].text;
      }
      EXPECT_EQ(row[4].text, stored[d]);
      EXPECT_EQ(row[5].text, rec.ModelNo <= 3 ? "mg/100g" : "%");
    }
  }
  EXPECT_EQ(at, rows.size());
}

TEST(EstimationExport, NothingChosenOrAnUnknownExtensionWritesNothing) {
  TempDir dir;
  const Fixture f = MakeStore();
  EXPECT_EQ(ExportEstimations(f.store, {}, dir.path() / "a.xlsx"),
            "書き出す推定結果がありません。");
  EXPECT_NE(ExportEstimations(f.store, {0}, dir.path() / "a.txt").find(".csv"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// The temperature of each exported day, against the plainest reading of the
// rule: for each series of the estimation's name in table order, each place
// in it in order, the first whose dates are the estimation's and that has a
// temperature exactly on the days with an amount.
std::vector<std::string> ReferenceTemperatures(const hensuu& store, const SuiteiRecord& rec) {
  const auto rows = SplitGridText(rec.GridText);
  const size_t count = rows.size() - 1;
  auto cell = [](const std::vector<std::string>& row, size_t c) {
    return c < row.size() ? row[c] : std::string();
  };
  for (int t = 1; t <= store.TionCount(); ++t) {
    if (store.TionTable(t).SiteName != rec.SiteName) continue;
    const auto days = SplitGridText(store.TionTable(t).GridText);
    for (size_t start = 1; count > 0 && start + count <= days.size(); ++start) {
      bool same = true;
      for (size_t r = 1; r <= count && same; ++r) {
        const auto& day = days[start + r - 1];
        same = cell(day, 0) == cell(rows[r], 0) && cell(day, 1).empty() == cell(rows[r], 1).empty();
      }
      if (!same) continue;
      std::vector<std::string> temps;
      for (size_t r = 0; r < count; ++r) temps.push_back(cell(days[start + r], 1));
      return temps;
    }
  }
  return std::vector<std::string>(count);
}

TEST(EstimationExport, EachDayTakesItsTemperatureFromTheSeriesItWasComputedFrom) {
  const ParaRecord soil{"土壌", 1, {17000, 0.022f, 11.5f, 0.9f, 0, 0, 0}, 0, 0, false, 25};
  hensuu store;
  auto series = [&](const std::string& name, const std::string& grid) {
    store.TionTable.Append({name, "年/月/日\t地温(℃)\r" + grid});
    return store.TionTable(store.TionCount());
  };
  const std::string days = "2024/05/01\t10\r2024/05/02\t11\r2024/05/03\t12\r2024/05/04\t13";
  // Estimated from each series below, in this order (first, last day; 0 =
  // the whole series).
  const struct {
    TionRecord series;
    int from, to;
  } cases[] = {
      // Same name and dates as a later series, another day blank: the first
      // that matches the blank days wins.
      {series("畑", "2024/05/01\t10\r2024/05/02\t\r2024/05/03\t12\r2024/05/04\t13"), 0, 0},
      {series("畑", "2024/05/01\t20\r2024/05/02\t21\r2024/05/03\t22\r2024/05/04\t23"), 0, 0},
      // A range from the middle of a series whose dates repeat.
      {series("水田", "2024/05/01\t1\r2024/05/02\t2\r2024/05/01\t3\r2024/05/02\t4\r2024/05/03\t5"),
       3, 5},
      // CR LF row breaks, a last row without a temperature, an empty last row.
      {series("CRLF", "2024/05/01\t7\r\n2024/05/02\t8\r\n2024/05/03\t"), 0, 0},
      {series("末尾", days + "\r"), 0, 0},
      // Only in a series of another name.
      {TionRecord{"消えた", "年/月/日\t地温(℃)\r" + days}, 0, 0},
      // One day, then a range that fits only the second series of its name.
      {series("畑", days), 2, 2},
      {series("畑", days), 4, 4},
  };
  for (const auto& c : cases) {
    store.SuiteiTable.Append(EstimateAsTheScreenDoes(soil, c.series, c.from, c.to));
  }
  // No day at all.
  store.SuiteiTable.Append({1, "土壌", "畑", "年/月/日\t(mg/100g)", 25});
  std::vector<int> chosen;
  for (int i = 0; i < store.SuiteiCount(); ++i) chosen.push_back(i);
  chosen.push_back(2);  // chosen twice

  TempDir dir;
  const auto out = dir.path() / "t.csv";
  ASSERT_EQ(ExportEstimations(store, chosen, out), "");
  const Json rows = ReadCsv(out);
  size_t at = 1;
  for (int index : chosen) {
    const SuiteiRecord& rec = store.SuiteiTable(index + 1);
    SCOPED_TRACE("estimation " + std::to_string(index + 1));
    for (const std::string& temp : ReferenceTemperatures(store, rec)) {
      ASSERT_LT(at, rows.size());
      const std::string got = rows[at++][3].text;
      EXPECT_EQ(got.empty() ? got : std::to_string(std::strtod(got.c_str(), nullptr)),
                temp.empty() ? temp : std::to_string(std::strtod(temp.c_str(), nullptr)));
    }
  }
  EXPECT_EQ(at, rows.size());
  // The workbook's sheets hold the same temperatures (a day with nothing at
  // all, the empty last row, is no row of the sheet).
  const auto book = dir.path() / "t.xlsx";
  ASSERT_EQ(ExportEstimations(store, chosen, book), "");
  const Json sheets = ReadXlsx(book);
  ASSERT_EQ(sheets.size(), chosen.size());
  for (size_t s = 0; s < chosen.size(); ++s) {
    const Json& sheet = sheets[s]["rows"];
    const auto temps = ReferenceTemperatures(store, store.SuiteiTable(chosen[s] + 1));
    for (size_t d = 0; d < temps.size(); ++d) {
      SCOPED_TRACE("sheet " + std::to_string(s) + " day " + std::to_string(d));
      if (temps[d].empty()) {
        EXPECT_TRUE(5 + d >= sheet.size() || sheet[5 + d][1]["k"].text == "e");
      } else {
        ASSERT_LT(5 + d, sheet.size());
        EXPECT_EQ(JsonDouble(sheet[5 + d][1]["v"]), std::strtod(temps[d].c_str(), nullptr));
      }
    }
  }
}

}  // namespace
}  // namespace kelvora
