// The data folder of a start that cannot be made (a read-only home, a file in
// its place): the program does not go on with data it could never save. The
// user chooses another folder, or the program ends.
#pragma once

#include <filesystem>
#include <optional>

class QWidget;

namespace kelvora {

class Dialogs;

// `dir` when it is a folder or can be made; else, after saying why, the
// folder the user chooses instead (asked again while that cannot be used
// either). None when the user would rather end the program.
std::optional<std::filesystem::path> UsableDataFolder(Dialogs& dialogs,
                                                      const std::filesystem::path& dir,
                                                      QWidget* parent = nullptr);

}  // namespace kelvora
