// kelvora-cli supply and normals: the nitrogen supply plan of a data folder's
// parameter sets and series, and the normal-year series added to a folder.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kelvora {

extern const char* const kSupplyHelp;
extern const char* const kNormalsHelp;

// What `supply` was given: a stored plan, or the series, days and sources.
struct SupplyRequest {
  std::string dir;
  std::optional<std::string> plan;          // --plan N
  std::optional<std::string> temperatures;  // --temperatures N[,M]
  std::string from, to;
  std::vector<std::string> soils;        // --soil SET,DEPTH,DENSITY
  std::vector<std::string> fertilizers;  // --fertilizer SET,KG,DATE
  std::string out;                       // --out F.xlsx|F.csv, empty for none
};

// Prints the plan as JSON (and writes --out). The folder is only read. Exit
// codes as the report command's: 0 done, 2 a folder that cannot be read, a
// wrong number, date or value, a plan that cannot be computed or an output
// that cannot be written (each with a message on `err`). Days without a
// temperature are named on `err`; the result stands.
int RunSupplyPlan(const SupplyRequest& request, std::ostream& out, std::ostream& err);

struct NormalsRequest {
  std::string dir;
  std::string series;  // --series N[,N...]
  std::string year;
  std::string name;
  bool dryRun = false;
};

// Makes the normal-year series and, unless it is a dry run, adds it to the
// folder's TionData.txt as a save would: with the folder locked, the file as
// it was kept as TionData.bak, the new file written to a temporary file and
// renamed over it. Prints {"name", "first", "last", "days", "empty_days",
// "years"}. Exit codes: 0 done, 2 anything refused (a folder in use, a
// recovery copy waiting to be restored, a file that cannot be read whole, a
// wrong number, year or name, a series that gives no normal year, a full
// table, a file that cannot be written).
int RunNormals(const NormalsRequest& request, std::ostream& out, std::ostream& err);

}  // namespace kelvora
