// Teach mode, the error chart and the random practice material.
#include <exception>
#include <stdexcept>

#include "app/main_window.h"
#include "app/progress_recorder.h"
#include "gui/bar_chart.h"
#include "gui/error_report.h"
#include "gui/typing_lock.h"
#include "morse/code_table.h"
#include "morse/random_groups.h"
#include "morse/teaching.h"
#include "morse/text.h"
#include "sound/out_sound.h"

namespace {

using morse::AsciiLower;
using morse::AsciiUpper;

// The number of characters to start with; teaching never runs with none.
std::int32_t CharacterCount(const QString& text) {
  const std::int32_t n = gui::StrToInt(text);
  if (n < 1) {
    throw std::runtime_error(
        QStringLiteral("'%1' is too few characters to start: enter a number from 1 to 40.")
            .arg(text)
            .toStdString());
  }
  return n;
}

}  // namespace

void TForm1::ConnectTeachingHandlers() {
  using gui::On;
  On(Teachbutton, &QPushButton::clicked, this, [this] { TeachbuttonClick(); });
  On(TeachSendButton, &QPushButton::clicked, this, [this] { TeachSendButtonClick(); });
  On(TeachStopButton, &QPushButton::clicked, this, [this] { TeachStopButtonClick(); });
  On(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  On(Timer2, &QTimer::timeout, this, [this] { Timer2Timer(); });
  On(eachStrings1, &QAction::triggered, this, [this] { eachStrings1Click(); });
  On(RandChars1, &QAction::triggered, this, [this] { RandChars1Click(); });
  On(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  On(Dits1, &QAction::triggered, this, [this] { Dits1Click(); });
}

void TForm1::HandleAppMessage(char16_t c) {
  Charin = c;
  if (TeachFlag) CheckTeachAnswer();
}

void TForm1::TeachbuttonClick() {
  // A count that cannot start teaching does not stop Start Teach: the count
  // box is shown only in the teaching layout, so refusing here would leave
  // the user no way to see or correct it. Teach mode gets ready with one
  // character provisionally, and the problem is reported with the box
  // ready for correction; Start Sending checks the count again.
  std::exception_ptr bad_count;
  std::int32_t count = 1;
  try {
    count = CharacterCount(StartNumEdit->Text());
  } catch (const std::exception&) {
    bad_count = std::current_exception();
  }
  if (gui::Shown(Memo2)) {
    Memo2->hide();
    CheckBox2->setChecked(false);
  }
  gui::SetShown({Button1, Memo1, CheckBox1, Label11, Edit1}, false);
  CheckBox1->setChecked(true);
  CheckBox1Click();
  TeachFlag = true;
  StartNumLabel->show();
  StartNumEdit->show();
  Label18->show();
  TeachSendButton->setEnabled(true);
  UsingEdit->SetText(StartNumEdit->Text());
  if (Panel2->isHidden()) {
    ChangeClientHeight(Panel2->height());
    Panel2->show();
  }
  Teachstring = std::u16string(morse::TeachOrder(rgTeachString->ItemIndex()));
  Numusing = count;
  StartDelayTime = 8.0;
  Delaytime = 8.0;
  ResetTeachStats();
  Random().Randomize();
  Memo1->Clear();
  UpdateErrorChart();
  Timer2->SetEnabled(true);
  DisableKeepingFocus({Teachbutton, LoadFile, Sendbutton, AbortButton});
  TeachSendButton->setEnabled(true);
  TeachStopButton->setEnabled(true);
  StatusBar1->SetSimpleText(QStringLiteral("Enter number of characters to start, then press <Start Sending> button."));
  LockTyping(true, StartNumEdit);  // typed keys are answers already; only the count is typed
  if (bad_count) {
    ShowCountForCorrection();
    std::rethrow_exception(bad_count);
  }
}

// Puts the caret in the count box with its text selected, so that typing
// replaces a count that was refused.
void TForm1::ShowCountForCorrection() {
  StartNumEdit->show();
  StartNumEdit->setFocus(Qt::OtherFocusReason);
  StartNumEdit->selectAll();
}

void TForm1::LockTyping(bool locked, QWidget* except) {
  if (!typing_lock_) typing_lock_ = new gui::TypingLock(this);
  typing_lock_->SetLocked(locked, except);
}

void TForm1::TeachSendButtonClick() {
  // A sound server that was missing or restarted is reconnected here.
  EnsureSoundOutput();
  Timer2->SetEnabled(true);
  try {
    Numusing = CharacterCount(StartNumEdit->Text());
  } catch (const std::exception&) {
    ShowCountForCorrection();
    throw;
  }
  if (Numusing > 40) {
    Numusing = 40;
    StartNumEdit->SetText(QStringLiteral("40"));
  }
  UsingEdit->SetText(QString::number(Numusing));
  ichar = Numusing;
  if (Numusing > 1) {
    for (int i = 1; i <= Numusing; ++i) Errors[i] = Delerror;
  }
  ComputeErrorStats();
  UpdateErrorChart();
  TeachGoFlag = true;
  // Only now, after the count was accepted, is anything sent.
  StatusBar1->SetSimpleText(
      QStringLiteral("Type each character you hear, or wait:  Press <Stop Teach> button to stop."));
  LockTyping(true);
  DisableKeepingFocus({TeachSendButton});
  UsingEdit->show();
  Label10->show();
  if (cbRecordOutput->isChecked()) StartOutputRecording();
  if (Recorder) Recorder->SessionBegin();
}

void TForm1::Timer2Timer() {
  Timer2->SetEnabled(false);
  if (!(TeachFlag && TeachGoFlag)) return;
  PickTeachChar();
  if (Recorder && ichar >= 1 && ichar <= static_cast<int>(Teachstring.size())) {
    Recorder->CharSending(Teachstring[ichar - 1]);
  }
  answered_while_sounding_ = false;
  sounding_ = true;
  try {
    SendTeachChar();
  } catch (...) {
    sounding_ = false;
    // Teaching waits for the learner to mend the sound and start again.
    TeachGoFlag = false;
    TeachSendButton->setEnabled(true);
    StatusBar1->SetSimpleText(QStringLiteral(
        "Teaching stopped: the sound failed. Mend it as the message says, then press <Start Sending>."));
    throw;
  }
  sounding_ = false;
  if (Recorder) Recorder->CharSent(StartDelayTime);
  if (TeachFlag && TeachGoFlag) {
    // A right answer typed while the character sounded has answered it.
    ResponseFlag = !answered_while_sounding_;
    Delaytime = StartDelayTime;
    Timer1->SetEnabled(true);
  }
}

void TForm1::SendTeachChar() {
  const char16_t c = ichar >= 1 && ichar <= static_cast<int>(Teachstring.size()) ? Teachstring[ichar - 1] : u' ';
  const char16_t upper[1] = {AsciiUpper(c)};
  const std::string code = CharToCode(std::u16string_view(upper, 1));
  PlayNote(FFrequency, 3 * FDitLength, 0);
  OutSound1->Flush();  // PlayNote has made sure there is a sound output
  for (std::size_t k = 0; k < code.size(); ++k) {
    PlayNote(FFrequency, (code[k] - '0') * FDitLength, 20000);
    if (Recorder && k + 1 == code.size()) Recorder->MarkEnded();
    PlayNote(FFrequency, FDitLength, 0);
  }
  OutSound1->Flush();
}

void TForm1::CheckTeachAnswer() {
  CorrectChar = false;
  // While the character still sounds, Delaytime is the previous character's
  // leftover: a key after a timeout still resets the answer time, but a right
  // answer must not adapt it from that leftover.
  if (Delaytime <= 0) StartDelayTime = 8.0;
  const bool inRange = ichar >= 1 && ichar <= static_cast<int>(Teachstring.size());
  if (inRange && AsciiLower(Charin) == Teachstring[ichar - 1]) {
    if (!sounding_ && Delaytime > 2 && Delaytime < 8) {
      StartDelayTime = (3 * StartDelayTime + Delaytime) / 4;
    }
    Memo1->AppendText(QString(QChar(Upperflag ? AsciiUpper(Charin) : Charin)));
    CorrectChar = true;
    LowerCharError(ichar);
    ResponseFlag = false;
    if (sounding_) answered_while_sounding_ = true;
  } else {
    RaiseCharError(ichar);
  }
  if (Recorder) Recorder->Key(Charin, CorrectChar);
}

void TForm1::Timer1Timer() {
  if (PauseFlag) return;
  if (ResponseFlag) {
    Delaytime -= 1;
    if (Delaytime > 0) return;
    StartDelayTime = (StartDelayTime + 8) / 2;
    if (Recorder) Recorder->TimedOut();
    Newflag = 2;
    ResponseFlag = false;
    if (ichar >= 1 && ichar <= static_cast<int>(Teachstring.size())) {
      const char16_t c = Teachstring[ichar - 1];
      Memo1->AppendText(QString(QChar(Upperflag ? AsciiUpper(c) : c)));
    }
    RaiseCharError(ichar);
  }
  ComputeErrorStats();
  UpdateErrorChart();
  if (IntroduceNextChar()) {
    if (Numusing > 2) {
      Memo2->hide();
      CheckBox2->setChecked(false);
    }
    UsingEdit->SetText(QString::number(Numusing));
    Memo1->Clear();
  }
  Timer1->SetEnabled(false);
  Timer2->SetEnabled(true);
}

void TForm1::TeachStopButtonClick() {
  StopOutputRecording();
  TeachFlag = false;
  gui::SetShown({Label10, StartNumEdit, Label18, StartNumLabel}, false);
  Memo1->show();
  CheckBox1->show();
  TeachGoFlag = false;
  LockTyping(false);
  Timer1->SetEnabled(false);
  Timer2->SetEnabled(false);
  UpdateErrorChart();
  Teachbutton->setEnabled(true);
  Button1->show();
  Label11->show();
  Edit1->show();
  UsingEdit->hide();
  LoadFile->setEnabled(true);
  Sendbutton->setEnabled(true);
  AbortButton->setEnabled(true);
  DisableKeepingFocus({TeachStopButton, TeachSendButton});
  Memo1->Clear();
  Memo1->AddLine(QStringLiteral("Your current mastery rating is ") + QString::number(MasteryRating()));
  Memo1->AddLine(QStringLiteral("When this is 100, you will have mastered all of the characters."));
  if (Recorder) Recorder->SessionEnd();
  RefreshProgress();
  Memo2->hide();
  CheckBox2->setChecked(false);
  StatusBar1->SetSimpleText(QStringLiteral("Here's how you did.  I'm Ready to go again."));
}

void TForm1::eachStrings1Click() { rgTeachString->setHidden(!rgTeachString->isHidden()); }

void TForm1::ResetTeachStats() { morse::ResetTeachStats(*this); }
void TForm1::RaiseCharError(int i) { morse::RaiseCharError(*this, i); }
void TForm1::LowerCharError(int i) { morse::LowerCharError(*this, i); }
void TForm1::ComputeErrorStats() { morse::ComputeErrorStats(*this); }
void TForm1::PickTeachChar() { morse::PickTeachChar(*this, Random()); }
bool TForm1::IntroduceNextChar() { return morse::IntroduceNextChar(*this); }
int TForm1::MasteryRating() const { return morse::MasteryRating(*this); }

void TForm1::UpdateErrorChart() { gui::UpdateErrorChart(*Chart1, *this); }

// Shrinks the window back when the chart panel is showing; the file commands use it.
void TForm1::CollapseChartPanel() {
  if (!Panel2->isHidden()) {
    ChangeClientHeight(-Panel2->height());
    Panel2->hide();
  }
}

void TForm1::RandChars1Click() {
  if (gui::Shown(Memo2)) {
    Memo2->hide();
    CheckBox2->setChecked(false);
  }
  Button3->show();
  Memo2->hide();
  Edit3->show();
  cbTeachingGroups->show();
  seGroups2Gen->show();
  Label15->show();
  CheckBox2->setChecked(false);
  Memo1->Clear();
  for (std::u16string_view line : morse::kRandomCharsInstructions) Memo1->AddLine(gui::FromView(line));
  Edit3->setFocus(Qt::OtherFocusReason);
}

void TForm1::Button3Click() {
  gui::SetShown({Button3, Edit3, cbTeachingGroups, seGroups2Gen, Label15}, true);
  RandString = std::u16string(gui::View(Edit3->Text()));
  const std::int64_t groups = seGroups2Gen->Value();
  // Sets that could never fill their groups, and counts that would freeze
  // the window, are refused before the box is touched.
  const std::u16string problem = morse::GroupsInputProblem(RandString, groups);
  if (!problem.empty()) {
    Dialogs().ShowMessage(gui::FromView(problem));
    return;
  }
  Random().Randomize();
  const std::u16string text =
      morse::GenerateGroups(RandString, groups, cbTeachingGroups->isChecked(), Random());
  Memo1->SetText(gui::FromView(text));
  if (Recorder) Recorder->MarkTextSource(progress::TextSource::Groups);
  gui::SetShown({Button3, Edit3, cbTeachingGroups, seGroups2Gen, Label15}, false);
}

void TForm1::Dits1Click() { Memo1->SetText(gui::FromView(morse::kDitsText)); }
