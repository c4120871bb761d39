#include "screens/chart_setup.h"

#include <QPainter>
#include <QPen>
#include <QtCharts/QChart>
#include <QtCharts/QValueAxis>

namespace kelvora {

void ClearChart(QChart* chart) {
  chart->removeAllSeries();
  for (QAbstractAxis* axis : chart->axes()) {
    chart->removeAxis(axis);
    delete axis;
  }
}

QValueAxis* MakeValueAxis(const QString& title, const AxisSpan& span) {
  auto* axis = new QValueAxis;
  if (!title.isEmpty()) axis->setTitleText(title);
  axis->setLabelFormat(QStringLiteral("%g"));
  if (span.min >= 0 && span.max <= 0) {
    // Nothing but zeros (or nothing): 0, 0.5 and 1, which fit a low chart
    // where the six nice ticks of 0 to 1 would be cut to "…".
    axis->setRange(0, 1);
    axis->setTickCount(3);
    return axis;
  }
  axis->setRange(span.min < 0 ? span.min * 1.05 : 0, span.max > 0 ? span.max * 1.05 : 1);
  axis->applyNiceNumbers();
  return axis;
}

void AttachAxes(QChart* chart, QAbstractAxis* x, QAbstractAxis* y,
                std::initializer_list<QAbstractSeries*> series) {
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  for (QAbstractSeries* s : series) {
    s->attachAxis(x);
    s->attachAxis(y);
  }
}

QScatterSeries* MakeMarkerSeries(const QString& name, const MarkerStyle& style) {
  auto* s = new QScatterSeries;
  s->setName(name);
  s->setMarkerShape(style.shape);
  s->setMarkerSize(style.size);
  if (style.hollow) {
    s->setBrush(Qt::NoBrush);
    s->setPen(QPen(style.color, style.outline));
  } else {
    s->setColor(style.color);
    s->setBorderColor(style.color);
  }
  return s;
}

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

}  // namespace kelvora
