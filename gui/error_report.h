// Exceptions must not unwind through Qt's event loop. Every handler runs
// inside Guarded: an error that escapes it ends that handler only, is shown
// to the user through the dialogs, and the program goes on with what was
// already done.
#pragma once

#include <QObject>
#include <QString>
#include <exception>
#include <utility>

#include "gui/dialogs.h"

namespace gui {

void SetErrorDialogs(Dialogs* dialogs);
void ReportError(const QString& message);

template <class F>
void Guarded(F&& f) noexcept {
  try {
    std::forward<F>(f)();
  } catch (const std::exception& e) {
    ReportError(QString::fromUtf8(e.what()));
  } catch (...) {
    ReportError(QStringLiteral("An unknown error occurred."));
  }
}

// connect() with the handler wrapped in Guarded; the handler takes no
// arguments (the signal's are dropped).
template <class Sender, class Signal, class F>
QMetaObject::Connection On(Sender* sender, Signal signal, QObject* context, F handler) {
  return QObject::connect(sender, signal, context, [handler = std::move(handler)]() mutable {
    Guarded(handler);
  });
}

}  // namespace gui
