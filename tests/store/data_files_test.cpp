#include "store/data_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "run_command.h"
#include "store/cp932.h"
#include "store/record_line.h"
#include "test_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

const char* kAllFiles[] = {"BaiyoData.txt", "ParaData.txt", "TionData.txt", "Suitei.txt",
                           "Hojyo.txt"};
const char* kAllBaks[] = {"BaiyoData.bak", "ParaData.bak", "TionData.bak", "Suitei.bak",
                          "Hojyo.bak"};

BaiyoRecord SampleBaiyo(const std::string& name) {
  BaiyoRecord r;
  r.SoilName = name;
  r.GridText = "培養日数\t20\t25\t30\r0\t1.2\t1.3\t1.4\r7\t\t2\t";
  r.IsFertilizer = false;
  return r;
}

TEST(DataFiles, FirstStartWithoutDataFolderCreatesEverything) {
  TempDir dir;
  fs::path data = dir.path() / "Data";
  hensuu store;
  EXPECT_TRUE(LoadDataFiles(store, data).empty());
  for (const char* f : kAllFiles) {
    ASSERT_TRUE(fs::exists(data / f)) << f;
    EXPECT_EQ(fs::file_size(data / f), 0u);
  }
  for (const char* b : kAllBaks) EXPECT_TRUE(fs::exists(data / b)) << b;
  EXPECT_EQ(store.BaiyoCount(), 0);
  EXPECT_EQ(store.HojyoCount(), 0);
  EXPECT_EQ(store.BaiyoCurrent, 1);
  EXPECT_EQ(store.HojyoCurrent, 1);
  EXPECT_EQ(store.ParaCurrent, 0);
  EXPECT_EQ(store.WindowCascadeOffset, 0);
}

TEST(DataFiles, EmptyExistingFolderIsFilled) {
  TempDir dir;
  hensuu store;
  EXPECT_TRUE(LoadDataFiles(store, dir.path()).empty());
  for (const char* f : kAllFiles) EXPECT_TRUE(fs::exists(dir.path() / f));
}

TEST(DataFiles, RecordsRoundTripWithCommasTabsAndCarriageReturns) {
  TempDir dir;
  hensuu store;
  LoadDataFiles(store, dir.path());
  store.BaiyoTable.Append(SampleBaiyo("灰色低地土, 水田①"));
  BaiyoRecord fert = SampleBaiyo("被覆尿素");
  fert.IsFertilizer = true;
  store.BaiyoTable.Append(fert);
  ParaRecord p;
  p.SoilName = "黒ボク土";
  p.ModelNo = 2;
  p.Param = {15197.189f, 15534.896f, 0.1f, 0.0196f, 5.3267f, -4.8191f, 1e-7f};
  p.Aic = -23.5f;
  p.Rss = 1.70154f;
  p.IsManual = true;
  p.StdTemp = 25;
  store.ParaTable.Append(p);
  store.TionTable.Append({"つくば 地温℃", "年/月/日\t地温(℃)\r2024/04/01\t12.3"});
  store.SuiteiTable.Append({5, "肥料", "地点", "年/月/日\t(%)\r2024/04/01\t0.00", 25.5f});
  store.HojyoTable.Append({"", "年/月/日\t地温(℃)\t無機化量", true});
  ASSERT_TRUE(SaveDataFiles(store, dir.path()).empty());

  hensuu back;
  ASSERT_TRUE(LoadDataFiles(back, dir.path()).empty());
  ASSERT_EQ(back.BaiyoCount(), 2);
  EXPECT_EQ(back.BaiyoTable(1), store.BaiyoTable(1));
  EXPECT_EQ(back.BaiyoTable(2), store.BaiyoTable(2));
  EXPECT_EQ(back.ParaTable(1).SoilName, p.SoilName);
  EXPECT_EQ(back.ParaTable(1).Param[2], 0.1f);  // "0.1" reads back to the same single
  EXPECT_EQ(back.ParaTable(1).IsManual, true);
  EXPECT_EQ(back.TionTable(1), store.TionTable(1));
  EXPECT_EQ(back.SuiteiTable(1), store.SuiteiTable(1));
  EXPECT_EQ(back.HojyoTable(1), store.HojyoTable(1));
  EXPECT_EQ(back.BaiyoCurrent, 2);
  EXPECT_EQ(back.HojyoCurrent, 1);

  // One record per line: the grid's CR characters stay inside the quotes.
  std::string bytes = ReadBytes(dir.path() / "BaiyoData.txt");
  size_t lines = 0;
  for (size_t i = 0; i + 1 < bytes.size(); ++i) lines += bytes[i] == '\r' && bytes[i + 1] == '\n';
  EXPECT_EQ(lines, 2u);
  EXPECT_NE(bytes.find(",#FALSE#\r\n"), std::string::npos);
  EXPECT_NE(bytes.find(",#TRUE#\r\n"), std::string::npos);
  EXPECT_NE(bytes.find(*EncodeCp932("灰色低地土, 水田①")), std::string::npos);
  std::string para = ReadBytes(dir.path() / "ParaData.txt");
  EXPECT_NE(para.find(",0.1,"), std::string::npos);
  EXPECT_NE(para.find(",1E-07,"), std::string::npos);
}

