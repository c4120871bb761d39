// The Qt Charts set-up the screens' charts share: emptying a chart, value
// axes that start at 0 with a little room above the data, marker series, and
// the fixed vertical title beside a chart.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <QtCharts/QScatterSeries>

class QAbstractAxis;
class QAbstractSeries;
class QChart;
class QValueAxis;

namespace kelvora {

// The values an axis must show; it starts at 0 and goes below only for
// negative values.
struct AxisSpan {
  double min = 0;
  double max = 0;
  void Include(double v) {
    if (v < min) min = v;
    if (v > max) max = v;
  }
};

// Removes every series and axis of the chart.
void ClearChart(QChart* chart);

// A value axis over the span with 5 % room beyond its ends, rounded to nice
// numbers, labels in the shortest form; a span without positive values runs
// to 1.
QValueAxis* MakeValueAxis(const QString& title, const AxisSpan& span);

// Adds the axes (bottom and left) and attaches every series to them.
void AttachAxes(QChart* chart, QAbstractAxis* x, QAbstractAxis* y,
                std::initializer_list<QAbstractSeries*> series);

// A scatter series drawn as markers: filled, or hollow with an outline.
struct MarkerStyle {
  QScatterSeries::MarkerShape shape = QScatterSeries::MarkerShapeCircle;
  double size = 7;
  QColor color;
  bool hollow = false;
  double outline = 1.6;  // pen width of a hollow marker
};
QScatterSeries* MakeMarkerSeries(const QString& name, const MarkerStyle& style);

// A fixed axis title beside a chart, written from bottom to top.
class VerticalTitle : public QWidget {
  Q_OBJECT

 public:
  VerticalTitle(const QString& text, QWidget* parent = nullptr);
  QString Text() const { return text_; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
};

}  // namespace kelvora
