#include "gui/error_report.h"

#include <cstdio>

namespace gui {

namespace {
Dialogs* error_dialogs = nullptr;
}

void SetErrorDialogs(Dialogs* dialogs) { error_dialogs = dialogs; }

void ReportError(const QString& message) {
  Dialogs* dialogs = error_dialogs ? error_dialogs : &QtDialogs();
  try {
    dialogs->ShowError(message);
  } catch (...) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

}  // namespace gui
