// Keeps a data folder to one running program: a lock file in the folder,
// locked with flock while the program runs. The system drops the lock when the
// process ends in any way, so a run that crashed leaves no lock behind; its
// file (with the dead process's number) is simply taken over.
#pragma once

#include <filesystem>
#include <string>

namespace kelvora {

// The lock file's name inside the data folder.
inline constexpr const char* kLockFile = "kelvora.lock";

class FolderLock {
 public:
  enum class Result {
    Taken,  // this run now owns the folder
    InUse,  // another running program owns it
    Failed  // the lock file could not be made or locked
  };

  FolderLock() = default;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock() { Release(); }

  // Takes the folder (which must exist). On InUse, `detail` is the other
  // program's process number as written in the lock file (may be empty); on
  // Failed, the system's reason.
  Result Take(const std::filesystem::path& dataDir, std::string& detail);
  // Removes the lock file and drops the lock (nothing when not held).
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  std::filesystem::path path_;
};

}  // namespace kelvora
