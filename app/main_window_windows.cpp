// The main window's commands for its companion windows: notepad, help pages
// and the about box.
#include "app/main_window.h"
#include "gui/error_report.h"
#include "windows/about_window.h"
#include "windows/help_window.h"
#include "windows/notepad_window.h"

void TForm1::SetCompanionWindows(TForm2* notepad, TAboutBox* about, TFormHelp* help) {
  Form2 = notepad;
  AboutBox = about;
  FormHelp = help;
}

void TForm1::ConnectWindowHandlers() {
  using gui::On;
  On(Notepad1, &QAction::triggered, this, [this] { Notepad1Click(); });
  On(NewHelp1, &QAction::triggered, this, [this] { NewHelp1Click(); });
  On(NewHistory1, &QAction::triggered, this, [this] { NewHistory1Click(); });
  On(About1, &QAction::triggered, this, [this] { About1Click(); });
}

void TForm1::Notepad1Click() {
  if (Form2) Form2->Open(this);
}

void TForm1::NewHelp1Click() {
  if (!FormHelp) return;
  FormHelp->StartDir = StartDir;
  FormHelp->OpenPage(QString::fromLatin1(TFormHelp::kHelpCaption),
                     QString::fromLatin1(TFormHelp::kHelpFile));
}

void TForm1::NewHistory1Click() {
  if (!FormHelp) return;
  FormHelp->StartDir = StartDir;
  FormHelp->OpenPage(QString::fromLatin1(TFormHelp::kHistoryCaption),
                     QString::fromLatin1(TFormHelp::kHistoryFile));
}

void TForm1::About1Click() {
  if (AboutBox) AboutBox->ShowAbout();
}

bool TForm1::MayEndProgram() { return !Form2 || Form2->QuerySaveOnExit(); }
