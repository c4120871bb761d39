// kelvora-cli: headless fit, field fit, estimation and data dump.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kelvora {

// Runs the command line `args` (without the program name). Exit codes: 0 done,
// 1 a data folder could not be read whole, 2 bad input or usage, 3 a model
// could not be fitted.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kelvora
