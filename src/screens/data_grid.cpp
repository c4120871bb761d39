#include "screens/data_grid.h"

#include <QAction>
#include <QClipboard>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "print/remembered_folder.h"
#include "screens/dialogs.h"
#include "store/temperature_file.h"

namespace kelvora {

namespace {

// The one local file among dropped URLs; empty unless there is exactly one.
QString DroppedFile(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1) return QString();
  const QUrl url = mime->urls().front();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

QAction* AddEditAction(QMenu* menu, const QString& text, QKeyCombination key) {
  QAction* a = menu->addAction(text);
  a->setShortcut(QKeySequence(key));
  a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  return a;
}

}  // namespace

QString ClipboardRows(const QString& block) {
  QString out = block;
  out.replace(QStringLiteral("\r"), QStringLiteral("\r\n"));
  return out;
}

DataGrid::DataGrid(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent),
      MSFlexGrid1(new FlexGrid(this)),
      Text_Edit(new QLineEdit(MSFlexGrid1->viewport())),
      Edit(new QMenu(QStringLiteral("編集"), this)),
      Edit_Cut(AddEditAction(Edit, QStringLiteral("切り取り"), Qt::CTRL | Qt::Key_X)),
      Edit_Copy(AddEditAction(Edit, QStringLiteral("コピー"), Qt::CTRL | Qt::Key_C)),
      Edit_Paste(AddEditAction(Edit, QStringLiteral("貼り付け"), Qt::CTRL | Qt::Key_V)),
      Edit_Select_All(AddEditAction(Edit, QStringLiteral("全てを選択"), Qt::CTRL | Qt::Key_A)),
      Edit_Undo(AddEditAction(Edit, QStringLiteral("元に戻す"), Qt::CTRL | Qt::Key_Z)),
      Edit_Redo(AddEditAction(Edit, QStringLiteral("やり直し"), Qt::CTRL | Qt::Key_Y)),
      History(new QUndoStack(this)),
      dialogs_(dialogs) {
  MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
  Text_Edit->setObjectName(QStringLiteral("Text_Edit"));
  Edit->setObjectName(QStringLiteral("Edit"));
  // Undo and redo come first in the menu, as in other programs.
  Edit->insertAction(Edit_Cut, Edit_Undo);
  Edit->insertAction(Edit_Cut, Edit_Redo);
  Edit->insertSeparator(Edit_Cut);
  Edit_Redo->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  History->setUndoLimit(kHistorySteps);
  auto nameSteps = [this] {
    Edit_Undo->setEnabled(History->canUndo());
    Edit_Undo->setText(History->canUndo()
                           ? QStringLiteral("元に戻す（%1）").arg(History->undoText())
                           : QStringLiteral("元に戻す"));
    Edit_Redo->setEnabled(History->canRedo());
    Edit_Redo->setText(History->canRedo()
                           ? QStringLiteral("やり直し（%1）").arg(History->redoText())
                           : QStringLiteral("やり直し"));
  };
  nameSteps();
  connect(History, &QUndoStack::indexChanged, this, nameSteps);
  connect(History, &QUndoStack::canUndoChanged, this, nameSteps);
  connect(History, &QUndoStack::canRedoChanged, this, nameSteps);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(MSFlexGrid1);

  // The shortcuts of the menu belong to this grid: they work while the focus
  // is on the grid or its editor, and do not clash with other screens' grids.
  addActions(Edit->actions());

  Text_Edit->hide();
  Text_Edit->setFrame(false);
  Text_Edit->setContextMenuPolicy(Qt::NoContextMenu);
  Text_Edit->setInputMethodHints(Qt::ImhPreferNumbers | Qt::ImhPreferLatin |
                                 Qt::ImhNoPredictiveText);
  Text_Edit->setStyleSheet(
      QStringLiteral("QLineEdit { border: 2px solid #1f5fbf; background: white; padding: 0px; }"));
  Text_Edit->installEventFilter(this);

  connect(MSFlexGrid1, &FlexGrid::EnterCell, this, &DataGrid::MSFlexGrid1_EnterCell);
  connect(MSFlexGrid1, &FlexGrid::LeaveCell, this, &DataGrid::MSFlexGrid1_LeaveCell);
  connect(MSFlexGrid1, &FlexGrid::KeyPress, this, &DataGrid::MSFlexGrid1_KeyPress);
  connect(MSFlexGrid1, &FlexGrid::KeyDown, this, &DataGrid::MSFlexGrid1_KeyDown);
  connect(MSFlexGrid1, &FlexGrid::GotFocus, this, &DataGrid::MSFlexGrid1_GotFocus);
  connect(MSFlexGrid1, &FlexGrid::MouseDown, this, &DataGrid::MSFlexGrid1_MouseDown);
  connect(MSFlexGrid1, &FlexGrid::DoubleClicked, this,
          [this] { StartEditing(MSFlexGrid1->Text()); });
  connect(MSFlexGrid1, &FlexGrid::Scrolled, this, [this] { PlaceEditor(); });

  connect(Edit_Cut, &QAction::triggered, this, &DataGrid::Edit_Cut_Click);
  connect(Edit_Copy, &QAction::triggered, this, &DataGrid::Edit_Copy_Click);
  connect(Edit_Paste, &QAction::triggered, this, &DataGrid::Edit_Paste_Click);
  connect(Edit_Select_All, &QAction::triggered, this, &DataGrid::Edit_Select_All_Click);
  connect(Edit_Undo, &QAction::triggered, this, &DataGrid::Edit_Undo_Click);
  connect(Edit_Redo, &QAction::triggered, this, &DataGrid::Edit_Redo_Click);
}

// The history, cleared as it goes, no longer names steps in the menu gone
// before it.
DataGrid::~DataGrid() { QObject::disconnect(History, nullptr, this, nullptr); }

// --- enter and leave ----------------------------------------------------------

void DataGrid::MSFlexGrid1_EnterCell() {
  if (!EditLink) return;
  Text_Edit->clear();
  Text_Edit->hide();
  editing_ = false;
  PlaceEditor();
  Text_Edit->setText(MSFlexGrid1->Text());
}

void DataGrid::MSFlexGrid1_LeaveCell() {
  if (!EditLink) return;
  CommitEditor();
}

void DataGrid::CommitEditor() {
  FlexGrid* g = MSFlexGrid1;
  if (g->Rows() == 0 || g->Cols() == 0) return;
  const std::string before = g->Cells().Cell(g->Row(), g->Col());
  g->SetText(QString());
  g->SetText(Text_Edit->text());
  // The typing of a cell, from entering it to leaving it, is one step.
  const std::string& after = g->Cells().Cell(g->Row(), g->Col());
  if (after != before && stepDepth_ == 0) {
    GridChange change;
    change.rowsBefore = change.rowsAfter = g->Rows();
    change.cells.push_back({g->Row(), g->Col(), before, after});
    Push(QStringLiteral("入力"), std::move(change));
  }
}

void DataGrid::SelectCell(int row, int col) {
  MSFlexGrid1->SetRow(row);
  MSFlexGrid1->SetCol(col);
}

void DataGrid::PlaceEditor() {
  FlexGrid* g = MSFlexGrid1;
  if (g->Rows() == 0 || g->Cols() == 0) return;
  Text_Edit->setGeometry(g->CellRect(g->Row(), g->Col()));
  Text_Edit->setAlignment(g->ColAlignment(g->Col()));
  // While the user types, the editor follows its cell when the grid scrolls
  // and is out of sight while the cell is.
  if (editing_) Text_Edit->setVisible(g->IsCellVisible(g->Row(), g->Col()));
}

void DataGrid::StartEditing(const QString& text) {
  if (MSFlexGrid1->Rows() == 0 || MSFlexGrid1->Cols() == 0) return;
  editing_ = true;
  MSFlexGrid1->EnsureVisible(MSFlexGrid1->Row(), MSFlexGrid1->Col());
  Text_Edit->setText(text);
  Text_Edit->setCursorPosition(static_cast<int>(text.size()));
  PlaceEditor();
  Text_Edit->show();
  Text_Edit->setFocus(Qt::OtherFocusReason);
}

// --- keys and mouse on the grid -------------------------------------------------

void DataGrid::MSFlexGrid1_KeyPress(QKeyEvent* event) {
  FlexGrid* g = MSFlexGrid1;
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (g->Row() + 1 < g->Rows()) g->SetRow(g->Row() + 1);
    return;
  }
  if (event->key() == Qt::Key_Backspace) {
    StartEditing(QString());
    return;
  }
  const QString text = event->text();
  if (text.isEmpty() || !text.front().isPrint()) return;
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return;
  // The typed character replaces the cell's content, as in a spreadsheet.
  StartEditing(text);
}

