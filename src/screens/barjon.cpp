#include "screens/barjon.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "kelvora_version.h"
#include "screens/look.h"
#include "screens/qtext.h"

namespace kelvora {

QString ProgramNameAndVersion(const QString& version) {
  QString out = QStringLiteral("ケルボラ");
  for (const QChar c : version) {
    if (c == QLatin1Char('.')) {
      out += QLatin1Char('_');
    } else if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
      out += QChar(0xFF10 + (c.unicode() - '0'));
    } else {
      out += c;
    }
  }
  return out;
}

Barjon::Barjon(QWidget* owner, const std::filesystem::path& dataDir)
    : QWidget(owner, Qt::Dialog),
      Label1(new QLabel(ProgramNameAndVersion(QLatin1String(kVersion)), this)),
      Label2(new QLabel(QStringLiteral("ケルボラ開発グループ"), this)),
      Label3(new QLabel(QStringLiteral("バージョン %1").arg(QLatin1String(kVersion)), this)),
      Label4(new QLabel(QStringLiteral("データフォルダ: %1").arg(Q(dataDir.string())), this)),
      Command1(new QPushButton(QStringLiteral("OK"), this)) {
  setObjectName(QStringLiteral("Barjon"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("バージョン情報"));
  QFont big = Label1->font();
  big.setPointSizeF(big.pointSizeF() * 1.4);
  big.setBold(true);
  Label1->setFont(big);

  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(48, 48));
  auto* texts = new QVBoxLayout;
  texts->addWidget(Label1);
  texts->addWidget(Label2);
  texts->addWidget(Label3);
  texts->addWidget(Label4);
  Label4->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Label4->setVisible(!dataDir.empty());
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(texts, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  Command1->setMinimumWidth(90);
  buttons->addWidget(Command1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 14);
  layout->addLayout(top);
  layout->addSpacing(14);
  layout->addLayout(buttons);
  setFixedSize(sizeHint().expandedTo(QSize(320, 0)));
  Command1->setDefault(true);
  connect(Command1, &QPushButton::clicked, this, &QWidget::close);
}

Barjon* ShowBarjon(QWidget* owner, const std::filesystem::path& dataDir) {
  QWidget* top = owner ? owner->window() : nullptr;
  Barjon* w = top ? top->findChild<Barjon*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
  if (!w) {
    w = new Barjon(top, dataDir);
    if (top) {
      QPoint at = top->geometry().center() - w->rect().center();
      w->move(std::max(at.x(), 0), std::max(at.y(), 0));
    }
  }
  w->show();
  w->raise();
  w->activateWindow();
  return w;
}

}  // namespace kelvora
