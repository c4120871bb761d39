// Soil temperatures from a file into TionTable: the one import that the soil
// temperature screen's preview and `kelvora-cli import-temperatures` share.
// The file is read, split and guessed once; the chosen columns are read into
// daily series; each series becomes one record named after the file.
#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "store/hensuu.h"
#include "store/temperature_file.h"

namespace kelvora {

// What reading a file for the import found.
struct TemperatureFileLoad {
  std::string fileName;  // the file's name, without its folder
  std::string baseName;  // without the extension: what the series are named after
  FileEncoding encoding = FileEncoding::Utf8;
  char separator = ',';
  DelimitedText rows;
  TemperatureColumns guess;
  TemperatureRead read;  // the guess read with the usual rule
  std::string error;     // Japanese, when the file could not be read at all
  bool cancelled = false;
};

// The stage the reading is at, for a progress window.
enum class LoadStage : int { Reading = 0, Splitting = 1, Guessing = 2, Averaging = 3 };

// Reads, decodes and splits a file, guesses its columns and reads the guess.
// With `cancel` set meanwhile, it stops at the next look (cancelled); `stage`
// follows the work when given. Either may be read on another thread.
TemperatureFileLoad LoadTemperatureFile(const std::filesystem::path& path,
                                        const std::atomic<bool>* cancel = nullptr,
                                        std::atomic<int>* stage = nullptr);

// The name of the encoding and the separator, for the preview and the
// command line's output.
std::string EncodingName(FileEncoding encoding);      // "UTF-8", "シフトJIS", ...
std::string EncodingJsonName(FileEncoding encoding);  // "utf-8", "cp932", "utf-16le", ...
std::string SeparatorJsonName(char separator);        // "tab", "comma", "semicolon"

// The names the series get: the file's name for one temperature column,
// "<file name> <column heading>" for several (the heading "N列目" for a
// column without one).
std::vector<std::string> SeriesNames(const std::string& baseName, const DelimitedText& rows,
                                     const TemperatureColumns& columns);

// One record per series in the form the screen's 適用 stores: the name in
// the forms the data files keep ("新規温度" for an empty one), the grid text
// of the days. False with a message when a name cannot be kept in the files
// or the names do not match the series.
bool SeriesRecords(const TemperatureSeries& series, const std::vector<std::string>& names,
                   std::vector<TionRecord>& records, std::string& problem);

// Appends every record or, when the table has no room for all, none (false
// with the message).
bool AppendSeriesRecords(Table<TionRecord>& table, const std::vector<TionRecord>& records,
                         std::string& problem);

}  // namespace kelvora
