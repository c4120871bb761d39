#include "screens/normal_year_dialog.h"

#include <QDate>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "screens/dialogs.h"
#include "screens/ondo_form.h"
#include "screens/qtext.h"
#include "store/hensuu.h"
#include "store/temperature_file.h"

namespace kelvora {

NormalYearDialog::NormalYearDialog(const hensuu& store, QWidget* parent)
    : QDialog(parent),
      SeriesList(new QListWidget(this)),
      Year(new QSpinBox(this)),
      SeriesName(new QLineEdit(this)),
      Summary(new QLabel(this)),
      Make(new QPushButton(QStringLiteral("作成"), this)),
      Cancel(new QPushButton(QStringLiteral("キャンセル"), this)),
      store_(store) {
  setObjectName(QStringLiteral("NormalYearDialog"));
  setWindowTitle(QStringLiteral("平年値の作成"));
  setModal(true);
  SeriesList->setObjectName(QStringLiteral("SeriesList"));
  SeriesList->setAccessibleName(QStringLiteral("平年値を作る地温データ"));
  SeriesList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  for (int i = 1; i <= store.TionCount(); ++i) {
    SeriesList->addItem(Q(store.TionTable(i).SiteName));
    keys_.push_back(store.TionTable.KeyOf(i));
  }
  Year->setObjectName(QStringLiteral("Year"));
  Year->setAccessibleName(QStringLiteral("平年値の年"));
  Year->setRange(kFirstDateYear, kLastDateYear);
  Year->setValue(QDate::currentDate().year());
  SeriesName->setObjectName(QStringLiteral("SeriesName"));
  SeriesName->setAccessibleName(QStringLiteral("地点名"));
  SeriesName->setMaxLength(200);
  Summary->setObjectName(QStringLiteral("Summary"));
  Summary->setWordWrap(true);
  Summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Summary->setMinimumHeight(fontMetrics().height() * 4);
  Summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  for (QPushButton* b : {Make, Cancel}) {
    b->setAccessibleName(b->text());
    b->setAutoDefault(false);
  }
  Make->setObjectName(QStringLiteral("Make"));
  Cancel->setObjectName(QStringLiteral("Cancel"));

  auto* hint = new QLabel(
      QStringLiteral("各日の地温は、選んだ地温データにあるすべての年の同じ月日の地温の平均です"
                     "（小数2桁、四捨五入）。複数選択は Shift + や Ctrl + クリックで。"),
      this);
  hint->setWordWrap(true);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("年"), Year);
  form->addRow(QStringLiteral("地点名"), SeriesName);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Make);
  buttons->addWidget(Cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("地温データの選択"), this));
  layout->addWidget(SeriesList, 1);
  layout->addWidget(hint);
  layout->addLayout(form);
  layout->addWidget(Summary);
  layout->addLayout(buttons);
  const QFontMetrics fm(font());
  resize(fm.horizontalAdvance(QLatin1Char('M')) * 44, fm.height() * 26);

  connect(SeriesList, &QListWidget::itemSelectionChanged, this, &NormalYearDialog::Update);
  connect(Year, &QSpinBox::valueChanged, this, &NormalYearDialog::Update);
  connect(SeriesName, &QLineEdit::textEdited, this, [this] { nameTyped_ = true; });
  connect(Make, &QPushButton::clicked, this, &QDialog::accept);
  connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
  if (SeriesList->count() > 0) SeriesList->item(SeriesList->count() - 1)->setSelected(true);
  Update();
}

void NormalYearDialog::Update() {
  std::vector<TionRecord> chosen;
  for (int r = 0; r < SeriesList->count(); ++r) {
    if (!SeriesList->item(r)->isSelected()) continue;
    if (const int16_t i = store_.TionTable.IndexOf(keys_[static_cast<size_t>(r)]); i > 0) {
      chosen.push_back(store_.TionTable(i));
    }
  }
  result_ = MakeNormalYear(chosen, Year->value());
  if (!nameTyped_) SeriesName->setText(QStringLiteral("平年値 %1").arg(Year->value()));
  if (!result_.ok) {
    Summary->setText(Q(result_.message));
  } else {
    QStringList years;
    for (int y : result_.years) years << QString::number(y);
    QString text = QStringLiteral("%1年の%2日。使う年: %3")
                       .arg(Year->value())
                       .arg(result_.days)
                       .arg(years.join(QStringLiteral("、")));
    if (result_.emptyDays.empty()) {
      text += QStringLiteral("\nどの日にも地温があります。");
    } else {
      QStringList runs;
      for (const std::string& r : DayRuns(result_.emptyDays)) runs << Q(r);
      const int shown = 6;
      QString list = runs.mid(0, shown).join(QStringLiteral("、"));
      if (runs.size() > shown) list += QStringLiteral(" ほか%1件").arg(runs.size() - shown);
      text += QStringLiteral("\nどの年にも地温がないため空欄になる日（%1日）: %2")
                  .arg(result_.emptyDays.size())
                  .arg(list);
    }
    Summary->setText(text);
  }
  Summary->setAccessibleName(Summary->text());
  Make->setEnabled(result_.ok);
}

bool MakeNormalYearSeries(Ondo_Form& screen) {
  if (screen.Store().TionCount() == 0) {
    screen.GetDialogs().Message(&screen, kTitleCaution,
                                QStringLiteral("平年値を作る地温データがありません"));
    return false;
  }
  NormalYearDialog dialog(screen.Store(), &screen);
  if (screen.GetDialogs().Exec(dialog) != QDialog::Accepted || !dialog.Result().ok) return false;
  const NormalYear normal = dialog.Result();
  return screen.ShowNewSeries(normal.first, normal.last, normal.days, normal.gridText,
                              dialog.SeriesName->text().trimmed().toStdString(),
                              QStringLiteral("平年値の作成"),
                              QStringLiteral("表の内容を平年値で置き換えますか"));
}

}  // namespace kelvora
