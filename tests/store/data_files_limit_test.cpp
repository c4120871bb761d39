// Data files at the limit of a table: exactly 32767 records load whole (the
// last one included), 32768 records keep the first 32767, name line 32768,
// keep the file aside and leave its .bak copy as it was.
#include <gtest/gtest.h>

#include <map>

#include "store/data_files.h"
#include "test_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

const char* const kNames[] = {kBaiyoFile, kParaFile, kTionFile, kSuiteiFile, kHojyoFile};

// Five tables of `count` records each; record i is named "r<i>", so that a
// record lost or read twice shows in the names.
hensuu Tables(int count) {
  hensuu s;
  for (int i = 1; i <= count; ++i) {
    const std::string name = "r" + std::to_string(i);
    if (i <= kMaxRecords) {
      s.BaiyoTable.Append({name, "培養日数", false});
      ParaRecord p;
      p.SoilName = name;
      p.ModelNo = 1;
      s.ParaTable.Append(p);
      s.TionTable.Append({name, ""});
      s.SuiteiTable.Append({1, name, "x", "", 25});
      s.HojyoTable.Append({name, "", true});
    }
  }
  return s;
}

// The bytes of each data file of Tables(count), with `extra` records more
// (as written by an earlier program that had no limit).
std::map<std::string, std::string> FileBytes(int extra) {
  hensuu s = Tables(kMaxRecords);
  hensuu more = Tables(extra);
  std::map<std::string, std::string> files;
  auto add = [&](const char* name, const auto& table, const auto& tail) {
    std::string bytes, tailBytes, problem;
    EXPECT_TRUE(EncodeTable(table, bytes, problem)) << problem;
    EXPECT_TRUE(EncodeTable(tail, tailBytes, problem)) << problem;
    files[name] = bytes + tailBytes;
  };
  add(kBaiyoFile, s.BaiyoTable, more.BaiyoTable);
  add(kParaFile, s.ParaTable, more.ParaTable);
  add(kTionFile, s.TionTable, more.TionTable);
  add(kSuiteiFile, s.SuiteiTable, more.SuiteiTable);
  add(kHojyoFile, s.HojyoTable, more.HojyoTable);
  return files;
}

void ExpectFull(const hensuu& s) {
  EXPECT_EQ(s.BaiyoCount(), kMaxRecords);
  EXPECT_EQ(s.ParaCount(), kMaxRecords);
  EXPECT_EQ(s.TionCount(), kMaxRecords);
  EXPECT_EQ(s.SuiteiCount(), kMaxRecords);
  EXPECT_EQ(s.HojyoCount(), kMaxRecords);
  const std::string last = "r" + std::to_string(kMaxRecords);
  EXPECT_EQ(s.BaiyoTable(kMaxRecords).SoilName, last);
  EXPECT_EQ(s.ParaTable(kMaxRecords).SoilName, last);
  EXPECT_EQ(s.TionTable(kMaxRecords).SiteName, last);
  EXPECT_EQ(s.SuiteiTable(kMaxRecords).SoilName, last);
  EXPECT_EQ(s.HojyoTable(kMaxRecords).SoilName, last);
  EXPECT_EQ(s.TionTable(kMaxRecords - 1).SiteName, "r" + std::to_string(kMaxRecords - 1));
}

TEST(DataFilesLimit, FilesOfExactly32767RecordsLoadWhole) {
  TempDir dir;
  const auto files = FileBytes(0);
  for (const auto& [name, bytes] : files) WriteBytes(dir.path() / name, bytes);
  hensuu s;
  FileMessages m = LoadDataFiles(s, dir.path(), "20261209-120000");
  EXPECT_TRUE(m.empty()) << m[0];
  ExpectFull(s);
  EXPECT_EQ(s.BaiyoCurrent, kMaxRecords);
  EXPECT_EQ(s.HojyoCurrent, kMaxRecords);
  EXPECT_TRUE(s.FilesNotToSave.empty());
  for (const char* name : kNames) {
    const std::string bak = std::string(name).substr(0, std::string(name).rfind('.')) + ".bak";
    EXPECT_EQ(ReadBytes(dir.path() / bak), files.at(name)) << bak;
  }
  // Saved again, byte for byte the same files.
  ASSERT_TRUE(SaveDataFiles(s, dir.path()).empty());
  for (const char* name : kNames) EXPECT_EQ(ReadBytes(dir.path() / name), files.at(name)) << name;

  hensuu r;
  EXPECT_TRUE(ReadDataFiles(r, dir.path()).empty());
  ExpectFull(r);
}

TEST(DataFilesLimit, FilesOf32768RecordsKeepTheFirst32767AndAreKeptAside) {
  TempDir dir;
  const auto files = FileBytes(1);
  for (const auto& [name, bytes] : files) {
    WriteBytes(dir.path() / name, bytes);
    const std::string bak = std::string(name).substr(0, std::string(name).rfind('.')) + ".bak";
    WriteBytes(dir.path() / bak, "earlier");
  }
  hensuu s;
  FileMessages m = LoadDataFiles(s, dir.path(), "20261209-120000");
  ASSERT_EQ(m.size(), 5u);
  for (const std::string& text : m) {
    EXPECT_NE(text.find("32768行目"), std::string::npos) << text;
    EXPECT_NE(text.find("32767件"), std::string::npos) << text;
  }
  ExpectFull(s);
  for (const char* name : kNames) {
    const std::string bak = std::string(name).substr(0, std::string(name).rfind('.')) + ".bak";
    EXPECT_EQ(ReadBytes(dir.path() / bak), "earlier") << bak;
    EXPECT_EQ(ReadBytes(dir.path() / (std::string(name) + ".unreadable-20261209-120000")),
              files.at(name));
  }
  hensuu r;
  m = ReadDataFiles(r, dir.path());
  EXPECT_EQ(m.size(), 5u);
  ExpectFull(r);
}

}  // namespace
}  // namespace kelvora
