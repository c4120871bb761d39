// The data store: the six record tables, their counts and current indexes,
// and the few program-wide values the screens share. One instance lives for
// the whole run; tests make their own.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "store/records.h"

namespace kelvora {

// Counts are signed 16-bit, so a table holds at most this many records.
constexpr int16_t kMaxRecords = 32767;

// The current index of a new record being entered into a table of `count`
// records: count + 1, or 0 when the table is full (no new record can be
// stored then, and 32768 does not fit a 16-bit index).
constexpr int16_t NewRecordIndex(int count) {
  return count < kMaxRecords ? static_cast<int16_t>(count + 1) : int16_t{0};
}

// Shown when an append is refused because the table is full.
std::string TableFullMessage();

// A number that changes with every change of a table: a table's generation is
// taken from one counter shared by all tables, so two tables (or two copies of
// one) with the same generation hold the same records.
uint64_t NextTableGeneration();

// A number never handed out before in this run: the key of an appended record.
uint64_t NextRecordKey();

// A record table indexed from 1 to Count(), in file order.
//
// Records are shared, never changed in place: copying a table copies only
// pointers, so a copy can be taken often and handed to another thread while
// this one goes on changing the table. Every change goes through Append,
// Replace, Remove or Clear and gives the table a new Generation().
//
// Every record also carries a key: given when it is appended, kept when it is
// replaced, never given to another record. A screen names the record it shows
// by its key, so that records removed or added before it elsewhere do not make
// it show, or write into, a neighbour.
template <typename R>
class Table {
  using Row = std::shared_ptr<const R>;

 public:
  // The records in order, as a read-only sequence.
  class RowsView {
   public:
    class iterator {
     public:
      using iterator_category = std::random_access_iterator_tag;
      using value_type = R;
      using difference_type = std::ptrdiff_t;
      using pointer = const R*;
      using reference = const R&;
      iterator() = default;
      explicit iterator(typename std::vector<Row>::const_iterator it) : it_(it) {}
      const R& operator*() const { return **it_; }
      const R* operator->() const { return it_->get(); }
      iterator& operator++() {
        ++it_;
        return *this;
      }
      iterator operator++(int) { return iterator(it_++); }
      difference_type operator-(const iterator& o) const { return it_ - o.it_; }
      bool operator==(const iterator& o) const { return it_ == o.it_; }

     private:
      typename std::vector<Row>::const_iterator it_;
    };
    explicit RowsView(const std::vector<Row>& rows) : rows_(rows) {}
    size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    const R& operator[](size_t i) const { return *rows_[i]; }
    iterator begin() const { return iterator(rows_.begin()); }
    iterator end() const { return iterator(rows_.end()); }
    bool operator==(const RowsView& o) const {
      return std::equal(begin(), end(), o.begin(), o.end());
    }

   private:
    const std::vector<Row>& rows_;
  };

  int16_t Count() const { return static_cast<int16_t>(rows_.size()); }
  bool Empty() const { return rows_.empty(); }

  // Indexes are taken as int, so that a caller's count + 1 can never wrap
  // round to a valid-looking 16-bit index.
  const R& operator()(int i) const { return *rows_.at(CheckIndex(i)); }

  // Appends at the end; false (nothing appended) when the table is full.
  bool Append(R record) {
    if (rows_.size() >= static_cast<size_t>(kMaxRecords)) return false;
    rows_.push_back(std::make_shared<const R>(std::move(record)));
    keys_.push_back(NextRecordKey());
    Changed();
    return true;
  }
  // Puts `record` in place of record i.
  void Replace(int i, R record) {
    rows_.at(CheckIndex(i)) = std::make_shared<const R>(std::move(record));
    Changed();
  }
  // Removes record i; the records after it close up, keeping their order.
  void Remove(int i) {
    const size_t at = CheckIndex(i);
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(at));
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(at));
    Changed();
  }
  void Clear() {
    rows_.clear();
    keys_.clear();
    Changed();
  }

  RowsView Rows() const { return RowsView(rows_); }

  // Changes with every change of the records (see NextTableGeneration).
  uint64_t Generation() const { return generation_; }

  // The key of record i (see above).
  uint64_t KeyOf(int16_t i) const { return keys_.at(CheckIndex(i)); }
  // The index of the record with `key`; 0 when no record of the table has it
  // (it was removed, or never was in this table). Key 0 names no record.
  // Keys only ever grow as records are appended, and removals keep the
  // order, so the keys of a table are ascending: a binary search finds one
  // (a list of all 32 767 sets looks up every entry).
  int16_t IndexOf(uint64_t key) const {
    if (key == 0) return 0;
    const auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
    return it == keys_.end() || *it != key ? int16_t{0}
                                           : static_cast<int16_t>(it - keys_.begin() + 1);
  }

 private:
  size_t CheckIndex(int i) const {
    if (i < 1 || i > Count()) throw std::out_of_range("record index out of range");
    return static_cast<size_t>(i - 1);
  }
  void Changed() { generation_ = NextTableGeneration(); }

  std::vector<Row> rows_;
  std::vector<uint64_t> keys_;  // keys_[i] names rows_[i]
  uint64_t generation_ = NextTableGeneration();
};

class hensuu {
 public:
  Table<BaiyoRecord> BaiyoTable;
  Table<ParaRecord> ParaTable;
  Table<TionRecord> TionTable;
  Table<SuiteiRecord> SuiteiTable;
  Table<HojyoRecord> HojyoTable;
  Table<SekkeiRecord> SekkeiTable;

  int16_t BaiyoCount() const { return BaiyoTable.Count(); }
  int16_t ParaCount() const { return ParaTable.Count(); }
  int16_t TionCount() const { return TionTable.Count(); }
  int16_t SuiteiCount() const { return SuiteiTable.Count(); }
  int16_t HojyoCount() const { return HojyoTable.Count(); }
  int16_t SekkeiCount() const { return SekkeiTable.Count(); }

  // The record each screen shows; count + 1 while a new record is entered
  // (NewRecordIndex: 0 when the table is full, as 32768 is no 16-bit index).
  int16_t BaiyoCurrent = 0;
  int16_t ParaCurrent = 0;
  int16_t TionCurrent = 0;
  int16_t SuiteiCurrent = 0;
  int16_t HojyoCurrent = 0;
  int16_t SekkeiCurrent = 0;

  // Distance in twips from the main window's client corner to the most
  // recently opened child window: 0 ... 2500 in steps of 500.
  int16_t WindowCascadeOffset = 0;
  // Which table the deletion dialog works on (3 ... 7).
  int16_t DeleteKind = 0;
  // What the print selection prints (1 parameter sets, 2 estimations).
  int16_t PrintKind = 0;

  // Data files (by file name) that could not be read at start-up: no save in
  // this run replaces them, so their unread contents cannot be lost.
  std::set<std::string> FilesNotToSave;

  // Empties every table and resets every index (the state before loading).
  void Reset();

  // The generations of the six tables, in file order (Baiyo, Para, Tion,
  // Suitei, Hojyo, Sekkei): equal arrays mean equal tables.
  std::array<uint64_t, 6> Generations() const {
    return {BaiyoTable.Generation(),  ParaTable.Generation(),  TionTable.Generation(),
            SuiteiTable.Generation(), HojyoTable.Generation(), SekkeiTable.Generation()};
  }
};

}  // namespace kelvora
