#include "store/recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <random>
#include <system_error>
#include <vector>

namespace kelvora {
namespace fs = std::filesystem;

namespace {

constexpr const char* kFileNames[6] = {kBaiyoFile,  kParaFile,  kTionFile,
                                       kSuiteiFile, kHojyoFile, kSekkeiFile};
// Copies of versions without plans have no Sekkei.txt (nor a line of it in
// their note): that is no plan, not a copy cut short.
bool MayBeMissing(const char* name) { return std::string(name) == kSekkeiFile; }
constexpr const char* kNoteTitle = "Kelvora recovery copy (data not saved yet)";
constexpr mode_t kFileMode = 0600;
constexpr mode_t kFolderMode = 0700;

std::string LocalTime(std::time_t t, const char* format) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[40];
  std::strftime(buf, sizeof buf, format, &tm);
  return buf;
}

std::string RandomText(size_t n) {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::vector<unsigned char> raw(n);
  if (::getrandom(raw.data(), n, GRND_NONBLOCK) != static_cast<ssize_t>(n)) {
    std::random_device rd;
    for (unsigned char& b : raw) b = static_cast<unsigned char>(rd());
  }
  std::string s;
  for (unsigned char b : raw) s.push_back(kChars[b % (sizeof kChars - 1)]);
  return s;
}

// A check sum of a file's bytes (FNV-1a, 64 bits), as 16 hex digits.
std::string CheckSum(const std::string& bytes) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

// A descriptor closed when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd(Fd&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
  Fd& operator=(Fd&& o) noexcept {
    if (this != &o) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = o.fd_;
      o.fd_ = -1;
    }
    return *this;
  }
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// The data folder itself (the user named it; a link there is followed).
Fd OpenDataFolder(const fs::path& dataDir, std::string& problem) {
  const std::string name = dataDir.empty() ? std::string(".") : dataDir.string();
  Fd fd(::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.ok()) problem = SystemReason(errno);
  return fd;
}

// Why the entry `name` inside the folder `parent` cannot be used as a folder
// of this program: a link, not a folder, or another user's. Empty when it
// can; `missing` when there is nothing at the name.
std::string OwnFolderProblem(int parent, const char* name, struct stat& st, bool* missing) {
  if (missing) *missing = false;
  if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (missing) *missing = errno == ENOENT;
    return SystemReason(errno);
  }
  if (S_ISLNK(st.st_mode)) return "シンボリックリンクになっています";
  if (!S_ISDIR(st.st_mode)) return "フォルダではありません（" + FileKindName(st.st_mode) + "）";
  if (st.st_uid != ::geteuid()) return "このプログラムを使っているユーザーのフォルダではありません";
  return std::string();
}

// Opens a folder of this program inside `parent`, never through a link.
Fd OpenOwnFolder(int parent, const char* name, std::string& problem, bool* missing = nullptr) {
  struct stat named {};
  problem = OwnFolderProblem(parent, name, named, missing);
  if (!problem.empty()) return Fd();
  Fd fd(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.ok()) {
    problem = SystemReason(errno);
    return fd;
  }
  struct stat opened {};
  if (::fstat(fd.get(), &opened) != 0 || opened.st_dev != named.st_dev ||
      opened.st_ino != named.st_ino) {
    problem = "確認している間に置き換えられました";
    return Fd();
  }
  return fd;
}

// Writes `bytes` as the file `name` inside the folder: a new temporary file
// beside it (never through a link), renamed over the name (which replaces a
// link standing there, not its target).
bool WriteInFolder(int dir, const std::string& name, const std::string& bytes,
                   std::string& reason) {
  const std::string prefix = name + ".tmp" + std::to_string(::getpid()) + ".";
  std::string tmp;
  Fd fd;
  for (int attempt = 0; attempt < 100 && !fd.ok(); ++attempt) {
    tmp = prefix + RandomText(8);
    fd = Fd(::openat(dir, tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                     kFileMode));
    if (!fd.ok() && errno != EEXIST) break;
  }
  if (!fd.ok()) {
    reason = SystemReason(errno);
    return false;
  }
  auto fail = [&](int e) {
    reason = SystemReason(e);
    ::unlinkat(dir, tmp.c_str(), 0);
    return false;
  };
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    done += static_cast<size_t>(n);
  }
  if (::fchmod(fd.get(), kFileMode) != 0) return fail(errno);
  if (::fsync(fd.get()) != 0) return fail(errno);
  if (::close(fd.release()) != 0) return fail(errno);
  if (::renameat(dir, tmp.c_str(), dir, name.c_str()) != 0) return fail(errno);
  (void)::fsync(dir);
  return true;
}

