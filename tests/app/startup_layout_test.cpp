// The window as it opens: its controls, the start-up values and cascades,
// the speed controls and the display switches.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "gui/bar_chart.h"
#include "window_fixture.h"

namespace {

using StartupTest = WindowTest;

TEST_F(StartupTest, OpensAtTheStartUpSpeedsAndTiming) {
  TForm1& f = *form;
  EXPECT_EQ(f.SpeedScrollBar->Position(), 12);
  EXPECT_EQ(f.SpeedEdit->Text(), "12");
  EXPECT_EQ(f.FarnWPM, 12);
  EXPECT_EQ(f.CspeedScrollbar->Position(), 5);
  EXPECT_EQ(f.CSpeedEdit->Text(), "5");
  EXPECT_EQ(f.Freqscrollbar->Position(), 800);
  EXPECT_EQ(f.Freqedit->Text(), "800");
  EXPECT_EQ(f.Freqset, 800);
  EXPECT_DOUBLE_EQ(f.Fspeed, 12);
  EXPECT_DOUBLE_EQ(f.Speed, 5);
  EXPECT_DOUBLE_EQ(f.FFrequency, 800);
  EXPECT_DOUBLE_EQ(f.FDitLength, 0.1);
  EXPECT_NEAR(f.Charspace, 1.305263, 1e-6);
  EXPECT_NEAR(f.Wdspace, 0.568421, 1e-6);
  EXPECT_EQ(f.Nchar, 3);
  EXPECT_EQ(f.Nword, 7);
  EXPECT_EQ(f.PracNumber, 1);
  EXPECT_FALSE(f.PauseFlag);
  EXPECT_FALSE(f.FastFlag);
  EXPECT_EQ(f.Fbase, 41);
  EXPECT_EQ(f.CharToCode(u"E"), "1");
  EXPECT_DOUBLE_EQ(f.SineTab[0], 0);
  EXPECT_NEAR(f.SineTab[256], 2.0 / 3.0, 1e-9);
  EXPECT_EQ(f.StatusBar1->SimpleText(), "Load text into the text box, or press <Start Teach.>");
  EXPECT_EQ(f.Memo2->Text(),
            "---Quickstart Instructions---\r\nPress <Start Teach> button,\r\nPress <Start Sending> "
            "button,\r\nType each character you hear,\r\nIf it's unknown, wait.  You'll be "
            "shown.\r\nStop with <Stop Teach> button");
  EXPECT_EQ(f.StartNumEdit->Text(), "1");
  EXPECT_EQ(f.UsingEdit->Text(), "1");
  EXPECT_EQ(f.Memo1->font().family(), "Consolas");
  EXPECT_EQ(f.edit2->font().pointSize(), 12);
  EXPECT_TRUE(f.Timer3->Enabled());
  EXPECT_FALSE(f.Timer1->Enabled());
  EXPECT_FALSE(f.Timer2->Enabled());
  EXPECT_FALSE(f.TeachFlag);
  EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("\n").toStdString();
  // The chart panel's height is taken off the window.
  EXPECT_EQ(f.ClientHeight(), TForm1::kClientHeight - 100);
  EXPECT_EQ(f.Client->height(), 408);
  EXPECT_EQ(f.StatusBar1->geometry(), QRect(0, 389, 1030, 19));
  EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(f.lbClock->text()).hasMatch());
}

struct ControlRow {
  const char* name;
  const char* kind;     // the Qt class or our control class
  const char* caption;  // button or check box caption, label or edit text; null to skip
  QRect place;          // x, y, w, h; a zero size is not checked
  bool shown;
  const char* hint;     // null to skip
};

QString CaptionOf(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* s = qobject_cast<gui::SpinEdit*>(w)) return s->Text();
  if (auto* m = qobject_cast<gui::Memo*>(w)) return m->Text();
  return QString();
}

