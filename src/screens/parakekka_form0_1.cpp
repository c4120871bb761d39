#include "screens/parakekka_form0_1.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "kinetics/fit_sequence.h"
#include "kinetics/model_kind.h"
#include "screens/controls.h"
#include "screens/dialogs.h"
#include "screens/fit_runner.h"
#include "screens/qtext.h"
#include "store/cp932.h"
#include "store/hensuu.h"
#include "store/number_text.h"

namespace kelvora {

namespace {

// Decimals of the number pattern a parameter is shown with.
int Decimals(const std::string& name, int16_t model) {
  if (name.rfind("Ea", 0) == 0) return 0;                  // "0"
  if (name.rfind("k", 0) == 0) return model == 6 ? 4 : 5;  // "0.0000" / "0.00000"
  return 2;                                                // "0.00"
}

// The values shown for a model: for the Gaussian model the five SigmoidFert
// values and its own sigma.
std::vector<float> ShownValues(const FitSession& s, int16_t model) {
  if (model != 6) return s.params[model];
  std::vector<float> v = s.params[5];
  v.resize(5, 0.0f);
  v.push_back(s.params[6].empty() ? 0.0f : s.params[6][0]);
  return v;
}

void PaintCaptionRed(QCheckBox* box) {
  QPalette p = box->palette();
  p.setColor(QPalette::WindowText, QColor(255, 0, 0));
  box->setPalette(p);
}

}  // namespace

VerticalTitle::VerticalTitle(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {}

QSize VerticalTitle::sizeHint() const {
  QFontMetrics fm(font());
  return QSize(fm.height() + 6, fm.horizontalAdvance(text_) + 12);
}

void VerticalTitle::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.translate(0, height());
  p.rotate(-90);
  p.drawText(QRect(0, 0, height(), width()), Qt::AlignCenter, text_);
}

ParaKekka_Form0_1::ParaKekka_Form0_1(const ScreenContext& context, QWidget* parent)
    : ChildScreen(context, Screen::ParaKekka_Form0_1, parent),
      Label1(new QLabel(QStringLiteral("土壌名（肥料名）："), this)),
      Lab_Dojyo(new QLabel(this)),
      Label2(new QLabel(this)),
      Label4(new QLabel(this)),
      Label5(new QLabel(this)),
      Label6(new QLabel(this)),
      Label7(new QLabel(this)),
      MSChart1(new QChartView(new QChart, this)),
      Picture2(new VerticalTitle(QStringLiteral("窒素無機化量　 (mg/100g)"), this)),
      Label8(new QLabel(
          QStringLiteral(
              "各モデルの「最適なモデル」をクリックすると、グラフがそのモデルに変わります。"),
          this)),
      Command5(new QPushButton(QStringLiteral("初期値の変更"), this)),
      Command1(new QPushButton(QStringLiteral("再計算"), this)),
      Command7(new QPushButton(QStringLiteral("キャンセル"), this)),
      Command6(new QPushButton(QStringLiteral("終了"), this)),
      Command4(new QPushButton(QStringLiteral("他のパラメータを算出"), this)),
      Command3(new QPushButton(QStringLiteral("印刷"), this)),
      Command2(new QPushButton(QStringLiteral("パラメータ計算結果一覧"), this)),
      session_(*context.session) {
  setObjectName(QStringLiteral("ParaKekka_Form0_1"));
  setWindowTitle(ScreenCaption(Screen::ParaKekka_Form0_1));
  for (int f = 1; f <= 3; ++f) {
    Frame[f] = new QGroupBox(this);
    Frame[f]->setObjectName(QStringLiteral("Frame%1").arg(f));
    Check[f] = new QCheckBox(QStringLiteral("最適なモデル"), Frame[f]);
    Check[f]->setObjectName(QStringLiteral("Check%1").arg(f));
  }
  auto makeRow = [](QGroupBox* frame, QLabel*& name, QLineEdit*& box) {
    name = new QLabel(frame);
    box = new QLineEdit(frame);
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignRight);
  };
  for (int r = 1; r <= 6; ++r) makeRow(Frame[1], Lal_TanPara[r], Text_TanPara[r]);
  for (int r = 1; r <= 9; ++r) makeRow(Frame[2], Lal_HeiPara[r], Text_HeiPara[r]);
  for (int r = 1; r <= 9; ++r) makeRow(Frame[3], Lal_YuuPara[r], Text_YuuPara[r]);
  for (int i = 1; i <= 18; ++i) {
    QWidget* owner = i <= 4 ? Frame[1] : i <= 11 ? Frame[2] : Frame[3];
    Label3[i] = new QLabel(owner);
  }
  BuildLayout();

