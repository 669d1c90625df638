#include "gui/bar_chart.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLegend>

#include "morse/teaching.h"

namespace gui {
namespace {

TEST(BarChart, FixedAxesNoLegendHiddenTitle) {
  BarChart chart;
  EXPECT_EQ(chart.AxisX()->min(), -1);
  EXPECT_EQ(chart.AxisX()->max(), 40);
  EXPECT_EQ(chart.AxisY()->min(), 0);
  EXPECT_EQ(chart.AxisY()->max(), 1.1);
  EXPECT_FALSE(chart.chart()->legend()->isVisible());
  EXPECT_EQ(chart.Title(), "Error Histogram");
  EXPECT_TRUE(chart.chart()->title().isEmpty());  // not drawn
  EXPECT_EQ(chart.Bars()->color(), QColor(0x00, 0xFF, 0x00));
  EXPECT_FALSE(chart.Series()->isLabelsVisible());
  EXPECT_FALSE(chart.chart()->isPlotAreaBackgroundVisible());
  EXPECT_EQ(chart.BarCount(), 0);
}

TEST(BarChart, ClearThenFortyBars) {
  BarChart chart;
  chart.AddBar(0.5, "x");
  chart.Clear();
  EXPECT_EQ(chart.BarCount(), 0);
  for (int i = 0; i < 40; ++i) chart.AddBar(i / 40.0, i % 2 ? QString() : QString::number(i));
  ASSERT_EQ(chart.BarCount(), 40);
  EXPECT_EQ(chart.Bars()->count(), 40);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(chart.Value(i), i / 40.0);
    EXPECT_EQ(chart.Label(i), i % 2 ? QString() : QString::number(i));
  }
  chart.Clear();
  EXPECT_EQ(chart.BarCount(), 0);
  EXPECT_EQ(chart.Bars()->count(), 0);
}

TEST(BarChart, ErrorChartShowsAllFortyWeightsLabelledOnlyAfterTeaching) {
  morse::TrainerState s;
  s.Teachstring = std::u16string(morse::TeachOrder(0));
  morse::ResetTeachStats(s);
  s.Numusing = 3;
  s.Errors[2] = 0.2;
  s.TeachFlag = true;
  BarChart chart;
  UpdateErrorChart(chart, s);
  ASSERT_EQ(chart.BarCount(), 40);
  EXPECT_EQ(chart.Value(1), 0.2);
  EXPECT_EQ(chart.Value(39), 1.0);  // beyond the count in use
  for (int i = 0; i < 40; ++i) EXPECT_TRUE(chart.Label(i).isEmpty()) << i;

  s.TeachFlag = false;
  UpdateErrorChart(chart, s);
  ASSERT_EQ(chart.BarCount(), 40);
  EXPECT_EQ(chart.Label(0), "Q");
  EXPECT_EQ(chart.Label(39), "/");
}

bool LimeColumn(const QImage& image, int x) {
  for (int y = 0; y < image.height(); ++y) {
    if (image.pixelColor(x, y) == QColor(0x00, 0xFF, 0x00)) return true;
  }
  return false;
}

TEST(BarChart, RendersFortyBarsInsideThePanel) {
  BarChart chart;
  chart.resize(1030, 100);
  for (int i = 0; i < 40; ++i) chart.AddBar(1.0, QString());
  const QImage image = chart.grab().toImage();
  ASSERT_EQ(image.size(), QSize(1030, 100));
  int first = -1, last = -1, runs = 0;
  for (int x = 0; x < image.width(); ++x) {
    if (!LimeColumn(image, x)) continue;
    if (last != x - 1) ++runs;
    if (first < 0) first = x;
    last = x;
  }
  EXPECT_EQ(runs, 40);
  // The empty slots at x = -1 and x = 40 keep a bar's width free at each end.
  const int slot = (last - first) / 39;
  EXPECT_GT(slot, 20);
  EXPECT_LT(last, image.width() - slot / 2);
  EXPECT_GT(first, slot / 2);
}

int DarkPixelsBelowRow(const QImage& image, int top) {
  int dark = 0;
  for (int y = top; y < image.height(); ++y) {
    for (int x = 40; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 128;
  }
  return dark;
}

TEST(BarChart, LabelsAreDrawnUnderTheBarsOnlyWhenGiven) {
  morse::TrainerState s;
  s.Teachstring = std::u16string(morse::TeachOrder(2));
  morse::ResetTeachStats(s);
  BarChart chart;
  chart.resize(1030, 100);
  s.TeachFlag = true;
  UpdateErrorChart(chart, s);
  EXPECT_EQ(DarkPixelsBelowRow(chart.grab().toImage(), 90), 0);
  s.TeachFlag = false;
  UpdateErrorChart(chart, s);
  EXPECT_GT(DarkPixelsBelowRow(chart.grab().toImage(), 90), 40);
}

}  // namespace
}  // namespace gui
