// The data grid of the incubation, soil temperature and field screens: the
// grid control MSFlexGrid1, its floating cell editor Text_Edit and the editing
// machinery they share (typing, Enter and arrow moves, Delete, cut, copy,
// paste, select-all, the right-click menu and the "編集" menu).
#pragma once

#include <QLineEdit>
#include <QString>
#include <QWidget>

#include "screens/flex_grid.h"
#include "screens/paste_block.h"

class QAction;
class QMenu;

namespace kelvora {

// Block text as put on the clipboard: CR LF between rows, which editors and
// spreadsheets on every platform read as rows. The grid's own block text keeps
// CR alone.
QString ClipboardRows(const QString& block);

class Dialogs;

class DataGrid : public QWidget {
  Q_OBJECT

 public:
  explicit DataGrid(Dialogs& dialogs, QWidget* parent = nullptr);

  FlexGrid* const MSFlexGrid1;
  QLineEdit* const Text_Edit;

  // The "編集" menu: shown in the screen's menu bar and popped up over the
  // grid and the cell editor. Its shortcuts work while the focus is on the
  // grid or the editor.
  QMenu* const Edit;
  QAction* const Edit_Cut;
  QAction* const Edit_Copy;
  QAction* const Edit_Paste;
  QAction* const Edit_Select_All;
  // "ファイルから読込": added by EnableFileLoading.
  QAction* Edit_Load_File = nullptr;

  // While off, entering and leaving cells neither moves nor commits the
  // editor. Screens turn it off while their code reloads the grid.
  bool EditLink = false;
  // The block text most recently cut or copied from this grid.
  QString LastCopyText;

  // A right click selects a cell only from this row and column on (0 on the
  // incubation and soil temperature screens, 1 on the field screen).
  void SetFirstPointedCell(int first) { firstPointedCell_ = first; }

  // Handlers of the grid and the editor (also called by the screens).
  void MSFlexGrid1_EnterCell();
  void MSFlexGrid1_LeaveCell();
  void MSFlexGrid1_KeyPress(QKeyEvent* event);
  void MSFlexGrid1_KeyDown(QKeyEvent* event);
  void MSFlexGrid1_GotFocus();
  void MSFlexGrid1_MouseDown(Qt::MouseButton button);
  // True when the key was a cell move (it is then not passed to the editor).
  bool Text_Edit_KeyDown(QKeyEvent* event);
  void Text_Edit_MouseDown(Qt::MouseButton button);
  void Edit_Cut_Click();
  void Edit_Copy_Click();
  void Edit_Paste_Click();
  void Edit_Select_All_Click();

  // Lets the user load a CSV or TSV file into the grid: "ファイルから読込" in
  // the "編集" menu and a file dropped on the grid.
  void EnableFileLoading();
  void Edit_Load_File_Click();
  // Pastes the file's table at cell (0, 0), as if its text had been pasted
  // there from the clipboard (a comma-separated file with its commas turned
  // into TABs). A file that cannot be read is refused with a message.
  void LoadFile(const QString& path);
  // The paste step at the current cell with this text (Edit_Paste_Click with
  // the clipboard's text).
  void PasteText(const QString& text);

  // Rows and columns of a text to be pasted into this grid.
  PasteBlock CountPasteBlock(const QString& text) const;

  // Writes the editor's text into the current cell (the leave-cell step, run
  // by the screens' apply operations).
  void CommitEditor();
  // Makes a cell current with a one-cell selection (row first, then column).
  void SelectCell(int row, int col);
  // True between a typed character on the grid and the next enter-cell step.
  bool Editing() const { return editing_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void StartEditing(const QString& text);
  void PlaceEditor();
  void EmptySelection();

  Dialogs& dialogs_;
  int firstPointedCell_ = 0;
  bool editing_ = false;
};

}  // namespace kelvora
