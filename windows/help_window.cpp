#include "windows/help_window.h"

TFormHelp::TFormHelp(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Help"));
}
