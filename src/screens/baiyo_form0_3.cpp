#include "screens/baiyo_form0_3.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>

#include "screens/dialogs.h"
#include "screens/qtext.h"
#include "screens/twips.h"
#include "store/cp932.h"
#include "store/data_files.h"
#include "store/hensuu.h"

namespace kelvora {

namespace {

constexpr int kGridRows = 100;
constexpr int kGridCols = 4;
constexpr int kGridColWidthTwips = 1150;
const QColor kHeaderColor(224, 224, 224);

// A caption-less button that presses like its caption box.
QPushButton* CaptionButton(QWidget* parent) {
  auto* b = new QPushButton(parent);
  b->setFixedWidth(TwipsToPixels(360));
  return b;
}

}  // namespace

class Baiyo_Form0_3::Reload {
 public:
  explicit Reload(Baiyo_Form0_3& screen) : screen_(screen) { screen_.Grid->EditLink = false; }
  ~Reload() {
    screen_.Grid->EditLink = true;
    screen_.Grid->MSFlexGrid1_EnterCell();
  }
  Reload(const Reload&) = delete;
  Reload& operator=(const Reload&) = delete;

 private:
  Baiyo_Form0_3& screen_;
};

Baiyo_Form0_3::Baiyo_Form0_3(const ScreenContext& context, QWidget* parent)
    : ChildScreen(context, Screen::Baiyo_Form0_3, parent),
      MenuBar(new QMenuBar(this)),
      Grid(new DataGrid(context.dialogs, this)),
      MSFlexGrid1(Grid->MSFlexGrid1),
      Text_Edit(Grid->Text_Edit),
      Text3(new CaptionBox(QStringLiteral("① 新規作成"), this)),
      Command7(CaptionButton(this)),
      Label6(new QLabel(QStringLiteral("② 培養結果(窒素無機化量)の記入"), this)),
      Label5(new QLabel(QStringLiteral("1行目に培養温度を記入"), this)),
      Label3(new QLabel(QStringLiteral("(クリップボードから貼り付け出来ます。）"), this)),
      Label1(new QLabel(QStringLiteral("③ 土壌名（肥料名）"), this)),
      Text_Dojyo(new QLineEdit(this)),
      Label8(new QLabel(QStringLiteral("④ 標準温度"), this)),
      Text1(new QLineEdit(this)),
      Label9(new QLabel(QStringLiteral("℃"), this)),
      Frame3(new QGroupBox(QStringLiteral("⑤ オプション"), this)),
      Option1(new QRadioButton(QStringLiteral("土壌     　（mg/100g）"), Frame3)),
      Option2(new QRadioButton(QStringLiteral("被覆肥料　（％）"), Frame3)),
      Label7(new QLabel(QStringLiteral("土壌      ： （mg/100g)"), this)),
      Label2(new QLabel(QStringLiteral("被覆肥料： （％）"), this)),
      Text4(new CaptionBox(QStringLiteral("⑥ 適用"), this)),
      Command3(CaptionButton(this)),
      Text2(new CaptionBox(QStringLiteral("⑦ パラメータ算出"), this)),
      Command5(CaptionButton(this)),
      Frame1(new QGroupBox(QStringLiteral("データ"), this)),
      List1(new ListBox(Frame1)),
      Command1(new QPushButton(QStringLiteral("ファイル保存"), Frame1)),
      Command8(new QPushButton(QStringLiteral("データ削除"), Frame1)),
      Command4(new QPushButton(QStringLiteral("キャンセル"), this)),
      Command6(new QPushButton(QStringLiteral("終了"), this)) {
  setObjectName(QStringLiteral("Baiyo_Form0_3"));
  setWindowTitle(ScreenCaption(Screen::Baiyo_Form0_3));
  BuildLayout();

  connect(Command7, &QPushButton::clicked, this, &Baiyo_Form0_3::Command7_Click);
  connect(Text3, &CaptionBox::clicked, Command7, &QPushButton::click);
  connect(Command3, &QPushButton::clicked, this, &Baiyo_Form0_3::Command3_Click);
  connect(Text4, &CaptionBox::clicked, Command3, &QPushButton::click);
  connect(Command5, &QPushButton::clicked, this, &Baiyo_Form0_3::Command5_Click);
  connect(Text2, &CaptionBox::clicked, Command5, &QPushButton::click);
  connect(Command1, &QPushButton::clicked, this, &Baiyo_Form0_3::Command1_Click);
  connect(Command8, &QPushButton::clicked, this, &Baiyo_Form0_3::Command8_Click);
  connect(Command4, &QPushButton::clicked, this, &Baiyo_Form0_3::Command4_Click);
  connect(Command6, &QPushButton::clicked, this, &Baiyo_Form0_3::Command6_Click);
  List1->onMouseDown = [this] { List1_MouseDown(); };
  List1->onKeyDown = [this](int key) { return List1_KeyDown(key); };

  // The load handler.
  hensuu& st = Store();
  Grid->EditLink = false;
  MSFlexGrid1->SetCols(kGridCols);
  MSFlexGrid1->SetRows(kGridRows);
  MSFlexGrid1->SetFixedRows(0);
  MSFlexGrid1->SetFixedCols(0);
  Midashi_Color();
  for (int c = 0; c < kGridCols; ++c) {
    MSFlexGrid1->SetColAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    MSFlexGrid1->SetColWidth(c, kGridColWidthTwips);
  }
  if (st.BaiyoCount() > 0) {
    if (st.BaiyoCurrent < 1 || st.BaiyoCurrent > st.BaiyoCount()) st.BaiyoCurrent = st.BaiyoCount();
    for (const BaiyoRecord& r : st.BaiyoTable.Rows()) List1->addItem(Q(r.SoilName));
    SelectListEntry(st.BaiyoCurrent - 1);
    ShowRecord();
  } else {
    st.BaiyoCurrent = 1;
    NewRecord();
  }
  Grid->EditLink = true;
  Grid->MSFlexGrid1_EnterCell();
  Deleting = false;
  Text1->setText(QStringLiteral("25"));
}

void Baiyo_Form0_3::BuildLayout() {
  MenuBar->addMenu(Grid->Edit);
  HelpMenu = MakeHelpMenu();
  MenuBar->addMenu(HelpMenu);

  Text_Dojyo->setObjectName(QStringLiteral("Text_Dojyo"));
  Text1->setObjectName(QStringLiteral("Text1"));
  List1->setObjectName(QStringLiteral("List1"));
  Option1->setChecked(true);
  Text1->setAlignment(Qt::AlignRight);
  Text1->setFixedWidth(TwipsToPixels(900));
  MSFlexGrid1->setMinimumHeight(TwipsToPixels(4700));
  for (QWidget* w : {static_cast<QWidget*>(Text3), static_cast<QWidget*>(Command7),
                     static_cast<QWidget*>(Command4)}) {
    KeepSpaceWhenHidden(w);
  }

  // Left: the steps ① and ② with the grid.
  auto* newRow = new QHBoxLayout;
  newRow->setSpacing(2);
  newRow->addWidget(Command7);
  newRow->addWidget(Text3);
  newRow->addStretch();
  auto* left = new QVBoxLayout;
  left->setSpacing(4);
  left->addLayout(newRow);
  left->addSpacing(6);
  left->addWidget(Label6);
  left->addWidget(Label5);
  left->addWidget(Label3);
  left->addWidget(Grid, 1);

  // Middle: name, standard temperature, material and the apply/fit buttons.
  auto* tempRow = new QHBoxLayout;
  tempRow->addWidget(Label8);
  tempRow->addWidget(Text1);
  tempRow->addWidget(Label9);
  tempRow->addStretch();
  auto* options = new QVBoxLayout(Frame3);
  options->addWidget(Option1);
  options->addWidget(Option2);
  auto* legend = new QVBoxLayout;
  legend->setSpacing(2);
  legend->addWidget(Label7);
  legend->addWidget(Label2);
  // "⑥ 適用" (new mode) and "⑦ パラメータ算出" (record mode) share a place.
  auto* actions = new QGridLayout;
  actions->setHorizontalSpacing(2);
  actions->addWidget(Command3, 0, 0);
  actions->addWidget(Text4, 0, 1);
  actions->addWidget(Command5, 0, 0);
  actions->addWidget(Text2, 0, 1);
  actions->setColumnStretch(2, 1);
  auto* middle = new QVBoxLayout;
  middle->addSpacing(Text3->sizeHint().height() + 6);
  middle->addWidget(Label1);
  middle->addWidget(Text_Dojyo);
  middle->addSpacing(10);
  middle->addLayout(tempRow);
  middle->addSpacing(10);
  middle->addWidget(Frame3);
  middle->addSpacing(4);
  middle->addLayout(legend);
  middle->addSpacing(18);
  middle->addLayout(actions);
  middle->addStretch(1);
  auto* cancelRow = new QHBoxLayout;
  cancelRow->addWidget(Command4);
  cancelRow->addStretch();
  middle->addLayout(cancelRow);

  // Right: the stored data sets.
  auto* frameButtons = new QHBoxLayout;
  frameButtons->addWidget(Command1);
  frameButtons->addWidget(Command8);
  auto* frame = new QVBoxLayout(Frame1);
  frame->addWidget(List1, 1);
  frame->addLayout(frameButtons);
  auto* endRow = new QHBoxLayout;
  endRow->addStretch();
  endRow->addWidget(Command6);
  auto* right = new QVBoxLayout;
  right->addSpacing(Text3->sizeHint().height() + 6);
  right->addWidget(Frame1, 1);
  right->addSpacing(6);
  right->addLayout(endRow);
  Frame1->setMinimumWidth(TwipsToPixels(3000));

  auto* body = new QHBoxLayout;
  body->setSpacing(TwipsToPixels(240));
  body->addLayout(left, 0);
  body->addLayout(middle, 0);
  body->addLayout(right, 1);
  auto* root = new QVBoxLayout(this);
  root->setMenuBar(MenuBar);
  root->setContentsMargins(10, 6, 10, 10);
  root->addLayout(body);
  Text_Dojyo->setMinimumWidth(TwipsToPixels(3200));
}

// --- operations ----------------------------------------------------------------------

void Baiyo_Form0_3::Midashi_Color() {
  for (int r = 0; r < MSFlexGrid1->Rows(); ++r) {
    MSFlexGrid1->SetRow(r);
    MSFlexGrid1->SetCol(0);
    MSFlexGrid1->SetCellBackColor(kHeaderColor);
  }
  for (int c = 0; c < MSFlexGrid1->Cols(); ++c) {
    MSFlexGrid1->SetRow(0);
    MSFlexGrid1->SetCol(c);
    MSFlexGrid1->SetCellBackColor(kHeaderColor);
  }
}

IncubationTableShape Baiyo_Form0_3::CleanTable() {
  GridTable cells = MSFlexGrid1->Cells();
  IncubationTableShape shape = CleanIncubationTable(cells);
  MSFlexGrid1->SetCells(cells);
  return shape;
}

void Baiyo_Form0_3::ShowRecord() {
  hensuu& st = Store();
  if (st.BaiyoCount() == 0) return;
  if (st.BaiyoCurrent < 1 || st.BaiyoCurrent > st.BaiyoCount()) return;
  const BaiyoRecord& rec = st.BaiyoTable(st.BaiyoCurrent);
  SelectListEntry(st.BaiyoCurrent - 1);
  Text_Dojyo->setText(Q(rec.SoilName));
  Text_Dojyo->setCursorPosition(0);
  (rec.IsFertilizer ? Option2 : Option1)->setChecked(true);
  // Nothing of the data set shown before may remain, also when a stored
  // table is shorter than the grid.
  MSFlexGrid1->ClearText();
  Grid->Edit_Select_All_Click();
  MSFlexGrid1->SetClip(Q(rec.GridText));
  Grid->SelectCell(1, 1);
  Text_Edit->setText(MSFlexGrid1->TextMatrix(1, 1));
  RecordModeButtons();
}

void Baiyo_Form0_3::NewRecord() {
  Text_Dojyo->clear();
  Option1->setChecked(true);
  MSFlexGrid1->ClearText();
  Midashi_Color();
  MSFlexGrid1->SetTextMatrix(0, 0, QStringLiteral("培養日数"));
  MSFlexGrid1->SetTextMatrix(0, 1, QStringLiteral("20"));
  MSFlexGrid1->SetTextMatrix(0, 2, QStringLiteral("25"));
  MSFlexGrid1->SetTextMatrix(0, 3, QStringLiteral("30"));
  MSFlexGrid1->SetTextMatrix(1, 0, QString());
  Grid->SelectCell(1, 1);
  Text_Edit->clear();
  SelectListEntry(-1);
  NewModeButtons();
}

bool Baiyo_Form0_3::ApplyRecord() {
  hensuu& st = Store();
  // The editor's text goes into its cell; moving the current cell below must
  // not commit it a second time over the cleaned cell.
  const bool link = Grid->EditLink;
  Grid->EditLink = false;
  struct Restore {
    DataGrid* grid;
    bool link;
    ~Restore() {
      if (link) {
        grid->EditLink = true;
        grid->MSFlexGrid1_EnterCell();
      }
    }
  } restore{Grid, link};

  Grid->CommitEditor();
  CleanTable();

  const bool isNew = st.BaiyoCurrent > st.BaiyoCount() || st.BaiyoCurrent < 1;
  // A double quote cannot be kept in the data files: it becomes "＂".
  std::string name = ReplaceQuotes(Text_Dojyo->text().toStdString());
  if (isNew && name.empty()) name = "新規土壌";
  std::string bad;
  if (!CanStoreText(name, &bad)) {
    GetDialogs().Message(this, kTitleCaution, Q(UnstorableTextMessage(name, bad)),
                         Dialogs::Icon::Warning);
    Text_Dojyo->setFocus();
    return false;
  }
  GridTable cells = MSFlexGrid1->Cells();
  for (int r = 0; r < cells.Rows(); ++r) {
    for (int c = 0; c < cells.Cols(); ++c) {
      std::string& cell = cells.Cell(r, c);
      cell = ReplaceQuotes(cell);
      if (!CanStoreText(cell, &bad)) {
        GetDialogs().Message(this, kTitleCaution, Q(UnstorableTextMessage(cell, bad)),
                             Dialogs::Icon::Warning);
        Grid->SelectCell(r, c);
        return false;
      }
    }
  }
  MSFlexGrid1->SetCells(cells);
  if (Q(name) != Text_Dojyo->text()) Text_Dojyo->setText(Q(name));

  BaiyoRecord rec;
  rec.SoilName = name;
  rec.IsFertilizer = Option2->isChecked();
  Grid->Edit_Select_All_Click();
  rec.GridText = MSFlexGrid1->Clip().toStdString();
  if (isNew) {
    if (!st.BaiyoTable.Append(rec)) {
      GetDialogs().Message(this, kTitleCaution, Q(TableFullMessage()), Dialogs::Icon::Warning);
      return false;
    }
    List1->addItem(Q(name));
    st.BaiyoCurrent = st.BaiyoCount();
  } else {
    st.BaiyoTable(st.BaiyoCurrent) = rec;
    if (QListWidgetItem* item = List1->item(st.BaiyoCurrent - 1)) item->setText(Q(name));
  }
  return true;
}

// --- buttons and events ----------------------------------------------------------------

void Baiyo_Form0_3::Command7_Click() {
  Reload reload(*this);
  if (!ApplyRecord()) return;
  Store().BaiyoCurrent = static_cast<int16_t>(Store().BaiyoCount() + 1);
  NewRecord();
}

void Baiyo_Form0_3::Command3_Click() {
  Reload reload(*this);
  if (ApplyRecord()) ShowRecord();
}

void Baiyo_Form0_3::Command4_Click() {
  hensuu& st = Store();
  // With an empty table the new data set stays on the screen as it is (what
  // the editor holds included), still to be appended as record 1.
  if (st.BaiyoCount() == 0) return;
  Reload reload(*this);
  st.BaiyoCurrent = st.BaiyoCount();
  ShowRecord();
}

void Baiyo_Form0_3::Command5_Click() {
  FitRequest request;
  {
    Reload reload(*this);
    // What the user typed last takes part in the calculation.
    Grid->CommitEditor();
    request.shape = CleanTable();
    request.table = MSFlexGrid1->Cells();
    request.name = Text_Dojyo->text().toStdString();
    request.standardTemp = Text1->text().toStdString();
    request.isFertilizer = Option2->isChecked();
  }
  if (OnParameterCalculation) OnParameterCalculation(*this, request);
}

void Baiyo_Form0_3::Command1_Click() {
  Reload reload(*this);
  if (!ApplyRecord()) return;
  Grid->SelectCell(0, 0);
  FileMessages messages = SaveBaiyoFile(Store(), Context().dataDir);
  SelectListEntry(Store().BaiyoCurrent - 1);
  if (!messages.empty()) {
    QStringList lines;
    for (const std::string& m : messages) lines << Q(m);
    GetDialogs().Message(this, kTitleCaution, lines.join(QStringLiteral("\n\n")),
                         Dialogs::Icon::Warning);
  }
}

void Baiyo_Form0_3::Command8_Click() {
  hensuu& st = Store();
  if (st.BaiyoCount() == 0) {
    GetDialogs().Message(this, kTitleCaution, QStringLiteral("削除するデータがありません"));
    return;
  }
  Reload reload(*this);
  if (!ApplyRecord()) return;
  Deleting = true;
  List1->ignorePresses = true;
  st.DeleteKind = 3;
  Context().navigation.RunDeletionDialog(this);
  // The list follows the table, whatever the dialog deleted.
  List1->clear();
  for (const BaiyoRecord& r : st.BaiyoTable.Rows()) List1->addItem(Q(r.SoilName));
  if (st.BaiyoCount() > 0) {
    st.BaiyoCurrent = std::clamp<int16_t>(st.BaiyoCurrent, 1, st.BaiyoCount());
    ShowRecord();
    SelectListEntry(st.BaiyoCurrent - 1);
  } else {
    NewRecord();
    st.BaiyoCurrent = 1;
  }
  Deleting = false;
  List1->ignorePresses = false;
}

void Baiyo_Form0_3::Command6_Click() { CloseScreen(); }

void Baiyo_Form0_3::List1_MouseDown() {
  if (Deleting) return;
  hensuu& st = Store();
  Reload reload(*this);
  if (!ApplyRecord()) {
    SelectListEntry(st.BaiyoCurrent - 1);
    return;
  }
  if (List1->selectedItems().isEmpty()) SelectListEntry(List1->count() - 1);
  const QList<QListWidgetItem*> selected = List1->selectedItems();
  if (selected.isEmpty()) return;
  st.BaiyoCurrent = static_cast<int16_t>(List1->row(selected.front()) + 1);
  ShowRecord();
}

bool Baiyo_Form0_3::List1_KeyDown(int key) {
  hensuu& st = Store();
  switch (key) {
    case Qt::Key_Up:
      if (st.BaiyoCurrent > 1) {
        Reload reload(*this);
        if (ApplyRecord()) {
          --st.BaiyoCurrent;
          ShowRecord();
        }
      }
      return true;
    case Qt::Key_Down:
      if (st.BaiyoCurrent < st.BaiyoCount()) {
        Reload reload(*this);
        if (ApplyRecord()) {
          ++st.BaiyoCurrent;
          ShowRecord();
        }
      }
      return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      // The list's selection always names the data set on the screen.
      return true;
    default:
      return false;
  }
}

bool Baiyo_Form0_3::QueryClose() {
  if (!ApplyRecord()) return false;
  TakeCascadeBack();
  return true;
}

void Baiyo_Form0_3::SelectListEntry(int index) {
  if (index >= 0 && index < List1->count()) {
    List1->setCurrentRow(index);
    List1->scrollToItem(List1->item(index));
  } else {
    List1->clearSelection();
    List1->setCurrentRow(-1);
  }
}

void Baiyo_Form0_3::RecordModeButtons() {
  newMode_ = false;
  for (QWidget* w : {static_cast<QWidget*>(Command1), static_cast<QWidget*>(Command7),
                     static_cast<QWidget*>(Text3), static_cast<QWidget*>(Command5),
                     static_cast<QWidget*>(Text2), static_cast<QWidget*>(Command8)}) {
    w->setVisible(true);
  }
  for (QWidget* w : {static_cast<QWidget*>(Command3), static_cast<QWidget*>(Text4),
                     static_cast<QWidget*>(Command4)}) {
    w->setVisible(false);
  }
}

void Baiyo_Form0_3::NewModeButtons() {
  newMode_ = true;
  for (QWidget* w : {static_cast<QWidget*>(Command1), static_cast<QWidget*>(Command7),
                     static_cast<QWidget*>(Text3), static_cast<QWidget*>(Command5),
                     static_cast<QWidget*>(Text2), static_cast<QWidget*>(Command8)}) {
    w->setVisible(false);
  }
  for (QWidget* w : {static_cast<QWidget*>(Command3), static_cast<QWidget*>(Text4),
                     static_cast<QWidget*>(Command4)}) {
    w->setVisible(true);
  }
}

}  // namespace kelvora