  connect(Command5, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command5_Click);
  connect(Command1, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command1_Click);
  connect(Command7, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command7_Click);
  connect(Command6, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command6_Click);
  connect(Command4, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command4_Click);
  connect(Command3, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command3_Click);
  connect(Command2, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command2_Click);
  for (int f = 1; f <= 3; ++f) {
    connect(Check[f], &QCheckBox::clicked, this, [this, f] { Check_MouseDown(f); });
  }

  // Loading: the frames, the best model checked and red, the chart.
  FillFrames();
  const QString best = Q(session_.bestModelName);
  int bestFrame = 0;
  if (session_.material == MaterialKind::Soil) {
    bestFrame = best == QStringLiteral("単純型") ? 1 : best == QStringLiteral("単純並行型") ? 2 : 3;
  } else {
    for (int f = 1; f <= 3; ++f) {
      if (best == Q(ModelName(FrameModel(f)))) bestFrame = f;
    }
  }
  for (int f = 1; f <= 3; ++f) Check[f]->setChecked(f == bestFrame);
  if (bestFrame) PaintCaptionRed(Check[bestFrame]);
  DrawFitChart();
  Lab_Dojyo->setText(Q(session_.sampleName));
  modelAtLoad_ = session_.currentModel;
  modelChanged_ = false;
  session_.refitFromResults = false;
  ShowResultButtons();
}

int16_t ParaKekka_Form0_1::FrameModel(int frame) const {
  return static_cast<int16_t>(session_.material == MaterialKind::Soil ? frame : frame + 3);
}

QLineEdit* ParaKekka_Form0_1::Box(int frame, int row) const {
  return frame == 1 ? Text_TanPara[row] : frame == 2 ? Text_HeiPara[row] : Text_YuuPara[row];
}
QLabel* ParaKekka_Form0_1::Name(int frame, int row) const {
  return frame == 1 ? Lal_TanPara[row] : frame == 2 ? Lal_HeiPara[row] : Lal_YuuPara[row];
}
QLabel* ParaKekka_Form0_1::Unit(int frame, int row) const {
  if (row > ParamRows(frame)) return nullptr;
  return Label3[(frame == 1 ? 0 : frame == 2 ? 4 : 11) + row];
}

QChart* ParaKekka_Form0_1::Chart() const { return MSChart1->chart(); }

