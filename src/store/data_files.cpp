#include "store/data_files.h"

#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <string_view>
#include <system_error>
#include <thread>

#include "store/record_line.h"

namespace kelvora {
namespace fs = std::filesystem;

namespace {

std::string Reason(const std::error_code& ec) {
  return ec.category() == std::system_category() || ec.category() == std::generic_category()
             ? SystemReason(ec.value())
             : ec.message();
}
std::string ErrnoReason(int e) { return SystemReason(e); }

const char* const kDataFiles[] = {kBaiyoFile,  kParaFile,  kTionFile,
                                  kSuiteiFile, kHojyoFile, kSekkeiFile};

std::string BakName(const std::string& txtName) {
  return txtName.substr(0, txtName.rfind('.')) + ".bak";
}

std::string NowStamp() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
  return buf;
}

// Closes a descriptor when it goes out of scope.
class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() {
    if (fd_ >= 0) ::close(fd_);
  }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;
  // Closes now; false (errno set) when the close reported an error.
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Only regular files are read (and folders never): a FIFO or a device in a
// data file's place could block the start-up or read as an empty table.
bool CheckReadableKind(const struct stat& st, bool regularOnly, std::string& reason) {
  if (S_ISDIR(st.st_mode)) {
    reason = ErrnoReason(EISDIR);
    return false;
  }
  if (!regularOnly || S_ISREG(st.st_mode)) return true;
  reason = "通常のファイルではありません（" + FileKindName(st.st_mode) + "）";
  return false;
}

// 0666 less the process's file-creation mask, read without changing the mask.
mode_t NewFileMode() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      return static_cast<mode_t>(0666 & ~std::stoul(line.substr(6), nullptr, 8));
    }
  }
  return 0644;
}

// The file a path finally names, symbolic links followed (a relative link is
// taken from the folder of the link). The last link may point at nothing yet.
bool ResolveLinks(const fs::path& path, fs::path& target, std::string& reason) {
  target = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st;
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    std::error_code ec;
    fs::path next = fs::read_symlink(target, ec);
    if (ec) {
      reason = Reason(ec);
      return false;
    }
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  reason = ErrnoReason(ELOOP);
  return false;
}

std::string RandomSuffix() {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char raw[8];
  if (::getrandom(raw, sizeof raw, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof raw)) {
    std::random_device rd;
    for (unsigned char& b : raw) b = static_cast<unsigned char>(rd());
  }
  std::string s;
  for (unsigned char b : raw) s.push_back(kChars[b % (sizeof kChars - 1)]);
  return s;
}

// Creates "<target>.tmp<pid>.<8 random letters or digits>" beside the target,
// refusing to reuse or follow anything already at that name.
int CreateTempBeside(const fs::path& target, fs::path& tmp, std::string& reason) {
  const std::string prefix = target.filename().string() + ".tmp" + std::to_string(::getpid()) + ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    tmp = target.parent_path() / (prefix + RandomSuffix());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    if (errno != EEXIST) {
      reason = ErrnoReason(errno);
      return -1;
    }
  }
  reason = ErrnoReason(EEXIST);
  return -1;
}

