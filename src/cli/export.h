// kelvora-cli export: the parameter sets or the stored estimations of a data
// folder written to a spreadsheet file (.xlsx or .csv).
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

namespace kelvora {

// Writes the parameter sets (`parameters`) or the estimations of the data
// folder `dir` to `output`, in the format its extension names: the records of
// `records` (ParseRecordList), or every one. The folder is only read. Exit
// codes as the report command's: 0 written, 2 an unreadable folder, bad record
// numbers, no estimation, an unknown extension or an output that cannot be
// written (each with a message on `err`).
int WriteExport(bool parameters, const std::filesystem::path& dir, const std::string& output,
                const std::optional<std::string>& records, std::ostream& err);

}  // namespace kelvora
