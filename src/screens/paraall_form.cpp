#include "screens/paraall_form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMdiSubWindow>
#include <QVBoxLayout>
#include <algorithm>

#include "kinetics/model_kind.h"
#include "print/file_export.h"
#include "screens/controls.h"
#include "screens/dialogs.h"
#include "screens/model_frame.h"
#include "screens/qtext.h"
#include "screens/twips.h"
#include "store/cp932.h"
#include "store/hensuu.h"
#include "store/number_text.h"
#include "store/parameter_export.h"
#include "store/sakujyo.h"

namespace kelvora {

namespace {

constexpr int kParamRows = 7;
constexpr int kAicRow = 8;
constexpr int kRssRow = 9;
constexpr int kStdTempRow = 10;

}  // namespace

ParaAll_Form::ParaAll_Form(const ScreenContext& context, QWidget* parent)
    : ChildScreen(context, Screen::ParaAll_Form, parent),
      List1(new ListBox(this)),
      Frame1(new QGroupBox(this)),
      Option1(new QRadioButton(QStringLiteral("単純型"), Frame1)),
      Option2(new QRadioButton(QStringLiteral("単純並行型"), Frame1)),
      Option3(new QRadioButton(QStringLiteral("有機化無機化並行型"), Frame1)),
      Option4(new QRadioButton(QStringLiteral("肥料単純型"), Frame1)),
      Option5(new QRadioButton(QStringLiteral("シグモイド肥料型"), Frame1)),
      Option6(new QRadioButton(QStringLiteral("シグモイド肥料ガウス補正型"), Frame1)),
      Label2(new QLabel(QStringLiteral("土壌名（肥料名）"), this)),
      Text2(new QLineEdit(this)),
      Values(new ModelFrame(kParamRows, 1, false, this)),
      Label3(Values->Formula(1)),
      Command3(new QPushButton(QStringLiteral("手入力"), this)),
      Command4(new QPushButton(QStringLiteral("手入力適用"), this)),
      Command6(new QPushButton(QStringLiteral("キャンセル"), this)),
      Command8(new QPushButton(QStringLiteral("データ削除"), this)),
      Command2(new QPushButton(QStringLiteral("データ印刷"), this)),
      Command5(new QPushButton(QStringLiteral("終了"), this)),
      Command9(new QPushButton(QStringLiteral("エクスポート"), this)),
      options_{Option1, Option2, Option3, Option4, Option5, Option6} {
  setObjectName(QStringLiteral("ParaAll_Form"));
  List1->setObjectName(QStringLiteral("List1"));
  List1->setAccessibleName(QStringLiteral("パラメータ一覧"));
  Frame1->setObjectName(QStringLiteral("Frame1"));
  Frame1->setAccessibleName(QStringLiteral("モデル式"));
  Text2->setObjectName(QStringLiteral("Text2"));
  Text2->setAccessibleName(Label2->text());
  Label2->setBuddy(Text2);
  Values->setObjectName(QStringLiteral("Values"));
  Values->setFlat(true);
  Values->AddRow(QStringLiteral("AIC"));
  Values->AddRow(QStringLiteral("残差平方和"));
  Values->AddRow(QStringLiteral("標準温度（℃）"));
  Values->SetBoxWidth(TwipsToPixels(1500));
  for (int i = 1; i <= kStdTempRow; ++i) Text1(i)->setObjectName(QStringLiteral("Text1_%1").arg(i));
  Text1(kStdTempRow)->setText(QStringLiteral("25"));
  for (int m = 1; m <= 6; ++m) {
    options_[m - 1]->setObjectName(QStringLiteral("Option%1").arg(m));
    connect(options_[m - 1], &QRadioButton::clicked, this,
            [this, m] { Option_Click(static_cast<int16_t>(m)); });
  }
  const std::pair<QPushButton*, const char*> names[] = {
      {Command3, "Command3"}, {Command4, "Command4"}, {Command6, "Command6"},
      {Command8, "Command8"}, {Command2, "Command2"}, {Command5, "Command5"},
      {Command9, "Command9"}};
  for (const auto& [b, n] : names) {
    b->setObjectName(QString::fromLatin1(n));
    b->setAccessibleName(b->text());
    KeepSpaceWhenHidden(b);
  }

  // Layout: the list on the left, the model options beside it, the shown set
  // on the right; the buttons along the bottom.
  auto* optionLayout = new QVBoxLayout(Frame1);
  for (QRadioButton* o : options_) optionLayout->addWidget(o);
  optionLayout->addStretch(1);

  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(Label2);
  nameRow->addWidget(Text2, 1);
  auto* right = new QVBoxLayout;
  right->addLayout(nameRow);
  right->addWidget(Values, 1);

  auto* top = new QHBoxLayout;
  List1->setMinimumWidth(TwipsToPixels(2600));
  top->addWidget(List1);
  top->addWidget(Frame1);
  top->addLayout(right, 1);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {Command3, Command4, Command6, Command8, Command2, Command9}) {
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  buttons->addWidget(Command5);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);

