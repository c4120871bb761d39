// The parameter list driven with clicks and keys: opening on the newest set
// or in hand entry, the display per model, hand entry with its checks in
// order, list clicks during hand entry, paging, the list following sets
// appended by a fit, deletion through the real dialog and the print button.
#include "screens/paraall_form.h"

#include <gtest/gtest.h>

#include <QMdiArea>
#include <QTest>

#include "print/prifrm_select.h"
#include "screen_test_env.h"
#include "screens/controls.h"
#include "screens/delfrm_select.h"
#include "screens/parakekka_form0_1.h"
#include "store/grid_text.h"
#include "store/number_text.h"

namespace kelvora {
namespace {

using test::Key;
using test::ScreenEnv;
using test::Type;

ParaRecord Fitted(const std::string& name, int16_t model, std::array<float, 7> params) {
  ParaRecord r;
  r.SoilName = name;
  r.ModelNo = model;
  r.Param = params;
  r.Aic = 12.345f;
  r.Rss = 0.126f;
  r.StdTemp = 22.5f;
  return r;
}

void ClickEntry(QListWidget* list, int row, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, mods,
                    list->visualItemRect(list->item(row)).center());
}

QStringList Entries(QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

class ParaAllTest : public testing::Test {
 protected:
  void Open(std::initializer_list<ParaRecord> records) {
    for (const ParaRecord& r : records) env.store.ParaTable.Append(r);
    env.Show();
    QTest::mouseClick(env.main->Command2, Qt::LeftButton);
    screen = env.main->Find<ParaAll_Form>(Screen::ParaAll_Form);
    ASSERT_NE(screen, nullptr);
  }
  bool Shown(QWidget* w) const { return w->isVisibleTo(screen); }
  void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
  // A click on the option's circle.
  static void ClickOption(QRadioButton* o) {
    QTest::mouseClick(o, Qt::LeftButton, {}, QPoint(8, o->height() / 2));
  }
  void TypeInto(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    Key(Qt::Key_Delete);
    Type(text);
  }
  // Whether the entry of every record i is at position i - 1.
  void ExpectListInStep() {
    ASSERT_EQ(screen->List1->count(), env.store.ParaCount());
    for (int i = 0; i < screen->List1->count(); ++i) {
      EXPECT_EQ(screen->List1->item(i)->text().toStdString(),
                env.store.ParaTable(static_cast<int16_t>(i + 1)).SoilName);
    }
  }
  QString LastMessage() const {
    return env.dialogs.shown.empty() ? QString() : env.dialogs.shown.back().text;
  }

  ScreenEnv env;
  ParaAll_Form* screen = nullptr;
};

TEST_F(ParaAllTest, AnEmptyTableOpensInHandEntryThatNeedsAModel) {
  Open({});
  EXPECT_EQ(screen->windowTitle(), "パラメータ一覧");
  EXPECT_EQ(env.store.WindowCascadeOffset, 500);
  EXPECT_TRUE(screen->ManualMode());
  EXPECT_EQ(screen->Text1(10)->text(), "25");
  EXPECT_TRUE(screen->Frame1->isEnabled());
  EXPECT_TRUE(Shown(screen->Command4) && Shown(screen->Command6));
  EXPECT_FALSE(Shown(screen->Command3) || Shown(screen->Command8) || Shown(screen->Command2) ||
               Shown(screen->Command5));
  EXPECT_FALSE(Shown(screen->Text1(8)) || Shown(screen->Text1(9)));
  // "キャンセル" has no record to go back to.
  Click(screen->Command6);
  EXPECT_TRUE(screen->ManualMode());

  // No model chosen: refused, nothing stored.
  TypeInto(screen->Text2, "手入力土壌");
  Click(screen->Command4);
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].title, "注意");
  EXPECT_EQ(env.dialogs.shown[0].text, "モデル式を選択して下さい");
  EXPECT_EQ(env.store.ParaCount(), 0);
  EXPECT_TRUE(screen->ManualMode());

