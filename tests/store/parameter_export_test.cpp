#include "store/parameter_export.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "test_dir.h"
#include "xlsx_reader.h"

namespace kelvora {
namespace {

using testing::Json;
using testing::JsonDouble;
using testing::ReadBytes;
using testing::ReadCsv;
using testing::ReadXlsx;
using testing::TempDir;

// The columns of the table and, per model, which column each parameter slot
// fills: written out from the slot table of the parameter records.
const std::vector<std::string> kHeader = {
    "名前", "モデル", "Ea",  "Ea1", "Ea2", "Eaim", "k",   "k1",         "k2",       "kim",     "No",
    "No1",  "No2",    "Nim", "C",   "TAU", "σ",    "AIC", "残差平方和", "標準温度", "入力方法"};
const std::map<int, std::vector<std::string>> kSlotColumns = {
    {1, {"Ea", "k", "No", "C"}},
    {2, {"Ea1", "Ea2", "k1", "k2", "No1", "No2", "C"}},
    {3, {"Ea", "Eaim", "k", "kim", "No", "Nim", "C"}},
    {4, {"Ea", "k", "No", "C"}},
    {5, {"Ea1", "k", "No", "TAU", "Ea2"}},
    {6, {"Ea1", "k", "No", "TAU", "Ea2", "σ"}},
};
const std::map<int, std::string> kModelNames = {
    {1, "単純型"},     {2, "単純並行型"},       {3, "有機化無機化並行型"},
    {4, "肥料単純型"}, {5, "シグモイド肥料型"}, {6, "シグモイド肥料ガウス補正型"},
};

// A set as typed: every number as its decimal text, stored as a single.
struct TypedSet {
  std::string name;
  int model;
  std::vector<std::string> params;  // slots 1..7; may hold leftovers past the model's
  std::string aic, rss, stdTemp;
  bool manual;
};

const std::vector<TypedSet> kSets = {
    {"灰色低地土, \"水田\"\n2区",
     1,
     {"16752.4", "0.0204", "9.73", "1.66", "7", "8"},
     "-3.25",
     "0.1",
     "25",
     false},
    {"黒ボク土",
     2,
     {"19000", "13000", "0.016", "0.012", "5", "10", "0.8"},
     "12.5",
     "0.004",
     "22.5",
     false},
    {"褐色森林土",
     3,
     {"19000", "480", "0.032", "0.007", "10.5", "2.6", "1.6"},
     "1E+07",
     "1.5e-07",
     "20",
     false},
    {"LPコート", 4, {"18800", "0.019", "115", "-14.7"}, "0", "0", "25", true},
    {"シグモイド", 5, {"15000", "0.05", "93", "29.3", "22000"}, "40.1", "3.3", "25", false},
    {"ガウス", 6, {"15000", "0.032", "95", "27.9", "16000", "1.05"}, "0", "0", "30", true},
};

float Single(const std::string& text) {
  return static_cast<float>(std::strtod(text.c_str(), nullptr));
}

hensuu StoreOfSets() {
  hensuu store;
  for (const TypedSet& t : kSets) {
    ParaRecord p;
    p.SoilName = t.name;
    p.ModelNo = static_cast<int16_t>(t.model);
    for (size_t i = 0; i < t.params.size(); ++i) p.Param[i] = Single(t.params[i]);
    p.Aic = Single(t.aic);
    p.Rss = Single(t.rss);
    p.StdTemp = Single(t.stdTemp);
    p.IsManual = t.manual;
    store.ParaTable.Append(p);
  }
  return store;
}

// What each cell of a set's row must read as: its text, or "" for a blank.
// Numbers are the typed decimals, which is what the stored singles print as.
std::vector<std::string> ExpectedRow(const TypedSet& t) {
  std::vector<std::string> row(kHeader.size());
  row[0] = t.name;
  row[1] = kModelNames.at(t.model);
  const std::vector<std::string>& slots = kSlotColumns.at(t.model);
  for (size_t s = 0; s < slots.size(); ++s) {
    const auto col = std::find(kHeader.begin(), kHeader.end(), slots[s]) - kHeader.begin();
    row[static_cast<size_t>(col)] = t.params[s];
  }
  if (!t.manual) {
    row[17] = t.aic;
    row[18] = t.rss;
  }
  row[19] = t.stdTemp;
  row[20] = t.manual ? "手入力" : "計算";
  return row;
}

bool IsNumberColumn(size_t c) { return c >= 2 && c <= 19; }

TEST(ParameterExport, XlsxHoldsEveryStoredValue) {
  TempDir dir;
  const hensuu store = StoreOfSets();
  const auto out = dir.path() / "パラメータ.XLSX";  // the extension in capitals too
  const std::vector<int> order = {5, 0, 1, 2, 3, 4};
  ASSERT_EQ(ExportParameters(store, order, out), "");
  const Json book = ReadXlsx(out);
  ASSERT_EQ(book.size(), 1u);
  EXPECT_EQ(book[0]["freeze"].text, "A2");
  const Json& rows = book[0]["rows"];
  ASSERT_EQ(rows.size(), order.size() + 1);
  for (size_t c = 0; c < kHeader.size(); ++c) {
    EXPECT_EQ(rows[0][c]["v"].text, kHeader[c]);
    EXPECT_TRUE(rows[0][c]["bold"].b);
  }
  for (size_t r = 0; r < order.size(); ++r) {
    const TypedSet& t = kSets[static_cast<size_t>(order[r])];
    const std::vector<std::string> expected = ExpectedRow(t);
    const Json& row = rows[r + 1];
    ASSERT_EQ(row.size(), kHeader.size()) << t.name;
    for (size_t c = 0; c < kHeader.size(); ++c) {
      SCOPED_TRACE(t.name + " / " + kHeader[c]);
      if (expected[c].empty()) {
        EXPECT_EQ(row[c]["k"].text, "e");
      } else if (IsNumberColumn(c)) {
        ASSERT_EQ(row[c]["k"].text, "n");
        // The decimal the user typed, not the single's binary expansion...
        EXPECT_EQ(JsonDouble(row[c]["v"]), std::strtod(expected[c].c_str(), nullptr));
        // ...which still reads back to the stored single.
        EXPECT_EQ(static_cast<float>(JsonDouble(row[c]["v"])), Single(expected[c]));
      } else {
        EXPECT_EQ(row[c]["v"].text, expected[c]);
      }
    }
  }
}

TEST(ParameterExport, CsvHoldsTheSameTable) {
  TempDir dir;
  const hensuu store = StoreOfSets();
  const auto out = dir.path() / "p.csv";
  ASSERT_EQ(ExportParameters(store, {0, 1, 2, 3, 4, 5}, out), "");
  const std::string bytes = ReadBytes(out);
  EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(bytes.find("\r\n"), std::string::npos);
  const Json rows = ReadCsv(out);
  ASSERT_EQ(rows.size(), kSets.size() + 1);
  for (size_t c = 0; c < kHeader.size(); ++c) EXPECT_EQ(rows[0][c].text, kHeader[c]);
  for (size_t r = 0; r < kSets.size(); ++r) {
    const std::vector<std::string> expected = ExpectedRow(kSets[r]);
    ASSERT_EQ(rows[r + 1].size(), kHeader.size());
    for (size_t c = 0; c < kHeader.size(); ++c) {
      SCOPED_TRACE(kSets[r].name + " / " + kHeader[c]);
      const std::string& cell = rows[r + 1][c].text;
      if (IsNumberColumn(c) && !expected[c].empty()) {
        EXPECT_EQ(std::strtod(cell.c_str(), nullptr), std::strtod(expected[c].c_str(), nullptr))
            << cell;
      } else {
        EXPECT_EQ(cell, expected[c]);
      }
    }
  }
}

TEST(ParameterExport, UnknownModelAndUnknownExtension) {
  TempDir dir;
  hensuu store;
  ParaRecord odd;
  odd.SoilName = "壊れた記録";
  odd.ModelNo = 9;
  odd.Param = {1, 2, 3, 4, 5, 6, 7};
  store.ParaTable.Append(odd);
  const Sheet sheet = ParameterSheet(store, {0});
  ASSERT_EQ(sheet.rows.size(), 2u);
  EXPECT_EQ(sheet.rows[1][1].text, "9");
  for (size_t c = 2; c <= 16; ++c) EXPECT_EQ(sheet.rows[1][c].kind, SheetCell::Kind::Empty) << c;

  const auto out = dir.path() / "p.ods";
  const std::string m = ExportParameters(store, {0}, out);
  EXPECT_NE(m.find(out.string()), std::string::npos) << m;
  EXPECT_NE(m.find(".xlsx"), std::string::npos) << m;
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_THROW(ParameterSheet(store, {1}), std::out_of_range);
}

}  // namespace
}  // namespace kelvora
