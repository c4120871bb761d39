// The record-screen flow with the options of the soil-temperature series
// (an untouched new record is never stored, "データ削除" drops pending edits,
// "ファイル保存" leaves the whole grid selected), on a small screen over
// TionTable built from a test context.
#include "screens/record_flow.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <filesystem>

#include "screens/child_screen.h"
#include "screens/controls.h"
#include "screens/data_grid.h"
#include "screens/qtext.h"
#include "scripted_dialogs.h"
#include "store/data_files.h"
#include "store/hensuu.h"

namespace kelvora {
namespace {

class NoNavigation : public Navigation {
 public:
  ChildScreen* OpenChildScreen(Screen, CascadeOrder, QSize) override { return nullptr; }
  ChildScreen* FindScreen(Screen) const override { return nullptr; }
  bool CloseChildScreen(Screen) override { return true; }
  bool RunDeletionDialog(QWidget*) override { return false; }
  void ShowPrintSelection() override {}
};

class SeriesScreen : public ChildScreen {
 public:
  explicit SeriesScreen(const ScreenContext& context)
      : ChildScreen(context, Screen::Ondo_Form),
        Grid(new DataGrid(context.dialogs, this)),
        List1(new ListBox(this)),
        Text_Titen(new QLineEdit(this)),
        Save(new QPushButton(this)),
        Cancel(new QPushButton(this)),
        Flow(*this, *Grid, *List1, *Text_Titen, Deleting,
             RecordFlow::Options{
                 .newRecordName = QStringLiteral("新規温度"),
                 .applyBeforeDeletion = false,
                 .saveSelection = RecordFlow::SaveSelection::AsApplied,
                 .storeEmptyFirstRow = false,
                 .deleteKind = 6,
                 .headerTexts = {QStringLiteral("年/月/日"), QStringLiteral("地温(℃)")},
                 .recordModeWidgets = {Save},
                 .newModeWidgets = {Cancel},
             },
             Binding()) {
    Grid->MSFlexGrid1->SetCols(2);
    Grid->MSFlexGrid1->SetRows(5);
    Flow.FillList();
    Flow.NewRecord();
    Grid->EditLink = true;
  }

  RecordFlow::Binding Binding() {
    hensuu& st = Store();
    RecordFlow::Binding b;
    BindTable(b, st.TionTable, st.TionCurrent);
    b.name = [&st](int16_t i) { return st.TionTable(i).SiteName; };
    b.show = [this, &st](int16_t i) {
      Text_Titen->setText(Q(st.TionTable(i).SiteName));
      ShowGridText(*Grid, st.TionTable(i).GridText);
    };
    b.blank = [this] { Grid->MSFlexGrid1->ClearText(); };
    b.cleanTable = [] {};
    b.store = [&st](int16_t i, const std::string& name, const std::string& text) {
      if (i > st.TionCount()) return st.TionTable.Append(TionRecord{name, text});
      st.TionTable.Replace(i, TionRecord{name, text});
      return true;
    };
    b.saveFile = [this, &st] { return SaveTionFile(st, Context().dataDir); };
    return b;
  }

  DataGrid* Grid;
  ListBox* List1;
  QLineEdit* Text_Titen;
  QPushButton* Save;
  QPushButton* Cancel;
  bool Deleting = false;
  RecordFlow Flow;
};

struct FlowEnv {
  QTemporaryDir tmp;
  hensuu store;
  ScriptedDialogs dialogs;
  NoNavigation navigation;
  std::filesystem::path DataDir() const { return std::filesystem::path(tmp.path().toStdString()); }
  ScreenContext Context() { return ScreenContext{store, dialogs, DataDir(), navigation}; }
};

TEST(RecordFlow, UntouchedNewRecordIsNeverStored) {
  FlowEnv env;
  env.store.TionCurrent = 1;
  SeriesScreen screen(env.Context());
  EXPECT_TRUE(screen.Flow.NewMode());
  EXPECT_EQ(screen.Grid->MSFlexGrid1->TextMatrix(0, 1), "地温(℃)");
  EXPECT_TRUE(screen.Flow.Close());
  screen.Flow.ApplyButton();
  EXPECT_EQ(env.store.TionCount(), 0);
  EXPECT_TRUE(screen.Flow.NewMode());

  // Anything in the first data row makes it a record, named when unnamed.
  screen.Grid->MSFlexGrid1->SetTextMatrix(1, 0, QStringLiteral("2004/04/01"));
  screen.Flow.ApplyButton();
  ASSERT_EQ(env.store.TionCount(), 1);
  EXPECT_EQ(env.store.TionTable(1).SiteName, "新規温度");
  EXPECT_EQ(screen.List1->count(), 1);
  EXPECT_FALSE(screen.Flow.NewMode());
  EXPECT_FALSE(screen.Save->isHidden());
  EXPECT_TRUE(screen.Cancel->isHidden());
}

TEST(RecordFlow, DeletionWithoutApplyKeepsPendingEditsAndSaveKeepsTheWholeSelection) {
  FlowEnv env;
  GridTable g(5, 2);
  g.Cell(0, 0) = "年/月/日";
  g.Cell(1, 0) = "2004/04/01";
  g.Cell(1, 1) = "12.5";
  env.store.TionTable.Append(TionRecord{"札幌", g.ToGridText()});
  env.store.TionTable.Append(TionRecord{"盛岡", g.ToGridText()});
  env.store.TionCurrent = 2;
  SeriesScreen screen(env.Context());
  screen.Flow.ShowRecord();
  EXPECT_EQ(screen.Text_Titen->text(), "盛岡");

  screen.Text_Titen->setText(QStringLiteral("書きかけ"));
  bool ran = false;
  screen.Flow.DeleteButton([&] {
    ran = true;
    EXPECT_TRUE(screen.Deleting);
    EXPECT_EQ(env.store.DeleteKind, 6);
    EXPECT_EQ(env.store.TionTable(2).SiteName, "盛岡");  // nothing applied first
    env.store.TionTable.Remove(1);
    env.store.TionCurrent = 1;
  });
  EXPECT_TRUE(ran);
  EXPECT_FALSE(screen.Deleting);
  ASSERT_EQ(env.store.TionCount(), 1);
  // The shown series was not deleted: what was typed stays, and is saved.
  EXPECT_EQ(screen.Text_Titen->text(), "書きかけ");
  EXPECT_EQ(screen.List1->count(), 1);

  screen.Flow.SaveButton();
  FlexGrid* grid = screen.Grid->MSFlexGrid1;
  EXPECT_EQ(grid->Row(), 0);
  EXPECT_EQ(grid->RowSel(), grid->Rows() - 1);
  EXPECT_EQ(grid->ColSel(), 1);
  hensuu reread;
  EXPECT_TRUE(LoadDataFiles(reread, env.DataDir()).empty());
  ASSERT_EQ(reread.TionCount(), 1);
  EXPECT_EQ(reread.TionTable(1).SiteName, "書きかけ");
  EXPECT_TRUE(env.dialogs.shown.empty());
}

}  // namespace
}  // namespace kelvora