  // Model 2: box 2 empty wins over box 3 holding no number.
  ClickOption(screen->Option2);
  EXPECT_EQ(screen->Label1(2)->text(), "Ea2");
  EXPECT_EQ(screen->Label1(6)->text(), "No2");
  EXPECT_EQ(screen->Label3->text(), "N = No1(1-exp(-k1・t))+No2(1-exp(-k2・t))+C");
  EXPECT_TRUE(Shown(screen->Text1(7)));
  TypeInto(screen->Text1(1), "15000");
  TypeInto(screen->Text1(3), "abc");
  Click(screen->Command4);
  EXPECT_EQ(LastMessage(), "パラメータを記入してください");
  TypeInto(screen->Text1(2), "9000");
  Click(screen->Command4);
  EXPECT_EQ(LastMessage(), "パラメータに数字を記入して下さい");
  TypeInto(screen->Text1(3), "0.012");
  TypeInto(screen->Text1(4), "0.5");
  TypeInto(screen->Text1(5), "3.25");
  TypeInto(screen->Text1(6), "1");
  Click(screen->Command4);
  EXPECT_EQ(LastMessage(), "パラメータを記入してください");  // box 7
  // The standard temperature is checked before any parameter.
  TypeInto(screen->Text1(10), "");
  Click(screen->Command4);
  EXPECT_EQ(LastMessage(), "標準温度を記入して下さい");
  TypeInto(screen->Text1(10), "x");
  Click(screen->Command4);
  EXPECT_EQ(LastMessage(), "標準温度に数字を記入して下さい");
  TypeInto(screen->Text1(10), "22.5");
  TypeInto(screen->Text1(7), "0.1");
  EXPECT_EQ(env.store.ParaCount(), 0);
  const size_t messages = env.dialogs.shown.size();
  Click(screen->Command4);
  EXPECT_EQ(env.dialogs.shown.size(), messages);

  ASSERT_EQ(env.store.ParaCount(), 1);
  const ParaRecord& r = env.store.ParaTable(1);
  EXPECT_EQ(r.SoilName, "手入力土壌");
  EXPECT_EQ(r.ModelNo, 2);
  EXPECT_EQ(r.Param, (std::array<float, 7>{15000, 9000, 0.012f, 0.5f, 3.25f, 1, 0.1f}));
  EXPECT_TRUE(r.IsManual);
  EXPECT_EQ(r.Aic, 0);
  EXPECT_EQ(r.Rss, 0);
  EXPECT_EQ(r.StdTemp, 22.5f);
  EXPECT_EQ(env.store.ParaCurrent, 1);
  EXPECT_FALSE(screen->ManualMode());
  EXPECT_FALSE(screen->Frame1->isEnabled());
  EXPECT_EQ(screen->List1->currentRow(), 0);
  ExpectListInStep();
  // A hand-entered set shows no AIC or residual rows.
  EXPECT_FALSE(Shown(screen->Text1(8)) || Shown(screen->Text1(9)));
  EXPECT_EQ(screen->Text1(3)->text(), "0.01200");
  EXPECT_EQ(screen->Text1(10)->text(), "22.5");
}

TEST_F(ParaAllTest, ShowsTheNewestSetAndPagesWithinTheList) {
  Open({Fitted("土壌A", 1, {12345.6f, 0.0123456f, 5.005f, 1.5f, 0, 0, 0}),
        Fitted("肥料B", 5, {20000, 0.02f, 90, 10.5f, 15000, 0, 0}),
        Fitted("肥料C", 6, {20000, 0.02f, 90, 10.5f, 15000, 3.25f, 0})});
  EXPECT_FALSE(screen->ManualMode());
  EXPECT_EQ(env.store.ParaCurrent, 3);
  EXPECT_EQ(screen->List1->currentRow(), 2);
  EXPECT_TRUE(screen->Option6->isChecked());
  EXPECT_TRUE(Shown(screen->Text1(6)));
  EXPECT_FALSE(Shown(screen->Text1(7)));
  EXPECT_EQ(screen->Label1(6)->text(), "σ");
  EXPECT_EQ(screen->Text1(6)->text(), "3.25");
  EXPECT_EQ(screen->Text2->text(), "肥料C");
  EXPECT_TRUE(Shown(screen->Command3) && Shown(screen->Command8) && Shown(screen->Command2) &&
              Shown(screen->Command5));
  EXPECT_FALSE(Shown(screen->Command4) || Shown(screen->Command6));

  ClickEntry(screen->List1, 0);
  EXPECT_EQ(env.store.ParaCurrent, 1);
  EXPECT_TRUE(screen->Option1->isChecked());
  EXPECT_EQ(screen->Label3->text(), "N = No(1-exp(-k・t))+C");
  EXPECT_EQ(screen->Text1(1)->text(), "12346");    // "0"
  EXPECT_EQ(screen->Text1(2)->text(), "0.01235");  // "0.00000"
  EXPECT_EQ(screen->Text1(3)->text(), QString::fromStdString(FormatFixed(5.005f, 2)));
  EXPECT_FALSE(Shown(screen->Text1(5)));
  EXPECT_TRUE(Shown(screen->Text1(8)) && Shown(screen->Text1(9)));
  EXPECT_EQ(screen->Text1(8)->text(), "12.35");
  EXPECT_EQ(screen->Text1(9)->text(), "0.13");
  EXPECT_EQ(screen->Text1(10)->text(), "22.5");

  // Up on the first entry and Down on the last stay where they are.
  screen->List1->setFocus();
  Key(Qt::Key_Up);
  EXPECT_EQ(env.store.ParaCurrent, 1);
  EXPECT_EQ(screen->List1->currentRow(), 0);
  Key(Qt::Key_Down);
  EXPECT_EQ(env.store.ParaCurrent, 2);
  EXPECT_TRUE(screen->Option5->isChecked());
  EXPECT_EQ(screen->Label1(5)->text(), "Ea2");
  EXPECT_FALSE(Shown(screen->Text1(6)));
  Key(Qt::Key_Down);
  Key(Qt::Key_Down);
  EXPECT_EQ(env.store.ParaCurrent, 3);
  EXPECT_EQ(screen->List1->currentRow(), 2);
  EXPECT_EQ(screen->Text2->text(), "肥料C");
  // The frame of options cannot change the shown model.
  ClickOption(screen->Option1);
  EXPECT_TRUE(screen->Option6->isChecked());

  // "データ印刷" opens the print selection for parameter sets with the shown
  // record selected, without waiting.
  Click(screen->Command2);
  EXPECT_EQ(env.store.PrintKind, 1);
  PriFrm_Select* print = env.main->PrintSelection();
  ASSERT_NE(print, nullptr);
  EXPECT_TRUE(print->isVisible());
  EXPECT_FALSE(print->isModal());
  EXPECT_EQ(print->Kind(), 1);
  EXPECT_EQ(print->List1->count(), env.store.ParaCount());
  EXPECT_EQ(print->List1->currentRow(), 2);
  EXPECT_EQ(print->List1->item(2)->text(), "肥料C");
}

