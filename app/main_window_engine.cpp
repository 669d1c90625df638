// The sending engine's window side: code lookup, timing from the speed
// boxes, the speed and frequency controls, and the waveform control.
#include <QLabel>
#include <algorithm>

#include "app/main_window.h"
#include "morse/code_table.h"
#include "morse/rounding.h"
#include "morse/timing.h"
#include "morse/waveform.h"

std::string TForm1::CharToCode(std::u16string_view s) const { return morse::CharToCode(*this, s); }

void TForm1::SetSpeed() {
  // The boxes are the source of truth; a bad box stops here with the
  // conversion error, the fields assigned before it keeping their values.
  Fspeed = gui::StrToInt(SpeedEdit->Text());
  Speed = gui::StrToInt(CSpeedEdit->Text());
  FFrequency = gui::StrToInt(Freqedit->Text());
  morse::DeriveTiming(*this);
}

// Enter in a speed box moves its bar to the number shown; the key is swallowed.
void TForm1::EnterMovesBar(char16_t& Key, const gui::Edit* edit, gui::ScrollBar* bar) {
  if (Key != 13) return;
  Key = 0;
  bar->SetPosition(gui::StrToInt(edit->Text()));
  SetSpeed();
}

void TForm1::SpeedScrollBarChange() {
  FarnWPM = SpeedScrollBar->Position();
  SpeedEdit->SetText(QString::number(FarnWPM));
  SetSpeed();
}

void TForm1::SpeedEditChange() {
  SpeedScrollBar->SetPosition(gui::StrToInt(SpeedEdit->Text()));
  SpeedScrollBar->SetPosition(FarnWPM);
  SetSpeed();
}

void TForm1::SpeedEditKeyPress(char16_t& Key) { EnterMovesBar(Key, SpeedEdit, SpeedScrollBar); }

void TForm1::CspeedScrollbarChange() {
  TrueWPM = CspeedScrollbar->Position();
  if (FastFlag) TrueWPM *= 2;
  CSpeedEdit->SetText(QString::number(TrueWPM));
  SetSpeed();
}

void TForm1::CSpeedEditKeyPress(char16_t& Key) { EnterMovesBar(Key, CSpeedEdit, CspeedScrollbar); }

void TForm1::FreqscrollbarChange() {
  Freqset = Freqscrollbar->Position();
  Freqedit->SetText(QString::number(Freqset));
  SetSpeed();
}

void TForm1::FreqeditKeyPress(char16_t& Key) { EnterMovesBar(Key, Freqedit, Freqscrollbar); }

void TForm1::FastMode1Click() {
  FastFlag = true;
  const std::int64_t doubled = std::int64_t{gui::StrToInt(CSpeedEdit->Text())} * 2;
  // Repeated Fast Mode doubles on; past 32 bits the number could no longer
  // be read back, so the text speed stops there with a clear message.
  if (doubled > INT32_MAX || doubled < INT32_MIN) {
    throw std::runtime_error("The text speed is too high to double again.");
  }
  CSpeedEdit->SetText(QString::number(doubled));
  Label2->setText(QStringLiteral("6"));
  Label9->setText(QStringLiteral("40"));
  SetSpeed();
}

void TForm1::SlowMode1Click() {
  FastFlag = false;
  // Halving an odd speed would write a fraction that no later SetSpeed can
  // read; the half is rounded to a whole number (halves to even) instead,
  // and never below 1, where the gaps would become endless.
  const std::int32_t shown = gui::StrToInt(CSpeedEdit->Text());
  CSpeedEdit->SetText(QString::number(std::max<std::int64_t>(1, morse::RoundHalfEven(shown / 2.0))));
  Label2->setText(QStringLiteral("3"));
  Label9->setText(QStringLiteral("20"));
  SetSpeed();
}

void TForm1::SpinEdit3Change() {
  morse::BuildSineTab(SineTab, gui::StrToInt(SpinEdit3->Text()), CheckBox3->isChecked());
}

void TForm1::CheckBox1Click() { Memo1->setVisible(CheckBox1->isChecked()); }

void TForm1::CheckBox2Click() { Memo2->setVisible(CheckBox2->isChecked()); }

// The clock and progress switches toggle rather than follow their box; box
// and control stay in step because every change of the box passes here.
void TForm1::cbShowClockClick() { lbClock->setHidden(!lbClock->isHidden()); }

void TForm1::cbShowProgressClick() { edit2->setHidden(!edit2->isHidden()); }
