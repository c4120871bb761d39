// kelvora-cli fit and fit-field at the edges of the fit: observations near
// the smallest single give whole, valid UTF-8 JSON; days the Gaussian model
// cannot count are refused naming the row; too few observations are no
// success for either material.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli_run.h"
#include "mini_json.h"
#include "store/temperature_file.h"
#include "test_dir.h"

namespace kelvora {
namespace {

using testing::Cli;
using testing::CliRun;
using testing::Json;

std::string Bench(const char* name) { return std::string(KELVORA_BENCH_DIR) + "/" + name; }

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class CliEdges : public ::testing::Test {
 protected:
  std::string File(const std::string& name, const std::string& text) {
    const auto path = dir.path() / name;
    testing::WriteBytes(path, text);
    return path.string();
  }
  testing::TempDir dir;
};

// Every string of the JSON, its warnings included, is whole: where it shows
// R², the number reads back to the R² it prints.
void ExpectWholeJson(const CliRun& r) {
  ASSERT_TRUE(IsValidUtf8(r.out)) << r.out;
  Json j;
  ASSERT_NO_THROW(j = testing::ParseJson(r.out)) << r.out;
  int shown = 0;
  for (const Json& m : j["models"].items) {
    if (m["stats"].kind != Json::Object) continue;
    for (const Json& w : m["stats"]["warnings"].items) {
      const size_t at = w.text.find("R² = ");
      if (at == std::string::npos) continue;
      const std::string rest = w.text.substr(at + std::string("R² = ").size());
      const std::string number = rest.substr(0, rest.find("）"));
      char* end = nullptr;
      const double v = std::strtod(number.c_str(), &end);
      EXPECT_EQ(end, number.c_str() + number.size()) << w.text;
      EXPECT_NEAR(v / m["stats"]["r2"].number, 1, 0.01) << w.text;
      ++shown;
    }
  }
  EXPECT_GE(shown, 1) << r.out;
}

TEST_F(CliEdges, ObservationsNearTheSmallestSingleGiveWholeJson) {
  std::string lab = "培養日数\t20\t25\t30\n";
  std::string field = "年/月/日\t地温\t無機化量\n";
  const int days[] = {0, 7, 14, 21, 28, 42, 56, 70};
  for (int i = 0; i < 8; ++i) {
    char row[128];
    std::snprintf(row, sizeof row, "%d\t%.3g\t%.3g\t%.3g\n", days[i], 7e-40 + i * 4.8e-39,
                  3.4e-38 - i * 4.1e-39, 1.1e-38 + i * 1e-39);
    lab += row;
  }
  for (int d = 0; d < 60; ++d) {
    char row[128];
    std::snprintf(row, sizeof row, "2021/%02d/%02d\t%.1f\t", d < 30 ? 6 : 7, d % 30 + 1,
                  15 + d * 0.1);
    field += row;
    if (d % 5 == 0) {
      std::snprintf(row, sizeof row, "%.3g", 7e-40 + (3.4e-38 - 7e-40) * d / 59);
      field += row;
    }
    field += "\n";
  }
  const std::string labFile = File("tiny.tsv", lab), fieldFile = File("tiny-field.tsv", field);
  // (The soil's laboratory models take longest; the statistics test of the
  // core checks their texts.)
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"fit", labFile, "--std-temp", "25", "--fertilizer"},
        std::vector<std::string>{"fit-field", fieldFile, "--std-temp", "25"}}) {
    SCOPED_TRACE(args[0]);
    const CliRun r = Cli(args);
    EXPECT_TRUE(r.code == 0 || r.code == 3) << r.err;
    ExpectWholeJson(r);
  }
}

TEST_F(CliEdges, DaysTheGaussianModelCannotCountAreRefusedNamingTheRow) {
  const std::string reference = testing::ReadBytes(Bench("fertilizer-3x11.tsv"));
  ASSERT_FALSE(reference.empty());
  const CliRun r = Cli({"fit", File("late.tsv", reference + "40000\t99\t99\t99\n"), "--std-temp",
                        "25", "--fertilizer"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(Contains(r.err, "表の13行目の培養日数「40000」は被覆肥料では計算できません"))
      << r.err;
}

TEST_F(CliEdges, TooFewObservationsAreNoSuccessForEitherMaterial) {
  const std::string two = File("two.tsv", "培養日数\t20\t25\t30\n0\t1\t\t\n28\t5\t\t\n");
  for (bool fertilizer : {false, true}) {
    SCOPED_TRACE(fertilizer);
    std::vector<std::string> args{"fit", two, "--std-temp", "25"};
    if (fertilizer) args.push_back("--fertilizer");
    const CliRun r = Cli(args);
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(Contains(r.err, "警告: 測定値が2個しかありません。どのモデルもパラメータが4個以上"))
        << r.err;
    // The result is written all the same (its statistics: the core's tests).
    EXPECT_EQ(testing::ParseJson(r.out)["models"].size(), 3u);
  }
}

}  // namespace
}  // namespace kelvora
