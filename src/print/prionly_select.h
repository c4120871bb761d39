// "プリンターの選択": chooses the current printer before a screen prints its
// window image. There is no cancel button: the caller prints afterwards in
// any case, and closing the window another way keeps the current printer.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <vector>

#include "print/printers.h"

namespace kelvora {

class Dialogs;

class PriOnly_Select : public QDialog {
  Q_OBJECT

 public:
  explicit PriOnly_Select(PrintState& printing, QWidget* parent = nullptr);

  QLabel* const Label1;         // "プリンターを選択して下さい"
  QListWidget* const List2;     // the printers, then "PDFファイルに保存"
  QPushButton* const Command1;  // "印刷"

  void Command1_Click();

 private:
  PrintState& printing_;
  std::vector<PrinterEntry> printers_;
};

// Runs the window modally over `owner`.
void RunPriOnlySelect(PrintState& printing, Dialogs& dialogs, QWidget* owner);

// The window image of a screen on the current printer, A4 landscape, after
// the printer choice, on a white background. `prepare` readies the screen for
// its picture (buttons hidden) and `restore` undoes that; the picture is
// taken between the two. False when nothing was printed.
bool PrintScreenImage(PrintState& printing, Dialogs& dialogs, QWidget* screen, const QString& title,
                      const std::function<void()>& prepare, const std::function<void()>& restore);

}  // namespace kelvora
