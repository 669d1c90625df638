#include "windows/about_window.h"

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("About")); }
