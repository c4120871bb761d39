// The flow every data screen runs over its record table: one record on the
// screen at a time, ShowRecord, NewRecord,
// ApplyRecord, the list that mirrors the table with its presses and arrow
// keys, the record and new mode buttons, "① 新規作成", "適用", "キャンセル",
// "ファイル保存", "データ削除" and the apply on closing. A screen hands over
// its table, its current index and the functions that put a record on the
// screen and take it back; the few ways in which the screens differ are
// options.
//
// The screen keeps track of the record it shows by the record's key, not by
// the table's current index, which other screens move: before every action
// the list is rebuilt if the table changed elsewhere and the current index is
// set to the shown record again, so that the screen writes only into the
// record it shows. A shown record removed meanwhile is stored as a new record
// after a question, never into a neighbour.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "screens/list_mirror.h"
#include "store/data_files.h"
#include "store/hensuu.h"

class QLineEdit;
class QWidget;

namespace kelvora {

class ChildScreen;
class DataGrid;
class ListBox;

class RecordFlow {
 public:
  // What the flow needs of the table.
  struct Binding {
    std::function<int16_t()> count;
    int16_t* current = nullptr;                // BaiyoCurrent, TionCurrent, HojyoCurrent
    std::function<uint64_t()> generation;      // of the table
    std::function<uint64_t(int16_t)> key;      // of record i
    std::function<int16_t(uint64_t)> indexOf;  // of the record with a key, 0 when gone
    std::function<std::string(int16_t)> name;  // list text of record i
    std::function<void(int16_t)> show;         // record i onto the screen, grid included
    std::function<void()> blank;               // the screen for a new record, grid included
    std::function<void()> cleanTable;          // CleanTable of the screen
    // The screen into record i (count + 1 appends) with the name and the
    // grid text of the whole grid; false when the table is full.
    std::function<bool(int16_t, const std::string& name, const std::string& gridText)> store;
    // Writes the screen's data file.
    std::function<FileMessages()> saveFile;
  };

  // Where the grid's current cell goes after "ファイル保存" has applied.
  enum class SaveSelection {
    FirstCell,  // cell (0, 0) with a one-cell selection
    AsApplied,  // the whole grid selected from (0, 0), as ApplyRecord leaves it
  };

  struct Options {
    // Name of a new record whose name box is empty ("新規土壌", "新規温度").
    QString newRecordName;
    // "データ削除" applies the screen first (else pending edits are dropped
    // when the screen shows the table again after the dialog).
    bool applyBeforeDeletion = true;
    SaveSelection saveSelection = SaveSelection::FirstCell;
    // When false, ApplyRecord stores nothing while cells (1, 0) and (1, 1)
    // are both empty, so an untouched new record is never stored.
    bool storeEmptyFirstRow = true;
    // DeleteKind of the table (3 incubation, 6 soil temperature, 4 field).
    int16_t deleteKind = 0;
    // Written into row 0 by NewRecord, from column 0 on.
    std::vector<QString> headerTexts;
    // Shown in record mode and hidden in new mode, and the other way round.
    std::vector<QWidget*> recordModeWidgets;
    std::vector<QWidget*> newModeWidgets;
  };

  RecordFlow(ChildScreen& screen, DataGrid& grid, ListBox& list, QLineEdit& nameBox, bool& deleting,
             Options options, Binding binding);

  // The table's record list into the list box, nothing selected.
  void FillList();
  void ShowRecord();
  void NewRecord();
  // Copies the screen into the current record (appending a new one). False,
  // after a message, when the screen cannot be stored (a text the data files
  // cannot hold, or a full table); the screen then stays as it is.
  bool ApplyRecord();

  // The common buttons and events.
  void NewButton();     // "① 新規作成" / "新規入力"
  void ApplyButton();   // "適用"
  void CancelButton();  // "キャンセル"
  void SaveButton();    // "ファイル保存"
  // "データ削除": `runDialog` runs the deletion dialog modally.
  void DeleteButton(const std::function<void()>& runDialog);
  void ListMouseDown();
  bool ListKeyDown(int key);
  // The close handler's part: apply the screen. False keeps the screen open.
  bool Close();
  // Brings the screen in step with its table (the list, and the current
  // index naming the shown record); run when the window is activated.
  void Follow();

  bool NewMode() const { return newMode_; }
  void SelectListEntry(int index);

  // Turns EditLink off for its life, then on again with the enter-cell step.
  class Reload {
   public:
    explicit Reload(DataGrid& grid);
    ~Reload();
    Reload(const Reload&) = delete;
    Reload& operator=(const Reload&) = delete;

   private:
    DataGrid& grid_;
  };

 private:
  int16_t Count() const { return binding_.count(); }
  int16_t& Current() { return *binding_.current; }
  void RecordModeButtons();
  void NewModeButtons();
  // True when the shown record was stored once and is no longer in the table.
  bool ShownRecordGone() const { return shownKey_ != 0 && binding_.indexOf(shownKey_) == 0; }

  ChildScreen& screen_;
  DataGrid& grid_;
  ListBox& list_;
  QLineEdit& nameBox_;
  bool& deleting_;
  Options options_;
  Binding binding_;
  ListMirror mirror_;
  bool newMode_ = false;
  // The key of the record on the screen; 0 while it is not stored yet.
  uint64_t shownKey_ = 0;
};

// Fills the table part of a binding: count, current index, generation, keys.
template <typename R>
void BindTable(RecordFlow::Binding& b, Table<R>& table, int16_t& current) {
  Table<R>* t = &table;
  b.count = [t] { return t->Count(); };
  b.current = &current;
  b.generation = [t] { return t->Generation(); };
  b.key = [t](int16_t i) { return t->KeyOf(i); };
  b.indexOf = [t](uint64_t k) { return t->IndexOf(k); };
}

// Writes a record's grid text into the whole grid, nothing of the record
// shown before remaining, and makes cell (1, 1) current with the editor
// holding its text.
void ShowGridText(DataGrid& grid, const std::string& gridText);

}  // namespace kelvora
