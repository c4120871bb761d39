#include "store/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "store/data_files.h"

namespace kelvora {
namespace {

std::string ReadSmall(int fd) {
  char buf[128];
  ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
  if (n <= 0) return std::string();
  std::string text(buf, static_cast<size_t>(n));
  return text.substr(0, text.find('\n'));
}

bool WriteAll(int fd, const std::string& text) {
  if (::ftruncate(fd, 0) != 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

FolderLock::Result FolderLock::Take(const std::filesystem::path& dataDir, std::string& detail) {
  Release();
  const std::filesystem::path path = dataDir / kLockFile;
  // A program that ends removes its lock file; if it did so between our open
  // and our flock, the file we locked is no longer the one in the folder, so
  // try again on the new one.
  for (int attempt = 0; attempt < 10; ++attempt) {
    // Never blocks (a FIFO in its place would wait for a writer) and never
    // follows a link.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) {
      const int e = errno;
      // A lock file this user may not write (another user's in a shared
      // folder): a program holding it is still told apart from none.
      int ro =
          e == EACCES ? ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK) : -1;
      if (ro >= 0 && ::flock(ro, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        detail = ReadSmall(ro);
        ::close(ro);
        return Result::InUse;
      }
      if (ro >= 0) ::close(ro);
      detail = SystemReason(e);
      return Result::Failed;
    }
    // Something else in the lock file's place (a FIFO, a device) is left as
    // it is: taking it would remove it when the program ends.
    struct stat kind {};
    if (::fstat(fd, &kind) != 0 || !S_ISREG(kind.st_mode)) {
      detail = "ロックファイル「" + std::string(kLockFile) + "」の場所に" +
               FileKindName(kind.st_mode) + "があります";
      ::close(fd);
      return Result::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int e = errno;
      if (e == EWOULDBLOCK) {
        detail = ReadSmall(fd);
        ::close(fd);
        return Result::InUse;
      }
      ::close(fd);
      detail = SystemReason(e);
      return Result::Failed;
    }
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd, &opened) != 0 || ::stat(path.c_str(), &named) != 0 ||
        opened.st_ino != named.st_ino || opened.st_dev != named.st_dev) {
      ::close(fd);
      continue;
    }
    // The first line is the process number (shown to a second program); the
    // second when this run started.
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char started[32];
    std::strftime(started, sizeof started, "%Y-%m-%d %H:%M:%S", &tm);
    WriteAll(fd, std::to_string(::getpid()) + "\n" + started + "\n");
    fd_ = fd;
    path_ = path;
    return Result::Taken;
  }
  detail = "ロックファイルが繰り返し置き換えられています";
  return Result::Failed;
}

void FolderLock::Release() {
  if (fd_ < 0) return;
  // Removed while still locked, so no other program can lock this file and
  // then find it gone.
  ::unlink(path_.c_str());
  ::close(fd_);
  fd_ = -1;
}

}  // namespace kelvora