TEST_F(StartupTest, CarriesEveryControlWithItsNameCaptionAndPlace) {
  TForm1& f = *form;
  const std::vector<std::pair<ControlRow, QWidget*>> rows = {
      {{"LoadFile", "QPushButton", "Load any File", {15, 8, 78, 25}, true, "Load a text file to send from disk"}, f.LoadFile},
      {{"Button1", "QPushButton", "Load practice Text", {95, 8, 105, 25}, true,
        "Load a supplied practice text, numbered 1 - 950:  Enter number in box below."}, f.Button1},
      {{"Label11", "QLabel", "Practice Text Number (1 - 950)", {15, 43, 0, 0}, true, nullptr}, f.Label11},
      {{"Edit1", "gui::Edit", "1", {167, 40, 33, 21}, true, "Number of Practice Text to send: 1 - 950"}, f.Edit1},
      {{"CheckBox2", "QCheckBox", "Show Quickscreen", {15, 69, 113, 17}, true, "Toggle to show/hide red instruction box"}, f.CheckBox2},
      {{"cbSaveSettings", "QCheckBox", "Auto Save / Load Settings", {134, 69, 155, 17}, true, nullptr}, f.cbSaveSettings},
      {{"rgTeachString", "RadioGroup", "Teaching String:", {215, 4, 106, 69}, false, "Choose method for teaching string"}, f.rgTeachString},
      {{"Sendbutton", "QPushButton", "Send Text", {328, 8, 65, 25}, true, "Send any text in the box, or the loaded practice text"}, f.Sendbutton},
      {{"SpinButton1", "gui::SpinButton", nullptr, {328, 34, 20, 44}, true, nullptr}, f.SpinButton1},
      {{"lbClock", "QLabel", nullptr, {354, 36, 0, 0}, true, nullptr}, f.lbClock},
      {{"cbShowClock", "QCheckBox", "Show Clock", {328, 78, 73, 15}, true, nullptr}, f.cbShowClock},
      {{"btnPause", "QPushButton", "Pause", {400, 8, 57, 25}, true, "Pause and resume sending"}, f.btnPause},
      {{"AbortButton", "QPushButton", "Abort/Show text", {464, 8, 89, 25}, true, "Stop sending text, show sent portion"}, f.AbortButton},
      {{"Button4", "QPushButton", "Font", {560, 8, 41, 25}, true, "Change the font style in the main window"}, f.Button4},
      {{"spFontEdit", "gui::SpinButton", nullptr, {600, 8, 20, 25}, true, nullptr}, f.spFontEdit},
      {{"Label19", "QLabel", "Pause after X chars", {736, 11, 0, 0}, true, "Automatically pauses after this number of characters"}, f.Label19},
      {{"Label12", "QLabel", "Clear after X chars", {736, 39, 0, 0}, true, nullptr}, f.Label12},
      {{"Label20", "QLabel", "Pause after X mins", {736, 67, 0, 0}, true, nullptr}, f.Label20},
      {{"cbRecordOutput", "QCheckBox", "Record Output", {864, 38, 97, 20}, true, nullptr}, f.cbRecordOutput},
      {{"btnStopRecording", "QPushButton", "Stop Recording", {864, 61, 97, 25}, true, nullptr}, f.btnStopRecording},
      {{"btnClose", "QPushButton", "Close", {952, 8, 70, 25}, true, nullptr}, f.btnClose},
      {{"sePauseValue", "gui::SpinEdit", "0", {680, 8, 41, 22}, true, "Automatically pauses after this number of characters"}, f.sePauseValue},
      {{"seClearAfterChars", "gui::SpinEdit", "0", {680, 36, 41, 22}, true, nullptr}, f.seClearAfterChars},
      {{"sePauseMins", "gui::SpinEdit", "0", {680, 64, 41, 22}, true, nullptr}, f.sePauseMins},
      {{"Memo1", "gui::Memo", "", {8, 103, 400, 170}, true, "Text to be sent appears here"}, f.Memo1},
      {{"edit2", "gui::Memo", "", {626, 103, 400, 170}, true, "Text to be sent appears here"}, f.edit2},
      {{"Memo3", "gui::Memo", "", {626, 301, 313, 81}, false, nullptr}, f.Memo3},
      {{"Label3", "QLabel", "12", {419, 108, 0, 0}, true, nullptr}, f.Label3},
      {{"Label4", "QLabel", "35", {563, 108, 0, 0}, true, nullptr}, f.Label4},
      {{"SpeedScrollBar", "gui::ScrollBar", nullptr, {414, 127, 169, 16}, true, "Set the overall morse speed."}, f.SpeedScrollBar},
      {{"SpeedEdit", "gui::Edit", "12", {589, 127, 33, 21}, true, nullptr}, f.SpeedEdit},
      {{"Label1", "QLabel", "Character Speed", {460, 149, 0, 0}, true, nullptr}, f.Label1},
      {{"Label2", "QLabel", "3", {419, 161, 0, 0}, true, nullptr}, f.Label2},
      {{"Label9", "QLabel", "20", {563, 161, 0, 0}, true, nullptr}, f.Label9},
      {{"CspeedScrollbar", "gui::ScrollBar", nullptr, {414, 177, 169, 17}, true, "Set the Farnsworth spacing."}, f.CspeedScrollbar},
      {{"CSpeedEdit", "gui::Edit", "5", {589, 177, 33, 21}, true, nullptr}, f.CSpeedEdit},
      {{"Label5", "QLabel", "Text Speed with Farnsworth Spacing", {439, 200, 110, 26}, true, nullptr}, f.Label5},
      {{"Label6", "QLabel", "500", {419, 219, 0, 0}, true, nullptr}, f.Label6},
      {{"Label7", "QLabel", "1000", {555, 218, 0, 0}, true, nullptr}, f.Label7},
      {{"Freqscrollbar", "gui::ScrollBar", nullptr, {414, 233, 169, 16}, true, "Set audio frequency for morse"}, f.Freqscrollbar},
      {{"Freqedit", "gui::Edit", "800", {589, 233, 33, 21}, true, nullptr}, f.Freqedit},
      {{"Label8", "QLabel", "Audio Frequency", {460, 251, 0, 0}, true, nullptr}, f.Label8},
      {{"CheckBox1", "QCheckBox", "Show text", {8, 278, 75, 17}, true, "Toggle to show/hide text in window"}, f.CheckBox1},
      {{"cbResumeFromCursor", "QCheckBox", "Continue from cursor position", {104, 277, 160, 17}, true, nullptr}, f.cbResumeFromCursor},
      {{"cbShowProgress", "QCheckBox", "Show Progress", {632, 279, 89, 16}, true, "Toggle Progress bar on/off."}, f.cbShowProgress},
      {{"cbClearAfterPause", "QCheckBox", "Clear after Pause", {742, 279, 103, 16}, true, nullptr}, f.cbClearAfterPause},
      {{"Teachbutton", "QPushButton", "Start Teach", {8, 302, 75, 25}, true, "Prepare for interactive learning process"}, f.Teachbutton},
      {{"TeachSendButton", "QPushButton", "Start Sending", {8, 330, 75, 25}, true, "Start interactive teaching process"}, f.TeachSendButton},
      {{"TeachStopButton", "QPushButton", "Stop Teach", {8, 358, 75, 25}, true, "Stop interactive teaching, show progress."}, f.TeachStopButton},
      {{"StartNumLabel", "QLabel", "Characters to Start", {176, 239, 0, 0}, false, nullptr}, f.StartNumLabel},
      {{"StartNumEdit", "gui::Edit", "1", {98, 304, 57, 21}, false, nullptr}, f.StartNumEdit},
      {{"Label18", "QLabel", "Characters to start", {161, 311, 0, 0}, false, nullptr}, f.Label18},
      {{"Label10", "QLabel", "Characters in use", {161, 330, 0, 0}, false, nullptr}, f.Label10},
      {{"UsingEdit", "gui::Edit", "1", {97, 330, 57, 21}, false, nullptr}, f.UsingEdit},
      {{"Memo2", "gui::Memo", nullptr, {89, 294, 185, 89}, false, "Get going in a hurry!"}, f.Memo2},
      {{"Edit3", "gui::Edit", "", {185, 360, 208, 21}, false, nullptr}, f.Edit3},
      {{"Button3", "QPushButton", "Generate String", {89, 356, 89, 29}, false,
        "Click to generate a random string from the characters you've entered."}, f.Button3},
      {{"cbTeachingGroups", "QCheckBox", "Create \"Teaching\" Groups", {185, 343, 152, 17}, false, nullptr}, f.cbTeachingGroups},
      {{"Label15", "QLabel", "Groups to generate", {443, 363, 0, 0}, false, nullptr}, f.Label15},
      {{"seGroups2Gen", "gui::SpinEdit", "100", {399, 360, 43, 22}, false, nullptr}, f.seGroups2Gen},
      {{"SpinEdit3", "gui::SpinEdit", "1", {337, 294, 33, 22}, false, nullptr}, f.SpinEdit3},
      {{"Label17", "QLabel", "Harmonics", {376, 297, 0, 0}, false, nullptr}, f.Label17},
      {{"SpinEdit2", "gui::SpinEdit", "5", {432, 294, 41, 22}, false, "Lower, makes elements \"clickier\":   higher, \"woolier\""}, f.SpinEdit2},
      {{"Label16", "QLabel", "Rise/Fall time, msec", {479, 297, 0, 0}, false, nullptr}, f.Label16},
      {{"CheckBox3", "QCheckBox", "Square Wave", {337, 322, 89, 17}, false, nullptr}, f.CheckBox3},
      {{"Image1", "QLabel", nullptr, {976, 294, 41, 80}, true, "Join KELTA today!"}, f.Image1},
      {{"Panel2", "QFrame", nullptr, {0, 289, 1030, 100}, false, nullptr}, f.Panel2},
  };
  for (const auto& [row, w] : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->inherits(row.kind)) << w->metaObject()->className();
    if (row.caption) EXPECT_EQ(CaptionOf(w), QString(row.caption));
    // Panel1's corner is the window's, so its children share coordinates.
    const QPoint at = w->mapTo(f.Client, QPoint(0, 0));
    EXPECT_EQ(at, row.place.topLeft());
    if (row.place.width() > 0) {
      if (qobject_cast<QCheckBox*>(w)) {
        // Check boxes may be wider where this font needs it, never narrower.
        EXPECT_GE(w->width(), row.place.width());
        EXPECT_EQ(w->height(), row.place.height());
      } else {
        EXPECT_EQ(w->size(), row.place.size());
      }
    }
    EXPECT_EQ(gui::Shown(w), row.shown);
    if (row.hint) EXPECT_EQ(w->toolTip(), QString(row.hint));
  }
  EXPECT_FALSE(f.TeachSendButton->isEnabled());
  EXPECT_FALSE(f.TeachStopButton->isEnabled());
  EXPECT_TRUE(f.CheckBox1->isChecked());
  EXPECT_TRUE(f.cbShowProgress->isChecked());
  EXPECT_TRUE(f.cbShowClock->isChecked());
  EXPECT_EQ(f.rgTeachString->ItemIndex(), 0);
  EXPECT_EQ(f.lbClock->font().family(), "Arial");
  EXPECT_TRUE(f.lbClock->font().bold());
  EXPECT_LE(f.lbClock->height(), 55);
  EXPECT_TRUE(f.btnClose->font().bold());
  EXPECT_TRUE(f.windowTitle().startsWith("Morse Teaching Program:"));
  EXPECT_TRUE(f.windowTitle().endsWith(" - Version 8.02"));
}

