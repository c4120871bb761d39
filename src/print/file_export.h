// Asking for the file an export writes and telling the user when it could not
// be written. The writing itself (a temporary file beside the target, renamed
// over it) is the exporter's; this only asks, checks the ending and reports.
#pragma once

#include <QString>
#include <filesystem>
#include <functional>
#include <string>

class QWidget;

namespace kelvora {

class Dialogs;

// The save dialog's types of a table export.
inline const QString kXlsxFilter = QStringLiteral("Excel ブック (*.xlsx)");
inline const QString kCsvFilter = QStringLiteral("CSV (*.csv)");

// The folder an export's save dialog starts in: the one last used for an
// export, else the user's documents, else the home folder.
QString ExportFolder();

// A file name made from a record's name: characters a file name cannot hold
// become "_", and an empty name becomes `fallback`.
QString FileNameFrom(const QString& name, const QString& fallback);

// The path of a QString as the file system names it.
std::filesystem::path FilePath(const QString& path);

// Asks for the file (`filter`: the dialog's types separated by ";;", the
// first is the default) starting at `suggestedName` in ExportFolder(), and
// runs `write` on it. `write` returns an empty text on success, else the
// message for the user, which is shown (title "注意"). False when the user
// cancelled or the file was not written.
bool ExportToFile(QWidget* parent, Dialogs& dialogs, const QString& caption,
                  const QString& suggestedName, const QString& filter,
                  const std::function<std::string(const std::filesystem::path&)>& write);

}  // namespace kelvora
