// A screen built from a test context alone: no main window, a navigation
// that records what the screen asks of it, and the cascade arithmetic every
// window shares.
#include "screens/screen_context.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <vector>

#include "screens/baiyo_form0_3.h"
#include "scripted_dialogs.h"
#include "store/data_files.h"
#include "store/hensuu.h"

namespace kelvora {
namespace {

class RecordingNavigation : public Navigation {
 public:
  std::vector<Screen> opened;
  std::vector<Screen> closed;
  std::function<void()> deletionDialog;
  int deletions = 0;
  int printSelections = 0;

  ChildScreen* OpenChildScreen(Screen screen, CascadeOrder, QSize) override {
    opened.push_back(screen);
    return nullptr;
  }
  ChildScreen* FindScreen(Screen) const override { return nullptr; }
  bool CloseChildScreen(Screen screen) override {
    closed.push_back(screen);
    return true;
  }
  bool RunDeletionDialog(QWidget*) override {
    ++deletions;
    if (deletionDialog) deletionDialog();
    return true;
  }
  void ShowPrintSelection() override { ++printSelections; }
};

BaiyoRecord Record(const std::string& name, const std::string& day) {
  GridTable g(100, 4);
  g.Cell(0, 0) = "培養日数";
  g.Cell(1, 0) = day;
  return BaiyoRecord{name, g.ToGridText(), false};
}

TEST(ScreenContext, IncubationScreenRunsWithoutTheMainWindow) {
  QTemporaryDir tmp;
  const std::filesystem::path dataDir = std::filesystem::path(tmp.path().toStdString()) / "Data";
  std::filesystem::create_directories(dataDir);
  hensuu store;
  store.BaiyoTable.Append(Record("黒ボク土", "7"));
  store.BaiyoTable.Append(Record("灰色低地土", "14"));
  store.BaiyoCurrent = 2;
  store.WindowCascadeOffset = 500;
  ScriptedDialogs dialogs;
  RecordingNavigation navigation;
  ScreenContext context{store, dialogs, dataDir, navigation};

  auto* screen = new Baiyo_Form0_3(context);
  screen->setAttribute(Qt::WA_DeleteOnClose);
  screen->show();
  EXPECT_EQ(screen->List1->count(), 2);
  EXPECT_EQ(screen->List1->currentRow(), 1);
  EXPECT_EQ(screen->Text_Dojyo->text(), "灰色低地土");
  EXPECT_EQ(screen->MSFlexGrid1->TextMatrix(1, 0), "14");
  EXPECT_FALSE(screen->NewMode());

  // "ファイル保存" writes into the context's data folder.
  screen->Text_Dojyo->setText("灰色低地土（改）");
  QTest::mouseClick(screen->Command1, Qt::LeftButton);
  hensuu reread;
  EXPECT_TRUE(LoadDataFiles(reread, dataDir).empty());
  ASSERT_EQ(reread.BaiyoCount(), 2);
  EXPECT_EQ(reread.BaiyoTable(2).SoilName, "灰色低地土（改）");
  EXPECT_EQ(screen->List1->item(1)->text(), "灰色低地土（改）");

  // "データ削除" goes through the navigation's deletion dialog.
  navigation.deletionDialog = [&] {
    EXPECT_TRUE(screen->Deleting);
    EXPECT_EQ(store.DeleteKind, 3);
    store.BaiyoTable.Remove(1);
    store.BaiyoCurrent = 1;
  };
  QTest::mouseClick(screen->Command8, Qt::LeftButton);
  EXPECT_EQ(navigation.deletions, 1);
  EXPECT_EQ(screen->List1->count(), 1);
  EXPECT_EQ(screen->Text_Dojyo->text(), "灰色低地土（改）");

  // Closing applies the screen and takes the cascade back.
  screen->Text_Dojyo->setText("最後の名前");
  EXPECT_TRUE(screen->CloseScreen());
  EXPECT_EQ(store.BaiyoTable(1).SoilName, "最後の名前");
  EXPECT_EQ(store.WindowCascadeOffset, 0);
  EXPECT_TRUE(navigation.opened.empty());
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST(ScreenContext, CascadeStepsWrapAndStopAtZero) {
  std::vector<int16_t> offsets;
  int16_t offset = 0;
  for (int i = 0; i < 7; ++i) offsets.push_back(offset = CascadeForward(offset));
  EXPECT_EQ(offsets, (std::vector<int16_t>{500, 1000, 1500, 2000, 2500, 0, 500}));
  EXPECT_EQ(CascadeBack(1000), 500);
  EXPECT_EQ(CascadeBack(500), 0);
  EXPECT_EQ(CascadeBack(0), 0);
  hensuu store;
  store.WindowCascadeOffset = 2500;
  StepCascadeForward(store);
  EXPECT_EQ(store.WindowCascadeOffset, 0);
  TakeCascadeBack(store);
  EXPECT_EQ(store.WindowCascadeOffset, 0);
}

}  // namespace
}  // namespace kelvora
