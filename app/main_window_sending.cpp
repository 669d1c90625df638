// Send Text: the run, Pause, Abort, the resume position, the limit boxes and
// the clock. The loop itself is the engine's; the window supplies its text,
// its progress box, its controls and the sound.
#include <QCoreApplication>
#include <QScopedValueRollback>
#include <QTime>
#include <initializer_list>

#include "app/main_window.h"
#include "app/progress_recorder.h"
#include "gui/error_report.h"
#include "gui/pump.h"
#include "morse/convert.h"
#include "morse/text_sender.h"
#include "morse/tone.h"
#include "sound/out_sound.h"

namespace {

const QString kUnpause = QStringLiteral("&Unpause");

}  // namespace

// The window as the sender's host.
class WindowSendHost : public morse::SendHost {
 public:
  explicit WindowSendHost(TForm1& form) : f_(form) {}

  morse::TrainerState& State() override { return f_; }
  std::u16string_view CurrentText() override { return gui::View(f_.Memo1->Text()); }
  void PlayNote(double frequency, double duration, double amplitude) override {
    f_.PlayNote(frequency, duration, amplitude);
  }
  void ProcessMessages() override { gui::ProcessMessages(); }
  void WaitWhilePaused() override { f_.WaitWhilePaused(); }
  // The run's own pauses fall after what was sent: that plays out first.
  void PauseRequest() override { f_.TogglePauseRequest(false); }
  morse::TimePoint Now() override { return f_.Clock().NowMs(); }
  void BeginRun() override {
    f_.edit2->Clear();
    f_.StatusBar1->SetSimpleText(QString::fromLatin1(morse::kSendingStatus));
  }
  void AppendProgress(char16_t c) override { f_.edit2->AppendText(QString(QChar(c))); }
  std::int32_t ProgressLength() override { return static_cast<std::int32_t>(f_.edit2->Text().size()); }
  void SetProgressText(std::u16string_view text) override { f_.edit2->SetText(gui::FromView(text)); }
  std::int32_t PauseAfterChars() override { return f_.sePauseValue->Value(); }
  std::int32_t PauseAfterMins() override { return f_.sePauseMins->Value(); }
  std::int32_t ClearAfterChars() override { return f_.seClearAfterChars->Value(); }
  bool ClearAfterPause() override { return f_.cbClearAfterPause->isChecked(); }
  bool ResumeFromCursor() override { return f_.cbResumeFromCursor->isChecked(); }
  void ShowPaused(bool paused) override {
    const QString text = QString::fromLatin1(morse::kPausedStatus);
    if (paused) {
      f_.StatusBar1->SetSimpleText(text);
    } else if (f_.StatusBar1->SimpleText() == text) {
      f_.StatusBar1->SetSimpleText(QString::fromLatin1(morse::kSendingStatus));
    }
  }
  void CancelPause() override {
    f_.PauseFlag = false;
    f_.btnPause->setText(QStringLiteral("Pause"));
    if (f_.OutSound1) f_.OutSound1->Restart();  // nothing to do unless paused
  }

 private:
  TForm1& f_;
};

void TForm1::ConnectSendingHandlers() {
  using gui::On;
  On(Sendbutton, &QPushButton::clicked, this, [this] { SendbuttonClick(); });
  On(btnPause, &QPushButton::clicked, this, [this] { btnPauseClick(); });
  On(AbortButton, &QPushButton::clicked, this, [this] { AbortButtonClick(); });
  connect(Memo1, &gui::Memo::MousePressed, this,
          [this](Qt::MouseButton b) { gui::Guarded([&] { Memo1MouseDown(b); }); });
  On(sePauseValue, &gui::SpinEdit::Changed, this, [this] { sePauseValueChange(); });
  On(seClearAfterChars, &gui::SpinEdit::Changed, this, [this] { seClearAfterCharsChange(); });
  On(sePauseMins, &gui::SpinEdit::Changed, this, [this] { sePauseMinsChange(); });
  On(Timer3, &QTimer::timeout, this, [this] { Timer3Timer(); });
}

void TForm1::OpenSoundOutput() {
  OutSound1 = services_.wave_out ? std::make_unique<sound::TOutSound>(services_.wave_out())
                                 : std::make_unique<sound::TOutSound>();
  // While the device holds every buffer the window still answers clicks.
  OutSound1->SetWaitPump([] { gui::ProcessMessages(); });
  OutSound1->Initialize();
}

void TForm1::EnsureSoundOutput() {
  if (OutSound1 && OutSound1->Usable()) {
    OutSound1->Rearm();
    return;
  }
  if (OutSound1) {
    // A lost stream has nothing left to play; its tear-down errors tell
    // nothing the reopening will not.
    try {
      OutSound1->Close();
    } catch (const std::exception&) {
    }
    OutSound1.reset();
  }
  OpenSoundOutput();
}

void TForm1::EndRunAfterError() {
  SendFlag = false;
  PauseFlag = false;
  btnPause->setText(QStringLiteral("Pause"));
  Timer1->SetEnabled(false);
  if (OutSound1) {
    try {
      OutSound1->Abort();
    } catch (const std::exception&) {
    }
  }
  CheckBox1->setChecked(true);
  CheckBox1Click();
  Memo1->show();
  gui::SetEnabled({Sendbutton, Teachbutton, LoadFile}, true);
  StatusBar1->SetSimpleText(
      QStringLiteral("Sending stopped: the sound failed. Your text is unchanged; the progress box shows what was sent."));
}