// Reads the regular file `name` inside the folder, never through a link and
// never blocking on a FIFO.
bool ReadInFolder(int dir, const char* name, std::string& bytes, std::string& reason,
                  bool* missing = nullptr) {
  bytes.clear();
  if (missing) *missing = false;
  Fd fd(::openat(dir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.ok()) {
    const int e = errno;
    struct stat st {};
    if (e == ELOOP && ::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      reason = "通常のファイルではありません（" + FileKindName(st.st_mode) + "）";
    } else {
      if (missing) *missing = e == ENOENT;
      reason = SystemReason(e);
    }
    return false;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    reason = SystemReason(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    reason = "通常のファイルではありません（" + FileKindName(st.st_mode) + "）";
    return false;
  }
  char buf[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      reason = SystemReason(errno);
      bytes.clear();
      return false;
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<size_t>(n));
  }
  return true;
}

// Removes the entry `name` inside `parent`: a link or file by itself, a
// folder of this user with what it holds (links inside are removed, never
// followed). A folder of another user is left alone.
bool RemoveEntry(int parent, const char* name, std::string& reason) {
  struct stat st {};
  if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return true;
    reason = SystemReason(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    if (::unlinkat(parent, name, 0) == 0 || errno == ENOENT) return true;
    reason = SystemReason(errno);
    return false;
  }
  std::string problem;
  Fd dir = OpenOwnFolder(parent, name, problem);
  if (!dir.ok()) {
    reason = problem;
    return false;
  }
  DIR* d = ::fdopendir(dir.get());
  if (!d) {
    reason = SystemReason(errno);
    return false;
  }
  const int dfd = dir.release();  // owned by d now
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d)) {
    const std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  bool ok = true;
  for (const std::string& n : names) ok = RemoveEntry(dfd, n.c_str(), reason) && ok;
  ::closedir(d);
  if (!ok) return false;
  if (::unlinkat(parent, name, AT_REMOVEDIR) == 0 || errno == ENOENT) return true;
  reason = SystemReason(errno);
  return false;
}

// The data folder's path with every link resolved (the path as given when
// it cannot be resolved).
std::string RealFolder(const fs::path& dataDir) {
  char buf[PATH_MAX];
  const std::string name = dataDir.empty() ? std::string(".") : dataDir.string();
  if (::realpath(name.c_str(), buf)) return buf;
  return fs::absolute(dataDir).lexically_normal().string();
}

// The note: what the copy is, when it was written, by which run, of which
// folder, and the size and check sum of each of the six files.
struct Note {
  std::map<std::string, std::string> values;
  std::map<std::string, std::pair<size_t, std::string>> files;  // name: size, check sum
};

bool ParseNote(const std::string& text, Note& note) {
  size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    if (first) {
      if (line != kNoteTitle) return false;
      first = false;
      continue;
    }
    const size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    const std::string key = line.substr(0, colon);
    const std::string value = line.substr(colon + 2);
    if (key == "file") {
      // "<name> <size> <check sum>"; names have no spaces.
      const size_t a = value.find(' ');
      const size_t b = a == std::string::npos ? a : value.find(' ', a + 1);
      if (b == std::string::npos) return false;
      const std::string size = value.substr(a + 1, b - a - 1);
      if (size.empty() || size.find_first_not_of("0123456789") != std::string::npos) return false;
      note.files[value.substr(0, a)] = {std::stoull(size), value.substr(b + 1)};
    } else {
      note.values[key] = value;
    }
  }
  return !first;
}

std::string NoteText(const Note& note, const RunInfo& run, const fs::path& dataDir) {
  std::string t = std::string(kNoteTitle) + "\r\n";
  t += "written: " + LocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S") + "\r\n";
  t += "pid: " + std::to_string(run.pid) + "\r\n";
  t += "started: " + run.started + "\r\n";
  t += "run: " + run.id + "\r\n";
  t += "folder: " + RealFolder(dataDir) + "\r\n";
  for (const char* name : kFileNames) {
    auto it = note.files.find(name);
    if (it == note.files.end()) continue;
    t += "file: " + std::string(name) + " " + std::to_string(it->second.first) + " " +
         it->second.second + "\r\n";
  }
  return t;
}