// After a rename the folder itself must reach the disk, or a power loss can
// bring the old file back. Some file systems cannot sync a folder; the rename
// stands either way, so that is not reported.
void SyncFolder(const fs::path& dir) {
  const std::string name = dir.empty() ? std::string(".") : dir.string();
  int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

// The writer behind WriteFileAtomically; `mode` is the permission the file
// gets (nothing: that of the file replaced, or the usual one for a new file).
// Without `followLinks` a link at `path` is refused rather than written
// through (copies under a new name must not land elsewhere).
bool WritePiecesAtomically(const fs::path& path, const std::vector<std::string_view>& pieces,
                           std::optional<mode_t> mode, std::string& reason,
                           bool followLinks = true) {
  fs::path target = path;
  if (followLinks && !ResolveLinks(path, target, reason)) return false;
  struct stat old {};
  const bool replacing =
      (followLinks ? ::stat(target.c_str(), &old) : ::lstat(target.c_str(), &old)) == 0;
  if (replacing && !S_ISREG(old.st_mode)) {
    CheckReadableKind(old, true, reason);
    return false;
  }
  const mode_t finalMode = mode ? *mode : replacing ? (old.st_mode & 07777) : NewFileMode();
  fs::path tmp;
  int fd = CreateTempBeside(target, tmp, reason);
  if (fd < 0) return false;
  FdCloser closer(fd);
  auto fail = [&](int e) {
    reason = ErrnoReason(e);
    ::unlink(tmp.c_str());
    return false;
  };
  for (const std::string_view bytes : pieces) {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        return fail(errno);
      }
      done += static_cast<size_t>(n);
    }
  }
  // Keep owner and group where allowed (a folder shared by a group), then the
  // permissions: a private file must not become readable by others.
  if (replacing && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 &&
        ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
      // Not allowed: the file belongs to whoever saves it, as a new file would.
    }
  }
  if (::fchmod(fd, finalMode) != 0) return fail(errno);
  if (::fsync(fd) != 0) return fail(errno);
  if (!closer.Close()) return fail(errno);
  if (::rename(tmp.c_str(), target.c_str()) != 0) return fail(errno);
  SyncFolder(target.parent_path());
  return true;
}

bool WriteAtomically(const fs::path& path, const std::string& bytes, std::optional<mode_t> mode,
                     std::string& reason, bool followLinks = true) {
  return WritePiecesAtomically(path, {bytes}, mode, reason, followLinks);
}

mode_t FileMode(const fs::path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : NewFileMode();
}

// Copies `from` to `to` through a temporary file, replacing a file `to` (but
// not a link); the copy gets the permissions of `from`.
bool CopyAtomically(const fs::path& from, const fs::path& to, std::string& reason) {
  std::string bytes;
  if (!ReadFileWhole(from, bytes, reason)) return false;
  return WriteAtomically(to, bytes, FileMode(from), reason, false);
}

}  // namespace

fs::path BakPathOf(const fs::path& dataFile) {
  return dataFile.parent_path() / BakName(dataFile.filename().string());
}

bool WriteBakCopy(const fs::path& dataFile, const std::string& bytes, std::string& reason) {
  return WriteAtomically(BakPathOf(dataFile), bytes, FileMode(dataFile), reason);
}

namespace {

// A data file or its .bak copy.
bool IsDataFileName(const std::string& name) {
  for (const char* f : kDataFiles) {
    if (name == f || name == BakName(f)) return true;
  }
  return false;
}

// The process id in the name of a save's temporary file:
// "<name>.tmp<pid>.<8 letters or digits>", or "<name>.tmp<pid>" as earlier
// versions named them (only for the data files and their .bak copies).
// 0 when the name is not one; `base` is <name>.
pid_t TempFileOwner(const std::string& fileName, std::string& base) {
  const size_t t = fileName.rfind(".tmp");
  if (t == std::string::npos || t == 0) return 0;
  size_t p = t + 4;
  size_t digitsEnd = p;
  while (digitsEnd < fileName.size() &&
         std::isdigit(static_cast<unsigned char>(fileName[digitsEnd])))
    ++digitsEnd;
  if (digitsEnd == p || digitsEnd - p > 9) return 0;
  base = fileName.substr(0, t);
  const std::string tail = fileName.substr(digitsEnd);
  if (tail.empty()) {
    if (!IsDataFileName(base)) return 0;
  } else {
    if (tail.size() != 9 || tail[0] != '.') return 0;
    for (size_t i = 1; i < tail.size(); ++i) {
      if (!std::isalnum(static_cast<unsigned char>(tail[i]))) return 0;
    }
  }
  return static_cast<pid_t>(std::stol(fileName.substr(p, digitsEnd - p)));
}

// Removes temporary files left by saves of processes that are gone (a save
// killed between creating its temporary file and the rename): only those of
// the data files and their .bak copies, or with `onlyBase` given, only those
// of that file name. Other files that merely look alike are left alone.
void RemoveStaleTempFiles(const fs::path& dir, const std::string& onlyBase) {
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string base;
    const pid_t pid = TempFileOwner(it->path().filename().string(), base);
    if (pid <= 0 || pid == ::getpid()) continue;
    if (onlyBase.empty() ? !IsDataFileName(base) : base != onlyBase) continue;
    struct stat st;
    if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;  // that process is still running
    ::unlink(it->path().c_str());
  }
}