void ParaKekka_Form0_1::BuildLayout() {
  QFont bold = Lab_Dojyo->font();
  bold.setBold(true);
  Lab_Dojyo->setFont(bold);
  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(Label1);
  nameRow->addWidget(Lab_Dojyo, 1);

  const QLabel* formulas[4][2] = {{}, {Label2, nullptr}, {Label4, Label5}, {Label6, Label7}};
  const int boxWidth = QFontMetrics(font()).horizontalAdvance(QStringLiteral("00000000.00")) + 12;
  for (int f = 1; f <= 3; ++f) {
    auto* grid = new QGridLayout(Frame[f]);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    int row = 0;
    for (const QLabel* l : formulas[f]) {
      if (!l) continue;
      grid->addWidget(const_cast<QLabel*>(l), row++, 0, 1, 3);
    }
    if (f == 1) grid->addWidget(new QLabel(Frame[f]), row++, 0, 1, 3);  // keeps the rows level
    for (int r = 1; r <= Rows(f); ++r) {
      Box(f, r)->setFixedWidth(boxWidth);
      grid->addWidget(Name(f, r), row, 0);
      grid->addWidget(Box(f, r), row, 1);
      if (QLabel* u = Unit(f, r)) grid->addWidget(u, row, 2);
      ++row;
    }
    grid->setRowStretch(row++, 1);
    grid->addWidget(Check[f], row, 0, 1, 3);
    grid->setColumnStretch(2, 1);
  }

  Chart()->legend()->setVisible(true);
  Chart()->legend()->setAlignment(Qt::AlignBottom);
  MSChart1->setRenderHint(QPainter::Antialiasing);
  MSChart1->setMinimumSize(470, 330);
  auto* chartRow = new QHBoxLayout;
  chartRow->setSpacing(0);
  chartRow->addWidget(Picture2);
  chartRow->addWidget(MSChart1, 1);

  Label8->setWordWrap(true);
  auto* buttons = new QGridLayout;
  buttons->setHorizontalSpacing(8);
  buttons->setVerticalSpacing(4);
  // Two columns under the chart; "再計算" and "キャンセル" take the places of
  // the buttons hidden while initial values are edited.
  buttons->addWidget(Command5, 0, 0);
  buttons->addWidget(Command6, 0, 1);
  buttons->addWidget(Command4, 1, 0);
  buttons->addWidget(Command3, 1, 1);
  buttons->addWidget(Command2, 2, 0);
  buttons->addWidget(Command1, 0, 1);
  buttons->addWidget(Command7, 1, 1);
  for (QPushButton* b : {Command5, Command6, Command4, Command3, Command2, Command1, Command7}) {
    b->setMinimumHeight(b->sizeHint().height() + 4);
    b->setAutoDefault(false);
    KeepSpaceWhenHidden(b);
  }

  auto* left = new QVBoxLayout;
  left->addLayout(chartRow, 1);
  left->addWidget(Label8);
  left->addLayout(buttons);

  auto* frames = new QHBoxLayout;
  frames->setSpacing(6);
  for (int f = 1; f <= 3; ++f) {
    KeepSpaceWhenHidden(Frame[f]);  // the layout stays put while a frame is hidden
    frames->addWidget(Frame[f], 0, Qt::AlignTop);
  }

  auto* body = new QHBoxLayout;
  body->addLayout(left, 1);
  body->addSpacing(6);
  body->addLayout(frames);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 8, 10, 10);
  layout->addLayout(nameRow);
  layout->addLayout(body, 1);
}

void ParaKekka_Form0_1::FillFrames() {
  for (int f = 1; f <= 3; ++f) {
    const int16_t m = FrameModel(f);
    Frame[f]->setTitle(Q(ModelName(m)));
    QLabel* line1 = f == 1 ? Label2 : f == 2 ? Label4 : Label6;
    QLabel* line2 = f == 1 ? nullptr : f == 2 ? Label5 : Label7;
    line1->setText(Q(FormulaResultsLine1(m)));
    if (line2) line2->setText(Q(FormulaResultsLine2(m)));
    const std::vector<std::string>& names = ParamNames(m);
    const std::vector<std::string>& units = ParamUnits(m);
    const std::vector<float> values = ShownValues(session_, m);
    const int n = static_cast<int>(names.size());
    for (int r = 1; r <= ParamRows(f); ++r) {
      QLineEdit* box = Box(f, r);
      box->setReadOnly(true);
      if (r <= n) {
        Name(f, r)->setText(Q(names[r - 1]));
        Unit(f, r)->setText(Q(units[r - 1]));
        box->setText(r <= static_cast<int>(values.size())
                         ? Q(FormatFixed(values[r - 1], Decimals(names[r - 1], m)))
                         : QString());
        box->show();
      } else {
        Name(f, r)->clear();
        Unit(f, r)->clear();
        box->clear();
        box->hide();
      }
    }
    const int aicRow = ParamRows(f) + 1;
    Name(f, aicRow)->setText(QStringLiteral("AIC"));
    Box(f, aicRow)->setText(Q(FormatFixed(session_.aic[m], 2)));
    Name(f, aicRow + 1)->setText(QStringLiteral("残差平方和"));
    Box(f, aicRow + 1)->setText(Q(FormatFixed(session_.rss[m], 2)));
    Frame[f]->show();
  }
}

