#include "store/data_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <system_error>

#include "store/record_line.h"

namespace kelvora {
namespace fs = std::filesystem;

namespace {

std::string Reason(const std::error_code& ec) { return ec.message(); }
std::string ErrnoReason(int e) { return std::strerror(e); }

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

bool ReadWhole(const fs::path& path, std::string& bytes, std::string& reason) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    reason = ErrnoReason(errno);
    return false;
  }
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) {
    reason = ErrnoReason(errno);
    return false;
  }
  bytes = ss.str();
  return true;
}

// Copies `from` to `to` through a temporary file, replacing `to`.
bool CopyAtomically(const fs::path& from, const fs::path& to, std::string& reason) {
  std::string bytes;
  if (!ReadWhole(from, bytes, reason)) return false;
  return WriteFileAtomically(to, bytes, reason);
}

// Reads the records of a file's bytes into the table (at most 32767). Returns
// the number read; badLine is the first record line that could not be read
// (0 when all were read) and badReason why.
template <typename R>
size_t FillTable(Table<R>& table, const std::string& bytes, int& badLine, std::string& badReason) {
  ReadResult read = ReadRecordLines(bytes, RecordFieldKinds<R>());
  size_t usable = std::min(read.records.size(), static_cast<size_t>(kMaxRecords));
  for (size_t i = 0; i < usable; ++i) table.Append(FromFields<R>(read.records[i]));
  badLine = read.ok ? 0 : read.badLine;
  badReason = read.reason;
  if (usable < read.records.size()) {
    badLine = kMaxRecords + 1;
    badReason = "データの件数が上限（32767件）を超えています";
  }
  return usable;
}

template <typename R>
void LoadOne(Table<R>& table, const fs::path& dir, const char* name, const std::string& stamp,
             FileMessages& messages) {
  table.Clear();
  fs::path path = dir / name;
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    std::string reason;
    if (!WriteFileAtomically(path, std::string(), reason)) {
      messages.push_back("データファイル「" + path.string() +
                         "」を作成できませんでした。\n理由: " + reason);
      return;
    }
  }
  std::string bytes, reason;
  if (!ReadWhole(path, bytes, reason)) {
    messages.push_back("データファイル「" + path.string() +
                       "」を読み込めませんでした。\n理由: " + reason);
    return;  // no .bak renewal: the old copy is all that is left
  }
  int badLine = 0;
  std::string badReason;
  const size_t usable = FillTable(table, bytes, badLine, badReason);
  if (badLine != 0) {
    fs::path aside = dir / (std::string(name) + ".unreadable-" + stamp);
    std::string copyReason;
    std::string m = "データファイル「" + path.string() + "」の" + std::to_string(badLine) +
                    "行目を読み込めませんでした（" + badReason + "）。\n" + "それより前の" +
                    std::to_string(usable) + "件のデータを読み込みました。\n";
    if (CopyAtomically(path, aside, copyReason)) {
      m += "元のファイルは「" + aside.string() + "」として残してあります。";
    } else {
      m += "元のファイルの控え「" + aside.string() + "」を作成できませんでした（" + copyReason +
           "）。\n元のファイルを別の場所にコピーしてから、データを保存して下さい。";
    }
    messages.push_back(m);
  }
  fs::path bak = dir / BakName(name);
  std::string bakReason;
  if (!CopyAtomically(path, bak, bakReason)) {
    messages.push_back("バックアップファイル「" + bak.string() +
                       "」を作成できませんでした。\n理由: " + bakReason);
  }
}

template <typename R>
void SaveOne(const Table<R>& table, const fs::path& dir, const char* name, FileMessages& messages) {
  fs::path path = dir / name;
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

bool WriteFileAtomically(const fs::path& path, const std::string& bytes, std::string& reason) {
  fs::path tmp = path;
  tmp += ".tmp" + std::to_string(::getpid());
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    reason = ErrnoReason(errno);
    return false;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      reason = ErrnoReason(errno);
      ::close(fd);
      ::unlink(tmp.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    reason = ErrnoReason(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    reason = ErrnoReason(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

FileMessages LoadDataFiles(hensuu& store, const fs::path& dataDir, const std::string& stampIn) {
  FileMessages messages;
  std::string stamp = stampIn.empty() ? NowStamp() : stampIn;
  store.Reset();
  if (EnsureFolder(dataDir, messages)) {
    LoadOne(store.BaiyoTable, dataDir, kBaiyoFile, stamp, messages);
    store.BaiyoCurrent = store.BaiyoCount() > 0 ? store.BaiyoCount() : 1;
    LoadOne(store.ParaTable, dataDir, kParaFile, stamp, messages);
    LoadOne(store.TionTable, dataDir, kTionFile, stamp, messages);
    LoadOne(store.SuiteiTable, dataDir, kSuiteiFile, stamp, messages);
    LoadOne(store.HojyoTable, dataDir, kHojyoFile, stamp, messages);
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
  if (!ReadWhole(path, bytes, reason)) {
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
  return messages;
}

FileMessages SaveDataFiles(const hensuu& store, const fs::path& dataDir) {
  FileMessages messages;
  if (!EnsureFolder(dataDir, messages)) return messages;
  SaveOne(store.BaiyoTable, dataDir, kBaiyoFile, messages);
  SaveOne(store.ParaTable, dataDir, kParaFile, messages);
  SaveOne(store.TionTable, dataDir, kTionFile, messages);
  SaveOne(store.SuiteiTable, dataDir, kSuiteiFile, messages);
  SaveOne(store.HojyoTable, dataDir, kHojyoFile, messages);
  return messages;
}

namespace {
template <typename R>
FileMessages SaveFile(const Table<R>& table, const fs::path& dataDir, const char* name) {
  FileMessages messages;
  if (EnsureFolder(dataDir, messages)) SaveOne(table, dataDir, name, messages);
  return messages;
}
}  // namespace

FileMessages SaveBaiyoFile(const hensuu& store, const fs::path& dataDir) {
  return SaveFile(store.BaiyoTable, dataDir, kBaiyoFile);
}

FileMessages SaveTionFile(const hensuu& store, const fs::path& dataDir) {
  return SaveFile(store.TionTable, dataDir, kTionFile);
}

FileMessages SaveHojyoFile(const hensuu& store, const fs::path& dataDir) {
  return SaveFile(store.HojyoTable, dataDir, kHojyoFile);
}

}  // namespace kelvora
