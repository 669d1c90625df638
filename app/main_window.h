// The main window: the trainer. It owns every piece of trainer state (as a
// TrainerState), every control and the sound output; its methods are the
// trainer's commands and handlers, spread over files by subject.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <memory>

#include "gui/controls.h"
#include "gui/dialogs.h"
#include "morse/clock.h"
#include "morse/random_source.h"
#include "morse/trainer_state.h"
#include "progress/journal.h"

namespace sound {
class TOutSound;
}
namespace platform {
class WaveOutDevice;
}
class TInputRecordThread;
class TForm2;
class TAboutBox;
class TFormHelp;
namespace gui {
class CharHook;
class BarChart;
class TypingLock;
}
class ProgressRecorder;
class TFormProgress;

// The working directory recorded at start-up; the help window finds its pages there.
extern QString StartDir;

// What the window talks to outside itself. Production leaves every member
// empty; tests put their own in.
struct TrainerServices {
  gui::Dialogs* dialogs = nullptr;
  morse::Clock* clock = nullptr;
  morse::RandomSource* random = nullptr;
  // Makes the wave-out device for OutSound1; empty means PulseAudio.
  std::function<std::unique_ptr<platform::WaveOutDevice>()> wave_out;
  // Opens the learner's journal; empty means "Progress.db" in the working
  // directory.
  std::function<std::unique_ptr<progress::Journal>(progress::Reporter)> journal;
};

// A radio group: a captioned frame of exclusive items.
class RadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  RadioGroup(const QString& caption, const QStringList& items, QWidget* parent);
  int ItemIndex() const;
  void SetItemIndex(int index);

 private:
  QList<QRadioButton*> buttons_;
};

class TForm1 : public QMainWindow, public morse::TrainerState {
  Q_OBJECT

 public:
  explicit TForm1(TrainerServices services = {}, QWidget* parent = nullptr);
  ~TForm1() override;

  // The client area below the menu bar, as designed.
  static constexpr int kClientWidth = 1030;
  static constexpr int kClientHeight = 508;
  int ClientHeight() const;

  // --- start-up and close (main_window_startup.cpp)
  void FormCreate();
  void FormClose();

  // --- engine (main_window_engine.cpp)
  std::string CharToCode(std::u16string_view s) const;
  void SetSpeed();
  void PlayNote(double Frequency, double Duration, double Amplitude);

  // --- speed handlers
  void SpeedScrollBarChange();
  void SpeedEditChange();
  void SpeedEditKeyPress(char16_t& Key);
  void CspeedScrollbarChange();
  void CSpeedEditKeyPress(char16_t& Key);
  void FreqscrollbarChange();
  void FreqeditKeyPress(char16_t& Key);
  void FastMode1Click();
  void SlowMode1Click();
  void SpinEdit3Change();

  // --- sending (main_window_sending.cpp)
  void SendbuttonClick();
  void SendText();
  void btnPauseClick();
  void AbortButtonClick();
  void Memo1MouseDown(Qt::MouseButton Button);
  void sePauseValueChange();
  void seClearAfterCharsChange();
  void sePauseMinsChange();
  void Timer3Timer();
  void WaitWhilePaused();

  // --- recording (main_window_recording.cpp)
  void btnStopRecordingClick();

  // --- teaching (main_window_teaching.cpp)
  void HandleAppMessage(char16_t c);
  void TeachbuttonClick();
  void TeachSendButtonClick();
  void TeachStopButtonClick();
  void Timer1Timer();
  void Timer2Timer();
  void SendTeachChar();
  void CheckTeachAnswer();
  void eachStrings1Click();
  void ResetTeachStats();
  void RaiseCharError(int i);
  void LowerCharError(int i);
  void ComputeErrorStats();
  void PickTeachChar();
  bool IntroduceNextChar();
  void UpdateErrorChart();
  int MasteryRating() const;
  void RandChars1Click();
  void Button3Click();
  void Dits1Click();

  // --- display switches
  void CheckBox1Click();
  void CheckBox2Click();
  void cbShowClockClick();
  void cbShowProgressClick();

  void CollapseChartPanel();

