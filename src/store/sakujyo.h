// Deletion of stored records: one operation per table, each removing the
// record at the table's current index, plus what the deletion dialog shows of
// each table. Only memory changes: the data files follow with the next save.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvora {

class hensuu;

// The tables the deletion dialog works on (the store's DeleteKind).
enum DeleteKinds : int16_t {
  kDeleteBaiyo = 3,
  kDeleteHojyo = 4,
  kDeletePara = 5,
  kDeleteTion = 6,
  kDeleteSuitei = 7,
  kDeleteSekkei = 8,  // the nitrogen supply plans
};

// Each removes record c = the table's current index (when 1 <= c <= count);
// the records after it move up one place. The current index then stays on c,
// or on the new count when that is smaller (0 for an empty table). They
// return the list position (c - 1) of the removed record, or -1 when the
// current index named no record.
int DeleteBaiyoRecord(hensuu& store);
int DeleteHojyoRecord(hensuu& store);
int DeleteParaRecord(hensuu& store);
int DeleteTionRecord(hensuu& store);
int DeleteSuiteiRecord(hensuu& store);
int DeleteSekkeiRecord(hensuu& store);
// DeleteTionRecord also keeps the plans' series numbers in step: a plan's
// series after the removed one moves up with it, and a plan whose series was
// removed is left without one (number 0), never with its neighbour.

// The operation of a kind; -1 for a kind outside 3 ... 8.
int DeleteRecordOfKind(hensuu& store, int16_t kind);

// Count and current index of a kind's table (0 and nullptr for another kind).
int16_t CountOfKind(const hensuu& store, int16_t kind);
int16_t* CurrentOfKind(hensuu& store, int16_t kind);

// The heading of the dialog for a kind, and one list entry per record (the
// name; "soil × site" for estimations). Empty for another kind.
std::string DeletionHeading(int16_t kind);
std::vector<std::string> DeletionEntries(const hensuu& store, int16_t kind);

}  // namespace kelvora
