// The dialog seam answered by the test: every message is recorded, questions
// take the answers queued by the test, pop-up menus are recorded and may be
// answered with one of their actions.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <deque>
#include <functional>
#include <vector>

#include "screens/dialogs.h"

namespace kelvora {

class ScriptedDialogs : public Dialogs {
 public:
  struct Shown {
    QString kind;  // "message", "question", "file", "open" or "folder"
    QString title;
    QString text;
  };

  std::vector<Shown> shown;
  std::deque<bool> answers;  // for YesNo, in order
  std::function<int(QDialog&)> onExec;
  std::function<QAction*(QMenu&)> onPopup;
  int popups = 0;
  std::deque<QString> fileNames;  // for SaveFileName, in order; empty text = cancelled
  QStringList suggestedPaths;     // what SaveFileName was asked with
  QStringList fileFilters;        // and the types it offered
  std::deque<QString> openNames;  // for OpenFileName, in order; empty text = cancelled
  QStringList openFolders;        // the folders OpenFileName started in

  void Message(QWidget*, const QString& title, const QString& text, Icon) override {
    shown.push_back({QStringLiteral("message"), title, text});
  }
  bool YesNo(QWidget*, const QString& title, const QString& text) override {
    shown.push_back({QStringLiteral("question"), title, text});
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected question: " << text.toStdString();
      return false;
    }
    bool a = answers.front();
    answers.pop_front();
    return a;
  }
  int Exec(QDialog& dialog) override {
    if (!onExec) {
      ADD_FAILURE() << "unexpected dialog: " << dialog.windowTitle().toStdString();
      return QDialog::Rejected;
    }
    return onExec(dialog);
  }
  QAction* Popup(QMenu& menu, const QPoint&) override {
    ++popups;
    QAction* chosen = onPopup ? onPopup(menu) : nullptr;
    if (chosen) chosen->trigger();
    return chosen;
  }

  QString SaveFileName(QWidget*, const QString& caption, const QString& suggestedPath,
                       const QString& filter) override {
    shown.push_back({QStringLiteral("file"), caption, suggestedPath});
    suggestedPaths << suggestedPath;
    fileFilters << filter;
    if (fileNames.empty()) {
      ADD_FAILURE() << "unexpected file name question: " << caption.toStdString();
      return {};
    }
    QString name = fileNames.front();
    fileNames.pop_front();
    return name;
  }

  QString OpenFileName(QWidget*, const QString& caption, const QString& folder,
                       const QString& filter) override {
    shown.push_back({QStringLiteral("open"), caption, filter});
    openFolders << folder;
    if (openNames.empty()) {
      ADD_FAILURE() << "unexpected file to open: " << caption.toStdString();
      return {};
    }
    QString name = openNames.front();
    openNames.pop_front();
    return name;
  }

  std::deque<QString> folderNames;  // for FolderName, in order; empty text = cancelled
  QString FolderName(QWidget*, const QString& caption, const QString& folder) override {
    shown.push_back({QStringLiteral("folder"), caption, folder});
    if (folderNames.empty()) {
      ADD_FAILURE() << "unexpected folder question: " << caption.toStdString();
      return {};
    }
    QString name = folderNames.front();
    folderNames.pop_front();
    return name;
  }

  // Texts of the messages shown so far.
  QStringList Texts() const {
    QStringList out;
    for (const Shown& s : shown) out << s.text;
    return out;
  }
};

}  // namespace kelvora
