// kelvora-cli fit-all: every chosen record of a data folder fitted at once,
// side by side on the processors the program may use.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

namespace kelvora {

struct FitAllOptions {
  std::filesystem::path dir;           // the data folder
  std::optional<std::string> records;  // --records LIST; every record when absent
  bool field = false;                  // --field: Hojyo.txt instead of BaiyoData.txt
  std::string standardTemp = "25";     // --std-temp
  int jobs = 0;                        // --jobs; 0 = every processor the program may use
  bool store = false;                  // --store
  std::string out;                     // --out FILE.xlsx|FILE.csv; empty for none
  bool progress = false;               // the progress line on standard error (a terminal)
};

// Prints one JSON object per record on `out`, in record order as soon as a
// record and all before it are done. Exit codes: 0 every record fitted, 1
// some did not, 2 an unreadable folder, bad record numbers or standard
// temperature, the folder in use (--store), or a file that could not be
// written.
int RunFitAll(const FitAllOptions& options, std::ostream& out, std::ostream& err);

// The usage text of fit-all (--help).
extern const char* const kFitAllHelp;

}  // namespace kelvora
