// The "refined" object of every model in the JSON of kelvora-cli fit and
// fit-field: the values the refinement reports, put through the fit's own
// objective here, give the RSS the JSON reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "cli_run.h"
#include "fit_test_util.h"
#include "kinetics/fit_driver.h"
#include "kinetics/fit_sequence.h"
#include "kinetics/objectives.h"
#include "mini_json.h"

namespace kelvora {
namespace {

using testing::Cli;
using testing::CliRun;
using testing::Json;
using testing::ParseJson;

std::string Bench(const char* name) { return std::string(KELVORA_BENCH_DIR) + "/" + name; }

// The same table fitted in this process, for the fit's objective.
FitSession FitHere(const char* name, bool field, bool fertilizer) {
  const std::string table = testing::ReadFile(Bench(name));
  FitSession s;
  EXPECT_EQ(testing::FitReferenceTable(table, field, fertilizer, s).outcome, FitOutcome::Completed);
  return s;
}

void CheckRefined(const Json& j, const FitSession& s) {
  for (const Json& m : j["models"].items) {
    const int16_t model = static_cast<int16_t>(m["model"].number);
    SCOPED_TRACE("model " + std::to_string(model));
    const Json& r = m["refined"];
    ASSERT_EQ(r.kind, Json::Object);
    ASSERT_EQ(r["params"].size(), m["params"].size());
    EXPECT_LE(r["rss"].number, m["rss"].number);
    EXPECT_EQ(r["improved"].b, r["rss"].number < m["rss"].number * (1 - 1e-3));
    EXPECT_TRUE(r["start"].text == "optimum" || r["start"].text == "grid");
    std::vector<double> p;
    for (const Json& v : r["params"].items) p.push_back(static_cast<float>(v.number));
    const EvalResult e = MakeObjective(s, model)->Eval(p.data(), Dest::Single, nullptr);
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(static_cast<float>(e.sum), static_cast<float>(r["rss"].number));
    EXPECT_EQ(static_cast<float>(r["aic"].number),
              Aic(s.obsCount, static_cast<float>(e.sum), AicCharge(model)));
  }
}

TEST(CliRefined, SoilFitModel3StopsShortOfTheMinimum) {
  CliRun r = Cli({"fit", Bench("soil-3x10.tsv"), "--std-temp", "25"});
  ASSERT_EQ(r.code, 0) << r.err;
  const Json j = ParseJson(r.out);
  CheckRefined(j, FitHere("soil-3x10.tsv", false, false));
  EXPECT_FALSE(j["models"][0]["refined"]["improved"].b);
  const Json& m3 = j["models"][2]["refined"];
  EXPECT_TRUE(m3["improved"].b);
  EXPECT_LE(m3["rss"].number, 1.30);
  EXPECT_EQ(j["refined_best"].kind, Json::Number);
}

TEST(CliRefined, FieldFertilizerFit) {
  CliRun r =
      Cli({"fit-field", Bench("field-fertilizer-1y.tsv"), "--std-temp", "25", "--fertilizer"});
  ASSERT_EQ(r.code, 0) << r.err;
  CheckRefined(ParseJson(r.out), FitHere("field-fertilizer-1y.tsv", true, true));
}

TEST(CliRefined, AFitThatDidNotEndHasNone) {
  CliRun r = Cli({"fit", Bench("soil-3x10.tsv"), "--std-temp", "25", "--initial",
                  "2=10000,15000,-1000,0.01,2,5,0.5"});
  EXPECT_EQ(r.code, 3);
  const Json j = ParseJson(r.out);
  for (const Json& m : j["models"].items) EXPECT_EQ(m["refined"].kind, Json::Null);
  EXPECT_FALSE(j.Has("refined_best"));
}

}  // namespace
}  // namespace kelvora