TEST_F(StartupTest, HasTheMainMenuInOrderWithItsHints) {
  TForm1& f = *form;
  QStringList top;
  for (QAction* a : f.menuBar()->actions()) top << a->text();
  EXPECT_EQ(top, QStringList({"Advanced", "Notepad", "Help", "Progress"}));
  QStringList advanced;
  for (QAction* a : f.Advanced1->actions()) advanced << a->text();
  EXPECT_EQ(advanced, QStringList({"Save Settings", "Load Settings", "Fast Mode", "Slow Mode",
                                   "Random Chars", "Dits", "Toggle Tone", "Toggle Uppercase",
                                   "Teaching Strings", "Reset Saved Settings"}));
  QStringList help;
  for (QAction* a : f.H1->actions()) help << a->text();
  EXPECT_EQ(help, QStringList({"Help File", "About", "Version History"}));
  EXPECT_EQ(f.LoadEnv1->property("hint").toString(), "Re-load the mian operating parameters");
  EXPECT_EQ(f.FastMode1->property("hint").toString(), "Set 6 - 40 WPM");
  EXPECT_EQ(f.Notepad1->property("hint").toString(), "Show Notepad editor");
  // Hints are shown nowhere: no status tips that would overwrite the status line.
  for (QAction* a : f.Advanced1->actions()) EXPECT_TRUE(a->statusTip().isEmpty());
}

