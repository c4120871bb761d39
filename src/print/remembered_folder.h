// File dialogs that remember: each kind of file opens in the folder last used
// for it, remembered across starts, else the user's documents folder (else
// the home folder). Every open and save dialog of the program goes through
// AskSaveFile / AskOpenFile with its kind.
#pragma once

#include <QString>

class QWidget;

namespace kelvora {

class Dialogs;

enum class FileKind {
  Export,           // workbooks and CSV files of parameter sets, estimations, fits
  Picture,          // saved charts (PNG, SVG)
  Pdf,              // printing to a PDF file
  TemperatureFile,  // daily temperature files read into 地温入力
  GridFile,         // CSV and TSV files read into the incubation and field grids
};

// The user's documents folder, else the home folder.
QString DocumentsFolder();

// The folder the dialogs of this kind start in: the folder of the last file
// chosen for it while that folder still exists, else DocumentsFolder().
QString RememberedFolder(FileKind kind);

// Remembers the folder of a file chosen (or dropped) for this kind.
void RememberFolder(FileKind kind, const QString& chosenFile);

// Keeps the remembered folders in this settings file (INI), so that they
// last across starts; an empty name keeps them for the run only (the
// default, used by the tests). Either way what the run remembered so far is
// forgotten.
void KeepRememberedFoldersIn(const QString& settingsFile);

// The save dialog of a kind, starting at `suggestedName` in its remembered
// folder; the chosen file's folder is remembered. Empty when cancelled.
QString AskSaveFile(Dialogs& dialogs, QWidget* parent, FileKind kind, const QString& caption,
                    const QString& suggestedName, const QString& filter);

// The open dialog of a kind, in its remembered folder; the chosen file's
// folder is remembered. Empty when cancelled.
QString AskOpenFile(Dialogs& dialogs, QWidget* parent, FileKind kind, const QString& caption,
                    const QString& filter);

}  // namespace kelvora