  // --- companion windows (main_window_windows.cpp); the program entry
  // creates them, the main window's menu opens them
  void SetCompanionWindows(TForm2* notepad, TAboutBox* about, TFormHelp* help);
  void Notepad1Click();
  void NewHelp1Click();
  void NewHistory1Click();
  void About1Click();
  TForm2* Form2 = nullptr;
  TAboutBox* AboutBox = nullptr;
  TFormHelp* FormHelp = nullptr;

  // --- settings file (main_window_settings.cpp)
  void SaveEnv1Click();
  void LoadEnv1Click();
  void ResetSavedSettings1Click();

  // --- practice texts and text files (main_window_texts.cpp)
  void Button1Click();
  void LoadFileClick();

  // --- small commands (main_window_commands.cpp)
  void Button4Click();
  void spFontEditUpClick();
  void spFontEditDownClick();
  void SpinButton1UpClick();
  void SpinButton1DownClick();
  void ToggleTone1Click();
  void ToggleUppercase1Click();
  void btnCloseClick();

  // Grows or shrinks the window by dy pixels of client height.
  void ChangeClientHeight(int dy);

  // True while a Send Text run or a teaching character is sounding.
  bool Sounding() const { return sounding_ || in_send_run_; }

  // True once the window has begun to close: long runs and waits end.
  bool Closing() const { return closing_; }

  gui::Dialogs& Dialogs() const { return *dialogs_; }
  morse::Clock& Clock() const { return *clock_; }
  morse::RandomSource& Random() const { return *random_; }

  // --- controls, by their component names
  QWidget* Client = nullptr;
  QFrame* Panel1 = nullptr;
  QPushButton* LoadFile = nullptr;
  QPushButton* Button1 = nullptr;
  QLabel* Label11 = nullptr;
  gui::Edit* Edit1 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QCheckBox* cbSaveSettings = nullptr;
  RadioGroup* rgTeachString = nullptr;
  QPushButton* Sendbutton = nullptr;
  gui::SpinButton* SpinButton1 = nullptr;
  QLabel* lbClock = nullptr;
  QCheckBox* cbShowClock = nullptr;
  QPushButton* btnPause = nullptr;
  QPushButton* AbortButton = nullptr;
  QPushButton* Button4 = nullptr;
  gui::SpinButton* spFontEdit = nullptr;
  QLabel* Label19 = nullptr;
  QLabel* Label12 = nullptr;
  QLabel* Label20 = nullptr;
  QCheckBox* cbRecordOutput = nullptr;
  QPushButton* btnStopRecording = nullptr;
  QPushButton* btnClose = nullptr;
  gui::SpinEdit* sePauseValue = nullptr;
  gui::SpinEdit* seClearAfterChars = nullptr;
  gui::SpinEdit* sePauseMins = nullptr;
  gui::Memo* Memo1 = nullptr;
  gui::Memo* edit2 = nullptr;
  gui::Memo* Memo3 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  gui::ScrollBar* SpeedScrollBar = nullptr;
  gui::Edit* SpeedEdit = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label9 = nullptr;
  gui::ScrollBar* CspeedScrollbar = nullptr;
  gui::Edit* CSpeedEdit = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* Label7 = nullptr;
  gui::ScrollBar* Freqscrollbar = nullptr;
  gui::Edit* Freqedit = nullptr;
  QLabel* Label8 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* cbResumeFromCursor = nullptr;
  QCheckBox* cbShowProgress = nullptr;
  QCheckBox* cbClearAfterPause = nullptr;
  QPushButton* Teachbutton = nullptr;
  QPushButton* TeachSendButton = nullptr;
  QPushButton* TeachStopButton = nullptr;
  QLabel* StartNumLabel = nullptr;
  gui::Edit* StartNumEdit = nullptr;
  QLabel* Label18 = nullptr;
  QLabel* Label10 = nullptr;
  gui::Edit* UsingEdit = nullptr;
  gui::Memo* Memo2 = nullptr;
  gui::Edit* Edit3 = nullptr;
  QPushButton* Button3 = nullptr;
  QCheckBox* cbTeachingGroups = nullptr;
  QLabel* Label15 = nullptr;
  gui::SpinEdit* seGroups2Gen = nullptr;
  gui::SpinEdit* SpinEdit3 = nullptr;
  QLabel* Label17 = nullptr;
  gui::SpinEdit* SpinEdit2 = nullptr;
  QLabel* Label16 = nullptr;
  QCheckBox* CheckBox3 = nullptr;
  QLabel* Image1 = nullptr;
  QFrame* Panel2 = nullptr;
  gui::BarChart* Chart1 = nullptr;
  gui::StatusLine* StatusBar1 = nullptr;

