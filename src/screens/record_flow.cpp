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
      binding_(std::move(binding)),
      mirror_(list_, ListMirror::Source{binding_.count, binding_.generation, binding_.key,
                                        binding_.indexOf,
                                        [this](int16_t i) { return Q(binding_.name(i)); }}) {
  list_.onMouseDown = [this] { ListMouseDown(); };
  list_.onKeyDown = [this](int key) { return ListKeyDown(key); };
}

void RecordFlow::FillList() { mirror_.Fill(); }

void RecordFlow::Follow() {
  mirror_.Follow();
  if (shownKey_ == 0) {
    // A record not stored yet: it will be appended.
    Current() = NewRecordIndex(Count());
    SelectListEntry(-1);
    return;
  }
  const int16_t at = binding_.indexOf(shownKey_);
  if (at > 0) {
    Current() = at;
    SelectListEntry(at - 1);
  } else {
    // Removed meanwhile: ApplyRecord asks before storing it anew.
    Current() = NewRecordIndex(Count());
    SelectListEntry(-1);
  }
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
  // The undo history belongs to the record: showing another one (not the
  // same one again after it was stored) begins a new history.
  const uint64_t key = binding_.key(Current());
  if (key != shownKey_) grid_.ClearHistory();
  shownKey_ = key;
  RecordModeButtons();
}

void RecordFlow::NewRecord() {
  shownKey_ = 0;
  nameBox_.clear();
  binding_.blank();
  FlexGrid* g = grid_.MSFlexGrid1;
  for (size_t c = 0; c < options_.headerTexts.size(); ++c) {
    g->SetTextMatrix(0, static_cast<int>(c), options_.headerTexts[c]);
  }
  grid_.SelectCell(1, 1);
  grid_.Text_Edit->clear();
  grid_.ClearHistory();
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
  // Whatever moved the current index meanwhile, the screen is stored into the
  // record it shows.
  Follow();
  FlexGrid* g = grid_.MSFlexGrid1;
  if (!options_.storeEmptyFirstRow && g->TextMatrix(1, 0).isEmpty() &&
      g->TextMatrix(1, 1).isEmpty()) {
    return true;
  }
  Dialogs& dialogs = screen_.GetDialogs();
  if (ShownRecordGone()) {
    if (!dialogs.YesNo(&screen_, kTitleCaution,
                       QStringLiteral("表示中のデータ「%1」は削除されています。\n"
                                      "画面の内容を新しいデータとして追加しますか")
                           .arg(nameBox_.text()))) {
      // The screen follows the table: nothing of it is stored.
      if (Count() > 0) {
        Current() = Count();
        ShowRecord();
      } else {
        Current() = 1;
        NewRecord();
      }
      return true;
    }
    shownKey_ = 0;
  }
  binding_.cleanTable();

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
    mirror_.Appended(Current());
  } else {
    binding_.store(Current(), name, gridText);
    if (QListWidgetItem* item = list_.item(Current() - 1)) item->setText(Q(name));
    mirror_.Replaced();
  }
  shownKey_ = binding_.key(Current());
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
  Follow();
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
  // The dialog offers the shown record, not the one another screen moved to.
  Follow();
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
  const uint64_t shown = shownKey_;
  runDialog();
  // The list follows the table, whatever the dialog deleted.
  FillList();
  const int16_t still = shown != 0 ? binding_.indexOf(shown) : 0;
  if (!options_.applyBeforeDeletion && (shown == 0 || still > 0)) {
    // The record on the screen was not deleted: it stays, with what was typed
    // into it and not applied yet (a new record included), at its new place.
    Follow();
  } else if (Count() > 0) {
    // The shown record at its new place, or the one at the deleted one's.
    Current() = still > 0 ? still : std::clamp<int16_t>(Current(), 1, Count());
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
  // The record the user pressed, as the list named it.
  const QList<QListWidgetItem*> pressed = list_.selectedItems();
  const uint64_t pressedKey = pressed.isEmpty() ? 0 : mirror_.KeyAt(list_.row(pressed.front()));
  Reload reload(grid_);
  if (!ApplyRecord()) {
    SelectListEntry(Current() - 1);
    return;
  }
  if (Count() == 0) return;
  int16_t target = Count();  // a press below the entries takes the last one
  if (pressedKey != 0) {
    target = binding_.indexOf(pressedKey);
    // A record removed meanwhile: the screen stays on its own record.
    if (target == 0) target = std::clamp<int16_t>(Current(), 1, Count());
  }
  Current() = target;
  ShowRecord();
}

bool RecordFlow::ListKeyDown(int key) {
  if (key == Qt::Key_Up || key == Qt::Key_Down) Follow();
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