TEST_F(StartupTest, SpeedBarsUpdateTheirBoxesAndTheTiming) {
  TForm1& f = *form;
  f.SpeedScrollBar->SetPosition(20);
  EXPECT_EQ(f.SpeedEdit->Text(), "20");
  EXPECT_EQ(f.FarnWPM, 20);
  f.CspeedScrollbar->SetPosition(10);
  EXPECT_EQ(f.CSpeedEdit->Text(), "10");
  EXPECT_DOUBLE_EQ(f.FDitLength, 0.06);
  EXPECT_NEAR(f.FDitLength + f.Charspace, 0.653684, 1e-6);
  f.Freqscrollbar->SetPosition(2000);
  EXPECT_EQ(f.Freqedit->Text(), "1000");
  EXPECT_DOUBLE_EQ(f.FFrequency, 1000);
}

TEST_F(StartupTest, FastModeDoublesTheTextSpeedAndEnterClampsTheBar) {
  TForm1& f = *form;
  f.FastMode1Click();
  EXPECT_TRUE(f.FastFlag);
  EXPECT_EQ(f.CSpeedEdit->Text(), "10");
  EXPECT_EQ(f.Label2->text(), "6");
  EXPECT_EQ(f.Label9->text(), "40");
  EXPECT_EQ(f.CspeedScrollbar->Position(), 5);
  // Enter moves the bar to the number shown, clamped to 20; the bar shows double.
  for (const char* expected : {"20", "40", "40"}) {
    char16_t key = 13;
    f.CSpeedEditKeyPress(key);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(f.CSpeedEdit->Text(), expected);
  }
  EXPECT_DOUBLE_EQ(f.FDitLength, 0.03);  // 40 wpm, plain timing
}

