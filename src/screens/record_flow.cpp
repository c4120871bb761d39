#include "screens/record_flow.h"

#include <QLineEdit>
#include <QStringList>
#include <algorithm>

#include "screens/child_screen.h"
#include "screens/controls.h"
#include "screens/data_grid.h"
#include "screens/dialogs.h"
#include "screens/qtext.h"
#include "store/cp932.h"

namespace kelvora {

RecordFlow::Reload::Reload(DataGrid& grid) : grid_(grid) { grid_.EditLink = false; }

RecordFlow::Reload::~Reload() {
  grid_.EditLink = true;
  grid_.MSFlexGrid1_EnterCell();
}

void ShowGridText(DataGrid& grid, const std::string& gridText) {
  FlexGrid* g = grid.MSFlexGrid1;
  g->ClearText();
  grid.Edit_Select_All_Click();
  g->SetClip(Q(gridText));
  grid.SelectCell(1, 1);
  grid.Text_Edit->setText(g->TextMatrix(1, 1));
}

RecordFlow::RecordFlow(ChildScreen& screen, DataGrid& grid, ListBox& list, QLineEdit& nameBox,
                       bool& deleting, Options options, Binding binding)
    : screen_(screen),
      grid_(grid),
      list_(list),
      nameBox_(nameBox),
      deleting_(deleting),
      options_(std::move(options)),
      binding_(std::move(binding)) {
  list_.onMouseDown = [this] { ListMouseDown(); };
  list_.onKeyDown = [this](int key) { return ListKeyDown(key); };
}

void RecordFlow::FillList() {
  list_.clear();
  // An int counter: a 16-bit one wraps after record 32767 and never ends.
  const int count = Count();
  for (int i = 1; i <= count; ++i) list_.addItem(Q(binding_.name(static_cast<int16_t>(i))));
}

void RecordFlow::SelectListEntry(int index) {
  if (index >= 0 && index < list_.count()) {
    list_.setCurrentRow(index);
    list_.scrollToItem(list_.item(index));
  } else {
    list_.clearSelection();
    list_.setCurrentRow(-1);
  }
}

void RecordFlow::ShowRecord() {
  if (Count() == 0) return;
  if (Current() < 1 || Current() > Count()) return;
  SelectListEntry(Current() - 1);
  binding_.show(Current());
  RecordModeButtons();
}

void RecordFlow::NewRecord() {
  nameBox_.clear();
  binding_.blank();
  FlexGrid* g = grid_.MSFlexGrid1;
  for (size_t c = 0; c < options_.headerTexts.size(); ++c) {
    g->SetTextMatrix(0, static_cast<int>(c), options_.headerTexts[c]);
  }
  grid_.SelectCell(1, 1);
  grid_.Text_Edit->clear();
  SelectListEntry(-1);
  NewModeButtons();
}

bool RecordFlow::ApplyRecord() {
  // The editor's text goes into its cell; moving the current cell below must
  // not commit it a second time over the cleaned cell.
  const bool link = grid_.EditLink;
  grid_.EditLink = false;
  struct Restore {
    DataGrid& grid;
    bool link;
    ~Restore() {
      if (link) {
        grid.EditLink = true;
        grid.MSFlexGrid1_EnterCell();
      }
    }
  } restore{grid_, link};

  grid_.CommitEditor();
  FlexGrid* g = grid_.MSFlexGrid1;
  if (!options_.storeEmptyFirstRow && g->TextMatrix(1, 0).isEmpty() &&
      g->TextMatrix(1, 1).isEmpty()) {
    return true;
  }
  binding_.cleanTable();

  Dialogs& dialogs = screen_.GetDialogs();
  const bool isNew = Current() > Count() || Current() < 1;
  // A double quote cannot be kept in the data files: it becomes "＂"; variants
  // such as 〜 become the form they read back as.
  std::string name = ToStoredForms(ReplaceQuotes(nameBox_.text().toStdString()));
  if (isNew && name.empty()) name = options_.newRecordName.toStdString();
  std::string bad;
  if (!CanStoreText(name, &bad)) {
    dialogs.Message(&screen_, kTitleCaution, Q(UnstorableTextMessage(name, bad)),
                    Dialogs::Icon::Warning);
    nameBox_.setFocus();
    return false;
  }
  GridTable cells = g->Cells();
  for (int r = 0; r < cells.Rows(); ++r) {
    for (int c = 0; c < cells.Cols(); ++c) {
      std::string& cell = cells.Cell(r, c);
      cell = ToStoredForms(ReplaceQuotes(cell));
      if (!CanStoreText(cell, &bad)) {
        dialogs.Message(&screen_, kTitleCaution, Q(UnstorableTextMessage(cell, bad)),
                        Dialogs::Icon::Warning);
        grid_.SelectCell(r, c);
        return false;
      }
    }
  }
  g->SetCells(cells);
  if (Q(name) != nameBox_.text()) nameBox_.setText(Q(name));

  grid_.Edit_Select_All_Click();
  const std::string gridText = g->Clip().toStdString();
  if (isNew) {
    if (Count() >= kMaxRecords ||
        !binding_.store(static_cast<int16_t>(Count() + 1), name, gridText)) {
      dialogs.Message(&screen_, kTitleCaution, Q(TableFullMessage()), Dialogs::Icon::Warning);
      return false;
    }
    list_.addItem(Q(name));
    Current() = Count();
  } else {
    binding_.store(Current(), name, gridText);
    if (QListWidgetItem* item = list_.item(Current() - 1)) item->setText(Q(name));
  }
  return true;
}

// --- buttons and events ----------------------------------------------------------------

void RecordFlow::NewButton() {
  Reload reload(grid_);
  if (!ApplyRecord()) return;
  if (Count() >= kMaxRecords) {
    // No room for a new record: the record just applied stays on the screen.
    screen_.GetDialogs().Message(&screen_, kTitleCaution, Q(TableFullMessage()),
                                 Dialogs::Icon::Warning);
    Current() = Count();
    ShowRecord();
    return;
  }
  Current() = NewRecordIndex(Count());
  NewRecord();
}

void RecordFlow::ApplyButton() {
  Reload reload(grid_);
  if (ApplyRecord()) ShowRecord();
}

void RecordFlow::CancelButton() {
  // With an empty table the new record stays on the screen as it is (what
  // the editor holds included), still to be appended as record 1.
  if (Count() == 0) return;
  Reload reload(grid_);
  Current() = Count();
  ShowRecord();
}

void RecordFlow::SaveButton() {
  Reload reload(grid_);
  if (!ApplyRecord()) return;
  if (options_.saveSelection == SaveSelection::FirstCell) grid_.SelectCell(0, 0);
  FileMessages messages = binding_.saveFile();
  SelectListEntry(Current() - 1);
  if (!messages.empty()) {
    QStringList lines;
    for (const std::string& m : messages) lines << Q(m);
    screen_.GetDialogs().Message(&screen_, kTitleCaution, lines.join(QStringLiteral("\n\n")),
                                 Dialogs::Icon::Warning);
  }
}

void RecordFlow::DeleteButton(const std::function<void()>& runDialog) {
  if (Count() == 0) {
    screen_.GetDialogs().Message(&screen_, kTitleCaution,
                                 QStringLiteral("削除するデータがありません"));
    return;
  }
  Reload reload(grid_);
  if (options_.applyBeforeDeletion && !ApplyRecord()) return;
  deleting_ = true;
  list_.ignorePresses = true;
  screen_.Store().DeleteKind = options_.deleteKind;
  runDialog();
  // The list follows the table, whatever the dialog deleted.
  FillList();
  if (Count() > 0) {
    Current() = std::clamp<int16_t>(Current(), 1, Count());
    ShowRecord();
    SelectListEntry(Current() - 1);
  } else {
    NewRecord();
    Current() = 1;
  }
  deleting_ = false;
  list_.ignorePresses = false;
}

void RecordFlow::ListMouseDown() {
  if (deleting_) return;
  Reload reload(grid_);
  if (!ApplyRecord()) {
    SelectListEntry(Current() - 1);
    return;
  }
  if (list_.selectedItems().isEmpty()) SelectListEntry(list_.count() - 1);
  const QList<QListWidgetItem*> selected = list_.selectedItems();
  if (selected.isEmpty()) return;
  Current() = static_cast<int16_t>(list_.row(selected.front()) + 1);
  ShowRecord();
}

bool RecordFlow::ListKeyDown(int key) {
  switch (key) {
    case Qt::Key_Up:
      if (Current() > 1) {
        Reload reload(grid_);
        if (ApplyRecord()) {
          --Current();
          ShowRecord();
        }
      }
      return true;
    case Qt::Key_Down:
      if (Current() < Count()) {
        Reload reload(grid_);
        if (ApplyRecord()) {
          ++Current();
          ShowRecord();
        }
      }
      return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      // The list's selection always names the record on the screen.
      return true;
    default:
      return false;
  }
}

bool RecordFlow::Close() { return ApplyRecord(); }

void RecordFlow::RecordModeButtons() {
  newMode_ = false;
  for (QWidget* w : options_.recordModeWidgets) w->setVisible(true);
  for (QWidget* w : options_.newModeWidgets) w->setVisible(false);
}

void RecordFlow::NewModeButtons() {
  newMode_ = true;
  for (QWidget* w : options_.recordModeWidgets) w->setVisible(false);
  for (QWidget* w : options_.newModeWidgets) w->setVisible(true);
}

}  // namespace kelvora
