#include "screens/parakekka_form0_1.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "kinetics/fit_export.h"
#include "kinetics/fit_sequence.h"
#include "kinetics/model_kind.h"
#include "print/file_export.h"
#include "print/prionly_select.h"
#include "screens/chart_picture.h"
#include "screens/controls.h"
#include "screens/dialogs.h"
#include "screens/fit_runner.h"
#include "screens/fit_stats_window.h"
#include "screens/paraall_form.h"
#include "screens/qtext.h"
#include "store/cp932.h"
#include "store/hensuu.h"
#include "store/number_text.h"

namespace kelvora {

namespace {

// The values a frame shows for a model: its parameters in the slots of the
// ParaRecord the fit stores for it.
std::vector<float> ShownValues(const FitSession& s, int16_t model) {
  const ParaRecord rec = MakeParaRecord(s, model);
  return std::vector<float>(rec.Param.begin(), rec.Param.begin() + RecordParamCount(model));
}

void PaintCaptionRed(QCheckBox* box) {
  QPalette p = box->palette();
  p.setColor(QPalette::WindowText, QColor(255, 0, 0));
  box->setPalette(p);
}

}  // namespace

ParaKekka_Form0_1::ParaKekka_Form0_1(const ScreenContext& context, QWidget* parent)
    : ChildScreen(context, Screen::ParaKekka_Form0_1, parent),
      Label1(new QLabel(QStringLiteral("土壌名（肥料名）："), this)),
      Lab_Dojyo(new QLabel(this)),
      Frame{nullptr, new ModelFrame(4, 2, true, this), new ModelFrame(7, 2, true, this),
            new ModelFrame(7, 2, true, this)},
      Label2(Frame[1]->Formula(1)),
      Label4(Frame[2]->Formula(1)),
      Label5(Frame[2]->Formula(2)),
      Label6(Frame[3]->Formula(1)),
      Label7(Frame[3]->Formula(2)),
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
    Frame[f]->setObjectName(QStringLiteral("Frame%1").arg(f));
    Frame[f]->AddRow(QStringLiteral("AIC"));
    Frame[f]->AddRow(QStringLiteral("残差平方和"));
    Check[f] = new QCheckBox(QStringLiteral("最適なモデル"), Frame[f]);
    Check[f]->setObjectName(QStringLiteral("Check%1").arg(f));
    Frame[f]->AddFooter(Check[f]);
  }
  for (int r = 1; r <= 6; ++r) {
    Text_TanPara[r] = Frame[1]->Box(r);
    Lal_TanPara[r] = Frame[1]->Name(r);
  }
  for (int r = 1; r <= 9; ++r) {
    Text_HeiPara[r] = Frame[2]->Box(r);
    Lal_HeiPara[r] = Frame[2]->Name(r);
    Text_YuuPara[r] = Frame[3]->Box(r);
    Lal_YuuPara[r] = Frame[3]->Name(r);
  }
  for (int i = 1; i <= 18; ++i) {
    Label3[i] = i <= 4    ? Frame[1]->Unit(i)
                : i <= 11 ? Frame[2]->Unit(i - 4)
                          : Frame[3]->Unit(i - 11);
  }
  BuildLayout();

  connect(Command5, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command5_Click);
  connect(Command1, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command1_Click);
  connect(Command7, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command7_Click);
  connect(Command6, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command6_Click);
  connect(Command4, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command4_Click);
  connect(Command3, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command3_Click);
  connect(Command2, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command2_Click);
  // However a box changes (a click, the space bar, a screen reader's toggle
  // action), it becomes the one checked box.
  for (int f = 1; f <= 3; ++f) {
    connect(Check[f], &QCheckBox::toggled, this, [this, f] {
      if (!settingChecks_) Check_MouseDown(f);
    });
  }

  // Loading: the frames, the best model checked and red, the chart.
  FillFrames();
  // The fit leaves the model it chose current.
  int bestFrame = 0;
  for (int f = 1; f <= 3; ++f) {
    if (FrameModel(f) == session_.currentModel) bestFrame = f;
  }
  settingChecks_ = true;
  for (int f = 1; f <= 3; ++f) Check[f]->setChecked(f == bestFrame);
  settingChecks_ = false;
  if (bestFrame) PaintCaptionRed(Check[bestFrame]);
  DrawFitChart();
  Lab_Dojyo->setText(Q(session_.sampleName));
  modelAtLoad_ = session_.currentModel;
  modelChanged_ = false;
  session_.refitFromResults = false;
  ShowResultButtons();
}