// The data folder and, for data files that are links, the folders their
// targets live in (a save writes its temporary file beside the target).
void RemoveStaleTempFilesAround(const fs::path& dataDir) {
  RemoveStaleTempFiles(dataDir, std::string());
  for (const char* f : kDataFiles) {
    for (const std::string& name : {std::string(f), BakName(f)}) {
      fs::path target;
      std::string reason;
      if (!ResolveLinks(dataDir / name, target, reason) || target == dataDir / name) continue;
      std::error_code ec;
      if (fs::equivalent(target.parent_path().empty() ? "." : target.parent_path(), dataDir, ec))
        continue;
      RemoveStaleTempFiles(target.parent_path(), target.filename().string());
    }
  }
}

// Reads the records of a file's bytes into the table (at most 32767). Returns
// the number read; badLine is the first record line that could not be read
// (0 when all were read) and badReason why.
template <typename R>
size_t FillTable(Table<R>& table, const std::string& bytes, int& badLine, std::string& badReason) {
  const size_t before = static_cast<size_t>(table.Count());
  DecodeTable(table, bytes, badLine, badReason);
  return static_cast<size_t>(table.Count()) - before;
}

// A .bak copy that holds something (an earlier version worth keeping).
bool BakHasContent(const fs::path& bak) {
  struct stat st;
  return ::stat(bak.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

// A data file that was missing or could not be read whole keeps its .bak
// copy; the .bak is also copied to "<name>.bak.kept-<stamp>", which nothing
// removes, so that a later start (after a save of what could be read) that
// renews the .bak cannot lose the earlier version. Says so (when there is a
// .bak copy).
std::string KeepBak(const fs::path& bak, const std::string& stamp) {
  std::error_code ec;
  if (!fs::exists(bak, ec)) return std::string();
  std::string m =
      "\nバックアップファイル「" + bak.string() + "」には前回起動したときの内容が残っています。";
  if (!BakHasContent(bak)) return m;
  const fs::path kept = bak.parent_path() / (bak.filename().string() + ".kept-" + stamp);
  std::string reason;
  if (CopyAtomically(bak, kept, reason)) {
    m += "\nその控えを「" + kept.string() + "」として残してあります。";
  } else {
    m += "\nその控え「" + kept.string() + "」を作成できませんでした（" + reason + "）。";
  }
  return m;
}

// What loading one file found: messages for the user, and whether no save
// of this run may replace the file.
struct LoadOutcome {
  FileMessages messages;
  bool notToSave = false;
};

// A regular file (not a link) with exactly these bytes and permissions: a
// .bak copy that renewing would leave as it is.
bool HoldsExactly(const fs::path& path, const std::string& bytes, mode_t mode) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<size_t>(st.st_size) != bytes.size() || (st.st_mode & 07777) != mode) {
    return false;
  }
  std::string held, reason;
  return ReadFileWhole(path, held, reason) && held == bytes;
}

// A second processor this process may run on.
bool SecondProcessor() {
  cpu_set_t set;
  CPU_ZERO(&set);
  return ::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 1;
}

// Runs every job once, taking them in order, on this thread and, when there
// is a processor to spare, on one helper thread beside it; returns when all
// are done. An exception of a job is passed on once all have ended.
void RunSpread(const std::vector<std::function<void()>>& jobs) {
  std::atomic<size_t> next{0};
  std::vector<std::exception_ptr> failures(jobs.size());
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < jobs.size();) {
      try {
        jobs[i]();
      } catch (...) {
        failures[i] = std::current_exception();
      }
    }
  };
  if (jobs.size() > 1 && SecondProcessor()) {
    std::thread helper(work);
    work();
    helper.join();
  } else {
    work();
  }
  for (const std::exception_ptr& f : failures) {
    if (f) std::rethrow_exception(f);
  }
}