TEST_F(StartupTest, SlowModeOnAnOddSpeedKeepsAWholeNumber) {
  TForm1& f = *form;
  f.SlowMode1Click();  // 5 halves to 2.5: rounded to 2 so the timing can still be read
  EXPECT_EQ(f.CSpeedEdit->Text(), "2");
  EXPECT_DOUBLE_EQ(f.Speed, 2);
  f.SpeedScrollBar->SetPosition(13);
  EXPECT_TRUE(dialogs.errors.isEmpty());
  // Halving on never reaches 0, where every gap would be endless.
  for (int i = 0; i < 4; ++i) f.SlowMode1Click();
  EXPECT_EQ(f.CSpeedEdit->Text(), "1");
  EXPECT_DOUBLE_EQ(f.Speed, 1);
  EXPECT_EQ(f.Label2->text(), "3");
  EXPECT_EQ(f.Label9->text(), "20");
}

TEST_F(StartupTest, RepeatedFastModeStopsBeforeThirtyTwoBitsOverflow) {
  TForm1& f = *form;
  for (int i = 0; i < 40; ++i) gui::Guarded([&] { f.FastMode1Click(); });
  EXPECT_EQ(f.CSpeedEdit->Text(), QString::number(5 << 28));
  EXPECT_FALSE(dialogs.errors.isEmpty());
  EXPECT_EQ(dialogs.errors.last(), "The text speed is too high to double again.");
  EXPECT_GT(f.FDitLength, 0);
}