  List1->onMouseDown = [this] { List1_MouseDown(); };
  List1->onKeyDown = [this](int key) { return List1_KeyDown(key); };
  connect(Command3, &QPushButton::clicked, this, &ParaAll_Form::Command3_Click);
  connect(Command4, &QPushButton::clicked, this, &ParaAll_Form::Command4_Click);
  connect(Command6, &QPushButton::clicked, this, &ParaAll_Form::Command6_Click);
  connect(Command8, &QPushButton::clicked, this, &ParaAll_Form::Command8_Click);
  connect(Command2, &QPushButton::clicked, this, &ParaAll_Form::Command2_Click);
  connect(Command5, &QPushButton::clicked, this, &ParaAll_Form::Command5_Click);
  connect(Command9, &QPushButton::clicked, this, &ParaAll_Form::Command9_Click);

  // Room for the longest model (seven rows) with AIC and residual rows, so
  // that no box is squeezed when a record of another model is shown.
  Text2->setMinimumWidth(TwipsToPixels(3600));
  ShowModelRows(2);
  Values->setMinimumSize(Values->sizeHint());
  Values->AddFooter(new QWidget(Values));  // the free room goes below the rows

  // Loading: the newest record, or hand entry when there is none.
  hensuu& st = Store();
  ShowModelRows(0);
  if (st.ParaCount() > 0) {
    FillList();
    SelectEntry(st.ParaCount() - 1);
    st.ParaCurrent = st.ParaCount();
    SetViewMode();
    Para_Hyouji();
  } else {
    listGeneration_ = st.ParaTable.Generation();
    st.ParaCurrent = 0;
    SetManualMode();
  }
  Deleting = false;
}

QLabel* ParaAll_Form::Label1(int i) const { return Values->Name(i); }
QLineEdit* ParaAll_Form::Text1(int i) const { return Values->Box(i); }

int16_t ParaAll_Form::CheckedModel() const {
  for (int m = 1; m <= 6; ++m) {
    if (options_[m - 1]->isChecked()) return static_cast<int16_t>(m);
  }
  return 0;
}

// Activating the window brings the list in step with the table.
void ParaAll_Form::Activated() {
  if (!Deleting) SyncList();
}

// --- showing ----------------------------------------------------------------------------------

void ParaAll_Form::ShowModelRows(int16_t model) {
  // The model's names, formula and rows; what the value boxes hold is kept
  // (the rows the model does not use are hidden, not emptied, so that typed
  // values come back when another model is chosen).
  QStringList typed;
  for (int i = 1; i <= kParamRows; ++i) typed << Text1(i)->text();
  Values->SetModel(model, ModelTexts::List);
  Values->setTitle(QString());
  for (int i = 1; i <= kParamRows; ++i) {
    Text1(i)->setText(typed[i - 1]);
    Text1(i)->setAccessibleName(Label1(i)->text());
    Label1(i)->setVisible(!Text1(i)->isHidden());
  }
  for (int i = kAicRow; i <= kStdTempRow; ++i) Text1(i)->setAccessibleName(Label1(i)->text());
  SetValueBoxesEditable(manual_);
}

