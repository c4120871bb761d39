// Which data folder a run of the desktop program uses, decided before the
// start-up (the folder lock, the data files) begins.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "store/data_files.h"

namespace kelvora {

// What the choice is made from.
struct DataFolderPlaces {
  // --data-dir DIR, when given.
  std::optional<std::filesystem::path> commandLine;
  // The folder of the program.
  std::filesystem::path programDir;
  // True for a program installed with its shared files
  // (<programDir>/../share/kelvora): it never creates Data beside itself,
  // even when it could (root and /usr/bin).
  bool installed = false;
  // The user's own data folder, $XDG_DATA_HOME (see UserDataHome).
  std::filesystem::path userDataHome;
  // The sample data copied into a new user data folder (may not exist).
  std::filesystem::path samples;
};

struct DataFolderChoice {
  enum class Kind {
    CommandLine,    // --data-dir DIR
    BesideProgram,  // Data beside the program (the build folder, a copied folder)
    UserFolder      // $XDG_DATA_HOME/kelvora/Data
  };
  std::filesystem::path dir;
  Kind kind = Kind::CommandLine;
  // This run made the user data folder (its first start): the user is told
  // once where the data are kept.
  bool createdUserFolder = false;
  // Sample files copied into the new user data folder.
  int samplesCopied = 0;
  // Problems while making the user data folder (the data files report the
  // folder itself when it cannot be made).
  FileMessages messages;
};

// In this order: --data-dir DIR; else Data beside the program when that folder
// exists or (for a program that is not installed) can be created there; else
// <userDataHome>/kelvora/Data, which is made on the first start with the
// sample files copied in. The new folder is filled under a temporary name and
// renamed into place, so two programs started at once for the first time
// cannot fill it twice or see it half-filled.
DataFolderChoice ChooseDataFolder(const DataFolderPlaces& places);

// $XDG_DATA_HOME when it is set to an absolute path, else $HOME/.local/share
// (the home folder of the user database when HOME is not set). The arguments
// are the two variables' values (nullptr when unset).
std::filesystem::path UserDataHome(const char* xdgDataHome, const char* home);

// The places of this program: its folder, whether it is an installed one, the
// user's data home from the environment, the installed sample data.
DataFolderPlaces PlacesOfProgram(const std::filesystem::path& programDir);

// What the user is told after the first start made the user data folder:
// where the data are kept (and any problem). Empty when there is nothing to
// say.
std::string DataFolderNote(const DataFolderChoice& choice);

}  // namespace kelvora
