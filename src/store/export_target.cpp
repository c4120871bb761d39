#include "store/export_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "store/data_files.h"

namespace kelvora {
namespace fs = std::filesystem;

namespace {

constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

// Whether the user may write `path` (W_OK) or create files in it (a folder);
// false with the errno of the refusal.
bool MayWrite(const fs::path& path, const struct stat& st, bool folder, int& error) {
  if (::faccessat(AT_FDCWD, path.c_str(), folder ? W_OK | X_OK : W_OK, AT_EACCESS) != 0) {
    error = errno;
    return false;
  }
  if ((st.st_mode & kAnyWrite) == 0) {
    error = EACCES;
    return false;
  }
  return true;
}

}  // namespace

fs::path ExportFolderOf(const fs::path& out) {
  std::error_code ec;
  fs::path target = out;
  if (fs::is_symlink(fs::symlink_status(out, ec))) {
    const fs::path real = fs::canonical(out, ec);
    if (!ec) target = real;
  }
  const fs::path folder = target.parent_path();
  return folder.empty() ? fs::path(".") : folder;
}

bool CheckExportTarget(const fs::path& out, std::string& reason) {
  struct stat st {};
  if (::stat(out.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      reason = "通常のファイルではありません（" + FileKindName(st.st_mode) + "）";
      return false;
    }
    int error = 0;
    if (!MayWrite(out, st, false, error)) {
      reason = error == EACCES || error == EPERM
                   ? std::string("読み取り専用のファイルです（書き込みが許可されていません）")
                   : SystemReason(error);
      return false;
    }
  }
  const fs::path folder = ExportFolderOf(out);
  struct stat fst {};
  int error = 0;
  if (::stat(folder.c_str(), &fst) != 0) {
    reason = SystemReason(errno);
    return false;
  }
  if (!S_ISDIR(fst.st_mode)) {
    reason = SystemReason(ENOTDIR);
    return false;
  }
  if (!MayWrite(folder, fst, true, error)) {
    reason = "フォルダ「" + folder.string() + "」" +
             (error == EACCES || error == EPERM
                  ? std::string("は読み取り専用です（書き込みが許可されていません）")
                  : "に書き込めません: " + SystemReason(error));
    return false;
  }
  return true;
}

bool WriteExportFile(const fs::path& out, const std::string& bytes, std::string& reason) {
  return CheckExportTarget(out, reason) && WriteFileAtomically(out, bytes, reason);
}

}  // namespace kelvora
