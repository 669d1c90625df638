// The program entry.
#include <QApplication>
#include <QFont>

#include "app/main_window.h"
#include "record/recording_window.h"
#include "windows/about_window.h"
#include "windows/help_window.h"
#include "windows/notepad_window.h"

namespace {

// The design's fonts are Windows fonts; these are their closest shapes here.
// The names the program stores stay as set.
void SubstituteFonts() {
  QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                             {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(QStringLiteral("Arial"),
                             {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(QStringLiteral("Consolas"),
                             {QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono")});
}

int Marlowick(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KELTA Morse Teacher"));
  // The main window alone decides when the program ends.
  QApplication::setQuitOnLastWindowClosed(false);
  SubstituteFonts();

  TForm1 Form1;
  TForm2 Form2;
  TAboutBox AboutBox;
  TfmMain recording;
  fmMain = &recording;
  TFormHelp FormHelp;

  Form1.show();
  const int result = app.exec();
  fmMain = nullptr;
  return result;
}

}  // namespace

int main(int argc, char** argv) { return Marlowick(argc, argv); }
