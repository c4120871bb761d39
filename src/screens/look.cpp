#include "screens/look.h"

#include <QCursor>
#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QSvgRenderer>

namespace kelvora {

namespace {

const QColor kSoil(121, 85, 61);  // the soil of the icon

QPixmap IconPixmap(int size) { return QPixmap::fromImage(ProgramIconImage(size)); }

}  // namespace

QImage ProgramIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QSvgRenderer svg(QStringLiteral(":/icons/kelvora.svg"));
  QPainter p(&image);
  svg.render(&p, QRectF(0, 0, size, size));
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(IconPixmap(size));
  return icon;
}

QPixmap SplashPicture() {
  QPixmap pm(550, 200);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, 200);
  sky.setColorAt(0, QColor(232, 243, 228));
  sky.setColorAt(1, QColor(250, 250, 245));
  p.fillRect(pm.rect(), sky);
  p.setPen(Qt::NoPen);
  p.setBrush(kSoil);
  p.drawRect(QRect(0, 160, 550, 40));
  p.drawPixmap(30, 40, IconPixmap(96));
  QFont title;
  title.setPixelSize(44);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(40, 70, 40));
  p.drawText(QRect(150, 30, 390, 60), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("ケルボラ１"));
  QFont sub;
  sub.setPixelSize(17);
  p.setFont(sub);
  p.setPen(QColor(60, 60, 60));
  p.drawText(QRect(150, 92, 390, 50), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
             QStringLiteral("土壌・被覆肥料の窒素無機化パラメータ算出と無機化推定"));
  QFont small;
  small.setPixelSize(14);
  p.setFont(small);
  p.setPen(Qt::white);
  p.drawText(QRect(0, 160, 530, 40), Qt::AlignRight | Qt::AlignVCenter,
             QStringLiteral("データを読み込んでいます…"));
  return pm;
}

void SetProgramPointerArrow() {
  if (!QGuiApplication::overrideCursor())
    QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
}

}  // namespace kelvora
