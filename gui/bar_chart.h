// The error chart: one series of bars over fixed axes, sized to read in a
// 100-pixel panel. Bar i (0-based) stands at x = i on an x axis from -1 to
// 40, so the trainer's position i shows at x = i - 1.
#pragma once

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QStringList>
#include <QValueAxis>

#include "morse/trainer_state.h"

namespace gui {

class BarChart : public QChartView {
  Q_OBJECT
 public:
  static constexpr double kXMin = -1, kXMax = 40;
  static constexpr double kYMin = 0, kYMax = 1.1;

  explicit BarChart(QWidget* parent = nullptr);

  // Removes every bar.
  void Clear();
  // Appends a bar in the series' own colour; an empty label shows nothing.
  void AddBar(double value, const QString& label);

  int BarCount() const { return static_cast<int>(set_->count()); }
  double Value(int i) const { return set_->at(i); }
  QString Label(int i) const { return labels_.at(i); }
  // The chart's title; kept but never drawn, so the bars get the panel.
  QString Title() const { return title_; }

  QBarSeries* Series() const { return series_; }
  QBarSet* Bars() const { return set_; }
  QValueAxis* AxisX() const { return axisX_; }
  QValueAxis* AxisY() const { return axisY_; }

 protected:
  // Labels are drawn under their bars here: a category axis cannot span -1
  // to 40 and would merge equal (for instance all empty) labels.
  void drawForeground(QPainter* painter, const QRectF& rect) override;

 private:
  QChart* chart_;
  QBarSeries* series_;
  QBarSet* set_;
  QValueAxis* axisX_;
  QValueAxis* axisY_;
  QStringList labels_;
  QString title_;
};

// Shows the 40 weights, Errors[1..40] whatever the count in use, each
// labelled as ChartLabel gives it (no labels while teaching).
void UpdateErrorChart(BarChart& chart, const morse::TrainerState& state);

}  // namespace gui
