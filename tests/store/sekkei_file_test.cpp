// The sixth data file, Sekkei.txt: a plan read back as it was written (save,
// read, save gives the same bytes), a folder without plans left as the five
// files leave it, its .bak copy, the recovery copy with and without it, the
// deletion dialog's kind and the plans' series numbers after a deletion.
#include <gtest/gtest.h>

#include "store/cp932.h"
#include "store/data_files.h"
#include "store/number_text.h"
#include "store/recovery.h"
#include "store/sakujyo.h"
#include "store/supply_plan.h"
#include "test_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;

std::vector<PlanSource> Sources() {
  PlanSource soil;
  soil.para.SoilName = "灰色低地土, 水田①";
  soil.para.ModelNo = 2;
  soil.para.Param = {15197.189f, 15534.896f, 0.1f, 0.0196f, 5.3267f, -4.8191f, 1e-7f};
  soil.para.StdTemp = 25;
  soil.depthCm = 12.5f;
  soil.density = 0.95f;
  PlanSource coated;
  coated.para.SoilName = "被覆尿素\t(140日)";  // a TAB cannot stay in a cell
  coated.para.ModelNo = 6;
  coated.para.Param = {20169.56f, 0.04323768f, 96.861f, 19.22612f, 19588.2f, 4.5f, 0};
  coated.para.StdTemp = 30;
  coated.kgPer10a = 4.2f;
  coated.applied = {2025, 5, 10};
  return {soil, coated};
}

void FillFive(hensuu& store) {
  store.BaiyoTable.Append({"土", "培養日数\t20\r0\t1", false});
  ParaRecord p;
  p.SoilName = "土";
  p.ModelNo = 1;
  p.Param = {17000, 0.02f, 10, 1, 0, 0, 0};
  p.StdTemp = 25;
  store.ParaTable.Append(p);
  store.TionTable.Append({"A", "年/月/日\t地温(℃)\r2025/05/01\t18.5"});
  store.TionTable.Append({"平年", "年/月/日\t地温(℃)\r2025/05/01\t17.25"});
  store.SuiteiTable.Append({1, "土", "A", "年/月/日\t(mg/100g)\r2025/05/01\t1.00", 25});
  store.HojyoTable.Append({"ほ場", "年/月/日\t地温(℃)\t無機化量", false});
}

TEST(SekkeiFile, PlansReadBackAsWrittenAndSaveAgainToTheSameBytes) {
  TempDir dir;
  hensuu store;
  FillFive(store);
  const std::vector<PlanSource> sources = Sources();
  store.SekkeiTable.Append(
      {"水稲, 2025年", "A", 1, "平年", 2, "2025/05/10", "2025/09/30", PlanSourcesText(sources)});
  store.SekkeiTable.Append(
      {"平年値なし", "A", 1, "", 0, "2025/05/01", "2025/05/01", PlanSourcesText({})});
  ASSERT_TRUE(SaveDataFiles(store, dir.path()).empty());
  const std::string first = ReadBytes(dir.path() / kSekkeiFile);
  const std::string head = *EncodeCp932("\"水稲, 2025年\",\"A\",1,\"平年\",2,\"2025/05/10\",");
  EXPECT_EQ(first.substr(0, head.size()), head);

  hensuu read;
  ASSERT_TRUE(ReadDataFiles(read, dir.path()).empty());
  EXPECT_TRUE(read.SekkeiTable.Rows() == store.SekkeiTable.Rows());
  ASSERT_TRUE(SaveDataFiles(read, dir.path()).empty());
  EXPECT_EQ(ReadBytes(dir.path() / kSekkeiFile), first);

  std::string problem;
  const auto back = ReadPlanSources(read.SekkeiTable(1).GridText, problem);
  ASSERT_TRUE(back) << problem;
  // Singles come back as the data files keep them (seven digits), as the
  // parameter sets of ParaData.txt do.
  std::vector<PlanSource> expected = sources;
  for (PlanSource& s : expected) {
    for (float& p : s.para.Param) p = *ParseSingle(SingleText(p));
  }
  expected[1].para.SoilName = "被覆尿素 (140日)";
  EXPECT_EQ(*back, expected);
  EXPECT_TRUE(ReadPlanSources(read.SekkeiTable(2).GridText, problem)->empty());

  // A row that is not a source is named.
  std::string broken = read.SekkeiTable(1).GridText;
  broken.replace(broken.rfind("2025/05/10"), 10, "5月10日");
  EXPECT_FALSE(ReadPlanSources(broken, problem));
  EXPECT_NE(problem.find("2行目の施用日"), std::string::npos) << problem;
}