TEST(DataFiles, ThreeRecordLinesGiveThreeRecords) {
  TempDir dir;
  std::string line = *WriteRecordLine(ToFields(SampleBaiyo("a")), nullptr);
  WriteBytes(dir.path() / "BaiyoData.txt", line + line + line);
  hensuu store;
  EXPECT_TRUE(LoadDataFiles(store, dir.path()).empty());
  EXPECT_EQ(store.BaiyoCount(), 3);
  EXPECT_EQ(store.BaiyoCurrent, 3);
  EXPECT_EQ(ReadBytes(dir.path() / "BaiyoData.bak"), line + line + line);
}

TEST(DataFiles, ReaderAcceptsLeadingPointExponentsAndSpaces) {
  TempDir dir;
  WriteBytes(dir.path() / "ParaData.txt", "\"a\", 1,.5,1E+07,-2.5e-3,0,0,0,0,1,2,#FALSE#,25\r\n");
  hensuu store;
  EXPECT_TRUE(LoadDataFiles(store, dir.path()).empty());
  ASSERT_EQ(store.ParaCount(), 1);
  EXPECT_EQ(store.ParaTable(1).Param[0], 0.5f);
  EXPECT_EQ(store.ParaTable(1).Param[1], 1e7f);
  EXPECT_EQ(store.ParaTable(1).Param[2], -2.5e-3f);
}

struct Malformed {
  const char* name;
  std::string secondLine;
};

void PrintTo(const Malformed& m, std::ostream* os) { *os << m.name; }

class MalformedFile : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedFile, KeepsRecordsBeforeAndCopiesTheFileAside) {
  TempDir dir;
  std::string good = *WriteRecordLine(ToFields(SampleBaiyo("良い")), nullptr);
  std::string bytes = good + GetParam().secondLine + good;
  WriteBytes(dir.path() / "BaiyoData.txt", bytes);
  hensuu store;
  FileMessages messages = LoadDataFiles(store, dir.path(), "20261209-101500");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("BaiyoData.txt"), std::string::npos);
  EXPECT_NE(messages[0].find("2行目"), std::string::npos);
  EXPECT_EQ(store.BaiyoCount(), 1);
  EXPECT_EQ(store.BaiyoTable(1).SoilName, "良い");
  fs::path aside = dir.path() / "BaiyoData.txt.unreadable-20261209-101500";
  ASSERT_TRUE(fs::exists(aside));
  EXPECT_EQ(ReadBytes(aside), bytes);
  // The other files were still loaded and backed up.
  EXPECT_TRUE(fs::exists(dir.path() / "Hojyo.bak"));
}

