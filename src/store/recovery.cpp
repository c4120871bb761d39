#include "store/recovery.h"

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <system_error>

namespace kelvora {
namespace fs = std::filesystem;

namespace {

constexpr const char* kFileNames[5] = {kBaiyoFile, kParaFile, kTionFile, kSuiteiFile, kHojyoFile};

std::string LocalTime(std::time_t t, const char* format) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[40];
  std::strftime(buf, sizeof buf, format, &tm);
  return buf;
}

template <typename R>
void WriteTable(const std::optional<Table<R>>& table, const fs::path& dir, const char* name,
                const std::atomic<bool>* stop, RecoveryWriteResult& result) {
  if (!table || !result.messages.empty()) return;
  if (stop && stop->load()) {
    result.messages.push_back("復旧用の控えの書き込みを中止しました。");
    return;
  }
  const fs::path path = dir / name;
  std::string bytes, problem;
  if (!EncodeTable(*table, bytes, problem)) {
    result.messages.push_back("復旧用の控え「" + path.string() + "」を作成できませんでした。\n" +
                              problem);
    return;
  }
  std::string reason;
  if (!WriteFileAtomically(path, bytes, reason)) {
    result.messages.push_back("復旧用の控え「" + path.string() +
                              "」に書き込めませんでした。\n理由: " + reason);
  }
}

void WriteTables(const RecoverySnapshot& s, const fs::path& dir, const RunInfo& run,
                 const std::atomic<bool>* stop, RecoveryWriteResult& result) {
  WriteTable(s.baiyo, dir, kBaiyoFile, stop, result);
  WriteTable(s.para, dir, kParaFile, stop, result);
  WriteTable(s.tion, dir, kTionFile, stop, result);
  WriteTable(s.suitei, dir, kSuiteiFile, stop, result);
  WriteTable(s.hojyo, dir, kHojyoFile, stop, result);
  if (!result.messages.empty()) return;
  const std::string note =
      "Kelvora recovery copy (data not saved yet)\r\n"
      "written: " +
      LocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S") + "\r\n" +
      "pid: " + std::to_string(run.pid) + "\r\n" + "started: " + run.started + "\r\n";
  std::string reason;
  if (!WriteFileAtomically(dir / kRecoveryNote, note, reason)) {
    result.messages.push_back("復旧用の控え「" + (dir / kRecoveryNote).string() +
                              "」に書き込めませんでした。\n理由: " + reason);
  }
}

}  // namespace

RunInfo RunInfo::ThisRun() {
  RunInfo run;
  run.pid = static_cast<long>(::getpid());
  run.started = LocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S");
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
  std::error_code ec;
  if (!s.wholeFolder) {
    if (!fs::is_directory(folder, ec)) {
      result.folderMissing = true;
      result.messages.push_back("復旧用フォルダ「" + folder.string() + "」がなくなっています。");
      return result;
    }
    WriteTables(s, folder, run, stop, result);
    return result;
  }

  const fs::path tmp = dataDir / (std::string(kRecoveryFolder) + ".tmp" + std::to_string(run.pid));
  fs::remove_all(tmp, ec);
  if (!fs::create_directory(tmp, ec) || ec) {
    result.messages.push_back("復旧用フォルダ「" + tmp.string() +
                              "」を作成できませんでした。\n理由: " + ec.message());
    return result;
  }
  WriteTables(s, tmp, run, stop, result);
  if (result.messages.empty()) {
    // Only this run writes the copy (it holds the folder lock); a folder in
    // the way is one this run wrote and then lost track of, or one a user put
    // there: either way it is kept aside, never removed.
    if (fs::exists(folder, ec)) {
      std::string reason;
      if (!SetRecoveryCopyAside(dataDir, reason)) {
        result.messages.push_back("復旧用フォルダ「" + folder.string() +
                                  "」を移動できませんでした。\n理由: " + reason);
      }
    }
    if (result.messages.empty()) {
      fs::rename(tmp, folder, ec);
      if (ec) {
        result.messages.push_back("復旧用フォルダ「" + folder.string() +
                                  "」を作成できませんでした。\n理由: " + ec.message());
      }
    }
  }
  if (!result.messages.empty()) fs::remove_all(tmp, ec);
  return result;
}

// --- start-up and exit --------------------------------------------------------------------------

bool RecoveryCopyExists(const fs::path& dataDir) {
  std::error_code ec;
  return fs::is_directory(dataDir / kRecoveryFolder, ec);
}

FileMessages ReadRecoveryCopy(hensuu& store, const fs::path& dataDir) {
  const fs::path folder = dataDir / kRecoveryFolder;
  FileMessages messages;
  std::error_code ec;
  for (const char* name : kFileNames) {
    if (!fs::is_regular_file(folder / name, ec)) {
      messages.push_back("復旧用の控え「" + (folder / name).string() + "」がありません。");
    }
  }
  if (!messages.empty()) return messages;
  hensuu copy;
  messages = ReadDataFiles(copy, folder);
  if (!messages.empty()) return messages;
  store.BaiyoTable = copy.BaiyoTable;
  store.ParaTable = copy.ParaTable;
  store.TionTable = copy.TionTable;
  store.SuiteiTable = copy.SuiteiTable;
  store.HojyoTable = copy.HojyoTable;
  store.BaiyoCurrent = store.BaiyoCount() > 0 ? store.BaiyoCount() : 1;
  store.HojyoCurrent = store.HojyoCount() > 0 ? store.HojyoCount() : 1;
  return messages;
}

std::optional<fs::path> SetRecoveryCopyAside(const fs::path& dataDir, std::string& reason,
                                             const std::string& stampIn) {
  const fs::path folder = dataDir / kRecoveryFolder;
  std::string stamp = stampIn;
  if (stamp.empty()) {
    // When the copy was last written: its note, or the folder itself.
    struct stat st {};
    std::time_t when = std::time(nullptr);
    if (::stat((folder / kRecoveryNote).c_str(), &st) == 0 || ::stat(folder.c_str(), &st) == 0) {
      when = st.st_mtime;
    }
    stamp = LocalTime(when, "%Y%m%d-%H%M%S");
  }
  const std::string base = std::string(kRecoveryFolder) + "-" + stamp;
  std::error_code ec;
  for (int n = 1; n < 1000; ++n) {
    fs::path aside = dataDir / (n == 1 ? base : base + "-" + std::to_string(n));
    if (fs::exists(aside, ec) || fs::is_symlink(aside, ec)) continue;
    fs::rename(folder, aside, ec);
    if (ec) {
      reason = ec.message();
      return std::nullopt;
    }
    return aside;
  }
  reason = "同じ名前のフォルダが多すぎます";
  return std::nullopt;
}

bool RemoveRecoveryCopy(const fs::path& dataDir, std::string& reason) {
  std::error_code ec;
  fs::remove_all(dataDir / kRecoveryFolder, ec);
  if (ec) {
    reason = ec.message();
    return false;
  }
  return true;
}

}  // namespace kelvora
