// kelvora-cli report: the parameter report and the estimation report of a
// data folder, drawn into a PDF file without a display.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kelvora {

// Record numbers from a list such as "1-7", "2,4,9" or "1-3,8": ascending,
// each once. Nothing when the list is malformed or names a record outside
// 1 ... count (`error` says which part).
std::optional<std::vector<int16_t>> ParseRecordList(const std::string& list, int16_t count,
                                                    std::string& error);

// Runs "report parameters|estimations DIR --out FILE [--records LIST]"
// (`args` starts with "report"). Exit codes: 0 written, 2 bad usage, an
// unreadable folder, bad record numbers or an output that cannot be written.
int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kelvora