void ParaKekka_Form0_1::DrawFitChart() {
  QChart* chart = Chart();
  const int16_t m = session_.currentModel;
  if (IsValidModel(m)) chart->setTitle(Q(ModelName(m)));
  chart->removeAllSeries();
  for (QAbstractAxis* axis : chart->axes()) {
    chart->removeAxis(axis);
    delete axis;
  }
  auto* calc = new QScatterSeries;
  calc->setName(QStringLiteral("計算値"));
  calc->setMarkerShape(QScatterSeries::MarkerShapeCircle);
  calc->setMarkerSize(7);
  calc->setColor(QColor(30, 90, 200));
  calc->setBorderColor(QColor(30, 90, 200));
  // The analysed markers are half as large again and hollow, so a calculated
  // point on top of one stays visible.
  auto* observed = new QScatterSeries;
  observed->setName(QStringLiteral("分析値"));
  observed->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
  observed->setMarkerSize(10.5);
  observed->setBrush(Qt::NoBrush);
  observed->setPen(QPen(QColor(200, 60, 30), 1.6));

  double maxX = 0, minY = 0, maxY = 0;
  for (const ChartRow& row : session_.chartTable) {
    std::optional<double> obs;
    if (const auto* text = std::get_if<std::string>(&row.observed)) obs = ParseDouble(*text);
    if (const auto* f = std::get_if<float>(&row.observed)) obs = *f;
    // A row without an analysed value draws nothing.
    if (!obs || !row.adjTime || !row.calc) continue;
    const double x = row.adjTime->value;
    calc->append(x, row.calc->value);
    observed->append(row.adjTime2 ? row.adjTime2->value : x, *obs);
    maxX = std::max(maxX, x);
    minY = std::min({minY, row.calc->value, *obs});
    maxY = std::max({maxY, row.calc->value, *obs});
  }
  chart->addSeries(calc);
  chart->addSeries(observed);
  auto* axisX = new QValueAxis;
  axisX->setTitleText(QStringLiteral("変換日数"));
  axisX->setLabelFormat(QStringLiteral("%g"));
  axisX->setRange(0, maxX > 0 ? maxX * 1.05 : 1);
  axisX->applyNiceNumbers();
  auto* axisY = new QValueAxis;
  axisY->setLabelFormat(QStringLiteral("%g"));
  axisY->setRange(minY < 0 ? minY * 1.05 : 0, maxY > 0 ? maxY * 1.05 : 1);
  axisY->applyNiceNumbers();
  chart->addAxis(axisX, Qt::AlignBottom);
  chart->addAxis(axisY, Qt::AlignLeft);
  for (QScatterSeries* s : {calc, observed}) {
    s->attachAxis(axisX);
    s->attachAxis(axisY);
  }
}

void ParaKekka_Form0_1::ShowModelChart() {
  modelChanged_ = true;
  int frame = 0;
  for (int f = 3; f >= 1; --f) {
    if (Check[f]->isChecked()) frame = f;
  }
  if (frame == 0) return;
  const int16_t m = FrameModel(frame);
  session_.currentModel = m;
  EvaluateForChart(session_, m);
  DrawFitChart();
}

void ParaKekka_Form0_1::Check_MouseDown(int index) {
  for (int f = 1; f <= 3; ++f) Check[f]->setChecked(f == index);
  ShowModelChart();
}

void ParaKekka_Form0_1::SaveChangedBestModel() {
  if (!modelChanged_ || session_.currentModel == modelAtLoad_) return;
  if (!GetDialogs().YesNo(
          this, kTitleCaution,
          QStringLiteral("最適なモデルが変更されています\n変更したモデルで保存しますか"))) {
    return;
  }
  hensuu& st = Store();
  FitRunner& runner = *Context().runner;
  const int16_t m = session_.currentModel;
  const int16_t index = runner.RecordIndex();
  // The record this fit appended is rewritten, but only while it is still the
  // last one and unchanged; otherwise the chosen model is appended, so that no
  // other parameter set is overwritten.
  const bool inPlace =
      index >= 1 && index == st.ParaCount() && st.ParaTable(index) == runner.Record();
  ParaRecord rec = inPlace ? st.ParaTable(index) : runner.Record();
  rec.SoilName = ReplaceQuotes(session_.sampleName);
  rec.ModelNo = m;
  const std::vector<float> values = ShownValues(session_, m);
  for (size_t i = 0; i < values.size() && i < rec.Param.size(); ++i) rec.Param[i] = values[i];
  rec.Aic = session_.aic[m];
  rec.Rss = session_.rss[m];
  rec.IsManual = false;
  rec.StdTemp = session_.standardTemp;
  if (inPlace) {
    st.ParaTable(index) = rec;
    runner.RecordRewritten(index, rec);
  } else if (st.ParaTable.Append(rec)) {
    runner.RecordRewritten(st.ParaCount(), rec);
  } else {
    GetDialogs().Message(this, kTitleCaution, Q(TableFullMessage()), Dialogs::Icon::Warning);
    return;
  }
  // The record now holds this model: going back to the model shown at load
  // is a change again and is asked about on closing.
  modelAtLoad_ = m;
}

