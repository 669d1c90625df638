#include "gui/typing_lock.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace gui {

TypingLock::TypingLock(QWidget* window) : QObject(window), window_(window) {}

TypingLock::~TypingLock() { SetLocked(false); }

void TypingLock::SetLocked(bool locked, QWidget* except) {
  if (locked_) {
    QCoreApplication::instance()->removeEventFilter(this);
    for (const QPointer<QWidget>& w : made_read_only_) {
      if (auto* e = qobject_cast<QLineEdit*>(w.data())) e->setReadOnly(false);
      if (auto* e = qobject_cast<QPlainTextEdit*>(w.data())) e->setReadOnly(false);
    }
    made_read_only_.clear();
    locked_ = false;
  }
  if (!locked) return;
  locked_ = true;
  except_ = except;
  auto lock = [&](auto* e) {
    if (e != except && !e->isReadOnly()) {
      e->setReadOnly(true);
      made_read_only_.emplace_back(e);
    }
  };
  for (QLineEdit* e : window_->findChildren<QLineEdit*>()) lock(e);
  for (QPlainTextEdit* e : window_->findChildren<QPlainTextEdit*>()) lock(e);
  QCoreApplication::instance()->installEventFilter(this);
}

bool TypingLock::eventFilter(QObject* receiver, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !receiver->isWidgetType()) return false;
  // The window level (a QWindow, not a widget) has already been seen by the
  // character hook; only the controls below it are kept from the key.
  auto* widget = static_cast<QWidget*>(receiver);
  if (widget->window() != window_ || (except_ && widget == except_)) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  // Shortcuts and accelerators stay usable; navigation keys type nothing.
  if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  return !key->text().isEmpty();
}

}  // namespace gui