TEST_F(ParaAllTest, ListClicksDuringHandEntryAskFirst) {
  Open({Fitted("土壌A", 1, {1, 2, 3, 4, 0, 0, 0}), Fitted("土壌B", 1, {1, 2, 3, 4, 0, 0, 0})});
  Click(screen->Command3);
  EXPECT_TRUE(screen->ManualMode());
  EXPECT_EQ(screen->Text2->text(), "");
  EXPECT_EQ(screen->Text1(10)->text(), "22.5");  // kept from the shown record
  ClickOption(screen->Option4);
  TypeInto(screen->Text1(1), "1");
  // Yes with an empty name: the message, still typing.
  env.dialogs.answers = {true};
  ClickEntry(screen->List1, 0);
  EXPECT_EQ(LastMessage(), "土壌名を記入して下さい");
  EXPECT_TRUE(screen->ManualMode());
  EXPECT_EQ(screen->Text1(1)->text(), "1");
  // No drops the typed set and shows the clicked record.
  env.dialogs.answers = {false};
  ClickEntry(screen->List1, 0);
  EXPECT_EQ(env.dialogs.shown.back().text, "手入力のデータを保存しますか");
  EXPECT_FALSE(screen->ManualMode());
  EXPECT_EQ(env.store.ParaCurrent, 1);
  EXPECT_EQ(screen->Text2->text(), "土壌A");
  EXPECT_EQ(env.store.ParaCount(), 2);

  // Yes with a complete set stores it and shows the clicked record.
  Click(screen->Command3);
  TypeInto(screen->Text2, "手入力");
  ClickOption(screen->Option4);
  for (int i = 1; i <= 4; ++i) TypeInto(screen->Text1(i), QString::number(i));
  env.dialogs.answers = {true};
  ClickEntry(screen->List1, 1);
  ASSERT_EQ(env.store.ParaCount(), 3);
  EXPECT_EQ(env.store.ParaTable(3).ModelNo, 4);
  EXPECT_EQ(env.store.ParaTable(3).Param, (std::array<float, 7>{1, 2, 3, 4, 0, 0, 0}));
  EXPECT_EQ(env.store.ParaCurrent, 2);
  EXPECT_EQ(screen->Text2->text(), "土壌B");
  ExpectListInStep();
}

