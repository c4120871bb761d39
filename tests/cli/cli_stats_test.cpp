// The "stats" object of every model in the JSON of kelvora-cli fit and
// fit-field.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "cli_run.h"
#include "mini_json.h"
#include "test_dir.h"

namespace kelvora {
namespace {

using testing::Cli;
using testing::CliRun;
using testing::Json;
using testing::ParseJson;

std::string Bench(const char* name) { return std::string(KELVORA_BENCH_DIR) + "/" + name; }

const std::set<std::string> kStatsKeys{
    "n",         "dof",           "rss", "sigma", "r2", "adj_r2", "aic",       "aicc", "bic",
    "delta_aic", "akaike_weight", "se",  "ci95",  "t",  "corr",   "half_life", "q10",  "warnings"};

std::set<std::string> Keys(const Json& j) {
  std::set<std::string> k;
  for (const auto& [key, v] : j.fields) k.insert(key);
  return k;
}

// Every list has one entry per slot of "params" (corr one row of them per
// slot); values are numbers or null.
void CheckShape(const Json& model) {
  const Json& st = model["stats"];
  ASSERT_EQ(st.kind, Json::Object);
  EXPECT_EQ(Keys(st), kStatsKeys);
  const size_t P = model["params"].size();
  for (const char* list : {"se", "ci95", "t", "corr", "half_life", "q10"}) {
    ASSERT_EQ(st[list].kind, Json::Array) << list;
    EXPECT_EQ(st[list].size(), P) << list;
  }
  for (size_t j = 0; j < P; ++j) {
    EXPECT_EQ(st["corr"][j].size(), P);
    const Json& ci = st["ci95"][j];
    if (ci.kind != Json::Null) {
      ASSERT_EQ(ci.size(), 2u);
      EXPECT_LT(ci[0].number, ci[1].number);
    }
    EXPECT_EQ(st["se"][j].kind == Json::Null, st["t"][j].kind == Json::Null);
    EXPECT_EQ(st["se"][j].kind == Json::Null, ci.kind == Json::Null);
  }
  EXPECT_EQ(st["warnings"].kind, Json::Array);
  for (const char* number : {"n", "dof", "rss", "aic", "bic", "delta_aic", "akaike_weight"}) {
    EXPECT_EQ(st[number].kind, Json::Number) << number;
  }
}

TEST(CliStats, EveryModelOfASoilFitHasItsStatistics) {
  CliRun r = Cli({"fit", Bench("soil-3x10.tsv"), "--std-temp", "25"});
  ASSERT_EQ(r.code, 0) << r.err;
  const Json j = ParseJson(r.out);
  ASSERT_EQ(j["models"].size(), 3u);
  double weights = 0;
  for (const Json& m : j["models"].items) {
    SCOPED_TRACE(m["model"].number);
    CheckShape(m);
    weights += m["stats"]["akaike_weight"].number;
    // "aic" is the fit's own AIC, in double.
    EXPECT_NEAR(m["stats"]["aic"].number, m["aic"].number, 1e-4);
    EXPECT_EQ(m["stats"]["n"].number, j["observations"].number);
  }
  EXPECT_NEAR(weights, 1, 1e-12);
  const Json& m1 = j["models"][0]["stats"];
  EXPECT_EQ(m1["dof"].number, 26);
  EXPECT_EQ(m1["delta_aic"].number, 0);
  EXPECT_EQ(m1["half_life"][0].kind, Json::Null);  // Ea is no rate constant
  const float k = static_cast<float>(j["models"][0]["params"][1].number);
  EXPECT_NEAR(m1["half_life"][1].number, std::log(2.0) / k, 1e-9);
  EXPECT_EQ(m1["q10"][1].kind, Json::Null);
  EXPECT_EQ(m1["q10"][0].kind, Json::Number);
  EXPECT_EQ(m1["corr"][2][2].number, 1);
  // The parallel model on this soil: the data determine nothing, null where
  // a number would mean nothing, and a warning says so.
  const Json& m2 = j["models"][1]["stats"];
  for (size_t k = 0; k < 7; ++k) {
    EXPECT_EQ(m2["se"][k].kind, Json::Null);
    EXPECT_EQ(m2["ci95"][k].kind, Json::Null);
    for (size_t l = 0; l < 7; ++l) EXPECT_EQ(m2["corr"][k][l].kind, Json::Null);
  }
  ASSERT_GE(m2["warnings"].size(), 1u);
  EXPECT_NE(m2["warnings"][0].text.find("推定不能"), std::string::npos);
  // Model 3: a strong correlation is warned about in Japanese.
  bool strong = false;
  for (const Json& w : j["models"][2]["stats"]["warnings"].items)
    strong = strong || w.text.find("の相関が高く（r = ") != std::string::npos;
  EXPECT_TRUE(strong);
}

TEST(CliStats, FertilizerFitShowsNullForTheLagEnergyAndSigmaAlone) {
  CliRun r = Cli({"fit", Bench("fertilizer-3x11.tsv"), "--std-temp", "25", "--fertilizer"});
  ASSERT_EQ(r.code, 0) << r.err;
  const Json j = ParseJson(r.out);
  for (const Json& m : j["models"].items) CheckShape(m);
  const Json& m5 = j["models"][1]["stats"];
  EXPECT_EQ(m5["se"][4].kind, Json::Null);  // Ea2 only moves a step
  EXPECT_EQ(m5["se"][3].kind, Json::Number);
  EXPECT_EQ(m5["dof"].number, 29);
  EXPECT_EQ(m5["q10"][4].kind, Json::Number);  // a value, though not estimable
  const Json& m6 = j["models"][2]["stats"];
  EXPECT_EQ(m6["se"].size(), 1u);  // σ alone, as "params"
  EXPECT_EQ(m6["dof"].number, 32);
  EXPECT_EQ(m6["half_life"][0].kind, Json::Null);
  EXPECT_EQ(m6["aicc"].kind, Json::Number);
}

TEST(CliStats, FieldFitAndAicWithTooFewSamples) {
  CliRun r =
      Cli({"fit-field", Bench("field-fertilizer-1y.tsv"), "--std-temp", "25", "--fertilizer"});
  ASSERT_EQ(r.code, 0) << r.err;
  const Json j = ParseJson(r.out);
  for (const Json& m : j["models"].items) CheckShape(m);
  EXPECT_EQ(j["models"][0]["stats"]["n"].number, 11);
  // A small field burial: 5 samples for 7 parameters.
  testing::TempDir dir;
  const std::string path = (dir.path() / "small.tsv").string();
  std::string t = "年/月/日\t地温(℃)\t無機化量\n";
  for (int d = 1; d <= 50; ++d) {
    t += "2024/05/" + std::to_string(d) + "\t" + std::to_string(18 + d % 7) + "\t";
    if (d % 10 == 0) t += std::to_string(1.0 + d * 0.05 + (d % 20 ? 0.02 : -0.02));
    t += "\n";
  }
  testing::WriteBytes(path, t);
  r = Cli({"fit-field", path, "--std-temp", "25"});
  ASSERT_EQ(r.code, 0) << r.err;
  const Json small = ParseJson(r.out);
  for (const Json& m : small["models"].items) {
    SCOPED_TRACE(m["model"].number);
    CheckShape(m);
    // n − K − 1 ≤ 0: AICc is undefined.
    EXPECT_EQ(m["stats"]["aicc"].kind, Json::Null);
  }
  const Json& m2 = small["models"][1]["stats"];
  EXPECT_EQ(m2["sigma"].kind, Json::Null);  // more parameters than samples
  for (size_t k = 0; k < 7; ++k) EXPECT_EQ(m2["se"][k].kind, Json::Null);
}

TEST(CliStats, AFitThatDidNotEndHasNone) {
  CliRun r = Cli({"fit", Bench("soil-3x10.tsv"), "--std-temp", "25", "--initial",
                  "2=10000,15000,-1000,0.01,2,5,0.5"});
  EXPECT_EQ(r.code, 3);
  const Json j = ParseJson(r.out);
  for (const Json& m : j["models"].items) EXPECT_EQ(m["stats"].kind, Json::Null);
}

}  // namespace
}  // namespace kelvora