void ParaAll_Form::SetValueBoxesEditable(bool editable) {
  Text2->setReadOnly(!editable);
  for (int i = 1; i <= kParamRows; ++i) Text1(i)->setReadOnly(!editable);
  Text1(kStdTempRow)->setReadOnly(!editable);
}

void ParaAll_Form::Para_Hyouji() {
  hensuu& st = Store();
  const int16_t r = st.ParaCurrent;
  if (r < 1 || r > st.ParaCount()) return;
  const ParaRecord rec = st.ParaTable(r);
  shownKey_ = st.ParaTable.KeyOf(r);
  if (IsValidModel(rec.ModelNo)) {
    Option(rec.ModelNo)->setChecked(true);
  } else {
    // A record without a known model: no option checked.
    for (QRadioButton* o : options_) o->setAutoExclusive(false);
    for (QRadioButton* o : options_) o->setChecked(false);
    for (QRadioButton* o : options_) o->setAutoExclusive(true);
  }
  ShowModelRows(rec.ModelNo);
  const int16_t used = IsValidModel(rec.ModelNo) ? RecordParamCount(rec.ModelNo) : 0;
  Values->SetValues(std::vector<float>(rec.Param.begin(), rec.Param.begin() + used));
  Text2->setText(Q(rec.SoilName));
  Text1(kStdTempRow)->setText(Q(SingleText(rec.StdTemp)));
  const bool fitted = !rec.IsManual;
  for (int i : {kAicRow, kRssRow}) {
    Label1(i)->setVisible(fitted);
    Text1(i)->setVisible(fitted);
  }
  if (fitted) {
    Text1(kAicRow)->setText(Q(FormatFixed(rec.Aic, 2)));
    Text1(kRssRow)->setText(Q(FormatFixed(rec.Rss, 2)));
  }
}

// --- modes ------------------------------------------------------------------------------------

void ParaAll_Form::SetViewMode() {
  for (QPushButton* b : {Command2, Command3, Command5, Command8, Command9}) b->show();
  for (QPushButton* b : {Command4, Command6}) b->hide();
  for (int i : {kAicRow, kRssRow}) {
    Label1(i)->show();
    Text1(i)->show();
  }
  Frame1->setEnabled(false);
  manual_ = false;
  SetValueBoxesEditable(false);
}

void ParaAll_Form::SetManualMode() {
  for (QPushButton* b : {Command2, Command3, Command5, Command8, Command9}) b->hide();
  for (QPushButton* b : {Command4, Command6}) b->show();
  Frame1->setEnabled(true);
  for (int i : {kAicRow, kRssRow}) {
    Label1(i)->hide();
    Text1(i)->hide();
  }
  Text2->clear();
  for (int i = 1; i <= kRssRow; ++i) Text1(i)->clear();
  manual_ = true;
  SetValueBoxesEditable(true);
  Text2->setFocus();
}

void ParaAll_Form::Option_Click(int16_t model) {
  if (!manual_) return;
  ShowModelRows(model);
}

// --- hand entry -------------------------------------------------------------------------------

