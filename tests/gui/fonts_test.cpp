#include "gui/fonts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QLabel>

namespace gui {
namespace {

TEST(FontsTest, ColourValuesMapToColoursAndSystemColours) {
  QPalette pal;
  pal.setColor(QPalette::Active, QPalette::Text, QColor(1, 2, 3));
  pal.setColor(QPalette::Active, QPalette::Base, QColor(4, 5, 6));
  pal.setColor(QPalette::Active, QPalette::Highlight, QColor(7, 8, 9));
  const struct {
    std::int32_t value;
    QColor color;
  } cases[] = {
      {255, QColor(255, 0, 0)},          {0x00FF00, QColor(0, 255, 0)},     {0xFF0000, QColor(0, 0, 255)},
      {0x123456, QColor(0x56, 0x34, 0x12)}, {0, QColor(0, 0, 0)},
      {-16777208, QColor(1, 2, 3)},      // window text
      {-16777211, QColor(4, 5, 6)},      // window
      {-16777203, QColor(7, 8, 9)},      // highlight
      {-1, QColor(1, 2, 3)},             // no such index: text
  };
  for (const auto& c : cases) EXPECT_EQ(DrawnColor(c.value, pal), c.color) << c.value;
}

TEST(FontsTest, StoredValuesStayAsGivenWhileDrawingMapsThem) {
  SubstituteFonts();
  QLabel label;
  const StoredFont f{"Consolas", 12, -16777208, kBold | kUnderline | 0x30};
  SetStoredFont(&label, f);
  EXPECT_EQ(GetStoredFont(&label), f);
  EXPECT_EQ(label.font().family(), "Consolas");
  EXPECT_NE(QFontInfo(label.font()).family(), "Consolas");  // drawn by a substitute
  EXPECT_TRUE(label.font().bold());
  EXPECT_TRUE(label.font().underline());
  EXPECT_FALSE(label.font().italic());
  for (std::int32_t size : {0, -2, -8, -40}) {
    SetFontSize(&label, size);
    EXPECT_EQ(GetStoredFont(&label).size, size);
    EXPECT_GE(label.font().pixelSize(), 8) << size;
  }
  SetFontSize(&label, 20);
  EXPECT_EQ(label.font().pointSize(), 20);
}

TEST(FontsTest, AControlWithoutAStoredFontReportsItsOwn) {
  QLabel clock;
  QFont arial("Arial", 32);
  arial.setBold(true);
  clock.setFont(arial);
  EXPECT_EQ(GetStoredFont(&clock), (StoredFont{"Arial", 32, -16777208, kBold}));
}

}  // namespace
}  // namespace gui
