#include "screens/look.h"

#include <QCursor>
#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>

namespace kelvora {

namespace {

const QColor kSoil(121, 85, 61);
const QColor kLeaf(76, 140, 74);

QPixmap IconPixmap(int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(kSoil);
  p.drawRoundedRect(QRectF(0, size * 0.45, size, size * 0.55), size * 0.12, size * 0.12);
  p.setBrush(kLeaf);
  p.drawEllipse(QRectF(size * 0.18, size * 0.08, size * 0.34, size * 0.42));
  p.drawEllipse(QRectF(size * 0.48, size * 0.02, size * 0.34, size * 0.42));
  QFont f;
  f.setPixelSize(static_cast<int>(size * 0.42));
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(0, size * 0.45, size, size * 0.55), Qt::AlignCenter, QStringLiteral("N"));
  return pm;
}

}  // namespace

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(IconPixmap(size));
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
