// The five data files in the folder Data, their .bak copies, loading at start
// and saving on demand.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "store/hensuu.h"

namespace kelvora {

// File names inside the data folder.
inline constexpr const char* kBaiyoFile = "BaiyoData.txt";
inline constexpr const char* kParaFile = "ParaData.txt";
inline constexpr const char* kTionFile = "TionData.txt";
inline constexpr const char* kSuiteiFile = "Suitei.txt";
inline constexpr const char* kHojyoFile = "Hojyo.txt";

// Messages for the user (Japanese, one per problem). Empty when all went well.
using FileMessages = std::vector<std::string>;

// Creates the folder and missing files, reads the five files into the tables
// (replacing what they held), renews the .bak copies, sets BaiyoCurrent and
// HojyoCurrent, resets WindowCascadeOffset. A file that cannot be read whole
// keeps the records before the problem and is first copied aside as
// "<name>.unreadable-YYYYMMDD-HHMMSS" so that a later save cannot destroy it.
// `stamp` replaces the time in that name when given (tests).
FileMessages LoadDataFiles(hensuu& store, const std::filesystem::path& dataDir,
                           const std::string& stamp = std::string());

// Reads the five files of a folder into the tables without changing anything
// on disk (no folder, no empty files, no .bak copies). A missing file reads as
// an empty table. Returns a message per file that could not be read whole;
// the records before the problem are kept.
FileMessages ReadDataFiles(hensuu& store, const std::filesystem::path& dataDir);

// Writes all five files. Each file is written to a temporary file in the same
// folder and renamed over the old one, so a failure leaves the old file (and
// every .bak copy) as it was.
FileMessages SaveDataFiles(const hensuu& store, const std::filesystem::path& dataDir);
FileMessages SaveBaiyoFile(const hensuu& store, const std::filesystem::path& dataDir);
FileMessages SaveTionFile(const hensuu& store, const std::filesystem::path& dataDir);
FileMessages SaveHojyoFile(const hensuu& store, const std::filesystem::path& dataDir);

// Writes `bytes` to `path` through a temporary file and a rename. On failure
// returns false with the system's reason and leaves `path` untouched.
bool WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes,
                         std::string& reason);

// Encodes a whole table as the bytes of its data file. On failure (a text the
// code page cannot hold) returns false with the message.
template <typename R>
bool EncodeTable(const Table<R>& table, std::string& bytes, std::string& problem);

}  // namespace kelvora