template <typename R>
void WriteTable(const std::optional<Table<R>>& table, int dir, const fs::path& shownDir,
                const char* name, const std::atomic<bool>* stop, Note& note,
                RecoveryWriteResult& result) {
  if (!table || !result.messages.empty()) return;
  if (stop && stop->load()) {
    result.messages.push_back("復旧用の控えの書き込みを中止しました。");
    return;
  }
  const fs::path path = shownDir / name;
  std::string bytes, problem;
  if (!EncodeTable(*table, bytes, problem)) {
    result.messages.push_back("復旧用の控え「" + path.string() + "」を作成できませんでした。\n" +
                              problem);
    return;
  }
  std::string reason;
  if (!WriteInFolder(dir, name, bytes, reason)) {
    result.messages.push_back("復旧用の控え「" + path.string() +
                              "」に書き込めませんでした。\n理由: " + reason);
    return;
  }
  note.files[name] = {bytes.size(), CheckSum(bytes)};
}

void WriteTables(const RecoverySnapshot& s, int dir, const fs::path& shownDir,
                 const fs::path& dataDir, const RunInfo& run, const std::atomic<bool>* stop,
                 RecoveryWriteResult& result) {
  // The note of the files not written now is carried over.
  Note note;
  if (!s.wholeFolder) {
    std::string text, reason;
    if (ReadInFolder(dir, kRecoveryNote, text, reason)) ParseNote(text, note);
  }
  WriteTable(s.baiyo, dir, shownDir, kBaiyoFile, stop, note, result);
  WriteTable(s.para, dir, shownDir, kParaFile, stop, note, result);
  WriteTable(s.tion, dir, shownDir, kTionFile, stop, note, result);
  WriteTable(s.suitei, dir, shownDir, kSuiteiFile, stop, note, result);
  WriteTable(s.hojyo, dir, shownDir, kHojyoFile, stop, note, result);
  WriteTable(s.sekkei, dir, shownDir, kSekkeiFile, stop, note, result);
  if (!result.messages.empty()) return;
  std::string reason;
  if (!WriteInFolder(dir, kRecoveryNote, NoteText(note, run, dataDir), reason)) {
    result.messages.push_back("復旧用の控え「" + (shownDir / kRecoveryNote).string() +
                              "」に書き込めませんでした。\n理由: " + reason);
  }
}

// The pid in "<prefix><digits>" (0 when the name is not one).
long PidAfter(const std::string& name, const std::string& prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return 0;
  const std::string digits = name.substr(prefix.size());
  if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::stol(digits);
}

// A temporary file of the copy's writer: "<file>.tmp<pid>.<8 letters or
// digits>" for one of the six files or the note.
bool IsCopyTempFile(const std::string& name) {
  for (const char* f :
       {kBaiyoFile, kParaFile, kTionFile, kSuiteiFile, kHojyoFile, kSekkeiFile, kRecoveryNote}) {
    const std::string prefix = std::string(f) + ".tmp";
    if (name.size() < prefix.size() + 10 || name.compare(0, prefix.size(), prefix) != 0) continue;
    const size_t dot = name.find('.', prefix.size());
    if (dot == std::string::npos || dot == prefix.size() || name.size() - dot != 9) continue;
    if (PidAfter(name.substr(0, dot), prefix) <= 0) continue;
    bool alnum = true;
    for (size_t i = dot + 1; i < name.size(); ++i) {
      alnum = alnum && std::isalnum(static_cast<unsigned char>(name[i]));
    }
    if (alnum) return true;
  }
  return false;
}

std::vector<std::string> Entries(int dir) {
  std::vector<std::string> names;
  Fd copy(::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!copy.ok()) return names;
  DIR* d = ::fdopendir(copy.get());
  if (!d) return names;
  copy.release();
  while (dirent* e = ::readdir(d)) {
    const std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  ::closedir(d);
  return names;
}

}  // namespace

RunInfo RunInfo::ThisRun() {
  RunInfo run;
  run.pid = static_cast<long>(::getpid());
  run.started = LocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S");
  run.id = RandomText(16);
  return run;
}

// --- what has been copied ------------------------------------------------------------------

void RecoveryState::StartFromDataFiles(const hensuu& store) {
  loaded_ = store.Generations();
  copied_ = {};
  haveCopy_ = false;
}