INSTANTIATE_TEST_SUITE_P(DataFiles, MalformedFile,
                         ::testing::Values(Malformed{"MissingField", "\"名前\",\"表\"\r\n"},
                                           Malformed{"NotABoolean", "\"名前\",\"表\",yes\r\n"},
                                           Malformed{"ExtraField", "\"名前\",\"表\",#TRUE#,1\r\n"},
                                           Malformed{"UnterminatedQuote",
                                                     "\"名前,\"表\",#TRUE#\r\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DataFiles, NumberFieldHoldingTextIsReported) {
  TempDir dir;
  WriteBytes(dir.path() / "ParaData.txt", "\"a\",1,x,0,0,0,0,0,0,1,2,#FALSE#,25\r\n");
  hensuu store;
  FileMessages m = LoadDataFiles(store, dir.path(), "stamp");
  ASSERT_EQ(m.size(), 1u);
  EXPECT_NE(m[0].find("ParaData.txt"), std::string::npos);
  EXPECT_NE(m[0].find("1行目"), std::string::npos);
  EXPECT_EQ(store.ParaCount(), 0);
  EXPECT_TRUE(fs::exists(dir.path() / "ParaData.txt.unreadable-stamp"));
}

TEST(DataFiles, DoubleQuoteIsStoredAsFullWidthQuote) {
  TempDir dir;
  hensuu store;
  store.BaiyoTable.Append(SampleBaiyo("土壌\"A\""));
  ASSERT_TRUE(SaveBaiyoFile(store, dir.path()).empty());
  hensuu back;
  EXPECT_TRUE(LoadDataFiles(back, dir.path()).empty());
  ASSERT_EQ(back.BaiyoCount(), 1);
  EXPECT_EQ(back.BaiyoTable(1).SoilName, "土壌＂A＂");
}

TEST(DataFiles, TextTheCodePageCannotHoldIsRefusedAndNothingIsDamaged) {
  TempDir dir;
  hensuu store;
  store.BaiyoTable.Append(SampleBaiyo("前の土壌"));
  ASSERT_TRUE(SaveBaiyoFile(store, dir.path()).empty());
  std::string before = ReadBytes(dir.path() / "BaiyoData.txt");
  store.BaiyoTable.Append(SampleBaiyo("土壌😀"));
  FileMessages m = SaveBaiyoFile(store, dir.path());
  ASSERT_EQ(m.size(), 1u);
  EXPECT_NE(m[0].find("土壌😀"), std::string::npos);
  EXPECT_NE(m[0].find("BaiyoData.txt"), std::string::npos);
  EXPECT_EQ(ReadBytes(dir.path() / "BaiyoData.txt"), before);
  std::string bad;
  EXPECT_FALSE(CanStoreText("土壌😀", &bad));
  EXPECT_EQ(bad, "😀");
  EXPECT_TRUE(CanStoreText("①℃～髙"));
}

TEST(DataFiles, FailedSaveLeavesOldFilesAndBackupsUntouched) {
  TempDir dir;
  hensuu store;
  LoadDataFiles(store, dir.path());
  store.BaiyoTable.Append(SampleBaiyo("a"));
  store.ParaTable.Append(ParaRecord{});
  ASSERT_TRUE(SaveDataFiles(store, dir.path()).empty());
  hensuu loaded;
  LoadDataFiles(loaded, dir.path());  // renews the .bak copies
  std::string bakBefore = ReadBytes(dir.path() / "ParaData.bak");
  std::string paraBefore = ReadBytes(dir.path() / "ParaData.txt");

  // ParaData.txt cannot be replaced while it is a folder.
  fs::rename(dir.path() / "ParaData.txt", dir.path() / "keep.txt");
  fs::create_directory(dir.path() / "ParaData.txt");
  fs::create_directory(dir.path() / "ParaData.txt" / "inside");
  loaded.BaiyoTable.Append(SampleBaiyo("b"));
  FileMessages m = SaveDataFiles(loaded, dir.path());
  ASSERT_EQ(m.size(), 1u);
  EXPECT_NE(m[0].find("ParaData.txt"), std::string::npos);
  EXPECT_NE(m[0].find("理由"), std::string::npos);
  // The other files were written; no .bak changed; no temporary file left.
  hensuu again;
  ReadDataFiles(again, dir.path());
  EXPECT_EQ(again.BaiyoCount(), 2);
  EXPECT_EQ(ReadBytes(dir.path() / "ParaData.bak"), bakBefore);
  EXPECT_EQ(ReadBytes(dir.path() / "keep.txt"), paraBefore);
  for (const auto& e : fs::directory_iterator(dir.path())) {
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
  }
}

TEST(DataFiles, UncreatableFolderIsReported) {
  TempDir dir;
  WriteBytes(dir.path() / "file", "x");
  hensuu store;
  FileMessages m = LoadDataFiles(store, dir.path() / "file" / "Data");
  ASSERT_FALSE(m.empty());
  EXPECT_NE(m[0].find("Data"), std::string::npos);
  EXPECT_EQ(store.BaiyoCurrent, 1);
}

TEST(DataFiles, ReadingForTheDumpChangesNothingOnDisk) {
  TempDir dir;
  hensuu store;
  EXPECT_FALSE(ReadDataFiles(store, dir.path() / "missing").empty());
  EXPECT_FALSE(fs::exists(dir.path() / "missing"));
  WriteBytes(dir.path() / "TionData.txt", *EncodeCp932("\"地点\",\"年/月/日\t地温(℃)\"\r\n"));
  EXPECT_TRUE(ReadDataFiles(store, dir.path()).empty());
  EXPECT_EQ(store.TionCount(), 1);
  EXPECT_FALSE(fs::exists(dir.path() / "TionData.bak"));
  EXPECT_FALSE(fs::exists(dir.path() / "BaiyoData.txt"));
}

TEST(DataFiles, TableHoldsAtMost32767Records) {
  Table<TionRecord> t;
  for (int i = 0; i < kMaxRecords; ++i) ASSERT_TRUE(t.Append(TionRecord{}));
  EXPECT_EQ(t.Count(), 32767);
  EXPECT_FALSE(t.Append(TionRecord{}));
  EXPECT_EQ(t.Count(), 32767);
  EXPECT_THROW(t(0), std::out_of_range);
  t.Remove(1);
  EXPECT_EQ(t.Count(), 32766);
}

// Another code page 932 reader: Python's cp932 codec.
std::string RunPython(const std::string& script) {
  return kelvora::testing::RunCommand("python3 -c '" + script + "' 2>&1");
}

TEST(DataFiles, FilesAgreeWithAnotherCp932Reader) {
  TempDir dir;
  hensuu store;
  store.BaiyoTable.Append(SampleBaiyo("灰色低地土①（水田）～℃"));
  ASSERT_TRUE(SaveBaiyoFile(store, dir.path()).empty());
  std::string path = (dir.path() / "BaiyoData.txt").string();
  // Python decodes our bytes to the same text.
  std::string decoded = RunPython(
      "import sys; b=open(\"" + path +
      "\",\"rb\").read().decode(\"cp932\"); sys.stdout.buffer.write(b.encode(\"utf-8\"))");
  std::string expected =
      "\"灰色低地土①（水田）～℃\",\"" + SampleBaiyo("").GridText + "\",#FALSE#\r\n";
  EXPECT_EQ(decoded, expected);

  // And we read what Python writes in the line format.
  std::string para = (dir.path() / "ParaData.txt").string();
  RunPython(
      "open(\"" + para +
      "\",\"wb\").write(\"\\\"黒ボク土①\\\",5,14850.34,0.04975612,99.31126,13.8263,19418.35,0,0,"
      "134.06,42.9224,#FALSE#,25\\r\\n\".encode(\"cp932\"))");
  hensuu back;
  EXPECT_TRUE(LoadDataFiles(back, dir.path()).empty());
  ASSERT_EQ(back.ParaCount(), 1);
  EXPECT_EQ(back.ParaTable(1).SoilName, "黒ボク土①");
  EXPECT_EQ(back.ParaTable(1).ModelNo, 5);
  EXPECT_EQ(back.ParaTable(1).Param[3], 13.8263f);
  EXPECT_EQ(back.BaiyoTable(1).SoilName, "灰色低地土①（水田）～℃");
}

}  // namespace
}  // namespace kelvora