// A file that could not be read whole keeps its .bak copy as it was: the
// records after the problem may exist nowhere else.
// An `optional` file that is missing is not created: the table stays empty
// (and a .bak copy with content is kept, as for the other files).
template <typename R>
void LoadOne(Table<R>& table, const fs::path& dir, const char* name, const std::string& stamp,
             LoadOutcome& outcome, bool optional = false) {
  FileMessages& messages = outcome.messages;
  table.Clear();
  fs::path path = dir / name;
  fs::path bak = dir / BakName(name);
  fs::path aside = dir / (std::string(name) + ".unreadable-" + stamp);
  std::error_code ec;
  bool created = false;
  if (optional && !fs::exists(path, ec) && !ec) {
    if (BakHasContent(bak)) {
      messages.push_back("データファイル「" + path.string() + "」がありません。" +
                         KeepBak(bak, stamp));
    }
    return;
  }
  if (!fs::exists(path, ec) && !ec) {
    std::string reason;
    if (!WriteFileAtomically(path, std::string(), reason)) {
      messages.push_back("データファイル「" + path.string() +
                         "」を作成できませんでした。\n理由: " + reason);
      return;
    }
    created = true;
  }
  std::string bytes, reason;
  if (!ReadFileWhole(path, bytes, reason)) {
    // Nothing of it is in the table, so no save in this run may replace it.
    outcome.notToSave = true;
    std::string m = "データファイル「" + path.string() +
                    "」を読み込めませんでした。\n理由: " + reason +
                    "\nこのファイルには、今回は保存しません。";
    std::string copyReason;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        CopyAtomically(path, aside, copyReason)) {
      m += "\n元のファイルの控えを「" + aside.string() + "」として残してあります。";
    }
    messages.push_back(m + KeepBak(bak, stamp));
    return;
  }
  if (created && BakHasContent(bak)) {
    // The file has gone but its .bak copy holds an earlier version: the empty
    // new file must not replace it.
    messages.push_back("データファイル「" + path.string() +
                       "」がなかったため、空のファイルを作成しました。" + KeepBak(bak, stamp));
    return;
  }
  int badLine = 0;
  std::string badReason;
  const size_t usable = FillTable(table, bytes, badLine, badReason);
  if (badLine != 0) {
    std::string copyReason;
    std::string m = "データファイル「" + path.string() + "」の" + std::to_string(badLine) +
                    "行目を読み込めませんでした（" + badReason + "）。\n" + "それより前の" +
                    std::to_string(usable) + "件のデータを読み込みました。\n";
    if (WriteAtomically(aside, bytes, FileMode(path), copyReason, false)) {
      m += "元のファイルは「" + aside.string() + "」として残してあります。";
    } else {
      // No copy of the unread records: the file itself must stay.
      outcome.notToSave = true;
      m += "元のファイルの控え「" + aside.string() + "」を作成できませんでした（" + copyReason +
           "）。\nこのファイルには、今回は保存しません。";
    }
    messages.push_back(m + KeepBak(bak, stamp));
    return;
  }
  std::string bakReason;
  if (HoldsExactly(bak, bytes, FileMode(path))) return;  // started again: nothing to renew
  if (!WriteAtomically(bak, bytes, FileMode(path), bakReason)) {
    messages.push_back("バックアップファイル「" + bak.string() +
                       "」を作成できませんでした。\n理由: " + bakReason);
  }
}

// An `optional` file is not made for an empty table.
template <typename R>
void SaveOne(const hensuu& store, const Table<R>& table, const fs::path& dir, const char* name,
             FileMessages& messages, bool optional = false) {
  fs::path path = dir / name;
  struct stat st;
  if (optional && table.Empty() && ::lstat(path.c_str(), &st) != 0 && errno == ENOENT) return;
  if (store.FilesNotToSave.count(name)) {
    messages.push_back("データファイル「" + path.string() +
                       "」は起動時に読み込めなかったため、保存しませんでした。\n"
                       "元のファイルは変更されていません。");
    return;
  }
  std::string bytes, problem;
  if (!EncodeTable(table, bytes, problem)) {
    messages.push_back("データファイル「" + path.string() + "」に保存できませんでした。\n" +
                       problem + "\n元のファイルは変更されていません。");
    return;
  }
  std::string reason;
  if (!WriteFileAtomically(path, bytes, reason)) {
    messages.push_back("データファイル「" + path.string() + "」に書き込めませんでした。\n理由: " +
                       reason + "\n元のファイルは変更されていません。");
  }
}

