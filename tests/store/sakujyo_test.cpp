// The record deletions: which record goes, where the current index ends, and
// that a current index naming no record deletes nothing.
#include "store/sakujyo.h"

#include <gtest/gtest.h>

#include "store/hensuu.h"

namespace kelvora {
namespace {

TEST(Sakujyo, RemovesTheCurrentRecordAndKeepsTheIndexOnARemainingOne) {
  hensuu store;
  for (const char* n : {"1", "2", "3"}) store.TionTable.Append(TionRecord{n, "年/月/日\t地温(℃)"});
  store.TionCurrent = 2;
  EXPECT_EQ(DeleteTionRecord(store), 1);
  ASSERT_EQ(store.TionCount(), 2);
  EXPECT_EQ(store.TionTable(2).SiteName, "3");
  EXPECT_EQ(store.TionCurrent, 2);  // the record that moved up
  EXPECT_EQ(DeleteRecordOfKind(store, kDeleteTion), 1);
  EXPECT_EQ(store.TionCurrent, 1);  // the new last record
  EXPECT_EQ(DeleteRecordOfKind(store, kDeleteTion), 0);
  EXPECT_EQ(store.TionCurrent, 0);
  EXPECT_EQ(store.TionCount(), 0);
}

TEST(Sakujyo, AnIndexOrKindNamingNoRecordDeletesNothing) {
  hensuu store;
  store.BaiyoTable.Append(BaiyoRecord{"A", "", false});
  store.BaiyoCurrent = 2;  // a new record being entered
  EXPECT_EQ(DeleteBaiyoRecord(store), -1);
  store.BaiyoCurrent = 0;
  EXPECT_EQ(DeleteRecordOfKind(store, kDeleteBaiyo), -1);
  store.BaiyoCurrent = 1;
  EXPECT_EQ(DeleteRecordOfKind(store, 8), -1);
  EXPECT_EQ(CountOfKind(store, 8), 0);
  EXPECT_EQ(CurrentOfKind(store, 2), nullptr);
  EXPECT_EQ(store.BaiyoCount(), 1);
  EXPECT_TRUE(DeletionEntries(store, 0).empty());
  EXPECT_EQ(DeletionEntries(store, kDeleteBaiyo), std::vector<std::string>{"A"});
}

// What the screens name their records by: a key that stays with its record
// through deletions before it, appends and replacement, and is never given
// to another record (an appended record never takes a removed one's key).
TEST(RecordKeys, FollowTheRecordNotThePosition) {
  hensuu store;
  for (const char* n : {"1", "2", "3"}) store.TionTable.Append(TionRecord{n, "年/月/日\t地温(℃)"});
  const uint64_t k1 = store.TionTable.KeyOf(1);
  const uint64_t k2 = store.TionTable.KeyOf(2);
  const uint64_t k3 = store.TionTable.KeyOf(3);
  EXPECT_TRUE(k1 != k2 && k2 != k3 && k1 != k3 && k1 != 0);
  store.TionCurrent = 1;
  DeleteTionRecord(store);
  EXPECT_EQ(store.TionTable.IndexOf(k1), 0);
  EXPECT_EQ(store.TionTable.IndexOf(k2), 1);
  EXPECT_EQ(store.TionTable.IndexOf(k3), 2);
  store.TionTable.Replace(1, TionRecord{"2改", "年/月/日\t地温(℃)"});
  EXPECT_EQ(store.TionTable.KeyOf(1), k2);
  store.TionTable.Append(TionRecord{"4", "年/月/日\t地温(℃)"});
  const uint64_t k4 = store.TionTable.KeyOf(3);
  EXPECT_TRUE(k4 != k1 && k4 != k2 && k4 != k3);
  // A copy keeps the keys; a record of another table is not found.
  const Table<TionRecord> copy = store.TionTable;
  EXPECT_EQ(copy.IndexOf(k3), 2);
  EXPECT_EQ(store.ParaTable.IndexOf(k3), 0);
  EXPECT_EQ(store.TionTable.IndexOf(0), 0);
  store.TionTable.Clear();
  EXPECT_EQ(store.TionTable.IndexOf(k2), 0);
}

// Every record of a large table is found by its key after removals spread
// over it and appends after them; removed keys and keys of other tables are not.
TEST(RecordKeys, FoundInALargeTableAfterRemovalsAndAppends) {
  Table<TionRecord> table, other;
  for (int i = 1; i <= 3000; ++i) {
    table.Append(TionRecord{std::to_string(i), std::string()});
    if (i % 100 == 0) other.Append(TionRecord{"other", std::string()});  // keys interleave
  }
  std::vector<uint64_t> removed;
  for (int i = table.Count(); i >= 1; i -= 3) {
    removed.push_back(table.KeyOf(static_cast<int16_t>(i)));
    table.Remove(i);
  }
  for (int i = 0; i < 10; ++i) table.Append(TionRecord{"new", std::string()});
  for (int i = 1; i <= table.Count(); ++i)
    ASSERT_EQ(table.IndexOf(table.KeyOf(static_cast<int16_t>(i))), i);
  for (uint64_t k : removed) ASSERT_EQ(table.IndexOf(k), 0);
  for (int i = 1; i <= other.Count(); ++i)
    EXPECT_EQ(table.IndexOf(other.KeyOf(static_cast<int16_t>(i))), 0);
  EXPECT_EQ(table.IndexOf(table.KeyOf(table.Count()) + 1000), 0);
}

}  // namespace
}  // namespace kelvora
