#include "store/data_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <vector>

namespace kelvora {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDataFolderName = "Data";

// Makes <base>/Data with the sample files in it: filled under a temporary
// name, then renamed into place.
DataFolderChoice MakeUserFolder(const fs::path& userDataHome, const fs::path& samples) {
  DataFolderChoice choice;
  choice.kind = DataFolderChoice::Kind::UserFolder;
  const fs::path base = userDataHome / "kelvora";
  choice.dir = base / kDataFolderName;
  std::error_code ec;
  if (fs::is_directory(choice.dir, ec)) return choice;

  // A data home made here is the user's alone (XDG Base Directory).
  const bool homeExisted = fs::exists(userDataHome, ec);
  fs::create_directories(base, ec);
  if (ec) return choice;  // the data files say that the folder cannot be made
  if (!homeExisted) fs::permissions(userDataHome, fs::perms::owner_all, ec);

  // A name of this call alone (process and call number).
  static std::atomic<int> calls{0};
  const fs::path fresh = base / (std::string(kDataFolderName) + ".new-" +
                                 std::to_string(::getpid()) + "-" + std::to_string(++calls));
  fs::remove_all(fresh, ec);
  if (!fs::create_directory(fresh, ec)) return choice;

  std::vector<fs::path> files;
  for (fs::directory_iterator it(samples, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file()) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& f : files) {
    std::error_code copyError;
    if (fs::copy_file(f, fresh / f.filename(), copyError)) {
      ++choice.samplesCopied;
    } else {
      choice.messages.push_back("サンプルデータ「" + f.string() +
                                "」をコピーできませんでした。\n理由: " + copyError.message());
    }
  }

  fs::rename(fresh, choice.dir, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove_all(fresh, ignored);
    // Another program started at the same moment made it first.
    if (fs::is_directory(choice.dir, ignored)) {
      choice.samplesCopied = 0;
      choice.messages.clear();
    }
    return choice;
  }
  choice.createdUserFolder = true;
  return choice;
}

}  // namespace

DataFolderChoice ChooseDataFolder(const DataFolderPlaces& places) {
  if (places.commandLine) {
    DataFolderChoice choice;
    choice.dir = *places.commandLine;
    choice.kind = DataFolderChoice::Kind::CommandLine;
    return choice;
  }
  const fs::path beside = places.programDir / kDataFolderName;
  std::error_code ec;
  if (fs::is_directory(beside, ec) ||
      (!places.installed && fs::create_directory(beside, ec) && !ec)) {
    DataFolderChoice choice;
    choice.dir = beside;
    choice.kind = DataFolderChoice::Kind::BesideProgram;
    return choice;
  }
  return MakeUserFolder(places.userDataHome, places.samples);
}

fs::path UserDataHome(const char* xdgDataHome, const char* home) {
  if (xdgDataHome && *xdgDataHome && fs::path(xdgDataHome).is_absolute()) return xdgDataHome;
  std::string homeDir = home ? home : "";
  if (homeDir.empty()) {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) homeDir = pw->pw_dir;
  }
  return fs::path(homeDir) / ".local" / "share";
}

DataFolderPlaces PlacesOfProgram(const fs::path& programDir) {
  DataFolderPlaces places;
  places.programDir = programDir;
  const fs::path shared = (programDir / ".." / "share" / "kelvora").lexically_normal();
  std::error_code ec;
  places.installed = fs::is_directory(shared, ec);
  places.userDataHome = UserDataHome(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
  places.samples = shared / "examples" / kDataFolderName;
  return places;
}

std::string DataFolderNote(const DataFolderChoice& choice) {
  std::string note;
  if (choice.createdUserFolder) {
    note = "データフォルダを作成しました。データはこのフォルダに保存されます。\n\n" +
           choice.dir.string() + "\n\n";
    note += choice.samplesCopied > 0 ? "サンプルデータを入れてあります。"
                                     : "サンプルデータは見つからなかったため、空のフォルダです。";
    note += "\n「ヘルプ」の「データフォルダを開く」でこのフォルダを開けます。";
  }
  for (const std::string& m : choice.messages) {
    if (!note.empty()) note += "\n\n";
    note += m;
  }
  return note;
}

}  // namespace kelvora
