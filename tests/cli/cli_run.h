// Runs kelvora-cli in the test's process and keeps what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace kelvora::testing {

struct CliRun {
  int code;
  std::string out, err;
};

inline CliRun Cli(std::vector<std::string> args) {
  std::ostringstream out, err;
  int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace kelvora::testing
