// The data store: the five record tables, their counts and current indexes,
// and the few program-wide values the screens share. One instance lives for
// the whole run; tests make their own.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "store/records.h"

namespace kelvora {

// Counts are signed 16-bit, so a table holds at most this many records.
constexpr int16_t kMaxRecords = 32767;

// Shown when an append is refused because the table is full.
std::string TableFullMessage();

// A record table indexed from 1 to Count(), in file order.
template <typename R>
class Table {
 public:
  int16_t Count() const { return static_cast<int16_t>(rows_.size()); }
  bool Empty() const { return rows_.empty(); }

  R& operator()(int16_t i) { return rows_.at(CheckIndex(i)); }
  const R& operator()(int16_t i) const { return rows_.at(CheckIndex(i)); }
  R& Last() { return rows_.back(); }

  // Appends at the end; false (nothing appended) when the table is full.
  bool Append(R record) {
    if (rows_.size() >= static_cast<size_t>(kMaxRecords)) return false;
    rows_.push_back(std::move(record));
    return true;
  }
  // Removes record i; the records after it close up, keeping their order.
  void Remove(int16_t i) { rows_.erase(rows_.begin() + CheckIndex(i)); }
  void Clear() { rows_.clear(); }

  const std::vector<R>& Rows() const { return rows_; }

 private:
  size_t CheckIndex(int16_t i) const {
    if (i < 1 || i > Count()) throw std::out_of_range("record index out of range");
    return static_cast<size_t>(i - 1);
  }
  std::vector<R> rows_;
};

class hensuu {
 public:
  Table<BaiyoRecord> BaiyoTable;
  Table<ParaRecord> ParaTable;
  Table<TionRecord> TionTable;
  Table<SuiteiRecord> SuiteiTable;
  Table<HojyoRecord> HojyoTable;

  int16_t BaiyoCount() const { return BaiyoTable.Count(); }
  int16_t ParaCount() const { return ParaTable.Count(); }
  int16_t TionCount() const { return TionTable.Count(); }
  int16_t SuiteiCount() const { return SuiteiTable.Count(); }
  int16_t HojyoCount() const { return HojyoTable.Count(); }

  // The record each screen shows; count + 1 while a new record is entered.
  int16_t BaiyoCurrent = 0;
  int16_t ParaCurrent = 0;
  int16_t TionCurrent = 0;
  int16_t SuiteiCurrent = 0;
  int16_t HojyoCurrent = 0;

  // Distance in twips from the main window's client corner to the most
  // recently opened child window: 0 ... 2500 in steps of 500.
  int16_t WindowCascadeOffset = 0;
  // Which table the deletion dialog works on (3 ... 7).
  int16_t DeleteKind = 0;
  // What the print selection prints (1 parameter sets, 2 estimations).
  int16_t PrintKind = 0;

  // Empties every table and resets every index (the state before loading).
  void Reset();
};

}  // namespace kelvora