TEST_F(ParaAllTest, DeletingTwoAndFourOfFiveThenEverythingThroughTheDialog) {
  Open({Fitted("A", 1, {1, 2, 3, 4, 0, 0, 0}), Fitted("B", 1, {1, 2, 3, 4, 0, 0, 0}),
        Fitted("C", 1, {1, 2, 3, 4, 0, 0, 0}), Fitted("D", 1, {1, 2, 3, 4, 0, 0, 0}),
        Fitted("E", 1, {1, 2, 3, 4, 0, 0, 0})});
  bool deletingMeanwhile = false;
  env.dialogs.onExec = [&](QDialog& d) {
    auto& dialog = dynamic_cast<DelFrm_Select&>(d);
    deletingMeanwhile = screen->Deleting;
    EXPECT_EQ(env.store.DeleteKind, 5);
    ClickEntry(dialog.List1, 1);
    ClickEntry(dialog.List1, 3, Qt::ControlModifier);
    Click(dialog.Command2);
    return dialog.result();
  };
  Click(screen->Command8);
  EXPECT_TRUE(deletingMeanwhile);
  EXPECT_FALSE(screen->Deleting);
  EXPECT_EQ(Entries(screen->List1), QStringList({"A", "C", "E"}));
  ExpectListInStep();
  EXPECT_EQ(env.store.ParaCurrent, 2);
  EXPECT_EQ(screen->List1->currentRow(), 1);
  EXPECT_EQ(screen->Text2->text(), "C");

  env.dialogs.onExec = [&](QDialog& d) {
    auto& dialog = dynamic_cast<DelFrm_Select&>(d);
    Click(dialog.Command1);
    Click(dialog.Command2);
    return dialog.result();
  };
  Click(screen->Command8);
  EXPECT_EQ(env.store.ParaCount(), 0);
  EXPECT_EQ(screen->List1->count(), 0);
  EXPECT_TRUE(screen->ManualMode());
  EXPECT_EQ(screen->Text2->text(), "");

  // With nothing left the button only says so (in hand entry it is hidden,
  // so it is pressed through its handler).
  env.dialogs.onExec = nullptr;
  screen->Command8_Click();
  EXPECT_EQ(LastMessage(), "削除するデータがありません");
}

TEST_F(ParaAllTest, TheListFollowsRecordsAppendedElsewhere) {
  Open({Fitted("土壌A", 1, {1, 2, 3, 4, 0, 0, 0})});
  ClickEntry(screen->List1, 0);
  // Another screen appends while the list is open; activating the list
  // brings it in step, the shown record staying.
  env.store.ParaTable.Append(Fitted("土壌B", 2, {1, 2, 3, 4, 5, 6, 7}));
  env.main->OpenChildScreen(Screen::Baiyo_Form0_3);
  env.main->OpenChildScreen(Screen::ParaAll_Form);
  ExpectListInStep();
  EXPECT_EQ(env.store.ParaCurrent, 1);
  EXPECT_EQ(screen->List1->currentRow(), 0);
  ClickEntry(screen->List1, 1);
  EXPECT_EQ(screen->Text2->text(), "土壌B");
}

// A fit run from the incubation screen appends its set while the list stays
// open behind; the results screen's "パラメータ計算結果一覧" brings the list
// forward.
TEST_F(ParaAllTest, AFitAppendsToTheOpenList) {
  Open({Fitted("土壌A", 1, {1, 2, 3, 4, 0, 0, 0})});
  const std::string table =
      test::ReadBytes(std::filesystem::path(KELVORA_SOURCE_DIR) / "tests/data/bench/soil-3x10.tsv");
  GridTable g = GridFromRows(SplitGridText(table, kSpreadsheetFormat), 100, 4);
  g.Resize(100, 4);
  env.store.BaiyoTable.Append(BaiyoRecord{"試料", g.ToGridText(), false});
  env.store.BaiyoCurrent = 1;
  Baiyo_Form0_3* baiyo = env.OpenBaiyo();
  ASSERT_NE(baiyo, nullptr);
  Click(baiyo->Command5);
  ASSERT_EQ(env.store.ParaCount(), 2);
  ASSERT_EQ(screen, env.main->Find<ParaAll_Form>(Screen::ParaAll_Form));
  ExpectListInStep();
  EXPECT_EQ(screen->List1->item(1)->text(), "試料");

  auto* results = env.main->Find<ParaKekka_Form0_1>(Screen::ParaKekka_Form0_1);
  ASSERT_NE(results, nullptr);
  Click(results->Command2);
  EXPECT_EQ(env.main->FindScreen(Screen::ParaKekka_Form0_1), nullptr);
  EXPECT_EQ(env.main->Find<ParaAll_Form>(Screen::ParaAll_Form), screen);
  EXPECT_EQ(env.main->MdiArea->activeSubWindow(), env.main->FrameOf(Screen::ParaAll_Form));
  ClickEntry(screen->List1, 1);
  EXPECT_EQ(screen->Text2->text(), "試料");
  EXPECT_EQ(screen->Text1(8)->text(),
            QString::fromStdString(FormatFixed(env.store.ParaTable(2).Aic, 2)));
}

}  // namespace
}  // namespace kelvora