TEST(SekkeiFile, AFolderWithoutPlansStaysAsTheFiveFilesLeaveIt) {
  TempDir dir;
  hensuu store;
  FillFive(store);
  ASSERT_TRUE(SaveDataFiles(store, dir.path()).empty());
  EXPECT_FALSE(fs::exists(dir.path() / kSekkeiFile));
  hensuu loaded;
  ASSERT_TRUE(LoadDataFiles(loaded, dir.path()).empty());
  EXPECT_FALSE(fs::exists(dir.path() / kSekkeiFile));
  EXPECT_FALSE(fs::exists(dir.path() / "Sekkei.bak"));
  EXPECT_EQ(loaded.SekkeiCount(), 0);
  ASSERT_TRUE(SaveDataFiles(loaded, dir.path()).empty());
  ASSERT_TRUE(SaveSekkeiFile(loaded, dir.path()).empty());
  EXPECT_FALSE(fs::exists(dir.path() / kSekkeiFile));

  // Once there is a plan, the file is made, kept as .bak at the next start,
  // and written empty (not removed) when every plan is deleted.
  loaded.SekkeiTable.Append({"計画", "A", 1, "", 0, "2025/05/01", "2025/05/02", ""});
  ASSERT_TRUE(SaveSekkeiFile(loaded, dir.path()).empty());
  const std::string bytes = ReadBytes(dir.path() / kSekkeiFile);
  hensuu again;
  ASSERT_TRUE(LoadDataFiles(again, dir.path()).empty());
  EXPECT_EQ(again.SekkeiCount(), 1);
  EXPECT_EQ(ReadBytes(dir.path() / "Sekkei.bak"), bytes);
  again.SekkeiCurrent = 1;
  EXPECT_EQ(DeleteRecordOfKind(again, kDeleteSekkei), 0);
  ASSERT_TRUE(SaveDataFiles(again, dir.path()).empty());
  EXPECT_TRUE(fs::exists(dir.path() / kSekkeiFile));
  EXPECT_EQ(fs::file_size(dir.path() / kSekkeiFile), 0u);

  // A missing Sekkei.txt whose .bak holds plans: said, and the .bak kept.
  fs::remove(dir.path() / kSekkeiFile);
  hensuu gone;
  const FileMessages messages = LoadDataFiles(gone, dir.path(), "20250101-000000");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("Sekkei.txt"), std::string::npos);
  EXPECT_EQ(ReadBytes(dir.path() / "Sekkei.bak"), bytes);
  EXPECT_TRUE(fs::exists(dir.path() / "Sekkei.bak.kept-20250101-000000"));
}

TEST(SekkeiFile, DeletionDialogAndSeriesNumbersOfThePlans) {
  hensuu store;
  FillFive(store);
  store.TionTable.Append({"B", "年/月/日\t地温(℃)"});
  store.SekkeiTable.Append({"一", "A", 1, "平年", 2, "2025/05/01", "2025/05/02", ""});
  store.SekkeiTable.Append({"二", "B", 3, "", 0, "2025/05/01", "2025/05/02", ""});
  EXPECT_EQ(DeletionEntries(store, kDeleteSekkei), (std::vector<std::string>{"一", "二"}));
  EXPECT_FALSE(DeletionHeading(kDeleteSekkei).empty());
  EXPECT_EQ(CountOfKind(store, kDeleteSekkei), 2);
  EXPECT_EQ(CurrentOfKind(store, kDeleteSekkei), &store.SekkeiCurrent);
  store.TionCurrent = 2;  // 平年
  DeleteTionRecord(store);
  EXPECT_EQ(store.SekkeiTable(1).TionNo, 1);
  EXPECT_EQ(store.SekkeiTable(1).NormalNo, 0);
  EXPECT_EQ(store.SekkeiTable(2).TionNo, 2);
  EXPECT_EQ(FindPlanSeries(store, 2, "B"), 2);
  EXPECT_EQ(FindPlanSeries(store, 2, "A"), 0);  // a number naming another series
  EXPECT_EQ(FindPlanSeries(store, 3, "B"), 0);
  EXPECT_EQ(FindPlanSeries(store, 0, ""), 0);
}

TEST(SekkeiFile, RecoveryCopyHoldsThePlansAndOlderCopiesHoldNone) {
  TempDir dir;
  hensuu store;
  FillFive(store);
  ASSERT_TRUE(SaveDataFiles(store, dir.path()).empty());
  RecoveryState state;
  state.StartFromDataFiles(store);
  store.SekkeiTable.Append({"計画", "A", 1, "", 0, "2025/05/01", "2025/05/02", ""});
  ASSERT_TRUE(state.Pending(store));
  const RunInfo run = RunInfo::ThisRun();
  RecoverySnapshot snapshot = state.TakeSnapshot(store);
  ASSERT_TRUE(snapshot.sekkei);
  ASSERT_TRUE(WriteSnapshot(dir.path(), run, snapshot).messages.empty());
  state.Written(snapshot, {});
  EXPECT_TRUE(InspectRecoveryCopy(dir.path()).warning.empty());
  hensuu restored;
  ASSERT_TRUE(ReadRecoveryCopy(restored, dir.path()).empty());
  EXPECT_TRUE(restored.SekkeiTable.Rows() == store.SekkeiTable.Rows());

  // Only the changed plan table is written next time.
  store.SekkeiTable.Append({"次", "A", 1, "", 0, "2025/05/01", "2025/05/02", ""});
  snapshot = state.TakeSnapshot(store);
  EXPECT_FALSE(snapshot.tion);
  ASSERT_TRUE(WriteSnapshot(dir.path(), run, snapshot).messages.empty());
  ASSERT_TRUE(ReadRecoveryCopy(restored, dir.path()).empty());
  EXPECT_EQ(restored.SekkeiCount(), 2);

  // A copy written by a version without plans: no Sekkei.txt in the folder
  // nor in its note.
  const fs::path copy = dir.path() / kRecoveryFolder;
  fs::remove(copy / kSekkeiFile);
  std::string note = ReadBytes(copy / kRecoveryNote);
  note.erase(note.find("file: Sekkei.txt"));
  testing::WriteBytes(copy / kRecoveryNote, note);
  EXPECT_TRUE(InspectRecoveryCopy(dir.path()).warning.empty());
  ASSERT_TRUE(ReadRecoveryCopy(restored, dir.path()).empty());
  EXPECT_EQ(restored.SekkeiCount(), 0);
  EXPECT_EQ(restored.TionCount(), 2);
}

}  // namespace
}  // namespace kelvora
