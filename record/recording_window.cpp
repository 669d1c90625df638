#include "record/recording_window.h"

TfmMain* fmMain = nullptr;

TfmMain::TfmMain(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Recording"));
}
