// The program's help: the page KELVOHELP.html beside the program, shown in a
// help window from "ヘルプの表示" (and F1 on the child screens).
#pragma once

#include <QString>
#include <QWidget>

#include "screens/child_screen.h"

class QPushButton;
class QTextBrowser;

namespace kelvora {

// The help page: "KELVOHELP.html" in the program's folder, or in
// ../share/kelvora/help beside it for an installed program, unless a test has
// set another path.
QString HelpFilePath();
void SetHelpFilePath(const QString& path);

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* owner);
  QTextBrowser* const Browser;
  QPushButton* const Command1;  // "閉じる"; Escape does the same
  // Shows the help page from its beginning (the contents).
  void ShowContents() { ShowChapter(QString()); }
  // Shows the help page at a chapter (an anchor of the page); an empty
  // chapter means the contents.
  void ShowChapter(const QString& chapter);
};

// The chapter of the help page that explains a screen.
QString HelpChapter(Screen screen);
// The chapter about the main window.
inline constexpr const char* kMainHelpChapter = "main";

// Opens the help window owned by `owner` at a chapter (the contents when
// empty), or brings the one it already has to the front at that chapter.
HelpWindow* ShowHelp(QWidget* owner, const QString& chapter = QString());

}  // namespace kelvora
