// kelvora-cli import-temperatures: a logger's or a weather service's
// temperature file added to a data folder's TionData.txt as daily series, as
// the soil temperature screen's "ファイルから読込" and 適用 and a save would.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kelvora {

extern const char* const kImportTemperaturesHelp;

// `args` from the command's name on. Exit codes: 0 added (or read, with
// --dry-run), 2 bad input or usage, a folder in use or a file that cannot be
// written; the folder is then left as it was.
int RunImportTemperatures(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err);

}  // namespace kelvora