bool ParaAll_Form::StoreManualEntry() {
  entryAccepted_ = false;
  Dialogs& dialogs = GetDialogs();
  auto refuse = [&](const QString& text, QWidget* focus) {
    dialogs.Message(this, kTitleCaution, text);
    if (focus) focus->setFocus();
    return false;
  };
  const std::string name = ToStoredForms(ReplaceQuotes(Text2->text().toStdString()));
  if (Text2->text().isEmpty()) return refuse(QStringLiteral("土壌名を記入して下さい"), Text2);
  const std::string stdTemp = Text1(kStdTempRow)->text().toStdString();
  if (stdTemp.empty()) {
    return refuse(QStringLiteral("標準温度を記入して下さい"), Text1(kStdTempRow));
  }
  if (!IsNumber(stdTemp)) {
    return refuse(QStringLiteral("標準温度に数字を記入して下さい"), Text1(kStdTempRow));
  }
  // Every reader of a parameter set needs its model.
  const int16_t model = CheckedModel();
  if (model == 0) return refuse(QStringLiteral("モデル式を選択して下さい"), Frame1);
  const int16_t k = RecordParamCount(model);
  ParaRecord rec;
  for (int i = 1; i <= k; ++i) {
    const std::string text = Text1(i)->text().toStdString();
    if (text.empty()) return refuse(QStringLiteral("パラメータを記入してください"), Text1(i));
    std::optional<float> v = ParseSingle(text);
    if (!v) return refuse(QStringLiteral("パラメータに数字を記入して下さい"), Text1(i));
    rec.Param[i - 1] = *v;
  }
  std::string bad;
  if (!CanStoreText(name, &bad)) {
    dialogs.Message(this, kTitleCaution, Q(UnstorableTextMessage(name, bad)),
                    Dialogs::Icon::Warning);
    Text2->setFocus();
    return false;
  }
  rec.SoilName = name;
  rec.ModelNo = model;
  rec.IsManual = true;
  rec.StdTemp = ParseSingle(stdTemp).value_or(0.0f);
  hensuu& st = Store();
  if (!st.ParaTable.Append(rec)) {
    dialogs.Message(this, kTitleCaution, Q(TableFullMessage()), Dialogs::Icon::Warning);
    return false;
  }
  st.ParaCurrent = st.ParaCount();
  List1->addItem(Q(rec.SoilName));
  listGeneration_ = st.ParaTable.Generation();
  entryAccepted_ = true;
  return true;
}

// --- the list ---------------------------------------------------------------------------------

void ParaAll_Form::FillList() {
  List1->clear();
  for (const ParaRecord& r : Store().ParaTable.Rows()) List1->addItem(Q(r.SoilName));
  listGeneration_ = Store().ParaTable.Generation();
}

void ParaAll_Form::SelectEntry(int position) {
  if (position >= 0 && position < List1->count()) {
    List1->setCurrentRow(position);
  } else {
    List1->clearSelection();
  }
}

void ParaAll_Form::ListClicked(int position) {
  if (Deleting) return;
  hensuu& st = Store();
  if (manual_) {
    if (GetDialogs().YesNo(this, kTitleCaution, QStringLiteral("手入力のデータを保存しますか")) &&
        !StoreManualEntry()) {
      // Still typing: the list names the record shown before.
      SelectEntry(st.ParaCurrent - 1);
      return;
    }
    SetViewMode();
  }
  if (position < 0 || position >= st.ParaCount()) return;
  SelectEntry(position);
  st.ParaCurrent = static_cast<int16_t>(position + 1);
  Para_Hyouji();
}

void ParaAll_Form::List1_MouseDown() {
  const QList<QListWidgetItem*> selected = List1->selectedItems();
  if (selected.isEmpty()) {
    // A press below the last entry: the list keeps naming the shown record.
    if (!manual_) SelectEntry(Store().ParaCurrent - 1);
    return;
  }
  ListClicked(List1->row(selected.front()));
}

bool ParaAll_Form::List1_KeyDown(int key) {
  if (Deleting) return true;
  const int16_t count = Store().ParaCount();
  int row = List1->currentRow();
  if (List1->selectedItems().isEmpty()) row = -1;
  switch (key) {
    case Qt::Key_Up:
      if (row > 0) ListClicked(row - 1);
      return true;
    case Qt::Key_Down:
      if (row + 1 < count) ListClicked(row + 1);
      return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      return true;
    default:
      return false;
  }
}