void RecoveryState::StartFromCopy(const hensuu& store) {
  loaded_ = {};
  copied_ = store.Generations();
  haveCopy_ = true;
}

bool RecoveryState::Pending(const hensuu& store) const {
  return store.Generations() != (haveCopy_ ? copied_ : loaded_);
}

RecoverySnapshot RecoveryState::TakeSnapshot(const hensuu& store) const {
  RecoverySnapshot s;
  s.generations = store.Generations();
  s.wholeFolder = !haveCopy_;
  auto changed = [&](size_t i) { return s.wholeFolder || s.generations[i] != copied_[i]; };
  if (changed(0)) s.baiyo = store.BaiyoTable;
  if (changed(1)) s.para = store.ParaTable;
  if (changed(2)) s.tion = store.TionTable;
  if (changed(3)) s.suitei = store.SuiteiTable;
  if (changed(4)) s.hojyo = store.HojyoTable;
  if (changed(5)) s.sekkei = store.SekkeiTable;
  return s;
}

void RecoveryState::Written(const RecoverySnapshot& s, const RecoveryWriteResult& result) {
  if (result.folderMissing) {
    haveCopy_ = false;
    copied_ = {};
    return;
  }
  if (!result.messages.empty()) return;
  haveCopy_ = true;
  copied_ = s.generations;
}

// --- writing -----------------------------------------------------------------------------------

