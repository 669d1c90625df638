#include "gui/char_hook.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include "gui/error_report.h"

namespace gui {

CharHook::CharHook(Handler handler, QObject* parent) : QObject(parent), handler_(std::move(handler)) {
  QCoreApplication::instance()->installEventFilter(this);
}

CharHook::~CharHook() {
  if (auto* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool CharHook::eventFilter(QObject* receiver, QEvent* event) {
  QString typed;
  if (event->type() == QEvent::KeyPress) {
    // A key event reaches the filter once per receiver it propagates to (the
    // focused widget, then its parents); it enters the application exactly
    // once, at its window, so that is where it is counted.
    if (!receiver->isWindowType()) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const auto mods = key->modifiers();
    // Alt with a letter is a menu or button accelerator, not a typed character.
    if ((mods & Qt::AltModifier) && !(mods & Qt::ControlModifier)) return false;
    typed = key->text();
  } else if (event->type() == QEvent::InputMethod) {
    // Composed text is delivered to the focus object alone.
    if (receiver != QGuiApplication::focusObject()) return false;
    typed = static_cast<QInputMethodEvent*>(event)->commitString();
  } else {
    return false;
  }
  for (const QChar c : typed) {
    Guarded([&] { handler_(c.unicode()); });
  }
  return false;
}

}  // namespace gui