bool EnsureFolder(const fs::path& dir, FileMessages& messages) {
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return true;
  if (fs::create_directories(dir, ec) && !ec) return true;
  if (fs::is_directory(dir)) return true;
  if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
  messages.push_back("データフォルダ「" + dir.string() +
                     "」を作成できませんでした。\n理由: " + Reason(ec));
  return false;
}

}  // namespace

std::string SystemReason(int errnum) {
  const char* english = ::strerrordesc_np(errnum);
  const std::string en = english ? english : "error " + std::to_string(errnum);
  const char* ja = nullptr;
  switch (errnum) {
    case EACCES:
      ja = "アクセスが許可されていません";
      break;
    case EPERM:
      ja = "操作が許可されていません";
      break;
    case ENOENT:
      ja = "ファイルまたはフォルダがありません";
      break;
    case ENOSPC:
      ja = "ディスクの空き容量が足りません";
      break;
    case EDQUOT:
      ja = "ディスクの使用量の上限を超えています";
      break;
    case EROFS:
      ja = "読み取り専用の場所には書き込めません";
      break;
    case EISDIR:
      ja = "フォルダです";
      break;
    case ENOTDIR:
      ja = "フォルダではありません";
      break;
    case EEXIST:
      ja = "同じ名前のものが既にあります";
      break;
    case ELOOP:
      ja = "シンボリックリンクは使用できません";
      break;
    case EIO:
      ja = "入出力エラーが発生しました";
      break;
    case EMFILE:
    case ENFILE:
      ja = "開いているファイルが多すぎます";
      break;
    case ENAMETOOLONG:
      ja = "名前が長すぎます";
      break;
    case EBUSY:
      ja = "使用中です";
      break;
    case EXDEV:
      ja = "別のファイルシステムへは移動できません";
      break;
    case ENOTEMPTY:
      ja = "フォルダが空ではありません";
      break;
    case EFBIG:
      ja = "ファイルが大きすぎます";
      break;
    case ENOMEM:
      ja = "メモリが足りません";
      break;
    case EINVAL:
      ja = "引数が正しくありません";
      break;
    case ENXIO:
      ja = "デバイスがありません";
      break;
    case EPIPE:
      ja = "書き込み先が閉じられています";
      break;
    case EAGAIN:
      ja = "一時的に使用できません";
      break;
    default:
      break;
  }
  return ja ? std::string(ja) + "（" + en + "）" : en;
}

std::string FileKindName(unsigned mode) {
  if (S_ISREG(mode)) return std::string();
  if (S_ISDIR(mode)) return "フォルダ";
  if (S_ISLNK(mode)) return "シンボリックリンク";
  if (S_ISFIFO(mode)) return "名前付きパイプ";
  if (S_ISSOCK(mode)) return "ソケット";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "デバイス";
  return "特殊なファイル";
}

template <typename R>
bool DecodeTable(Table<R>& table, const std::string& bytes, int& badLine, std::string& badReason) {
  ReadResult read = ReadRecordLines(bytes, RecordFieldKinds<R>());
  const size_t room = static_cast<size_t>(kMaxRecords - table.Count());
  const size_t usable = std::min(read.records.size(), room);
  for (size_t i = 0; i < usable; ++i) table.Append(FromFields<R>(read.records[i]));
  badLine = read.ok ? 0 : read.badLine;
  badReason = read.reason;
  if (usable < read.records.size()) {
    badLine = static_cast<int>(usable) + 1;
    badReason = "データの件数が上限（32767件）を超えています";
  }
  return badLine == 0;
}
template bool DecodeTable(Table<BaiyoRecord>&, const std::string&, int&, std::string&);
template bool DecodeTable(Table<ParaRecord>&, const std::string&, int&, std::string&);
template bool DecodeTable(Table<TionRecord>&, const std::string&, int&, std::string&);
template bool DecodeTable(Table<SuiteiRecord>&, const std::string&, int&, std::string&);
template bool DecodeTable(Table<HojyoRecord>&, const std::string&, int&, std::string&);
template bool DecodeTable(Table<SekkeiRecord>&, const std::string&, int&, std::string&);

