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
// The nitrogen supply plans: a sixth file, made only once a plan is saved, so
// that a folder without plans stays as the five files leave it.
inline constexpr const char* kSekkeiFile = "Sekkei.txt";

// Messages for the user (Japanese, one per problem). Empty when all went well.
using FileMessages = std::vector<std::string>;

// Creates the folder and missing files (Sekkei.txt only once a plan is
// saved: a missing one reads as no plan), removes temporary files left by saves
// of processes that are gone, reads the five files into the tables (replacing
// what they held), renews the .bak copies, sets BaiyoCurrent and HojyoCurrent,
// resets WindowCascadeOffset. A file that cannot be read whole keeps the
// records before the problem, is copied aside as
// "<name>.unreadable-YYYYMMDD-HHMMSS" so that a later save cannot destroy it,
// and keeps its .bak copy as it was. A file that cannot be read at all (a read
// error, a folder or FIFO in its place) is listed in store.FilesNotToSave, as
// is a damaged file that could not be copied aside: no save replaces it in
// this run. `stamp` replaces the time in the copy's name when given (tests).
FileMessages LoadDataFiles(hensuu& store, const std::filesystem::path& dataDir,
                           const std::string& stamp = std::string());

// Reads the five files of a folder into the tables without changing anything
// on disk (no folder, no empty files, no .bak copies). A missing file reads as
// an empty table. Returns a message per file that could not be read whole;
// the records before the problem are kept.
FileMessages ReadDataFiles(hensuu& store, const std::filesystem::path& dataDir);

// Writes all five files (except those in store.FilesNotToSave). Each file is
// written to a temporary file in the same folder and renamed over the old one,
// so a failure leaves the old file (and every .bak copy) as it was.
FileMessages SaveDataFiles(const hensuu& store, const std::filesystem::path& dataDir);
FileMessages SaveBaiyoFile(const hensuu& store, const std::filesystem::path& dataDir);
FileMessages SaveParaFile(const hensuu& store, const std::filesystem::path& dataDir);
FileMessages SaveTionFile(const hensuu& store, const std::filesystem::path& dataDir);
FileMessages SaveHojyoFile(const hensuu& store, const std::filesystem::path& dataDir);
// Writes Sekkei.txt (not made while there is no plan and no such file).
FileMessages SaveSekkeiFile(const hensuu& store, const std::filesystem::path& dataDir);

// Writes `bytes` to `path` through a temporary file and a rename. On failure
// returns false with the system's reason and leaves `path` untouched. The
// temporary file "<name>.tmp<pid>.<8 random letters or digits>" is created
// new (never through a link) beside the file; the file keeps its permissions
// (a new one gets the usual 0666 less the umask); a path that is a symbolic
// link is resolved and its target replaced; the folder is synced after the
// rename.
bool WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes,
                         std::string& reason);
// The same for a file given in pieces, written one after another (a large
// export need not be held twice to become one text).
bool WriteFileAtomically(const std::filesystem::path& path, const std::vector<std::string>& pieces,
                         std::string& reason);

// Writes `bytes` (the data file as it was) to the data file's .bak copy
// ("TionData.txt" → "TionData.bak") through a temporary file, with the data
// file's permissions, as a save of the desktop program renews it: a private
// data file must not leave a copy others can read.
bool WriteBakCopy(const std::filesystem::path& dataFile, const std::string& bytes,
                  std::string& reason);
// The .bak copy's path beside a data file, for messages.
std::filesystem::path BakPathOf(const std::filesystem::path& dataFile);

// Reads a whole file. Folders are refused, and with `regularOnly` anything but
// a regular file (a FIFO or device would block or read as nothing). On failure
// returns false with the system's reason.
bool ReadFileWhole(const std::filesystem::path& path, std::string& bytes, std::string& reason,
                   bool regularOnly = true);

// The system's reason for an error number, for a message: in Japanese for the
// common ones, with the system's English text in parentheses
// ("アクセスが許可されていません（Permission denied）").
std::string SystemReason(int errnum);

// What kind of thing stands at a path that is not a regular file, for a
// message ("名前付きパイプ", "フォルダ", ...); empty for a regular file.
std::string FileKindName(unsigned mode);

// Reads the records of a data file's bytes into the table, after what it
// holds (at most 32767 in all). False when not every record could be read:
// badLine is then the first record line that could not be read and
// badReason why; the records before it are in the table.
template <typename R>
bool DecodeTable(Table<R>& table, const std::string& bytes, int& badLine, std::string& badReason);

// Encodes a whole table as the bytes of its data file. On failure (a text the
// code page cannot hold) returns false with the message.
template <typename R>
bool EncodeTable(const Table<R>& table, std::string& bytes, std::string& problem);

}  // namespace kelvora
