// The data grid of the incubation, soil temperature and field screens: the
// grid control MSFlexGrid1, its floating cell editor Text_Edit and the editing
// machinery they share (typing, Enter and arrow moves, Delete, cut, copy,
// paste, select-all, the right-click menu and the "編集" menu), with the undo
// history of the record being edited.
#pragma once

#include <QLineEdit>
#include <QString>
#include <QWidget>

#include "screens/flex_grid.h"
#include "screens/grid_history.h"
#include "screens/paste_block.h"
#include "store/grid_text.h"

class QAction;
class QMenu;
class QUndoStack;

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
  ~DataGrid() override;

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
  // "元に戻す" (Ctrl+Z) and "やり直し" (Ctrl+Y, Ctrl+Shift+Z), first in the
  // menu, naming the step ("元に戻す（貼り付け）"); disabled when there is
  // nothing to undo or redo.
  QAction* const Edit_Undo;
  QAction* const Edit_Redo;
  // "ファイルから読込": added by EnableFileLoading.
  QAction* Edit_Load_File = nullptr;

  // The steps of the record being edited (at most kHistorySteps). The screens
  // clear it when they show another record or begin a new one.
  QUndoStack* const History;
  static constexpr int kHistorySteps = 100;
  void ClearHistory();
  void Edit_Undo_Click();
  void Edit_Redo_Click();

  // Makes what the grid's cells and rows change during its life one step of
  // the history, named `name`; nothing when they end as they began. The
  // screens use it for their own changes of the grid (a confirmed date range,
  // a temperature file).
  class Step {
   public:
    Step(DataGrid& grid, const QString& name);
    ~Step();
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

   private:
    DataGrid& grid_;
    QString name_;
    bool outer_;  // a step inside another one is part of it
    GridTable before_;
  };

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
  // Replaces the grid's data with the file's table: every data cell (those
  // outside the fixed header rows and columns) is emptied, then the table is
  // pasted at cell (0, 0), as if its text had been pasted there from the
  // clipboard (a comma-separated file with its commas turned into TABs). When
  // the grid holds data, the user is asked first; a no reads nothing. A file
  // that cannot be read, or whose table does not fit the grid, is refused
  // with a message and the grid stays as it was. One step of the history.
  void LoadFile(const QString& path);
  // True when a cell below row 0 outside the fixed columns holds text (the
  // incubation grid's row 0, the temperatures, does not count: a new data
  // set has them).
  bool HoldsData() const;
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
  // Puts one side of a step into the grid and selects the cells it changed.
  void ApplyChange(const GridChange& change, bool forward);
  void Push(const QString& name, GridChange change);
  // True when the block fits from (row, col); else the paste's message.
  bool PasteFits(const PasteBlock& block, int row, int col);

  Dialogs& dialogs_;
  int firstPointedCell_ = 0;
  bool editing_ = false;
  int stepDepth_ = 0;
};

}  // namespace kelvora