template <typename R>
bool EncodeTable(const Table<R>& table, std::string& bytes, std::string& problem) {
  bytes.clear();
  for (const R& r : table.Rows()) {
    std::optional<std::string> line = WriteRecordLine(ToFields(r), &problem);
    if (!line) return false;
    bytes += *line;
  }
  return true;
}
template bool EncodeTable(const Table<BaiyoRecord>&, std::string&, std::string&);
template bool EncodeTable(const Table<ParaRecord>&, std::string&, std::string&);
template bool EncodeTable(const Table<TionRecord>&, std::string&, std::string&);
template bool EncodeTable(const Table<SuiteiRecord>&, std::string&, std::string&);
template bool EncodeTable(const Table<HojyoRecord>&, std::string&, std::string&);
template bool EncodeTable(const Table<SekkeiRecord>&, std::string&, std::string&);

bool WriteFileAtomically(const fs::path& path, const std::string& bytes, std::string& reason) {
  return WriteAtomically(path, bytes, std::nullopt, reason);
}

bool WriteFileAtomically(const fs::path& path, const std::vector<std::string>& pieces,
                         std::string& reason) {
  return WritePiecesAtomically(path, std::vector<std::string_view>(pieces.begin(), pieces.end()),
                               std::nullopt, reason);
}

bool ReadFileWhole(const fs::path& path, std::string& bytes, std::string& reason,
                   bool regularOnly) {
  bytes.clear();
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    reason = ErrnoReason(errno);
    return false;
  }
  if (!CheckReadableKind(st, regularOnly, reason)) return false;
  // O_NONBLOCK: should a FIFO be put in place between the check and the open,
  // the open returns at once and the check below refuses it.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | (regularOnly ? O_NONBLOCK : 0));
  if (fd < 0) {
    reason = ErrnoReason(errno);
    return false;
  }
  FdCloser closer(fd);
  if (::fstat(fd, &st) != 0) {
    reason = ErrnoReason(errno);
    return false;
  }
  if (!CheckReadableKind(st, regularOnly, reason)) return false;
  if (S_ISREG(st.st_mode)) bytes.reserve(static_cast<size_t>(st.st_size));
  char buf[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      reason = ErrnoReason(errno);
      bytes.clear();
      return false;
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<size_t>(n));
  }
  if (!closer.Close()) {
    reason = ErrnoReason(errno);
    bytes.clear();
    return false;
  }
  return true;
}

FileMessages LoadDataFiles(hensuu& store, const fs::path& dataDir, const std::string& stampIn) {
  FileMessages messages;
  std::string stamp = stampIn.empty() ? NowStamp() : stampIn;
  store.Reset();
  if (EnsureFolder(dataDir, messages)) {
    RemoveStaleTempFilesAround(dataDir);
    // Each file is read into its own table and its .bak copy renewed
    // independently of the others, so they are loaded side by side; what
    // each found is told in file order.
    std::vector<std::pair<const char*, std::function<void(LoadOutcome&)>>> files;
    auto add = [&](auto& table, const char* name, bool optional = false) {
      files.emplace_back(name, [&table, &dataDir, &stamp, name, optional](LoadOutcome& outcome) {
        LoadOne(table, dataDir, name, stamp, outcome, optional);
      });
    };
    add(store.BaiyoTable, kBaiyoFile);
    add(store.ParaTable, kParaFile);
    add(store.TionTable, kTionFile);
    add(store.SuiteiTable, kSuiteiFile);
    add(store.HojyoTable, kHojyoFile);
    add(store.SekkeiTable, kSekkeiFile, true);
    std::vector<LoadOutcome> outcomes(files.size());
    std::vector<std::function<void()>> jobs;
    for (size_t i = 0; i < files.size(); ++i)
      jobs.emplace_back([&, i] { files[i].second(outcomes[i]); });
    RunSpread(jobs);
    // What the readers held while they worked goes back to the system (the
    // helper thread's share would otherwise stay with the process).
    ::malloc_trim(0);
    for (size_t i = 0; i < files.size(); ++i) {
      messages.insert(messages.end(), outcomes[i].messages.begin(), outcomes[i].messages.end());
      if (outcomes[i].notToSave) store.FilesNotToSave.insert(files[i].first);
    }
    store.BaiyoCurrent = store.BaiyoCount() > 0 ? store.BaiyoCount() : 1;
    store.HojyoCurrent = store.HojyoCount() > 0 ? store.HojyoCount() : 1;
  } else {
    store.BaiyoCurrent = 1;
    store.HojyoCurrent = 1;
  }
  store.WindowCascadeOffset = 0;
  return messages;
}

