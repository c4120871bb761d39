// The deletion dialog "データの選択", driven with clicks on its list and
// buttons: what it lists per table, which records "削除" removes and where the
// current index ends, the incubation screen around it, and the data files
// left alone until a save.
#include "screens/delfrm_select.h"

#include <gtest/gtest.h>

#include <QTest>

#include "screen_test_env.h"
#include "store/data_files.h"
#include "store/hensuu.h"
#include "store/sakujyo.h"

namespace kelvora {
namespace {

using test::ReadBytes;
using test::ScreenEnv;

void ClickEntry(QListWidget* list, int row, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QRect r = list->visualItemRect(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, mods, r.center());
}

QStringList Entries(QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

std::vector<std::string> ParaNames(const hensuu& store) {
  std::vector<std::string> out;
  for (const ParaRecord& r : store.ParaTable.Rows()) out.push_back(r.SoilName);
  return out;
}

ParaRecord Para(const std::string& name) {
  ParaRecord r;
  r.SoilName = name;
  r.ModelNo = 1;
  r.Param = {10000, 0.01f, 5, 1, 0, 0, 0};
  r.StdTemp = 25;
  return r;
}

// The dialog as the test's "modal" run sees it.
struct Seen {
  DelFrm_Select* dialog = nullptr;
  QStringList entries;
  QString heading;
  int selectedAtOpen = -1;
};

class DeletionTest : public testing::Test {
 protected:
  void SetUp() override { env.Show(); }
  // Answers the next dialog with `act`.
  void Answer(std::function<void(DelFrm_Select&)> act) {
    env.dialogs.onExec = [this, act](QDialog& d) {
      auto* dialog = qobject_cast<DelFrm_Select*>(&d);
      EXPECT_NE(dialog, nullptr);
      if (!dialog) return int(QDialog::Rejected);
      EXPECT_TRUE(dialog->isModal());
      seen.dialog = dialog;
      seen.entries = Entries(dialog->List1);
      seen.heading = dialog->Label1->text();
      seen.selectedAtOpen = dialog->List1->currentRow();
      EXPECT_EQ(dialog->windowTitle(), "データの選択");
      EXPECT_EQ(dialog->Label2->text(), "削除する項目を選択して下さい");
      EXPECT_EQ(dialog->Command2->text(), "削除");
      act(*dialog);
      return dialog->result();
    };
  }

  ScreenEnv env;
  Seen seen;
};

TEST_F(DeletionTest, RecordsTwoAndFourOfFiveLeaveOneThreeFiveWithTheCurrentIndexOnTwo) {
  for (const char* n : {"A", "B", "C", "D", "E"}) env.store.ParaTable.Append(Para(n));
  env.store.ParaCurrent = 5;
  Answer([](DelFrm_Select& d) {
    ClickEntry(d.List1, 1);
    ClickEntry(d.List1, 3, Qt::ControlModifier);
    QTest::mouseClick(d.Command2, Qt::LeftButton);
  });
  EXPECT_TRUE(RunDeletion(env.store, env.dialogs, kDeletePara, env.main.get()));
  EXPECT_EQ(env.store.DeleteKind, 5);
  EXPECT_EQ(seen.heading, "土壌（肥料）のパラメータ計算結果 ");
  EXPECT_EQ(seen.entries, QStringList({"A", "B", "C", "D", "E"}));
  EXPECT_EQ(seen.selectedAtOpen, 4);  // the current record
  EXPECT_EQ(ParaNames(env.store), (std::vector<std::string>{"A", "C", "E"}));
  EXPECT_EQ(env.store.ParaCurrent, 2);

  // Shift + click takes a range; deleting the last records leaves the current
  // index on the new last record.
  Answer([](DelFrm_Select& d) {
    ClickEntry(d.List1, 1);
    ClickEntry(d.List1, 2, Qt::ShiftModifier);
    QTest::mouseClick(d.Command2, Qt::LeftButton);
  });
  EXPECT_TRUE(RunDeletion(env.store, env.dialogs, kDeletePara, env.main.get()));
  EXPECT_EQ(seen.selectedAtOpen, 1);
  EXPECT_EQ(ParaNames(env.store), std::vector<std::string>{"A"});
  EXPECT_EQ(env.store.ParaCurrent, 1);
}

TEST_F(DeletionTest, NothingSelectedOrCancelDeletesNothing) {
  for (const char* n : {"A", "B"}) env.store.ParaTable.Append(Para(n));
  env.store.ParaCurrent = 2;
  const uint64_t generation = env.store.ParaTable.Generation();
  Answer([](DelFrm_Select& d) {
    d.List1->clearSelection();
    QTest::mouseClick(d.Command2, Qt::LeftButton);
  });
  EXPECT_FALSE(RunDeletion(env.store, env.dialogs, kDeletePara, env.main.get()));
  Answer([](DelFrm_Select& d) {
    QTest::mouseClick(d.Command1, Qt::LeftButton);
    EXPECT_EQ(d.List1->selectedItems().size(), 2);
    QTest::mouseClick(d.Command3, Qt::LeftButton);
  });
  EXPECT_FALSE(RunDeletion(env.store, env.dialogs, kDeletePara, env.main.get()));
  EXPECT_EQ(env.store.ParaTable.Generation(), generation);
  EXPECT_EQ(env.store.ParaCurrent, 2);
}

TEST_F(DeletionTest, EveryKindListsItsTableAndDeletesFromIt) {
  env.store.HojyoTable.Append(HojyoRecord{"畑1", "年/月/日\t地温(℃)\t無機化量", false});
  env.store.HojyoTable.Append(HojyoRecord{"畑2", "年/月/日\t地温(℃)\t無機化量", true});
  env.store.HojyoCurrent = 2;
  env.store.TionTable.Append(TionRecord{"つくば", "年/月/日\t地温(℃)"});
  env.store.TionCurrent = 1;
  SuiteiRecord s;
  s.SoilName = "A";
  s.SiteName = "B";
  env.store.SuiteiTable.Append(s);
  env.store.SuiteiCurrent = 1;

  // The field table: the current record is the last one.
  Answer([](DelFrm_Select& d) { QTest::mouseClick(d.Command2, Qt::LeftButton); });
  EXPECT_TRUE(RunDeletion(env.store, env.dialogs, kDeleteHojyo, env.main.get()));
  EXPECT_EQ(seen.heading, "土壌（肥料）の培養結果 ");
  EXPECT_EQ(seen.entries, QStringList({"畑1", "畑2"}));
  ASSERT_EQ(env.store.HojyoCount(), 1);
  EXPECT_EQ(env.store.HojyoTable(1).SoilName, "畑1");
  EXPECT_EQ(env.store.HojyoCurrent, 1);

  Answer([](DelFrm_Select& d) { QTest::mouseClick(d.Command2, Qt::LeftButton); });
  EXPECT_TRUE(RunDeletion(env.store, env.dialogs, kDeleteTion, env.main.get()));
  EXPECT_EQ(seen.heading, "地温データ");
  EXPECT_EQ(seen.entries, QStringList({"つくば"}));
  EXPECT_EQ(env.store.TionCount(), 0);
  EXPECT_EQ(env.store.TionCurrent, 0);

  Answer([](DelFrm_Select& d) { QTest::mouseClick(d.Command2, Qt::LeftButton); });
  EXPECT_TRUE(RunDeletion(env.store, env.dialogs, kDeleteSuitei, env.main.get()));
  EXPECT_EQ(seen.heading, "窒素無機化推定結果（土壌（肥料）名 × 地温名）");
  EXPECT_EQ(seen.entries, QStringList({"A × B"}));
  EXPECT_EQ(env.store.SuiteiCount(), 0);

  // Another kind lists nothing and deletes nothing.
  Answer([](DelFrm_Select& d) {
    QTest::mouseClick(d.Command1, Qt::LeftButton);
    QTest::mouseClick(d.Command2, Qt::LeftButton);
  });
  EXPECT_FALSE(RunDeletion(env.store, env.dialogs, 2, env.main.get()));
  EXPECT_TRUE(seen.entries.isEmpty());
  EXPECT_EQ(env.store.HojyoCount(), 1);
}

// The incubation screen's "データ削除" runs the real dialog; deleting every
// record starts a blank new record, and nothing reaches the files unless the
// user saves.
TEST_F(DeletionTest, SelectAllOnTheIncubationScreenEmptiesTheTableButNotTheFile) {
  for (const char* n : {"土壌1", "土壌2", "土壌3"}) {
    env.store.BaiyoTable.Append(BaiyoRecord{n, "培養日数\t20\t25\t30", false});
  }
  ASSERT_TRUE(SaveDataFiles(env.store, env.DataDir()).empty());
  const auto file = env.DataDir() / "BaiyoData.txt";
  const std::string before = ReadBytes(file);
  ASSERT_NE(before.find("\x93\x79\x8f\xeb"
                        "3"),
            std::string::npos);  // 土壌3 in code page 932
  env.store.BaiyoCurrent = 3;
  Baiyo_Form0_3* screen = env.OpenBaiyo();
  ASSERT_NE(screen, nullptr);
  ASSERT_EQ(screen->List1->count(), 3);

  bool deletingMeanwhile = false;
  Answer([&](DelFrm_Select& d) {
    deletingMeanwhile = screen->Deleting;
    QTest::mouseClick(d.Command1, Qt::LeftButton);
    QTest::mouseClick(d.Command2, Qt::LeftButton);
  });
  QTest::mouseClick(screen->Command8, Qt::LeftButton);
  EXPECT_TRUE(deletingMeanwhile);
  EXPECT_EQ(seen.heading, "土壌（肥料）の培養結果 ");
  EXPECT_EQ(seen.entries, QStringList({"土壌1", "土壌2", "土壌3"}));
  EXPECT_EQ(seen.selectedAtOpen, 2);
  EXPECT_EQ(env.store.BaiyoCount(), 0);
  EXPECT_EQ(env.store.DeleteKind, 3);
  EXPECT_TRUE(screen->NewMode());
  EXPECT_EQ(env.store.BaiyoCurrent, 1);
  EXPECT_EQ(screen->List1->count(), 0);
  EXPECT_FALSE(screen->Deleting);
  EXPECT_EQ(ReadBytes(file), before);

  // Quitting without saving leaves the file as it was.
  env.dialogs.answers = {false};
  env.main->close();
  EXPECT_EQ(ReadBytes(file), before);
  hensuu reloaded;
  ASSERT_TRUE(LoadDataFiles(reloaded, env.DataDir()).empty());
  EXPECT_EQ(reloaded.BaiyoCount(), 3);
}

}  // namespace
}  // namespace kelvora
