// kelvora-cli report: the parameter report and the estimation report of a
// data folder, drawn into a PDF file without a display.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kelvora {

class hensuu;

// Record numbers from a list such as "1-7", "2,4,9" or "1-3,8": ascending,
// each once. Nothing when the list is malformed or names a record outside
// 1 ... count (`error` says which part).
std::optional<std::vector<int16_t>> ParseRecordList(const std::string& list, int16_t count,
                                                    std::string& error);

// Reads the data folder `dir` into `store` and picks the parameter sets
// (`parameters`) or the estimations of `records` (ParseRecordList), or every
// one: record numbers from 1. False with a message on `err` when the folder
// cannot be read, a number is wrong, or there is no estimation to give.
bool ReadChosenRecords(bool parameters, const std::filesystem::path& dir,
                       const std::optional<std::string>& records, hensuu& store,
                       std::vector<int16_t>& chosen, std::ostream& err);

// Draws the parameter report (`parameters`) or the estimation reports of the
// data folder `dir` into the PDF file `output`: the records of `records`
// (ParseRecordList), or every one. The folder is only read. Exit codes: 0
// written, 2 an unreadable folder, bad record numbers, no estimation or an
// output that cannot be written (each with a message on `err`).
int WriteReport(bool parameters, const std::filesystem::path& dir, const std::string& output,
                const std::optional<std::string>& records, std::ostream& err);

}  // namespace kelvora