void ParaAll_Form::SyncList() {
  hensuu& st = Store();
  const int16_t shown = st.ParaTable.IndexOf(shownKey_);
  if (shown > 0) st.ParaCurrent = shown;
  if (st.ParaTable.Generation() == listGeneration_ && List1->count() == st.ParaCount()) return;
  FillList();
  if (manual_) {
    SelectEntry(st.ParaCurrent - 1);
    return;
  }
  if (st.ParaCount() == 0) {
    st.ParaCurrent = 0;
    SetManualMode();
    return;
  }
  // A shown set removed meanwhile: the one at its index (or the last).
  st.ParaCurrent = std::clamp<int16_t>(st.ParaCurrent, 1, st.ParaCount());
  SelectEntry(st.ParaCurrent - 1);
  Para_Hyouji();
}

void ParaAll_Form::RemoveRecordEntry(int position) {
  if (position >= 0 && position < List1->count()) delete List1->takeItem(position);
  listGeneration_ = Store().ParaTable.Generation();
}

// --- buttons ----------------------------------------------------------------------------------

void ParaAll_Form::Command3_Click() { SetManualMode(); }

void ParaAll_Form::Command4_Click() {
  if (!StoreManualEntry()) return;
  SetViewMode();
  ListClicked(Store().ParaCount() - 1);
}

void ParaAll_Form::Command6_Click() {
  hensuu& st = Store();
  SyncList();
  if (st.ParaCount() == 0) return;
  SetViewMode();
  int position = List1->selectedItems().isEmpty() ? -1 : List1->currentRow();
  if (position < 0) position = std::clamp<int16_t>(st.ParaCurrent, 1, st.ParaCount()) - 1;
  SelectEntry(position);
  st.ParaCurrent = static_cast<int16_t>(position + 1);
  Para_Hyouji();
}

void ParaAll_Form::Command8_Click() {
  hensuu& st = Store();
  if (st.ParaCount() == 0) {
    GetDialogs().Message(this, kTitleCaution, QStringLiteral("削除するデータがありません"));
    return;
  }
  // The dialog offers the shown set, not one another screen moved to.
  SyncList();
  Deleting = true;
  List1->ignorePresses = true;
  st.DeleteKind = kDeletePara;
  Context().navigation.RunDeletionDialog(this);
  // The dialog removes the entries of what it deleted; a list that is not in
  // step any more is rebuilt.
  if (List1->count() != st.ParaCount()) FillList();
  listGeneration_ = st.ParaTable.Generation();
  if (st.ParaCount() > 0) {
    st.ParaCurrent = std::clamp<int16_t>(st.ParaCurrent, 1, st.ParaCount());
    SelectEntry(st.ParaCurrent - 1);
    Para_Hyouji();
  } else {
    st.ParaCurrent = 0;
    SetManualMode();
  }
  List1->ignorePresses = false;
  Deleting = false;
}

void ParaAll_Form::Command2_Click() {
  // The print window offers the shown set.
  SyncList();
  Store().PrintKind = 1;
  Context().navigation.ShowPrintSelection();
}

void ParaAll_Form::Command5_Click() { CloseScreen(); }

void ParaAll_Form::Command9_Click() {
  SyncList();
  const hensuu& st = Store();
  if (st.ParaCount() == 0) {
    GetDialogs().Message(this, kTitleCaution, QStringLiteral("書き出すデータがありません"));
    return;
  }
  std::vector<int> all(static_cast<size_t>(st.ParaCount()));
  for (int i = 0; i < st.ParaCount(); ++i) all[static_cast<size_t>(i)] = i;
  ExportToFile(
      this, GetDialogs(), QStringLiteral("エクスポート"), QStringLiteral("パラメータ一覧.xlsx"),
      kXlsxFilter + QStringLiteral(";;") + kCsvFilter,
      [&st, &all](const std::filesystem::path& out) { return ExportParameters(st, all, out); });
}

}  // namespace kelvora
