// The program's help: the page KELVOHELP.html beside the program, shown in a
// help window from "ヘルプの表示" (and F1 on the child screens).
#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace kelvora {

// The help page: "KELVOHELP.html" in the program's folder, unless a test has
// set another path.
QString HelpFilePath();
void SetHelpFilePath(const QString& path);

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* owner);
  QTextBrowser* const Browser;
  // Shows the help page from its beginning (the contents).
  void ShowContents();
};

// Opens the help window owned by `owner` on the contents, or brings the one
// it already has to the front.
HelpWindow* ShowHelp(QWidget* owner);

}  // namespace kelvora
