// The main window's small commands: the text font and its size, the clock
// size, Toggle Tone, Toggle Uppercase and Close.
#include "app/main_window.h"
#include "gui/error_report.h"
#include "gui/fonts.h"
#include "gui/pump.h"

namespace {

void StepFontSize(QWidget* w, int points) {
  gui::SetFontSize(w, gui::GetStoredFont(w).size + points);
}

}  // namespace

void TForm1::ConnectCommandHandlers() {
  using gui::On;
  On(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  On(spFontEdit, &gui::SpinButton::UpClick, this, [this] { spFontEditUpClick(); });
  On(spFontEdit, &gui::SpinButton::DownClick, this, [this] { spFontEditDownClick(); });
  On(SpinButton1, &gui::SpinButton::UpClick, this, [this] { SpinButton1UpClick(); });
  On(SpinButton1, &gui::SpinButton::DownClick, this, [this] { SpinButton1DownClick(); });
  On(ToggleTone1, &QAction::triggered, this, [this] { ToggleTone1Click(); });
  On(ToggleUppercase1, &QAction::triggered, this, [this] { ToggleUppercase1Click(); });
  On(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
}

void TForm1::Button4Click() {
  const gui::StoredFont current = gui::GetStoredFont(Memo1);
  QFont font = gui::DrawnFont(current);
  if (!Dialogs().ChooseFont(font)) return;
  const gui::StoredFont chosen = gui::StoredFromChosen(font, current);
  gui::SetStoredFont(Memo1, chosen);
  gui::SetStoredFont(edit2, chosen);
}

// No limit either way: the stored size is what the arrows make it.
void TForm1::spFontEditUpClick() {
  StepFontSize(Memo1, 2);
  StepFontSize(edit2, 2);
}

void TForm1::spFontEditDownClick() {
  StepFontSize(Memo1, -2);
  StepFontSize(edit2, -2);
}

void TForm1::SpinButton1UpClick() {
  StepFontSize(lbClock, 4);
  lbClock->adjustSize();
}

void TForm1::SpinButton1DownClick() {
  StepFontSize(lbClock, -4);
  lbClock->adjustSize();
}

void TForm1::ToggleTone1Click() {
  for (QWidget* w : {static_cast<QWidget*>(SpinEdit2), static_cast<QWidget*>(Label17),
                     static_cast<QWidget*>(SpinEdit3), static_cast<QWidget*>(Label16),
                     static_cast<QWidget*>(CheckBox3)}) {
    w->setHidden(gui::Shown(w));
  }
}

void TForm1::ToggleUppercase1Click() { Upperflag = !Upperflag; }

void TForm1::btnCloseClick() {
  if (btnPause->text() == QStringLiteral("&Unpause")) {
    // Let the paused run see that it may go on, so it can end.
    PauseFlag = false;
    btnPause->setText(QStringLiteral("Pause"));
    gui::ProcessMessages();
  }
  close();
}