void ParaKekka_Form0_1::ShowResultButtons() {
  for (QPushButton* b : {Command3, Command5, Command4, Command2, Command6}) b->show();
  Command1->hide();
  Command7->hide();
  for (int f = 1; f <= 3; ++f) {
    for (int r = 1; r <= Rows(f); ++r) Box(f, r)->setReadOnly(true);
  }
}

void ParaKekka_Form0_1::Command5_Click() {
  session_.refitFromResults = true;
  const bool soil = session_.material == MaterialKind::Soil;
  const int frames = soil ? 3 : 2;
  for (int f = 1; f <= frames; ++f) {
    const int16_t m = FrameModel(f);
    Frame[f]->setTitle(Q(InitialValuesTitle(m)));
    const std::vector<float>& initial = session_.initialParams[m];
    for (int r = 1; r <= Rows(f); ++r) {
      QLineEdit* box = Box(f, r);
      if (r <= FittedParamCount(m)) {
        box->setText(r <= static_cast<int>(initial.size()) ? Q(ShortestSinglePlain(initial[r - 1]))
                                                           : QString());
        box->setReadOnly(false);
      } else {
        box->clear();
      }
    }
  }
  if (!soil) Frame[3]->hide();  // sigma has no starting value to edit
  for (QPushButton* b : {Command3, Command5, Command4, Command2, Command6}) b->hide();
  Command1->show();
  Command7->show();
  Box(1, 1)->setFocus();
  Box(1, 1)->selectAll();
}

void ParaKekka_Form0_1::Command1_Click() {
  if (!session_.refitFromResults) {
    GetDialogs().Message(this, kTitleCaution, QStringLiteral("初期値を変更してください"));
    return;
  }
  const int frames = session_.material == MaterialKind::Soil ? 3 : 2;
  std::array<std::vector<float>, 4> values;
  for (int f = 1; f <= frames; ++f) {
    const int16_t m = FrameModel(f);
    for (int r = 1; r <= FittedParamCount(m); ++r) {
      std::optional<float> v = ParseSingle(Box(f, r)->text().toStdString());
      if (!v) {
        // Nothing runs until every box holds a number.
        GetDialogs().Message(this, kTitleCaution,
                             QStringLiteral("%1 の %2 の初期値に数字を記入して下さい")
                                 .arg(Q(ModelName(m)), Name(f, r)->text()));
        Box(f, r)->setFocus();
        Box(f, r)->selectAll();
        return;
      }
      values[f].push_back(*v);
    }
  }
  for (int f = 1; f <= frames; ++f) {
    session_.params[FrameModel(f)] = values[f];
    session_.initialParams[FrameModel(f)] = values[f];
  }
  ShowResultButtons();
  Context().runner->Refit(this);
}

void ParaKekka_Form0_1::Command7_Click() { ShowResultButtons(); }

void ParaKekka_Form0_1::Command6_Click() { CloseScreen(); }

void ParaKekka_Form0_1::Command4_Click() {
  Navigation& navigation = Context().navigation;
  const Screen data =
      session_.source == FitSource::Field ? Screen::HojyoBaiyo_Form : Screen::Baiyo_Form0_3;
  if (!CloseScreen()) return;
  navigation.OpenChildScreen(data);
}

void ParaKekka_Form0_1::Command3_Click() {
  SaveChangedBestModel();
  GetDialogs().Message(this, kTitleCaution,
                       QStringLiteral("このバージョンでは、まだ印刷できません。"));
}

void ParaKekka_Form0_1::Command2_Click() {
  Navigation& navigation = Context().navigation;
  if (!CloseScreen()) return;
  navigation.OpenChildScreen(Screen::ParaAll_Form);
}

bool ParaKekka_Form0_1::QueryClose() {
  SaveChangedBestModel();
  TakeCascadeBack();
  return true;
}

}  // namespace kelvora
