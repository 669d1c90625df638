#include "gui/bar_chart.h"

#include <QGraphicsLayout>
#include <QPainter>

#include "morse/teaching.h"

namespace gui {

namespace {

QFont SmallFont() {
  QFont font;
  font.setPixelSize(9);
  return font;
}

// Room under the plot for one line of labels.
constexpr int kLabelStrip = 12;

}  // namespace

BarChart::BarChart(QWidget* parent)
    // The chart is given at construction: setChart() would release, not
    // free, the default chart that QChartView(parent) makes.
    : QChartView(new QChart, parent),
      chart_(chart()),
      series_(new QBarSeries),
      set_(new QBarSet(QString())),
      axisX_(new QValueAxis),
      axisY_(new QValueAxis),
      title_(QStringLiteral("Error Histogram")) {
  setAccessibleName(title_);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setContentsMargins(0, 0, 0, 0);

  chart_->legend()->hide();
  chart_->setMargins(QMargins(0, 0, 2, kLabelStrip));
  chart_->layout()->setContentsMargins(0, 0, 0, 0);
  chart_->setBackgroundRoundness(0);
  chart_->setPlotAreaBackgroundVisible(false);  // no back wall fill
  chart_->setAnimationOptions(QChart::NoAnimation);

  set_->setColor(QColor(0x00, 0xFF, 0x00));  // lime
  set_->setBorderColor(QColor(0x00, 0x99, 0x00));
  series_->append(set_);
  series_->setBarWidth(0.7);
  series_->setLabelsVisible(false);
  chart_->addSeries(series_);

  const QFont font = SmallFont();
  axisX_->setRange(kXMin, kXMax);
  axisX_->setLabelsVisible(false);
  axisX_->setGridLineVisible(false);
  axisX_->setMinorGridLineVisible(false);
  axisX_->setTickCount(2);
  axisY_->setRange(kYMin, kYMax);
  axisY_->setTickType(QValueAxis::TicksDynamic);
  axisY_->setTickAnchor(0);
  axisY_->setTickInterval(0.5);
  axisY_->setLabelFormat(QStringLiteral("%.1f"));
  axisY_->setLabelsFont(font);
  axisY_->setMinorGridLineVisible(false);
  chart_->addAxis(axisX_, Qt::AlignBottom);
  chart_->addAxis(axisY_, Qt::AlignLeft);
  series_->attachAxis(axisX_);
  series_->attachAxis(axisY_);
}

void BarChart::Clear() {
  if (set_->count() > 0) set_->remove(0, set_->count());
  labels_.clear();
  viewport()->update();
}

void BarChart::AddBar(double value, const QString& label) {
  set_->append(value);
  labels_.append(label);
  viewport()->update();
}

void BarChart::drawForeground(QPainter* painter, const QRectF& rect) {
  QChartView::drawForeground(painter, rect);
  const QRectF plot = chart_->plotArea();
  painter->save();
  painter->setFont(SmallFont());
  painter->setPen(palette().color(QPalette::WindowText));
  const qreal slot = plot.width() / (kXMax - kXMin);
  const qreal top = chart_->mapToScene(plot.bottomLeft()).y() + 1;
  for (int i = 0; i < labels_.size(); ++i) {
    if (labels_[i].isEmpty()) continue;
    const QPointF at = chart_->mapToScene(chart_->mapToPosition(QPointF(i, kYMin), series_));
    const QRectF box(at.x() - slot / 2, top, slot, kLabelStrip - 1);
    painter->drawText(box, Qt::AlignHCenter | Qt::AlignTop, labels_[i]);
  }
  painter->restore();
}

void UpdateErrorChart(BarChart& chart, const morse::TrainerState& state) {
  chart.Clear();
  for (int i = 1; i <= morse::kTeachPositions; ++i) {
    chart.AddBar(state.Errors[i], QString::fromStdU16String(morse::ChartLabel(state, i)));
  }
}

}  // namespace gui