void DataGrid::MSFlexGrid1_KeyDown(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete) {
    Step step(*this, QStringLiteral("削除"));
    EmptySelection();
    Text_Edit->clear();
  }
}

void DataGrid::MSFlexGrid1_GotFocus() {
  // Keys typed on the grid arrive as plain digits and signs: the grid takes
  // no input method, and an open composition is dropped.
  if (QInputMethod* im = QGuiApplication::inputMethod()) {
    im->reset();
    im->hide();
  }
}

void DataGrid::MSFlexGrid1_MouseDown(Qt::MouseButton button) {
  if (button != Qt::RightButton) return;
  FlexGrid* g = MSFlexGrid1;
  const int mouseRow = g->MouseRow();
  const int mouseCol = g->MouseCol();
  const bool onCell = mouseRow >= firstPointedCell_ && mouseCol >= firstPointedCell_;
  if (!g->SingleCellSelected()) {
    const bool outside =
        mouseCol < std::min(g->Col(), g->ColSel()) || mouseRow < std::min(g->Row(), g->RowSel()) ||
        mouseCol > std::max(g->Col(), g->ColSel()) || mouseRow > std::max(g->Row(), g->RowSel());
    if (!outside) {
      dialogs_.Popup(*Edit, QCursor::pos());
      return;
    }
  }
  if (!onCell) return;
  g->SetRow(mouseRow);
  g->SetCol(mouseCol);
  dialogs_.Popup(*Edit, QCursor::pos());
}