int16_t ParaKekka_Form0_1::FrameModel(int frame) const {
  return MaterialModels(session_.material)[frame - 1];
}

QChart* ParaKekka_Form0_1::Chart() const { return MSChart1->chart(); }

void ParaKekka_Form0_1::BuildLayout() {
  QFont bold = Lab_Dojyo->font();
  bold.setBold(true);
  Lab_Dojyo->setFont(bold);
  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(Label1);
  nameRow->addWidget(Lab_Dojyo, 1);

  const int boxWidth = QFontMetrics(font()).horizontalAdvance(QStringLiteral("00000000.00")) + 12;
  for (int f = 1; f <= 3; ++f) Frame[f]->SetBoxWidth(boxWidth);

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
  // Buttons in columns under the chart; "再計算" and "キャンセル" take the places of
  // the buttons hidden while initial values are edited.
  buttons->addWidget(Command5, 0, 0);
  buttons->addWidget(Command6, 0, 1);
  buttons->addWidget(Command4, 1, 0);
  buttons->addWidget(Command3, 1, 1);
  buttons->addWidget(Command2, 2, 0);
  buttons->addWidget(Command1, 0, 1);
  buttons->addWidget(Command7, 1, 1);
  // "統計情報" takes the free place beside "パラメータ計算結果一覧".
  Command8 = new QPushButton(QStringLiteral("統計情報"), this);
  Command8->setObjectName(QStringLiteral("Command8"));
  connect(Command8, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command8_Click);
  buttons->addWidget(Command8, 2, 1);
  // The chart as a picture and the fit as a workbook, in a third column (a
  // row more would not fit a small display).
  Command9 = new QPushButton(QStringLiteral("画像を保存"), this);
  Command9->setObjectName(QStringLiteral("Command9"));
  Command10 = new QPushButton(QStringLiteral("エクスポート"), this);
  Command10->setObjectName(QStringLiteral("Command10"));
  connect(Command9, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command9_Click);
  connect(Command10, &QPushButton::clicked, this, &ParaKekka_Form0_1::Command10_Click);
  buttons->addWidget(Command9, 0, 2);
  buttons->addWidget(Command10, 1, 2);
  for (QPushButton* b : {Command5, Command6, Command4, Command3, Command2, Command1, Command7,
                         Command8, Command9, Command10}) {
    b->setAccessibleName(b->text());
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
    Frame[f]->SetModel(m, ModelTexts::Results);
    Frame[f]->SetValues(ShownValues(session_, m));
    const int aicRow = Frame[f]->ParamRows() + 1;
    Box(f, aicRow)->setText(Q(FormatFixed(session_.aic[m], 2)));
    Box(f, aicRow + 1)->setText(Q(FormatFixed(session_.rss[m], 2)));
    Frame[f]->show();
  }
}

void ParaKekka_Form0_1::DrawFitChart() {
  QChart* chart = Chart();
  const int16_t m = session_.currentModel;
  if (IsValidModel(m)) chart->setTitle(Q(ModelName(m)));
  ClearChart(chart);
  QScatterSeries* calc = MakeMarkerSeries(
      QStringLiteral("計算値"), {QScatterSeries::MarkerShapeCircle, 7, QColor(30, 90, 200)});
  // The analysed markers are half as large again and hollow, so a calculated
  // point on top of one stays visible.
  QScatterSeries* observed = MakeMarkerSeries(
      QStringLiteral("分析値"),
      {QScatterSeries::MarkerShapeRectangle, 10.5, QColor(200, 60, 30), true, 1.6});

  AxisSpan xs, ys;
  for (const ChartRow& row : session_.chartTable) {
    std::optional<double> obs;
    if (const auto* text = std::get_if<std::string>(&row.observed)) obs = ParseDouble(*text);
    if (const auto* f = std::get_if<float>(&row.observed)) obs = *f;
    // A row without an analysed value draws nothing.
    if (!obs || !row.adjTime || !row.calc) continue;
    const double x = row.adjTime->value;
    calc->append(x, row.calc->value);
    observed->append(row.adjTime2 ? row.adjTime2->value : x, *obs);
    xs.max = std::max(xs.max, x);
    ys.Include(row.calc->value);
    ys.Include(*obs);
  }
  chart->addSeries(calc);
  chart->addSeries(observed);
  // Each legend entry drawn as its markers are: filled blue, hollow red.
  chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
  AttachAxes(chart, MakeValueAxis(QStringLiteral("変換日数"), xs), MakeValueAxis(QString(), ys),
             {calc, observed});
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
  if (statsWindow_) statsWindow_->ShowModel(m);
}