void TForm1::PlayNote(double Frequency, double Duration, double Amplitude) {
  Risetime = morse::StrToFloat(gui::View(SpinEdit2->Text())) / 1000.0;
  if (!OutSound1 || OutSound1->stage() != sound::OpenStages::TransferThreadCreated)
    throw sound::EOutSound(
        "No sound output is open. Start the sound server (PulseAudio or PipeWire), then press Send Text "
        "again.");
  sound::TOutSound& out = *OutSound1;
  morse::RenderNote(*this, out.SampRate(), Frequency, Duration, Amplitude, [&out](std::int16_t v) {
    const sound::sample s{v, v};
    out.sendSample(s);
    gui::PumpSample();
  });
}

void TForm1::DisableKeepingFocus(std::initializer_list<QWidget*> controls) {
  // Qt would move the focus on to the next control, where a typed answer or
  // a Space could change it; the window itself keeps the focus instead.
  for (QWidget* w : controls) {
    if (w->hasFocus()) Client->setFocus(Qt::OtherFocusReason);
  }
  gui::SetEnabled(controls, false);
}

void TForm1::SendbuttonClick() {
  sentstring.clear();
  SendFlag = true;
  // Start Teach waits for the run to end: the end of a run stops the
  // answer timer, which would leave teaching stalled.
  DisableKeepingFocus({LoadFile, Sendbutton, Teachbutton});
  AbortButton->setEnabled(true);
  StatusBar1->SetSimpleText(QString());
  try {
    // A sound server that was missing or restarted is reconnected here.
    EnsureSoundOutput();
    if (cbRecordOutput->isChecked()) StartOutputRecording();
    if (Recorder) Recorder->RunBegin();
    const QScopedValueRollback<bool> running(in_send_run_, true);
    SendText();
  } catch (...) {
    EndRunAfterError();
    try {
      StopOutputRecording();
    } catch (...) {
      // The run's own error is the one to report.
    }
    throw;
  }
  if (Recorder) Recorder->RunEnd();
  RefreshProgress();
  StopOutputRecording();
  Timer1->SetEnabled(false);
}

void TForm1::SendText() {
  WindowSendHost host(*this);
  morse::RunSendText(host);

  if (OutSound1) OutSound1->Flush();
  CheckBox1->setChecked(true);
  CheckBox1Click();
  SendFlag = false;
  Timer1->SetEnabled(false);
  Memo1->SetText(gui::FromView(sentstring));
  Memo1->show();
  gui::SetEnabled({Sendbutton, Teachbutton, LoadFile}, true);
  StatusBar1->SetSimpleText(QStringLiteral("The main box shows the text actually sent."));
}

void TForm1::WaitWhilePaused() {
  // What was rendered before the pause goes to the device whole, so the
  // pause falls between elements and never inside a mark.
  if (OutSound1) OutSound1->Submit();
  // Block for events rather than spin; closing the window ends the wait so
  // no process is left behind a closed window.
  while (PauseFlag && !closing_) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
  }
}

void TForm1::btnPauseClick() { TogglePauseRequest(true); }

void TForm1::TogglePauseRequest(bool at_once) {
  if (!morse::TogglePause(*this, Clock().NowMs())) return;
  btnPause->setText(PauseFlag ? kUnpause : QStringLiteral("Pause"));
  if (!OutSound1) return;
  if (PauseFlag && at_once)
    OutSound1->Pause();
  else if (!PauseFlag)
    OutSound1->Restart();
}

void TForm1::AbortButtonClick() {
  // Silence first: the sender may be well ahead of what is heard.
  const bool run_active = SendFlag;
  if (OutSound1) {
    OutSound1->Abort();
    // Between runs nothing renders on; a run re-arms at its next start.
    if (!run_active) OutSound1->Rearm();
  }
  if (btnPause->text() == kUnpause) {
    PauseFlag = false;
    btnPause->setText(QStringLiteral("Pause"));
    gui::ProcessMessages();
  }
  CheckBox1->setChecked(true);
  CheckBox1Click();
  // Only a running run has a sent text to show instead of the box's; a run
  // broken off by an error has already ended and left the box alone, and
  // between runs the box holds what the user typed or loaded since.
  SendFlag = false;
  Timer1->SetEnabled(false);
  if (run_active) Memo1->SetText(gui::FromView(sentstring));
  Memo1->show();
  cbShowProgress->setChecked(true);
  gui::SetEnabled({Sendbutton, Teachbutton, LoadFile}, true);
  if (run_active) StatusBar1->SetSimpleText(QStringLiteral("The box shows only the text that was sent."));
}

void TForm1::Memo1MouseDown(Qt::MouseButton Button) {
  if (!cbResumeFromCursor->isChecked() || Button != Qt::LeftButton) return;
  NewMessagePos = Memo1->CaretPos() + 1;
  FirstResume = true;
}

// The minute limit and the character limits exclude each other. The box the
// user changed keeps its value: the boxes cleared on its behalf do not clear
// in turn (which used to bounce every box back to 0).
void TForm1::sePauseValueChange() { ClearOtherPauseLimits({sePauseMins}); }

void TForm1::seClearAfterCharsChange() { ClearOtherPauseLimits({sePauseMins}); }

void TForm1::sePauseMinsChange() { ClearOtherPauseLimits({sePauseValue, seClearAfterChars}); }

void TForm1::ClearOtherPauseLimits(std::initializer_list<gui::SpinEdit*> others) {
  if (clearing_pause_limits_) return;
  clearing_pause_limits_ = true;
  try {
    for (gui::SpinEdit* box : others) box->SetValue(0);
  } catch (...) {
    clearing_pause_limits_ = false;
    throw;
  }
  clearing_pause_limits_ = false;
}

void TForm1::Timer3Timer() {
  lbClock->setText(QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
  lbClock->adjustSize();  // the label sizes itself to its text, at most 55 high
}