// --- the editor -------------------------------------------------------------------

bool DataGrid::Text_Edit_KeyDown(QKeyEvent* event) {
  FlexGrid* g = MSFlexGrid1;
  // Ctrl+Z while typing takes the typing back (also when nothing was done
  // before it); the text box's own undo is never used.
  if (event->matches(QKeySequence::Undo)) {
    Edit_Undo_Click();
    return true;
  }
  if (event->matches(QKeySequence::Redo)) {
    Edit_Redo_Click();
    return true;
  }
  switch (event->key()) {
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (g->Row() + 1 < g->Rows()) g->SetRow(g->Row() + 1);
      break;
    case Qt::Key_Up:
      if (g->Row() - 1 >= 1) g->SetRow(g->Row() - 1);
      break;
    case Qt::Key_Right:
      if (g->Col() + 1 < g->Cols()) g->SetCol(g->Col() + 1);
      break;
    case Qt::Key_Left:
      if (g->Col() - 1 >= 1) g->SetCol(g->Col() - 1);
      break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      // As in a spreadsheet: the typed text goes into its cell and the next
      // cell of the row (the previous one with Shift) becomes current.
      if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
      g->TabMove(event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier));
      break;
    case Qt::Key_Escape:
      // Abandons the typing: the cell keeps its text.
      Text_Edit->setText(g->Text());
      Text_Edit->hide();
      editing_ = false;
      break;
    default:
      return false;
  }
  g->setFocus(Qt::OtherFocusReason);
  return true;
}

void DataGrid::Text_Edit_MouseDown(Qt::MouseButton button) {
  if (button != Qt::RightButton) return;
  // The editor's own text-box menu is never shown; the grid's menu is.
  dialogs_.Popup(*Edit, QCursor::pos());
}

