// Every message box, modal dialog and pop-up menu of the screens goes through
// this one interface, so that tests can answer them without a person.
#pragma once

#include <QString>

class QAction;
class QDialog;
class QMenu;
class QPoint;
class QWidget;

namespace kelvora {

// Titles of the program's message boxes.
inline const QString kTitleCaution = QStringLiteral("注意");
inline const QString kTitleWarning = QStringLiteral("警告");
inline const QString kTitleFileSave = QStringLiteral("ファイル保存");

class Dialogs {
 public:
  enum class Icon { None, Information, Warning, Critical };

  virtual ~Dialogs() = default;

  // A message with an OK button.
  virtual void Message(QWidget* parent, const QString& title, const QString& text,
                       Icon icon = Icon::Information) = 0;
  // A question with yes and no buttons and the question icon; true for yes.
  virtual bool YesNo(QWidget* parent, const QString& title, const QString& text) = 0;
  // Runs a modal dialog and returns its result (QDialog::Accepted ...).
  virtual int Exec(QDialog& dialog) = 0;
  // Pops up a menu at a global position and waits for the choice; the chosen
  // action has been triggered when this returns (nullptr when none was chosen).
  virtual QAction* Popup(QMenu& menu, const QPoint& globalPos) = 0;
  // Asks for the name of a file to write, starting at `suggestedPath`; an
  // existing file is replaced only after the user confirmed it. Empty when
  // the user cancelled.
  virtual QString SaveFileName(QWidget* parent, const QString& caption,
                               const QString& suggestedPath, const QString& filter) = 0;
  // Asks for an existing file to read. Empty when the user cancelled.
  virtual QString OpenFileName(QWidget* parent, const QString& caption, const QString& folder,
                               const QString& filter) = 0;
  // Asks for a folder, starting at `folder`. Empty when the user cancelled
  // (and where a dialog seam offers no folder question).
  virtual QString FolderName(QWidget* parent, const QString& caption, const QString& folder) {
    (void)parent;
    (void)caption;
    (void)folder;
    return QString();
  }
};

// The real message boxes, dialogs and menus.
class QtDialogs : public Dialogs {
 public:
  void Message(QWidget* parent, const QString& title, const QString& text,
               Icon icon = Icon::Information) override;
  bool YesNo(QWidget* parent, const QString& title, const QString& text) override;
  int Exec(QDialog& dialog) override;
  QAction* Popup(QMenu& menu, const QPoint& globalPos) override;
  QString SaveFileName(QWidget* parent, const QString& caption, const QString& suggestedPath,
                       const QString& filter) override;
  QString OpenFileName(QWidget* parent, const QString& caption, const QString& folder,
                       const QString& filter) override;
  QString FolderName(QWidget* parent, const QString& caption, const QString& folder) override;
};

}  // namespace kelvora