RecoveryWriteResult WriteSnapshot(const fs::path& dataDir, const RunInfo& run,
                                  const RecoverySnapshot& s, const std::atomic<bool>* stop) {
  RecoveryWriteResult result;
  const fs::path folder = dataDir / kRecoveryFolder;
  std::string problem;
  Fd data = OpenDataFolder(dataDir, problem);
  if (!data.ok()) {
    result.messages.push_back("データフォルダ「" + dataDir.string() +
                              "」を開けませんでした。\n理由: " + problem);
    return result;
  }
  if (!s.wholeFolder) {
    bool missing = false;
    Fd dir = OpenOwnFolder(data.get(), kRecoveryFolder, problem, &missing);
    if (!dir.ok()) {
      // Made anew next time; whatever stands at the name then is kept aside.
      result.folderMissing = true;
      result.messages.push_back(
          "復旧用フォルダ「" + folder.string() +
          (missing ? "」がなくなっています。" : "」を使用できません（" + problem + "）。"));
      return result;
    }
    WriteTables(s, dir.get(), folder, dataDir, run, stop, result);
    return result;
  }

  const std::string tmpName = std::string(kRecoveryFolder) + ".tmp" + std::to_string(run.pid);
  const fs::path tmp = dataDir / tmpName;
  std::string reason;
  RemoveEntry(data.get(), tmpName.c_str(), reason);
  if (::mkdirat(data.get(), tmpName.c_str(), kFolderMode) != 0) {
    result.messages.push_back("復旧用フォルダ「" + tmp.string() +
                              "」を作成できませんでした。\n理由: " + SystemReason(errno));
    return result;
  }
  {
    Fd dir = OpenOwnFolder(data.get(), tmpName.c_str(), problem);
    if (!dir.ok() || ::fchmod(dir.get(), kFolderMode) != 0) {
      result.messages.push_back(
          "復旧用フォルダ「" + tmp.string() +
          "」を作成できませんでした。\n理由: " + (dir.ok() ? SystemReason(errno) : problem));
    } else {
      WriteTables(s, dir.get(), tmp, dataDir, run, stop, result);
    }
  }
  if (result.messages.empty()) {
    // Only this run writes the copy (it holds the folder lock); whatever is
    // in the way (a folder this run lost track of, or anything put there) is
    // kept aside, never removed, never written into.
    struct stat st {};
    if (::fstatat(data.get(), kRecoveryFolder, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      if (!SetRecoveryCopyAside(dataDir, reason)) {
        result.messages.push_back("復旧用フォルダ「" + folder.string() +
                                  "」を移動できませんでした。\n理由: " + reason);
      }
    }
    if (result.messages.empty()) {
      if (::renameat(data.get(), tmpName.c_str(), data.get(), kRecoveryFolder) != 0) {
        result.messages.push_back("復旧用フォルダ「" + folder.string() +
                                  "」を作成できませんでした。\n理由: " + SystemReason(errno));
      } else {
        (void)::fsync(data.get());
      }
    }
  }
  if (!result.messages.empty()) RemoveEntry(data.get(), tmpName.c_str(), reason);
  return result;
}

// --- start-up and exit --------------------------------------------------------------------------

bool RecoveryCopyExists(const fs::path& dataDir) {
  struct stat st {};
  return ::lstat((dataDir / kRecoveryFolder).c_str(), &st) == 0;
}

RecoveryCopyInfo InspectRecoveryCopy(const fs::path& dataDir) {
  RecoveryCopyInfo info;
  std::string problem;
  Fd data = OpenDataFolder(dataDir, problem);
  struct stat st {};
  if (!data.ok() || ::fstatat(data.get(), kRecoveryFolder, &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return info;
  }
  info.exists = true;
  Fd dir = OpenOwnFolder(data.get(), kRecoveryFolder, info.folderProblem);
  if (!dir.ok()) return info;
  std::time_t changed = st.st_mtime;
  std::string text, reason;
  bool missing = false;
  Note note;
  if (!ReadInFolder(dir.get(), kRecoveryNote, text, reason, &missing)) {
    info.warning =
        missing ? "控えの記録（" + std::string(kRecoveryNote) + "）がありません"
                : "控えの記録（" + std::string(kRecoveryNote) + "）を読めません（" + reason + "）";
  } else if (!ParseNote(text, note) || !note.values.count("written") ||
             !note.values.count("folder") || !note.values.count("run")) {
    info.warning =
        "控えの記録（" + std::string(kRecoveryNote) + "）がこのプログラムのものではありません";
  } else if (note.values["folder"] != RealFolder(dataDir)) {
    info.warning = "別のデータフォルダ「" + note.values["folder"] + "」の控えです";
  } else {
    for (const char* name : kFileNames) {
      auto it = note.files.find(name);
      std::string bytes;
      bool missing = false;
      if (it == note.files.end() && MayBeMissing(name) &&
          !ReadInFolder(dir.get(), name, bytes, reason, &missing) && missing) {
        continue;
      }
      if (it == note.files.end() || !ReadInFolder(dir.get(), name, bytes, reason) ||
          bytes.size() != it->second.first || CheckSum(bytes) != it->second.second) {
        info.warning =
            "「" + std::string(name) +
            "」が控えの記録と一致しません（途中までしか書かれていないか、後から変更されています）";
        break;
      }
    }
  }
  if (info.warning.empty()) {
    info.taken = note.values["written"];
  } else {
    struct stat ns {};
    if (::fstatat(dir.get(), kRecoveryNote, &ns, AT_SYMLINK_NOFOLLOW) == 0) changed = ns.st_mtime;
    info.taken = LocalTime(changed, "%Y-%m-%d %H:%M:%S");
  }
  return info;
}

void RemoveRecoveryLeftovers(const fs::path& dataDir) {
  std::string problem, reason;
  Fd data = OpenDataFolder(dataDir, problem);
  if (!data.ok()) return;
  const long self = static_cast<long>(::getpid());
  const std::string tmpPrefix = std::string(kRecoveryFolder) + ".tmp";
  for (const std::string& name : Entries(data.get())) {
    const long pid = PidAfter(name, tmpPrefix);
    if (pid <= 0 || pid == self) continue;
    struct stat st {};
    if (!OwnFolderProblem(data.get(), name.c_str(), st, nullptr).empty()) continue;
    RemoveEntry(data.get(), name.c_str(), reason);
  }
  Fd dir = OpenOwnFolder(data.get(), kRecoveryFolder, problem);
  if (!dir.ok()) return;
  for (const std::string& name : Entries(dir.get())) {
    if (!IsCopyTempFile(name)) continue;
    struct stat st {};
    if (::fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) continue;
    ::unlinkat(dir.get(), name.c_str(), 0);
  }
}

FileMessages ReadRecoveryCopy(hensuu& store, const fs::path& dataDir) {
  const fs::path folder = dataDir / kRecoveryFolder;
  FileMessages messages;
  std::string problem;
  Fd data = OpenDataFolder(dataDir, problem);
  Fd dir = data.ok() ? OpenOwnFolder(data.get(), kRecoveryFolder, problem) : Fd();
  if (!dir.ok()) {
    messages.push_back("復旧用フォルダ「" + folder.string() + "」を使用できません（" + problem +
                       "）。");
    return messages;
  }
  std::string bytes[6];
  for (int i = 0; i < 6; ++i) {
    std::string reason;
    bool missing = false;
    if (!ReadInFolder(dir.get(), kFileNames[i], bytes[i], reason, &missing)) {
      if (missing && MayBeMissing(kFileNames[i])) continue;
      const std::string path = (folder / kFileNames[i]).string();
      messages.push_back(missing ? "復旧用の控え「" + path + "」がありません。"
                                 : "復旧用の控え「" + path + "」を読み込めませんでした（" + reason +
                                       "）。");
    }
  }
  if (!messages.empty()) return messages;
  hensuu copy;
  auto decode = [&](auto& table, int i) {
    int badLine = 0;
    std::string badReason;
    if (!DecodeTable(table, bytes[i], badLine, badReason)) {
      messages.push_back("復旧用の控え「" + (folder / kFileNames[i]).string() + "」の" +
                         std::to_string(badLine) + "行目を読み込めませんでした（" + badReason +
                         "）。");
    }
  };
  decode(copy.BaiyoTable, 0);
  decode(copy.ParaTable, 1);
  decode(copy.TionTable, 2);
  decode(copy.SuiteiTable, 3);
  decode(copy.HojyoTable, 4);
  decode(copy.SekkeiTable, 5);
  if (!messages.empty()) return messages;
  store.BaiyoTable = copy.BaiyoTable;
  store.ParaTable = copy.ParaTable;
  store.TionTable = copy.TionTable;
  store.SuiteiTable = copy.SuiteiTable;
  store.HojyoTable = copy.HojyoTable;
  store.SekkeiTable = copy.SekkeiTable;
  store.BaiyoCurrent = store.BaiyoCount() > 0 ? store.BaiyoCount() : 1;
  store.HojyoCurrent = store.HojyoCount() > 0 ? store.HojyoCount() : 1;
  return messages;
}

std::optional<fs::path> SetRecoveryCopyAside(const fs::path& dataDir, std::string& reason,
                                             const std::string& stampIn) {
  std::string problem;
  Fd data = OpenDataFolder(dataDir, problem);
  if (!data.ok()) {
    reason = problem;
    return std::nullopt;
  }
  std::string stamp = stampIn;
  if (stamp.empty()) {
    // When the copy was last written: its note, or the folder itself (never
    // looked at through a link).
    struct stat st {};
    std::time_t when = std::time(nullptr);
    std::string ignored;
    Fd dir = OpenOwnFolder(data.get(), kRecoveryFolder, ignored);
    if ((dir.ok() && ::fstatat(dir.get(), kRecoveryNote, &st, AT_SYMLINK_NOFOLLOW) == 0) ||
        ::fstatat(data.get(), kRecoveryFolder, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      when = st.st_mtime;
    }
    stamp = LocalTime(when, "%Y%m%d-%H%M%S");
  }
  const std::string base = std::string(kRecoveryFolder) + "-" + stamp;
  // A copy kept aside stays private (copies of earlier versions were 0755).
  auto keep = [&](const std::string& name) {
    std::string ignored;
    Fd dir = OpenOwnFolder(data.get(), name.c_str(), ignored);
    if (dir.ok()) (void)::fchmod(dir.get(), kFolderMode);
    return dataDir / name;
  };
  for (int n = 1; n < 1000; ++n) {
    const std::string name = n == 1 ? base : base + "-" + std::to_string(n);
    struct stat st {};
    if (::fstatat(data.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) continue;
    // renameat2 with RENAME_NOREPLACE: nothing that appears meanwhile is replaced.
    if (::renameat2(data.get(), kRecoveryFolder, data.get(), name.c_str(), RENAME_NOREPLACE) != 0) {
      if (errno == EEXIST) continue;
      if (errno == EINVAL || errno == ENOSYS) {
        if (::renameat(data.get(), kRecoveryFolder, data.get(), name.c_str()) == 0)
          return keep(name);
      }
      reason = SystemReason(errno);
      return std::nullopt;
    }
    return keep(name);
  }
  reason = "同じ名前のフォルダが多すぎます";
  return std::nullopt;
}

bool RemoveRecoveryCopy(const fs::path& dataDir, std::string& reason) {
  std::string problem;
  Fd data = OpenDataFolder(dataDir, problem);
  if (!data.ok()) {
    reason = problem;
    return false;
  }
  return RemoveEntry(data.get(), kRecoveryFolder, reason);
}

}  // namespace kelvora
