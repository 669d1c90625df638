// Construction and start-up of the main window.
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>

#include "app/main_window.h"
#include "app/progress_recorder.h"
#include "gui/bar_chart.h"
#include "gui/char_hook.h"
#include "gui/error_report.h"
#include "gui/fonts.h"
#include "morse/code_table.h"
#include "morse/settings_file.h"
#include "morse/waveform.h"
#include "sound/out_sound.h"

QString StartDir;

namespace {

// Runs a handler for Enter typed in a box and swallows the key.
class EnterKeyFilter : public QObject {
 public:
  EnterKeyFilter(QObject* parent, std::function<void(char16_t&)> handler)
      : QObject(parent), handler_(std::move(handler)) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const QString text = static_cast<QKeyEvent*>(event)->text();
    if (text.size() != 1) return false;
    char16_t key = text[0].unicode();
    bool swallowed = false;
    gui::Guarded([&] {
      handler_(key);
      swallowed = key == 0;
    });
    return swallowed;
  }

 private:
  std::function<void(char16_t&)> handler_;
};

}  // namespace

TForm1::TForm1(TrainerServices services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)),
      dialogs_(services_.dialogs ? services_.dialogs : &gui::QtDialogs()),
      clock_(services_.clock ? services_.clock : &morse::SystemClock()),
      random_(services_.random ? services_.random : &morse::SystemRandom()) {
  gui::SetErrorDialogs(dialogs_);
  gui::SubstituteFonts();
  CreateControls();
  ConnectHandlers();
  gui::Guarded([this] { FormCreate(); });
}

TForm1::~TForm1() {
  closing_ = true;
  SendFlag = false;
  if (Recorder) Recorder->SessionEnd();
  hook_.reset();
  gui::SetErrorDialogs(nullptr);
}

void TForm1::ConnectHandlers() {
  using gui::On;
  On(SpeedScrollBar, &QScrollBar::valueChanged, this, [this] { SpeedScrollBarChange(); });
  On(SpeedEdit, &QLineEdit::textChanged, this, [this] { SpeedEditChange(); });
  On(CspeedScrollbar, &QScrollBar::valueChanged, this, [this] { CspeedScrollbarChange(); });
  On(Freqscrollbar, &QScrollBar::valueChanged, this, [this] { FreqscrollbarChange(); });
  SpeedEdit->installEventFilter(new EnterKeyFilter(this, [this](char16_t& k) { SpeedEditKeyPress(k); }));
  CSpeedEdit->installEventFilter(new EnterKeyFilter(this, [this](char16_t& k) { CSpeedEditKeyPress(k); }));
  Freqedit->installEventFilter(new EnterKeyFilter(this, [this](char16_t& k) { FreqeditKeyPress(k); }));
  On(FastMode1, &QAction::triggered, this, [this] { FastMode1Click(); });
  On(SlowMode1, &QAction::triggered, this, [this] { SlowMode1Click(); });
  On(SpinEdit3, &gui::SpinEdit::Changed, this, [this] { SpinEdit3Change(); });

  On(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });
  On(CheckBox2, &QCheckBox::toggled, this, [this] { CheckBox2Click(); });
  On(cbShowClock, &QCheckBox::toggled, this, [this] { cbShowClockClick(); });
  On(cbShowProgress, &QCheckBox::toggled, this, [this] { cbShowProgressClick(); });

  ConnectSendingHandlers();
  ConnectTeachingHandlers();
  ConnectSettingsHandlers();
  ConnectTextHandlers();
  ConnectCommandHandlers();
  ConnectWindowHandlers();
  ConnectRecordingHandlers();
}

void TForm1::FormCreate() {
  Timer3Timer();
  Edit3->hide();
  Button3->hide();
  PauseFlag = false;
  FastFlag = false;
  PracNumber = 1;
  ChangeClientHeight(-Panel2->height());
  hook_ = std::make_unique<gui::CharHook>([this](char16_t c) { HandleAppMessage(c); });
  gui::SetShown({StartNumLabel, StartNumEdit, Label18, UsingEdit, Label10}, false);
  morse::CodeTableInitialize(*this);
  UsingEdit->SetText(QStringLiteral("1"));
  StartNumEdit->SetText(QStringLiteral("1"));
  gui::SetShown({SpinEdit2, Label17, SpinEdit3, Label16, CheckBox3}, false);
  FirstResume = false;
  const gui::StoredFont textFont{QStringLiteral("Consolas"), 12, morse::kWindowTextColor, 0};
  gui::SetStoredFont(Memo1, textFont);
  gui::SetStoredFont(edit2, textFont);
  morse::BuildStartupSineTab(*this);
  StartDir = QDir::currentPath();

  // Without a sound server the window must still be consistent and usable for
  // everything but sound: the error is shown and start-up goes on; every note
  // then fails with the sound component's own message.
  gui::Guarded([this] { OpenSoundOutput(); });

  Fspeed = 14;
  SpeedEdit->SetText(QStringLiteral("14"));
  Speed = 5;
  CSpeedEdit->SetText(QStringLiteral("5"));
  FFrequency = 800;
  Freqedit->SetText(QStringLiteral("800"));
  Freqscrollbar->SetPosition(800);
  SetSpeed();
  TeachFlag = false;
  TeachGoFlag = false;
  Timer1->SetEnabled(false);
  TeachSendButton->setEnabled(false);
  StatusBar1->SetSimpleText(QStringLiteral("Load text into the text box, or press <Start Teach.>"));

  Memo2->SetText(QStringLiteral("---Quickstart Instructions---"));
  for (const char* line : {"Press <Start Teach> button,", "Press <Start Sending> button,",
                           "Type each character you hear,", "If it's unknown, wait.  You'll be shown.",
                           "Stop with <Stop Teach> button"}) {
    Memo2->AddLine(QString::fromLatin1(line));
  }

  Memo3->Clear();
  LoadSettingsAtStartup();
  OpenProgressJournal();
}

void TForm1::closeEvent(QCloseEvent* event) {
  // Notes are not lost silently: asked about first, and a failed save keeps
  // the program open with them.
  bool mayEnd = true;
  gui::Guarded([&] { mayEnd = closing_ || MayEndProgram(); });
  if (!mayEnd) {
    event->ignore();
    return;
  }
  keep_open_ = false;
  gui::Guarded([this] { FormClose(); });
  if (keep_open_) {
    closing_ = false;
    event->ignore();
    return;
  }
  event->accept();
  // Closing the main window ends the program even while other windows are
  // open; a quit met inside a running handler takes effect once it returns.
  QCoreApplication::quit();
}

void TForm1::FormClose() {
  closing_ = true;
  SendFlag = false;
  // A run waiting on the sound ends at once; nothing more is heard. The
  // settings are saved whatever the sound says.
  if (OutSound1) {
    try {
      OutSound1->Abort();
    } catch (const std::exception&) {
    }
  }
  SaveSettingsOnClose();
  // A session ends with the program, not while the user stays to save.
  if (Recorder && !keep_open_) Recorder->SessionEnd();
}