TEST_F(StartupTest, ANonNumberInASpeedBoxIsReportedAndTheProgramGoesOn) {
  TForm1& f = *form;
  f.SpeedEdit->SetText("12abc");  // runs SpeedEditChange through the error report
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_EQ(dialogs.errors[0], "'12abc' is not a valid integer value");
  f.Freqedit->setText("x");
  char16_t key = 13;
  gui::Guarded([&] { f.FreqeditKeyPress(key); });
  EXPECT_EQ(dialogs.errors.last(), "'x' is not a valid integer value");
  f.Freqedit->setText("800");
  f.SpeedEdit->SetText("15");
  EXPECT_DOUBLE_EQ(f.Fspeed, 15);
}

TEST_F(StartupTest, DisplaySwitchesShowAndHideTheirControls) {
  TForm1& f = *form;
  f.cbShowProgress->setChecked(false);
  EXPECT_FALSE(gui::Shown(f.edit2));
  f.cbShowProgress->setChecked(true);
  EXPECT_TRUE(gui::Shown(f.edit2));
  f.CheckBox1->setChecked(false);
  EXPECT_FALSE(gui::Shown(f.Memo1));
  f.CheckBox1->setChecked(true);
  EXPECT_TRUE(gui::Shown(f.Memo1));
  f.CheckBox2->setChecked(true);
  EXPECT_TRUE(gui::Shown(f.Memo2));
  f.cbShowClock->setChecked(false);
  EXPECT_FALSE(gui::Shown(f.lbClock));
  f.cbShowClock->setChecked(true);
  EXPECT_TRUE(gui::Shown(f.lbClock));
}

TEST_F(StartupTest, TheWaveformFollowsHarmonicsAndSquareWave) {
  TForm1& f = *form;
  const auto startup = f.SineTab;
  f.CheckBox3->setChecked(true);  // no handler of its own
  EXPECT_EQ(f.SineTab, startup);
  f.SpinEdit3->SetValue(0);
  EXPECT_EQ(f.SineTab[0], 0.0);
  EXPECT_EQ(f.SineTab[1], 1.0);
  EXPECT_EQ(f.SineTab[512], -1.0);
  f.CheckBox3->setChecked(false);
  f.SpinEdit3->SetValue(3);
  EXPECT_NEAR(*std::max_element(f.SineTab.begin(), f.SineTab.end()), 0.9301, 1e-4);
}

TEST_F(StartupTest, ClosingTheMainWindowEndsTheProgramWithOtherWindowsOpen) {
  QApplication::setQuitOnLastWindowClosed(false);
  Show();
  QWidget other;
  other.show();
  QTimer::singleShot(50, form.get(), [this] { form->close(); });
  QTimer::singleShot(5000, [] { QApplication::exit(1); });  // a hang fails, not blocks
  EXPECT_EQ(QApplication::exec(), 0);
}

TEST_F(StartupTest, WithoutASoundServerTheWindowStillOpensConsistent) {
  Open(/*failing_device=*/true);
  TForm1& f = *form;
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_EQ(dialogs.errors[0], "Connection refused");
  EXPECT_EQ(f.SpeedEdit->Text(), "12");
  EXPECT_DOUBLE_EQ(f.FDitLength, 0.1);
  EXPECT_EQ(f.StatusBar1->SimpleText(), "Load text into the text box, or press <Start Teach.>");
  // Send Text tries the sound server again; failing, it says why and
  // leaves the text and the controls as they were.
  f.Memo1->SetText("E");
  f.Sendbutton->click();
  ASSERT_EQ(dialogs.errors.size(), 2);
  EXPECT_EQ(dialogs.errors[1], "Connection refused");
  EXPECT_EQ(f.Memo1->Text(), "E");
  EXPECT_TRUE(f.Sendbutton->isEnabled());
  EXPECT_FALSE(f.SendFlag);
}

}  // namespace