bool DataGrid::eventFilter(QObject* watched, QEvent* event) {
  if (Edit_Load_File != nullptr && watched == MSFlexGrid1->viewport()) {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!DroppedFile(drag->mimeData()).isEmpty()) {
          drag->acceptProposedAction();
        } else {
          drag->ignore();
        }
        return true;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = DroppedFile(drop->mimeData());
        if (path.isEmpty()) {
          drop->ignore();
          return true;
        }
        drop->acceptProposedAction();
        RememberFolder(FileKind::GridFile, path);
        LoadFile(path);
        return true;
      }
      default:
        break;
    }
  }
  if (watched == Text_Edit) {
    switch (event->type()) {
      case QEvent::KeyPress:
        return Text_Edit_KeyDown(static_cast<QKeyEvent*>(event));
      case QEvent::ShortcutOverride: {
        // The grid's Ctrl+X/C/V/A win over the text box's own.
        auto* key = static_cast<QKeyEvent*>(event);
        for (QAction* a : Edit->actions()) {
          for (const QKeySequence& shortcut : a->shortcuts()) {
            if (!shortcut.isEmpty() && key->keyCombination() == shortcut[0]) {
              event->ignore();
              return true;
            }
          }
        }
        break;
      }
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
          Text_Edit_MouseDown(Qt::RightButton);
          return true;
        }
        break;
      }
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// --- the "編集" menu ---------------------------------------------------------------

void DataGrid::EmptySelection() {
  MSFlexGrid1->SetFillStyle(FlexGrid::Fill::Repeat);
  MSFlexGrid1->SetText(QString());
  MSFlexGrid1->SetFillStyle(FlexGrid::Fill::Single);
}

void DataGrid::Edit_Cut_Click() {
  const QString s = ClipboardRows(MSFlexGrid1->Clip());
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(s);
  {
    Step step(*this, QStringLiteral("切り取り"));
    EmptySelection();
  }
  Text_Edit->clear();
  LastCopyText = s;
}

void DataGrid::Edit_Copy_Click() {
  const QString s = ClipboardRows(MSFlexGrid1->Clip());
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(s);
  LastCopyText = s;
}

PasteBlock DataGrid::CountPasteBlock(const QString& text) const {
  return kelvora::CountPasteBlock(text.toStdString(), LastCopyText.toStdString());
}

void DataGrid::Edit_Paste_Click() { PasteText(QGuiApplication::clipboard()->text()); }

bool DataGrid::PasteFits(const PasteBlock& block, int row, int col) {
  FlexGrid* g = MSFlexGrid1;
  if (col + block.cols > g->Cols() || row + block.rows > g->Rows()) {
    dialogs_.Message(this, kTitleWarning, QStringLiteral("貼り付け先が範囲外です"),
                     Dialogs::Icon::Warning);
    return false;
  }
  return true;
}

void DataGrid::PasteText(const QString& text) {
  const PasteBlock block = CountPasteBlock(text);
  FlexGrid* g = MSFlexGrid1;
  if (!PasteFits(block, g->Row(), g->Col())) return;
  Step step(*this, QStringLiteral("貼り付け"));
  g->SetRowSel(g->Row() + block.rows - 1);
  g->SetColSel(g->Col() + block.cols - 1);
  g->SetClip(QString::fromStdString(ClipboardToGridText(text.toStdString())));
  Text_Edit->setText(g->Text());
}

void DataGrid::Edit_Select_All_Click() {
  FlexGrid* g = MSFlexGrid1;
  g->SetRow(0);
  g->SetCol(0);
  g->SetRowSel(g->Rows() - 1);
  g->SetColSel(g->Cols() - 1);
}

// --- files -----------------------------------------------------------------------------

void DataGrid::EnableFileLoading() {
  if (Edit_Load_File != nullptr) return;
  Edit->addSeparator();
  Edit_Load_File = Edit->addAction(QStringLiteral("ファイルから読込"));
  connect(Edit_Load_File, &QAction::triggered, this, &DataGrid::Edit_Load_File_Click);
  MSFlexGrid1->viewport()->setAcceptDrops(true);
  MSFlexGrid1->viewport()->installEventFilter(this);
}

void DataGrid::Edit_Load_File_Click() {
  const QString path =
      AskOpenFile(dialogs_, this, FileKind::GridFile, QStringLiteral("ファイルから読込"),
                  QStringLiteral("CSV・TSVファイル (*.csv *.tsv *.txt);;すべてのファイル (*)"));
  if (!path.isEmpty()) LoadFile(path);
}

