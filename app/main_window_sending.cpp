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
  void PauseRequest() override { f_.btnPauseClick(); }
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
  OutSound1->Initialize();
}

void TForm1::PlayNote(double Frequency, double Duration, double Amplitude) {
  Risetime = morse::StrToFloat(gui::View(SpinEdit2->Text())) / 1000.0;
  if (!OutSound1) throw sound::EOutSound("Cannot send sample until output transfer thread has been created.");
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
  if (cbRecordOutput->isChecked()) StartOutputRecording();
  if (Recorder) Recorder->RunBegin();
  {
    const QScopedValueRollback<bool> running(in_send_run_, true);
    SendText();
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
  // Block for events rather than spin; closing the window ends the wait so
  // no process is left behind a closed window.
  while (PauseFlag && !closing_) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
  }
}

void TForm1::btnPauseClick() {
  if (!morse::TogglePause(*this, Clock().NowMs())) return;
  btnPause->setText(PauseFlag ? kUnpause : QStringLiteral("Pause"));
}

void TForm1::AbortButtonClick() {
  if (btnPause->text() == kUnpause) {
    PauseFlag = false;
    btnPause->setText(QStringLiteral("Pause"));
    gui::ProcessMessages();
  }
  CheckBox1->setChecked(true);
  CheckBox1Click();
  // Only a run (running, or broken off by an error) has a sent text to show
  // instead of the box's; between runs the box holds what the user typed or
  // loaded since, which must not be wiped.
  const bool run_active = SendFlag;
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
