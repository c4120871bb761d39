#include "print/file_export.h"

#include <QDir>
#include <QFile>

#include "print/remembered_folder.h"
#include "screens/dialogs.h"

namespace kelvora {

QString ExportFolder() { return RememberedFolder(FileKind::Export); }

QString FileNameFrom(const QString& name, const QString& fallback) {
  QString out;
  for (const QChar c : name.trimmed()) {
    // Separators, characters other systems refuse in names, and controls.
    const bool bad = c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
                     c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('"') ||
                     c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('|') ||
                     c.unicode() < 0x20 || c.unicode() == 0x7f;
    out += bad ? QLatin1Char('_') : c;
  }
  // A name of dots alone would name a folder.
  if (out.isEmpty() || out.count(QLatin1Char('.')) == out.size()) return fallback;
  return out;
}

std::filesystem::path FilePath(const QString& path) {
  return std::filesystem::path(QFile::encodeName(path).toStdString());
}

bool ExportToFile(QWidget* parent, Dialogs& dialogs, const QString& caption,
                  const QString& suggestedName, const QString& filter,
                  const std::function<std::string(const std::filesystem::path&)>& write) {
  const QString path =
      AskSaveFile(dialogs, parent, FileKind::Export, caption, suggestedName, filter);
  if (path.isEmpty()) return false;
  const std::string failure = write(FilePath(path));
  if (failure.empty()) return true;
  dialogs.Message(parent, kTitleCaution, QString::fromStdString(failure), Dialogs::Icon::Warning);
  return false;
}

}  // namespace kelvora