void DataGrid::LoadFile(const QString& path) {
  const TextFileRead read =
      ReadTextFile(std::filesystem::path(QFile::encodeName(path).toStdString()));
  if (!read.file) {
    dialogs_.Message(this, kTitleCaution, QString::fromStdString(read.error),
                     Dialogs::Icon::Warning);
    return;
  }
  const QString text = QString::fromStdString(GridPasteText(read.file->text));
  // Nothing changes when the table does not fit.
  if (!PasteFits(CountPasteBlock(text), 0, 0)) return;
  if (HoldsData() && !dialogs_.YesNo(this, kTitleCaution,
                                     QStringLiteral("表の内容をファイルの内容で置き換えますか"))) {
    return;
  }
  // The block goes where a paste at the grid's first cell would put it; the
  // cell being typed is committed (a step of its own) before the read.
  SelectCell(0, 0);
  Step step(*this, QStringLiteral("ファイルから読込"));
  FlexGrid* g = MSFlexGrid1;
  GridTable cells = g->Cells();
  for (int r = g->FixedRows(); r < cells.Rows(); ++r) {
    for (int c = g->FixedCols(); c < cells.Cols(); ++c) cells.Cell(r, c).clear();
  }
  g->SetCells(cells);
  PasteText(text);
}

bool DataGrid::HoldsData() const {
  const GridTable& cells = MSFlexGrid1->Cells();
  for (int r = std::max(MSFlexGrid1->FixedRows(), 1); r < cells.Rows(); ++r) {
    for (int c = MSFlexGrid1->FixedCols(); c < cells.Cols(); ++c) {
      if (!cells.Cell(r, c).empty()) return true;
    }
  }
  return false;
}

// --- undo and redo -----------------------------------------------------------------

DataGrid::Step::Step(DataGrid& grid, const QString& name)
    : grid_(grid), name_(name), outer_(grid.stepDepth_++ == 0) {
  if (outer_) before_ = grid.MSFlexGrid1->Cells();
}

DataGrid::Step::~Step() {
  --grid_.stepDepth_;
  if (outer_) grid_.Push(name_, DiffGrid(before_, grid_.MSFlexGrid1->Cells()));
}

void DataGrid::Push(const QString& name, GridChange change) {
  if (change.Empty()) return;
  History->push(new GridStep(name, std::move(change), [this](const GridChange& c, bool forward) {
    ApplyChange(c, forward);
  }));
}

void DataGrid::ClearHistory() { History->clear(); }

void DataGrid::Edit_Undo_Click() {
  // What is being typed is a step of its own: undo takes it back first.
  if (editing_ && EditLink) CommitEditor();
  History->undo();
}

void DataGrid::Edit_Redo_Click() {
  if (editing_ && EditLink) CommitEditor();
  History->redo();
}

void DataGrid::ApplyChange(const GridChange& change, bool forward) {
  FlexGrid* g = MSFlexGrid1;
  const bool link = EditLink;
  const bool editorHadFocus = Text_Edit->hasFocus();
  EditLink = false;
  g->SetRows(forward ? change.rowsAfter : change.rowsBefore);
  int top = INT_MAX, left = INT_MAX, bottom = -1, right = -1;
  for (const GridChange::Cell& c : change.cells) {
    if (c.row >= g->Rows() || c.col >= g->Cols()) continue;
    g->SetTextMatrix(c.row, c.col, QString::fromStdString(forward ? c.after : c.before));
    top = std::min(top, c.row);
    left = std::min(left, c.col);
    bottom = std::max(bottom, c.row);
    right = std::max(right, c.col);
  }
  // The cells the step changed are selected, the current cell outside the
  // header rows and columns where the grid has room for it.
  if (bottom >= 0) {
    const int row = std::min(std::max(top, g->FixedRows()), g->Rows() - 1);
    const int col = std::min(std::max(left, g->FixedCols()), g->Cols() - 1);
    SelectCell(row, col);
    g->SetRowSel(std::max(bottom, row));
    g->SetColSel(std::max(right, col));
    g->EnsureVisible(row, col);
  }
  EditLink = link;
  if (link) {
    MSFlexGrid1_EnterCell();
  } else {
    Text_Edit->setText(g->Text());
  }
  if (editorHadFocus) g->setFocus(Qt::OtherFocusReason);
}

}  // namespace kelvora
