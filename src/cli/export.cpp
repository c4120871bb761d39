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
  if (!HoldsDataFiles(dir, err)) return 2;
  hensuu store;
  const FileMessages messages = ReadDataFiles(store, dir);
  if (!messages.empty()) {
    for (const std::string& m : messages) err << m << "\n";
    return 2;
  }
  const int16_t count = parameters ? store.ParaCount() : store.SuiteiCount();
  std::vector<int> chosen;
  if (records) {
    std::string error;
    const std::optional<std::vector<int16_t>> list = ParseRecordList(*records, count, error);
    if (!list) {
      err << error << "\n";
      return 2;
    }
    for (int16_t r : *list) chosen.push_back(r - 1);
  } else {
    for (int r = 0; r < count; ++r) chosen.push_back(r);
  }
  if (!parameters && chosen.empty()) {
    err << "データフォルダに推定結果がありません。\n";
    return 2;
  }
  const std::string message = parameters ? ExportParameters(store, chosen, output)
                                         : ExportEstimations(store, chosen, output);
  if (!message.empty()) {
    err << message << "\n";
    return 2;
  }
  return 0;
}

}  // namespace kelvora
