#include "screens/baiyo_form0_3.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QVBoxLayout>

#include "screens/batch_fit_window.h"
#include "screens/qtext.h"
#include "screens/twips.h"
#include "store/data_files.h"
#include "store/hensuu.h"

namespace kelvora {

namespace {

constexpr int kGridRows = 100;
constexpr int kGridCols = 4;
constexpr int kGridColWidthTwips = 1150;
const QColor kHeaderColor(224, 224, 224);

}  // namespace

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
      Frame1(new StoredRecordsPanel(QStringLiteral("データ"), 3000, this)),
      List1(Frame1->List1),
      Command1(Frame1->Command1),
      Command8(Frame1->Command8),
      Command4(new QPushButton(QStringLiteral("キャンセル"), this)),
      Command6(new QPushButton(QStringLiteral("終了"), this)),
      flow_(*this, *Grid, *List1, *Text_Dojyo, Deleting,
            RecordFlow::Options{
                .newRecordName = QStringLiteral("新規土壌"),
                .applyBeforeDeletion = true,
                .saveSelection = RecordFlow::SaveSelection::FirstCell,
                .storeEmptyFirstRow = true,
                .deleteKind = 3,
                .headerTexts = {QStringLiteral("培養日数"), QStringLiteral("20"),
                                QStringLiteral("25"), QStringLiteral("30")},
                .recordModeWidgets = {Command1, Command7, Text3, Command5, Text2, Command8},
                .newModeWidgets = {Command3, Text4, Command4},
            },
            Binding()) {
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
  connect(BatchButton, &QPushButton::clicked, this, &Baiyo_Form0_3::BatchButton_Click);

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
    flow_.FillList();
    flow_.SelectListEntry(st.BaiyoCurrent - 1);
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
  // A CSV or TSV file dropped on the grid or chosen from the menu is pasted in.
  Grid->EnableFileLoading();
  MenuBar->addMenu(Grid->Edit);
  HelpMenu = MakeHelpMenu();
  MenuBar->addMenu(HelpMenu);

  Text_Dojyo->setObjectName(QStringLiteral("Text_Dojyo"));
  Text1->setObjectName(QStringLiteral("Text1"));
  // The numbered buttons carry no caption of their own: they are named by
  // their caption boxes, the text boxes by their labels.
  Command7->setAccessibleName(Text3->text());
  Command3->setAccessibleName(Text4->text());
  Command5->setAccessibleName(Text2->text());
  Text_Dojyo->setAccessibleName(Label1->text());
  Text1->setAccessibleName(Label8->text());
  MSFlexGrid1->setAccessibleName(Label6->text());
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
  // "一括計算" shares the row of "キャンセル" (which keeps its place when hidden).
  BatchButton = new QPushButton(QStringLiteral("一括計算"), this);
  cancelRow->addWidget(BatchButton);
  middle->addLayout(cancelRow);

  // Right: the stored data sets.
  QVBoxLayout* right = RecordsColumn(Frame1, Text3->sizeHint().height() + 6, Command6);

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

RecordFlow::Binding Baiyo_Form0_3::Binding() {
  hensuu& st = Store();
  RecordFlow::Binding b;
  BindTable(b, st.BaiyoTable, st.BaiyoCurrent);
  b.name = [&st](int16_t i) { return st.BaiyoTable(i).SoilName; };
  b.show = [this, &st](int16_t i) {
    const BaiyoRecord& rec = st.BaiyoTable(i);
    Text_Dojyo->setText(Q(rec.SoilName));
    Text_Dojyo->setCursorPosition(0);
    (rec.IsFertilizer ? Option2 : Option1)->setChecked(true);
    ShowGridText(*Grid, rec.GridText);
  };
  b.blank = [this] {
    Option1->setChecked(true);
    MSFlexGrid1->ClearText();
    Midashi_Color();
  };
  b.cleanTable = [this] { CleanTable(); };
  b.store = [this, &st](int16_t i, const std::string& name, const std::string& gridText) {
    BaiyoRecord rec{name, gridText, Option2->isChecked()};
    if (i > st.BaiyoCount()) return st.BaiyoTable.Append(std::move(rec));
    st.BaiyoTable.Replace(i, std::move(rec));
    return true;
  };
  b.saveFile = [this, &st] { return SaveBaiyoFile(st, Context().dataDir); };
  return b;
}

void Baiyo_Form0_3::ShowRecord() { flow_.ShowRecord(); }
void Baiyo_Form0_3::NewRecord() { flow_.NewRecord(); }
bool Baiyo_Form0_3::ApplyRecord() { return flow_.ApplyRecord(); }

// --- buttons and events ----------------------------------------------------------------

void Baiyo_Form0_3::Command7_Click() { flow_.NewButton(); }
void Baiyo_Form0_3::Command3_Click() { flow_.ApplyButton(); }
void Baiyo_Form0_3::Command4_Click() { flow_.CancelButton(); }

void Baiyo_Form0_3::Command5_Click() {
  FitRequest request;
  {
    RecordFlow::Reload reload(*Grid);
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

void Baiyo_Form0_3::Command1_Click() { flow_.SaveButton(); }

void Baiyo_Form0_3::Command8_Click() {
  flow_.DeleteButton([this] { Context().navigation.RunDeletionDialog(this); });
}

void Baiyo_Form0_3::Command6_Click() { CloseScreen(); }

void Baiyo_Form0_3::BatchButton_Click() {
  // The record on the screen is stored first, as "適用" stores it, so that
  // the batch fits what the screen shows.
  {
    RecordFlow::Reload reload(*Grid);
    if (!ApplyRecord()) return;
    ShowRecord();
  }
  ShowBatchFitWindow(*this, FitSource::Laboratory, Text1->text());
}
void Baiyo_Form0_3::List1_MouseDown() { flow_.ListMouseDown(); }
bool Baiyo_Form0_3::List1_KeyDown(int key) { return flow_.ListKeyDown(key); }

void Baiyo_Form0_3::Activated() {
  if (!Deleting) flow_.Follow();
}

bool Baiyo_Form0_3::QueryClose() {
  if (!flow_.Close()) return false;
  TakeCascadeBack();
  return true;
}

}  // namespace kelvora