  gui::Timer* Timer1 = nullptr;
  gui::Timer* Timer2 = nullptr;
  gui::Timer* Timer3 = nullptr;

  QMenu* Advanced1 = nullptr;
  QAction* SaveEnv1 = nullptr;
  QAction* LoadEnv1 = nullptr;
  QAction* FastMode1 = nullptr;
  QAction* SlowMode1 = nullptr;
  QAction* RandChars1 = nullptr;
  QAction* Dits1 = nullptr;
  QAction* ToggleTone1 = nullptr;
  QAction* ToggleUppercase1 = nullptr;
  QAction* eachStrings1 = nullptr;
  QAction* ResetSavedSettings1 = nullptr;
  QAction* Notepad1 = nullptr;
  QMenu* H1 = nullptr;
  QAction* NewHelp1 = nullptr;
  QAction* About1 = nullptr;
  QAction* NewHistory1 = nullptr;

  std::unique_ptr<sound::TOutSound> OutSound1;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateControls();   // the window's design values; runs no handler
  void CreateMenu();
  void ConnectHandlers();  // only after every design value is in place
  void ConnectSendingHandlers();
  void ConnectTeachingHandlers();
  void ConnectWindowHandlers();
  // Offers to save unsaved notes; false when the program should stay open.
  bool MayEndProgram();
  void LoadSettingsAtStartup();  // start-up step 23
  void SaveSettingsOnClose();
  void ConnectSettingsHandlers();
  void ConnectTextHandlers();
  void ConnectCommandHandlers();
  void ApplyClientHeight();
  void CentreOnScreen();
  void EnterMovesBar(char16_t& Key, const gui::Edit* edit, gui::ScrollBar* bar);
  void OpenSoundOutput();  // start-up step 14
  // Opens the sound output afresh when it never opened or its stream was
  // lost (server restarted, output device removed), and lets it play again
  // after an Abort. Throws with the reason when it cannot.
  void EnsureSoundOutput();
  // The Pause button's toggle; `at_once` also pauses the sound where it is
  // playing, as a click does, instead of letting what was sent play out.
  void TogglePauseRequest(bool at_once);
  // Ends a run that an error broke off: the controls come back and the main
  // box keeps the user's text.
  void EndRunAfterError();
  void DisableKeepingFocus(std::initializer_list<QWidget*> controls);
  void ConnectRecordingHandlers();
  void StartOutputRecording();
  // Lets the queued sound play out, then stops the recording this window
  // started, if any, whatever Record Output says by now.
  void StopOutputRecording();
  // While answers are typed, no control but `except` takes the keys.
  void LockTyping(bool locked, QWidget* except = nullptr);
  void ShowCountForCorrection();
  void ClearOtherPauseLimits(std::initializer_list<gui::SpinEdit*> others);
  friend class WindowSendHost;

  TrainerServices services_;
  gui::Dialogs* dialogs_;
  morse::Clock* clock_;
  morse::RandomSource* random_;
  std::unique_ptr<gui::CharHook> hook_;
  gui::TypingLock* typing_lock_ = nullptr;  // a child of the window
  bool clearing_pause_limits_ = false;
  int client_height_ = kClientHeight;
  bool closing_ = false;
  // The settings could not be saved at close and the user chose to stay.
  bool keep_open_ = false;
  // A teaching character is being sent, and a right answer came meanwhile.
  bool sounding_ = false;
  bool in_send_run_ = false;
  bool answered_while_sounding_ = false;
  // The recording started for the current run.
  QPointer<TInputRecordThread> run_recording_;

  // --- the learner's journal and the Progress window (main_window_progress.cpp)
 public:
  void Progress1Click();
  // Fills Memo1 with random groups of chars, as Generate String would.
  void DrillConfusions(const std::u16string& chars);
  QAction* Progress1 = nullptr;
  TFormProgress* FormProgress = nullptr;
  std::unique_ptr<ProgressRecorder> Recorder;  // present from start-up on

 private:
  void OpenProgressJournal();
  void RefreshProgress();
};
