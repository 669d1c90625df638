#include "windows/notepad_window.h"

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Notepad"));
}
