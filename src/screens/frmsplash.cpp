#include "screens/frmsplash.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "screens/look.h"

namespace kelvora {

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      fraMainFrame(new QFrame(this)),
      Image1(new QLabel(fraMainFrame)) {
  setObjectName(QStringLiteral("frmSplash"));
  setAttribute(Qt::WA_DeleteOnClose);
  fraMainFrame->setFrameShape(QFrame::Box);
  fraMainFrame->setLineWidth(1);
  Image1->setPixmap(SplashPicture());
  Image1->setFixedSize(550, 200);
  auto* inner = new QVBoxLayout(fraMainFrame);
  inner->setContentsMargins(1, 1, 1, 1);
  inner->addWidget(Image1);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(fraMainFrame);
  adjustSize();
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    QRect area = s->availableGeometry();
    move(area.center() - rect().center());
  }
  qApp->installEventFilter(this);
}

bool frmSplash::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched != this) {
    if (auto* dialog = qobject_cast<QDialog*>(watched); dialog && dialog->isWindow()) hide();
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace kelvora
