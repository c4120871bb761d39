#include "print/prionly_select.h"

#include <QFontMetrics>
#include <QVBoxLayout>

#include "print/reports.h"
#include "screens/dialogs.h"

namespace kelvora {

PriOnly_Select::PriOnly_Select(PrintState& printing, QWidget* parent)
    : QDialog(parent),
      Label1(new QLabel(QStringLiteral("プリンターを選択して下さい"), this)),
      List2(new QListWidget(this)),
      Command1(new QPushButton(QStringLiteral("印刷"), this)),
      printing_(printing) {
  setObjectName(QStringLiteral("PriOnly_Select"));
  setWindowTitle(QStringLiteral("プリンターの選択"));
  setModal(true);
  Label1->setObjectName(QStringLiteral("Label1"));
  List2->setObjectName(QStringLiteral("List2"));
  List2->setAccessibleName(Label1->text());
  Command1->setObjectName(QStringLiteral("Command1"));
  List2->setSelectionMode(QAbstractItemView::SingleSelection);
  printers_ = FillPrinterList(*List2, printing_);
  connect(Command1, &QPushButton::clicked, this, &PriOnly_Select::Command1_Click);
  connect(List2, &QListWidget::itemDoubleClicked, this, &PriOnly_Select::Command1_Click);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addWidget(List2, 1);
  layout->addWidget(Command1, 0, Qt::AlignHCenter);
  const QFontMetrics fm(font());
  resize(std::max(fm.horizontalAdvance(QLatin1Char('M')) * 30, 320), fm.height() * 14);
}

void PriOnly_Select::Command1_Click() {
  printing_.MakeCurrent(printers_, List2->currentRow());
  accept();
}

void RunPriOnlySelect(PrintState& printing, Dialogs& dialogs, QWidget* owner) {
  PriOnly_Select window(printing, owner);
  dialogs.Exec(window);
}

bool PrintScreenImage(PrintState& printing, Dialogs& dialogs, QWidget* screen, const QString& title,
                      const std::function<void()>& prepare, const std::function<void()>& restore) {
  RunPriOnlySelect(printing, dialogs, screen);
  // The picture is taken on white: the screen's background and every label,
  // frame and box that shows it.
  const QPalette screenPalette = screen->palette();
  const bool filled = screen->autoFillBackground();
  QPalette white = screenPalette;
  white.setColor(QPalette::Window, Qt::white);
  prepare();
  screen->setPalette(white);
  screen->setAutoFillBackground(true);
  const QImage image = screen->grab().toImage();
  screen->setPalette(screenPalette);
  screen->setAutoFillBackground(filled);
  restore();
  return PrintWith(printing, screen, dialogs, title + QStringLiteral(".pdf"),
                   [&](DocumentSink& sink) { return PrintWindowImage(sink, image, title); });
}

}  // namespace kelvora
