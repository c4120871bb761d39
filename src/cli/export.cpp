#include "cli/export.h"

#include <ostream>
#include <vector>

#include "cli/input_checks.h"
#include "cli/report.h"
#include "kinetics/estimation_export.h"
#include "store/data_files.h"
#include "store/hensuu.h"
#include "store/parameter_export.h"

namespace kelvora {

int WriteExport(bool parameters, const std::filesystem::path& dir, const std::string& output,
                const std::optional<std::string>& records, std::ostream& err) {
  if (ExportFormatOf(output).empty()) {
    err << UnknownExportFormatMessage(output) << "\n";
    return 2;
  }
  hensuu store;
  std::vector<int16_t> numbers;
  if (!ReadChosenRecords(parameters, dir, records, store, numbers, err)) return 2;
  std::vector<int> chosen;
  for (int16_t r : numbers) chosen.push_back(r - 1);  // the exports count from 0
  const std::string message = parameters ? ExportParameters(store, chosen, output)
                                         : ExportEstimations(store, chosen, output);
  if (!message.empty()) {
    err << message << "\n";
    return 2;
  }
  return 0;
}

}  // namespace kelvora
