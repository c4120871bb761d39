// A list box that mirrors a record table entry for entry and remembers which
// record each entry names (its key), so that a list left behind by changes
// made elsewhere is rebuilt before it is used, and keeps the user's
// selection by record, not by position.
#pragma once

#include <QListWidget>
#include <QSignalBlocker>
#include <QString>
#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "store/hensuu.h"

namespace kelvora {

class ListMirror {
 public:
  // What the mirror needs of its table.
  struct Source {
    std::function<int16_t()> count;
    std::function<uint64_t()> generation;
    std::function<uint64_t(int16_t)> key;
    std::function<int16_t(uint64_t)> indexOf;
    std::function<QString(int16_t)> name;  // list text of record i
  };

  // A source over `table`; `name` gives the list text of a record.
  template <typename R, typename F>
  static Source Of(const Table<R>& table, F name) {
    const Table<R>* t = &table;
    return Source{[t] { return t->Count(); }, [t] { return t->Generation(); },
                  [t](int16_t i) { return t->KeyOf(i); }, [t](uint64_t k) { return t->IndexOf(k); },
                  [t, name](int16_t i) { return name((*t)(i)); }};
  }

  ListMirror(QListWidget& list, Source source) : list_(list), source_(std::move(source)) {}

  // The list filled from the table, nothing selected.
  void Fill() {
    const QSignalBlocker block(&list_);
    list_.clear();
    keys_.clear();
    const int n = source_.count();
    for (int i = 1; i <= n; ++i) {
      list_.addItem(source_.name(static_cast<int16_t>(i)));
      keys_.push_back(source_.key(static_cast<int16_t>(i)));
    }
    generation_ = source_.generation();
  }

  // Whether the table changed since the list was filled.
  bool Stale() const { return source_.generation() != generation_; }

  // Rebuilds a stale list, keeping the selected entries and the entry with
  // the cursor by record where the record is still in the table. No signal
  // of the list is sent. True when the list was rebuilt.
  bool Follow() {
    if (!Stale()) return false;
    std::set<uint64_t> selected;
    for (int r = 0; r < list_.count() && r < static_cast<int>(keys_.size()); ++r) {
      if (list_.item(r)->isSelected()) selected.insert(keys_[static_cast<size_t>(r)]);
    }
    const uint64_t cursor = KeyAt(list_.currentRow());
    Fill();
    const QSignalBlocker block(&list_);
    const int at = RowOf(cursor);
    if (at >= 0) list_.setCurrentRow(at, QItemSelectionModel::NoUpdate);
    for (int r = 0; r < list_.count(); ++r) {
      if (selected.count(keys_[static_cast<size_t>(r)])) list_.item(r)->setSelected(true);
    }
    return true;
  }

  // After this screen appended record `index` or replaced it: the list is in
  // step again (the entry's text is the caller's).
  void Appended(int16_t index) {
    keys_.push_back(source_.key(index));
    generation_ = source_.generation();
  }
  void Replaced() { generation_ = source_.generation(); }

  // The key of the record entry `row` names; 0 for no entry.
  uint64_t KeyAt(int row) const {
    return row >= 0 && row < static_cast<int>(keys_.size()) ? keys_[static_cast<size_t>(row)] : 0;
  }
  // The entry of the record with `key`; -1 when none.
  int RowOf(uint64_t key) const {
    if (key == 0) return -1;
    for (size_t r = 0; r < keys_.size(); ++r) {
      if (keys_[r] == key) return static_cast<int>(r);
    }
    return -1;
  }
  // The table index of the record entry `row` names, looked up now; 0 when
  // the record is no longer in the table.
  int16_t IndexAt(int row) const { return source_.indexOf(KeyAt(row)); }
  // The table indexes of the selected entries' records, in list order,
  // leaving out records no longer in the table.
  std::vector<int16_t> SelectedIndexes() const {
    std::vector<int16_t> out;
    for (int r = 0; r < list_.count(); ++r) {
      if (!list_.item(r)->isSelected()) continue;
      if (const int16_t i = IndexAt(r); i > 0) out.push_back(i);
    }
    return out;
  }

 private:
  QListWidget& list_;
  Source source_;
  std::vector<uint64_t> keys_;  // keys_[r] names the record of entry r
  uint64_t generation_ = 0;
};

}  // namespace kelvora