namespace {
template <typename R>
void ReadOne(Table<R>& table, const fs::path& dir, const char* name, FileMessages& messages) {
  table.Clear();
  fs::path path = dir / name;
  std::error_code ec;
  if (!fs::exists(path, ec)) return;
  std::string bytes, reason;
  if (!ReadFileWhole(path, bytes, reason)) {
    messages.push_back("データファイル「" + path.string() +
                       "」を読み込めませんでした。\n理由: " + reason);
    return;
  }
  int badLine = 0;
  std::string badReason;
  FillTable(table, bytes, badLine, badReason);
  if (badLine != 0) {
    messages.push_back("データファイル「" + path.string() + "」の" + std::to_string(badLine) +
                       "行目を読み込めませんでした（" + badReason + "）。");
  }
}
}  // namespace

FileMessages ReadDataFiles(hensuu& store, const fs::path& dataDir) {
  FileMessages messages;
  store.Reset();
  std::error_code ec;
  if (!fs::is_directory(dataDir, ec)) {
    messages.push_back("データフォルダ「" + dataDir.string() + "」がありません。");
    return messages;
  }
  ReadOne(store.BaiyoTable, dataDir, kBaiyoFile, messages);
  ReadOne(store.ParaTable, dataDir, kParaFile, messages);
  ReadOne(store.TionTable, dataDir, kTionFile, messages);
  ReadOne(store.SuiteiTable, dataDir, kSuiteiFile, messages);
  ReadOne(store.HojyoTable, dataDir, kHojyoFile, messages);
  ReadOne(store.SekkeiTable, dataDir, kSekkeiFile, messages);
  return messages;
}

FileMessages SaveDataFiles(const hensuu& store, const fs::path& dataDir) {
  FileMessages messages;
  if (!EnsureFolder(dataDir, messages)) return messages;
  SaveOne(store, store.BaiyoTable, dataDir, kBaiyoFile, messages);
  SaveOne(store, store.ParaTable, dataDir, kParaFile, messages);
  SaveOne(store, store.TionTable, dataDir, kTionFile, messages);
  SaveOne(store, store.SuiteiTable, dataDir, kSuiteiFile, messages);
  SaveOne(store, store.HojyoTable, dataDir, kHojyoFile, messages);
  SaveOne(store, store.SekkeiTable, dataDir, kSekkeiFile, messages, true);
  return messages;
}

namespace {
template <typename R>
FileMessages SaveFile(const hensuu& store, const Table<R>& table, const fs::path& dataDir,
                      const char* name, bool optional = false) {
  FileMessages messages;
  if (EnsureFolder(dataDir, messages)) SaveOne(store, table, dataDir, name, messages, optional);
  return messages;
}
}  // namespace

FileMessages SaveBaiyoFile(const hensuu& store, const fs::path& dataDir) {
  return SaveFile(store, store.BaiyoTable, dataDir, kBaiyoFile);
}

FileMessages SaveParaFile(const hensuu& store, const fs::path& dataDir) {
  return SaveFile(store, store.ParaTable, dataDir, kParaFile);
}

FileMessages SaveTionFile(const hensuu& store, const fs::path& dataDir) {
  return SaveFile(store, store.TionTable, dataDir, kTionFile);
}

FileMessages SaveHojyoFile(const hensuu& store, const fs::path& dataDir) {
  return SaveFile(store, store.HojyoTable, dataDir, kHojyoFile);
}

FileMessages SaveSekkeiFile(const hensuu& store, const fs::path& dataDir) {
  return SaveFile(store, store.SekkeiTable, dataDir, kSekkeiFile, true);
}

}  // namespace kelvora
