// The main window's small commands: fonts, clock size, Toggle Tone and
// Toggle Uppercase.
#include "gui/fonts.h"
#include "window_fixture.h"

namespace {

using CommandsTest = WindowTest;

TEST_F(CommandsTest, TextSizeArrowsStepBothBoxesWithoutLimit) {
  TForm1& f = *form;
  for (int i = 0; i < 10; ++i) f.spFontEdit->Down()->click();
  for (gui::Memo* box : {f.Memo1, f.edit2}) {
    EXPECT_EQ(gui::GetStoredFont(box).size, -8);
    // Drawn small but visible.
    EXPECT_GE(QFontInfo(box->font()).pixelSize(), 8);
    EXPECT_LT(QFontInfo(box->font()).pixelSize(), 16);
  }
  f.spFontEdit->Up()->click();
  EXPECT_EQ(gui::GetStoredFont(f.edit2).size, -6);
  for (int i = 0; i < 9; ++i) f.spFontEdit->Up()->click();
  EXPECT_EQ(gui::GetStoredFont(f.Memo1).size, 12);
  EXPECT_EQ(f.Memo1->font().pointSize(), 12);
}

TEST_F(CommandsTest, ClockArrowsStepByFourPointsAndTheLabelStaysLow) {
  TForm1& f = *form;
  EXPECT_EQ(gui::GetStoredFont(f.lbClock).size, 32);
  f.SpinButton1->Up()->click();
  f.SpinButton1->Up()->click();
  EXPECT_EQ(gui::GetStoredFont(f.lbClock).size, 40);
  EXPECT_EQ(f.lbClock->font().pointSize(), 40);
  EXPECT_TRUE(f.lbClock->font().bold());
  EXPECT_LE(f.lbClock->height(), 55);
  for (int i = 0; i < 12; ++i) f.SpinButton1->Down()->click();
  EXPECT_EQ(gui::GetStoredFont(f.lbClock).size, -8);
}

TEST_F(CommandsTest, FontDialogChangesBothBoxesKeepingTheColour) {
  TForm1& f = *form;
  gui::SetFontColor(f.Memo1, 0x0000FF);  // red, from a settings file
  f.Button4->click();                    // cancelled
  EXPECT_EQ(gui::GetStoredFont(f.edit2), (gui::StoredFont{"Consolas", 12, -16777208, 0}));

  QFont chosen("DejaVu Serif", 14);
  chosen.setItalic(true);
  chosen.setUnderline(true);
  dialogs.font_answer = chosen;
  f.Button4->click();
  const gui::StoredFont expected{"DejaVu Serif", 14, 0x0000FF, gui::kItalic | gui::kUnderline};
  EXPECT_EQ(gui::GetStoredFont(f.Memo1), expected);
  EXPECT_EQ(gui::GetStoredFont(f.edit2), expected);
  EXPECT_EQ(f.edit2->palette().color(QPalette::Text), QColor(255, 0, 0));
  EXPECT_TRUE(f.edit2->font().underline());
}

TEST_F(CommandsTest, ConfirmingTheSubstituteKeepsTheStoredName) {
  TForm1& f = *form;
  dialogs.font_answer = QFont(QFontInfo(f.Memo1->font()).family(), 12);  // what Consolas is drawn with
  f.Button4->click();
  EXPECT_EQ(gui::GetStoredFont(f.Memo1).name, "Consolas");
}

TEST_F(CommandsTest, ToggleToneShowsAndHidesTheFiveToneControls) {
  TForm1& f = *form;
  const std::initializer_list<QWidget*> tone = {f.SpinEdit2, f.Label17, f.SpinEdit3, f.Label16, f.CheckBox3};
  f.ToggleTone1->trigger();
  for (QWidget* w : tone) EXPECT_TRUE(gui::Shown(w)) << w->metaObject()->className();
  f.ToggleTone1->trigger();
  for (QWidget* w : tone) EXPECT_FALSE(gui::Shown(w));
  // Each flips by itself.
  f.Label16->show();
  f.ToggleTone1->trigger();
  EXPECT_FALSE(gui::Shown(f.Label16));
  EXPECT_TRUE(gui::Shown(f.SpinEdit2));
}

TEST_F(CommandsTest, ToggleUppercaseFlipsTheFlag) {
  TForm1& f = *form;
  f.ToggleUppercase1->trigger();
  EXPECT_TRUE(f.Upperflag);
  f.ToggleUppercase1->trigger();
  EXPECT_FALSE(f.Upperflag);
}

}  // namespace

namespace {

TEST_F(CommandsTest, ThePracticeNumberLabelEndsBeforeItsBox) {
  TForm1& f = *form;
  EXPECT_LE(f.Label11->sizeHint().width(), f.Label11->width());
  EXPECT_LT(f.Label11->geometry().right(), f.Edit1->x());
  EXPECT_EQ(f.Label11->pos(), QPoint(15, 43));
  EXPECT_EQ(f.Edit1->geometry(), QRect(167, 40, 33, 21));
}

}  // namespace
