// kelvora-cli prints the same bytes whatever the user's locale says about
// decimal points and digit grouping.
#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace kelvora {
namespace {

std::string Bench(const char* name) { return std::string(KELVORA_BENCH_DIR) + "/" + name; }

std::string RunCommand(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = RunCli(args, out, err);
  EXPECT_EQ(code, 0) << err.str();
  return out.str();
}

TEST(CliLocale, OutputIsTheSameUnderADecimalCommaLocale) {
  const std::vector<std::vector<std::string>> commands = {
      {"fit-field", Bench("field-soil-1y.tsv"), "--std-temp", "25"},
      {"estimate", Bench("series-2y.tsv"), "--model", "5", "--params", "15000,0.05,93,29.3,22000",
       "--std-temp", "22.5"},
      {"dump", std::string(KELVORA_SOURCE_DIR) + "/examples/Data"},
  };
  std::vector<std::string> inC;
  for (const auto& c : commands) inC.push_back(RunCommand(c));
  // Counts above 999 and decimals are in the output, so grouping or a comma
  // would show.
  EXPECT_NE(inC[0].find("\"sweeps\": 1832"), std::string::npos);

  const std::string old = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
      << "de_DE.UTF-8 is not installed (scripts/install-packages.sh)";
  const std::locale oldCpp = std::locale::global(std::locale("de_DE.UTF-8"));
  std::vector<std::string> inComma;
  for (const auto& c : commands) inComma.push_back(RunCommand(c));
  std::locale::global(oldCpp);
  std::setlocale(LC_ALL, old.c_str());
  for (size_t i = 0; i < commands.size(); ++i) EXPECT_EQ(inComma[i], inC[i]) << commands[i][0];
}

}  // namespace
}  // namespace kelvora