void ParaKekka_Form0_1::Check_MouseDown(int index) {
  settingChecks_ = true;
  for (int f = 1; f <= 3; ++f) Check[f]->setChecked(f == index);
  settingChecks_ = false;
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
  // Slots beyond the chosen model's parameters keep what they held.
  ParaRecord rec = inPlace ? st.ParaTable(index) : runner.Record();
  StoreModelInRecord(rec, session_, m);
  if (inPlace) {
    st.ParaTable.Replace(index, rec);
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
  if (auto* list = Context().navigation.Find<ParaAll_Form>(Screen::ParaAll_Form)) {
    list->SyncList();
  }
}

void ParaKekka_Form0_1::ShowResultButtons() {
  for (QPushButton* b :
       {Command3, Command5, Command4, Command2, Command6, Command8, Command9, Command10}) {
    b->show();
  }
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
  for (QPushButton* b :
       {Command3, Command5, Command4, Command2, Command6, Command8, Command9, Command10}) {
    b->hide();
  }
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
  if (!Context().printing) return;
  auto prepare = [this] {
    // The picture shows the results without buttons.
    for (QPushButton* b :
         {Command2, Command3, Command4, Command5, Command6, Command8, Command9, Command10}) {
      b->hide();
    }
    Label8->hide();
  };
  auto restore = [this] {
    // The buttons of the results come back as they were. ("再計算" stays
    // hidden: it shares its place with "終了" and would cover it.)
    ShowResultButtons();
    Label8->show();
  };
  PrintScreenImage(*Context().printing, GetDialogs(), this, QStringLiteral("パラメータ計算結果"),
                   prepare, restore);
}

void ParaKekka_Form0_1::Command8_Click() {
  statsWindow_ =
      ShowFitStats(session_, session_.currentModel, GetDialogs(), Context().printing, this);
  // "精密化した値を保存" appends the refined set like any other; the fit's own
  // record stays as it is.
  statsWindow_->SetStoreRecord([this](const ParaRecord& rec) {
    if (!Store().ParaTable.Append(rec)) {
      GetDialogs().Message(statsWindow_, kTitleCaution, Q(TableFullMessage()),
                           Dialogs::Icon::Warning);
      return false;
    }
    if (auto* list = Context().navigation.Find<ParaAll_Form>(Screen::ParaAll_Form)) {
      list->SyncList();
    }
    return true;
  });
}

void ParaKekka_Form0_1::Command9_Click() {
  // The picture as the chart shows it: the model, the sample and both axis titles.
  QString title = Q(session_.sampleName);
  if (IsValidModel(session_.currentModel)) {
    title +=
        (title.isEmpty() ? QString() : QStringLiteral(" ")) + Q(ModelName(session_.currentModel));
  }
  // Above the chart, whose title is the model: the soil or fertilizer.
  SaveChartPicture(this, GetDialogs(), {Picture2, MSChart1}, title,
                   {Label1->text() + Lab_Dojyo->text()});
}

void ParaKekka_Form0_1::Command10_Click() {
  // What the screen holds: the finished fit, whatever the boxes show while
  // initial values are being edited.
  const FitSession fit = session_;
  ExportToFile(this, GetDialogs(), QStringLiteral("エクスポート"),
               FileNameFrom(Q(fit.sampleName), QStringLiteral("パラメータ計算結果")) +
                   QStringLiteral(".xlsx"),
               kXlsxFilter,
               [&fit](const std::filesystem::path& out) { return ExportFit(fit, out); });
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
