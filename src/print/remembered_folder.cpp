#include "print/remembered_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <map>

#include "screens/dialogs.h"

namespace kelvora {

namespace {

struct FolderMemory {
  QString settingsFile;                 // empty: the run's memory only
  std::map<FileKind, QString> folders;  // the run's memory
};

FolderMemory& Memory() {
  static FolderMemory memory;
  return memory;
}

QString Key(FileKind kind) {
  switch (kind) {
    case FileKind::Export:
      return QStringLiteral("folders/export");
    case FileKind::Picture:
      return QStringLiteral("folders/picture");
    case FileKind::Pdf:
      return QStringLiteral("folders/pdf");
    case FileKind::TemperatureFile:
      return QStringLiteral("folders/temperature");
    case FileKind::GridFile:
      return QStringLiteral("folders/grid");
  }
  return QStringLiteral("folders/other");
}

}  // namespace

QString DocumentsFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
  return folder;
}

QString RememberedFolder(FileKind kind) {
  const FolderMemory& m = Memory();
  QString folder;
  if (m.settingsFile.isEmpty()) {
    const auto it = m.folders.find(kind);
    if (it != m.folders.end()) folder = it->second;
  } else {
    folder = QSettings(m.settingsFile, QSettings::IniFormat).value(Key(kind)).toString();
  }
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
  return DocumentsFolder();
}

void RememberFolder(FileKind kind, const QString& chosenFile) {
  if (chosenFile.isEmpty()) return;
  const QString folder = QFileInfo(chosenFile).absolutePath();
  FolderMemory& m = Memory();
  if (m.settingsFile.isEmpty()) {
    m.folders[kind] = folder;
  } else {
    // Written at once: a later crash does not lose it. A settings file that
    // cannot be written only means the folder is not remembered.
    QSettings settings(m.settingsFile, QSettings::IniFormat);
    settings.setValue(Key(kind), folder);
    settings.sync();
  }
}

void KeepRememberedFoldersIn(const QString& settingsFile) {
  FolderMemory& m = Memory();
  m.settingsFile = settingsFile;
  m.folders.clear();
}

QString AskSaveFile(Dialogs& dialogs, QWidget* parent, FileKind kind, const QString& caption,
                    const QString& suggestedName, const QString& filter) {
  const QString path = dialogs.SaveFileName(
      parent, caption, QDir(RememberedFolder(kind)).filePath(suggestedName), filter);
  RememberFolder(kind, path);
  return path;
}

QString AskOpenFile(Dialogs& dialogs, QWidget* parent, FileKind kind, const QString& caption,
                    const QString& filter) {
  const QString path = dialogs.OpenFileName(parent, caption, RememberedFolder(kind), filter);
  RememberFolder(kind, path);
  return path;
}

}  // namespace kelvora
