// A text is accepted only when it reads back from a data file exactly as the
// user typed it; the well-known variants are turned into their stored form.
#include <gtest/gtest.h>

#include <string>

#include "kinetics/fit_driver.h"
#include "store/cp932.h"
#include "store/data_files.h"
#include "store/grid_text.h"
#include "store/hensuu.h"
#include "test_dir.h"

namespace kelvora {
namespace {

using testing::TempDir;

struct Variant {
  const char* typed;
  const char* stored;
};
// Characters that input methods produce and that the code page keeps under
// the code of another character.
constexpr Variant kVariants[] = {
    {"〜", "～"}, {"−", "－"}, {"‖", "∥"},  {"—", "―"},  {"¢", "￠"},
    {"£", "￡"},  {"¬", "￢"}, {"¥", "￥"}, {"‾", "￣"},
};

hensuu SaveAndLoad(const hensuu& st, const std::filesystem::path& dir) {
  EXPECT_TRUE(SaveDataFiles(st, dir).empty());
  hensuu back;
  EXPECT_TRUE(ReadDataFiles(back, dir).empty());
  return back;
}

TEST(Cp932RoundTrip, VariantsAreRefusedAsTypedAndStoredInTheirReadBackForm) {
  for (const Variant& v : kVariants) {
    const std::string typed = std::string("20") + v.typed + "30℃";
    std::string bad;
    EXPECT_FALSE(CanStoreText(typed, &bad)) << v.typed;
    EXPECT_EQ(bad, v.typed);
    const std::string stored = ToStoredForms(typed);
    EXPECT_EQ(stored, std::string("20") + v.stored + "30℃");
    EXPECT_TRUE(CanStoreText(stored)) << v.stored;
    EXPECT_EQ(ToStoredForms(stored), stored);  // already in stored form
  }
}

TEST(Cp932RoundTrip, EveryVariantSurvivesASaveAndALoadInItsStoredForm) {
  TempDir dir;
  hensuu st;
  for (const Variant& v : kVariants) {
    const std::string name = ToStoredForms(std::string("土壌") + v.typed);
    st.BaiyoTable.Append({name, ToStoredForms(std::string("培養日数\t") + v.typed), false});
    ParaRecord p;
    p.SoilName = name;
    p.ModelNo = 1;
    st.ParaTable.Append(p);
    st.TionTable.Append({name, std::string("年/月/日\t地温(℃)")});
    st.SuiteiTable.Append({1, name, name, "年/月/日\t(mg/100g)", 25.0f});
    st.HojyoTable.Append({name, "年/月/日\t地温(℃)\t無機化量", true});
  }
  hensuu back = SaveAndLoad(st, dir.path());
  EXPECT_EQ(back.BaiyoTable.Rows(), st.BaiyoTable.Rows());
  EXPECT_EQ(back.ParaTable.Rows(), st.ParaTable.Rows());
  EXPECT_EQ(back.TionTable.Rows(), st.TionTable.Rows());
  EXPECT_EQ(back.SuiteiTable.Rows(), st.SuiteiTable.Rows());
  EXPECT_EQ(back.HojyoTable.Rows(), st.HojyoTable.Rows());
  for (int16_t i = 1; i <= back.BaiyoCount(); ++i) {
    const Variant& v = kVariants[i - 1];
    EXPECT_EQ(back.BaiyoTable(i).SoilName, std::string("土壌") + v.stored);
  }
}

TEST(Cp932RoundTrip, WhatCanStoreTextAcceptsReadsBackUnchanged) {
  // The typed variants would come back as another character: exactly what
  // CanStoreText must refuse.
  TempDir dir;
  hensuu st;
  for (const Variant& v : kVariants) st.TionTable.Append({v.typed, ""});
  hensuu back = SaveAndLoad(st, dir.path());
  ASSERT_EQ(back.TionCount(), st.TionCount());
  for (int16_t i = 1; i <= back.TionCount(); ++i) {
    const std::string& typed = st.TionTable(i).SiteName;
    EXPECT_NE(back.TionTable(i).SiteName, typed);
    EXPECT_FALSE(CanStoreText(typed)) << typed;
  }
  // Texts that read back are accepted: ASCII with backslash and tilde, kana,
  // kanji, NEC and IBM extensions, half-width kana.
  for (const char* t : {"a\\b~c", "灰色低地土（水田）", "①℃～髙", "ｱｲｳ", "∵≒", ""}) {
    EXPECT_TRUE(CanStoreText(t)) << t;
    hensuu one;
    one.TionTable.Append({t, ""});
    TempDir d2;
    EXPECT_EQ(SaveAndLoad(one, d2.path()).TionTable(1).SiteName, t);
  }
}

TEST(Cp932RoundTrip, OtherCharactersThatDoNotReadBackAreRefusedWithTheirName) {
  std::string bad;
  EXPECT_FALSE(CanStoreText("土壌😀", &bad));
  EXPECT_EQ(bad, "😀");
  EXPECT_FALSE(CanStoreText("a‑b", &bad));  // non-breaking hyphen: no code at all
  EXPECT_EQ(bad, "‑");
  EXPECT_EQ(ToStoredForms("土壌😀"), "土壌😀");  // not a known variant: left alone
  EXPECT_NE(UnstorableTextMessage("土壌😀", bad).find("「‑」"), std::string::npos);
}

TEST(Cp932RoundTrip, FitNamesAreTakenInTheirStoredForm) {
  // A name typed with 〜 is fitted and stored as ～, as the screens show it;
  // one that cannot be stored at all stops the fit with the usual message.
  for (bool field : {false, true}) {
    FitRequest req;
    req.source = field ? FitSource::Field : FitSource::Laboratory;
    req.table = field ? GridFromText("年/月/日\t地温(℃)\t無機化量\r2024/05/01\t25\t1", 2, 3)
                      : GridFromText("培養日数\t20\t25\t30\r7\t1\t1.5\t2", 100, 4);
    req.standardTemp = "25";
    req.name = "黒ボク土〜畑";
    FitSession s;
    EXPECT_EQ(PrepareFit(s, req), std::nullopt);
    EXPECT_EQ(s.sampleName, "黒ボク土～畑");
    req.name = "黒ボク土😀";
    std::optional<std::string> m = PrepareFit(s, req);
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(*m, UnstorableTextMessage("黒ボク土😀", "😀"));
  }
}

}  // namespace
}  // namespace kelvora
