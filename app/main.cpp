// The program entry.
#include <QApplication>

#include "app/main_window.h"
#include "record/recording_window.h"
#include "windows/about_window.h"
#include "windows/help_window.h"
#include "windows/notepad_window.h"

namespace {

int Marlowick(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KELTA Morse Teacher"));
  // The main window alone decides when the program ends.
  QApplication::setQuitOnLastWindowClosed(false);

  TForm1 Form1;
  TForm2 Form2;
  TAboutBox AboutBox;
  TfmMain recording;
  fmMain = &recording;
  // A save dialog waits until the sound of a run has ended.
  recording.HoldOffers = [&Form1] { return Form1.Sounding(); };
  TFormHelp FormHelp;
  Form1.SetCompanionWindows(&Form2, &AboutBox, &FormHelp);

  Form1.show();
  const int result = app.exec();
  // A recording still running is stopped and offered before the program goes.
  recording.FinishRecordings();
  fmMain = nullptr;
  return result;
}

}  // namespace

int main(int argc, char** argv) { return Marlowick(argc, argv); }
