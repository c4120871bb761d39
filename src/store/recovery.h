// The recovery copy: while the program runs, every change of the six tables
// is copied into the folder "復旧" inside the data folder, in the data files'
// own format, so that a run that ends without saving (a crash, a power cut, a
// killed process) loses nothing. A normal exit removes the copy; a start that
// finds one offers to restore it. The data files and their .bak copies are
// never written here.
//
// Only the program makes and writes the folder, and never through a link:
// every file and folder is opened relative to the data folder without
// following links (O_NOFOLLOW), a folder that is a link or belongs to another
// user is refused, and the folder is 0700, its files 0600. A note in the
// folder names the data folder's real path, the run and the size and check
// sum of each file, so that a copy from elsewhere or one cut short shows.
//
// The copy is taken in two steps so that the user-interface thread never
// waits for the disk: TakeSnapshot copies the changed tables (the records are
// shared, so this is cheap), WriteSnapshot writes them on another thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "store/data_files.h"
#include "store/hensuu.h"

namespace kelvora {

inline constexpr const char* kRecoveryFolder = "復旧";
// The note of when and by which run the copy was written.
inline constexpr const char* kRecoveryNote = "RecoveryNote.txt";

// Which run writes the copy.
struct RunInfo {
  long pid = 0;
  std::string started;  // "YYYY-MM-DD HH:MM:SS", local time
  std::string id;       // random letters and digits, unique to the run
  // This process, started now.
  static RunInfo ThisRun();
};

// The tables to write, copied from the store. A table left empty (nullopt) is
// already in the copy as it is.
struct RecoverySnapshot {
  std::array<uint64_t, 6> generations{};
  bool wholeFolder = false;  // the folder is made anew with all six tables
  std::optional<Table<BaiyoRecord>> baiyo;
  std::optional<Table<ParaRecord>> para;
  std::optional<Table<TionRecord>> tion;
  std::optional<Table<SuiteiRecord>> suitei;
  std::optional<Table<HojyoRecord>> hojyo;
  std::optional<Table<SekkeiRecord>> sekkei;
};

struct RecoveryWriteResult {
  FileMessages messages;       // empty when everything was written
  bool folderMissing = false;  // the folder has gone: write it whole next time
};

// What has been copied so far. Used on the user-interface thread only.
class RecoveryState {
 public:
  // The tables as just loaded from the data files: nothing to copy until one
  // of them changes.
  void StartFromDataFiles(const hensuu& store);
  // The tables as just restored from the copy, which stays as it is.
  void StartFromCopy(const hensuu& store);

  // Whether a table changed since it was last copied.
  bool Pending(const hensuu& store) const;
  // The tables to write now (all six when there is no copy yet).
  RecoverySnapshot TakeSnapshot(const hensuu& store) const;
  // After a write: what it wrote is now in the copy (nothing on failure,
  // so the tables are taken again next time).
  void Written(const RecoverySnapshot& snapshot, const RecoveryWriteResult& result);

 private:
  std::array<uint64_t, 6> loaded_{};  // the tables as in the data files
  std::array<uint64_t, 6> copied_{};  // the tables as in the copy (0: none)
  bool haveCopy_ = false;
};

// Writes a snapshot into dataDir/復旧 (any thread). A whole folder is written
// into a temporary folder and renamed into place, so the folder is never seen
// with only some of its files; single files are written through a temporary
// file and a rename.
// `stop`, when given and set, ends the write before the next file (the
// program is ending and the copy is not wanted any more).
RecoveryWriteResult WriteSnapshot(const std::filesystem::path& dataDir, const RunInfo& run,
                                  const RecoverySnapshot& snapshot,
                                  const std::atomic<bool>* stop = nullptr);

// Whether anything stands at the copy's name (a folder, or a link or file
// put there).
bool RecoveryCopyExists(const std::filesystem::path& dataDir);

// What a start finds at the copy's name.
struct RecoveryCopyInfo {
  bool exists = false;
  // Why the folder cannot be used at all (a link, not a folder, another
  // user's); empty when it can.
  std::string folderProblem;
  // When the copy was taken ("YYYY-MM-DD HH:MM:SS"): the note's time, or
  // when the note is not to be trusted the folder's last change.
  std::string taken;
  // Empty when the note is this program's for this data folder and agrees
  // with every file; else why the copy cannot be vouched for (no note, a note
  // of another folder, files that differ from the note).
  std::string warning;
};
RecoveryCopyInfo InspectRecoveryCopy(const std::filesystem::path& dataDir);

// Removes what interrupted copies left behind: "復旧.tmp<pid>" folders of
// other processes and temporary files inside the copy. Only for the holder
// of the folder lock.
void RemoveRecoveryLeftovers(const std::filesystem::path& dataDir);

// Reads the copy into the tables in place of what they hold and sets
// BaiyoCurrent and HojyoCurrent as loading does. A copy without Sekkei.txt
// (taken by a version without plans) holds no plan. On a problem (a file
// missing, not a regular file or not readable whole, a folder that is a link
// or another user's) returns the messages and leaves the store unchanged.
FileMessages ReadRecoveryCopy(hensuu& store, const std::filesystem::path& dataDir);

// Renames the copy to "復旧-YYYYMMDD-HHMMSS" (when it was last written; a
// "-2", "-3" ... is added when that name is taken). `stamp` replaces the
// time (tests). Returns the new path, or nothing with the reason.
std::optional<std::filesystem::path> SetRecoveryCopyAside(const std::filesystem::path& dataDir,
                                                          std::string& reason,
                                                          const std::string& stamp = "");

// Removes the copy (normal exit). False with the reason when it stayed.
bool RemoveRecoveryCopy(const std::filesystem::path& dataDir, std::string& reason);

}  // namespace kelvora
