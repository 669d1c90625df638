// The application-wide character hook: it sees every typed character once,
// in any window, also while a handler pumps messages, and never swallows it.
#pragma once

#include <QObject>
#include <functional>

namespace gui {

class CharHook : public QObject {
 public:
  using Handler = std::function<void(char16_t)>;

  // Installs itself on the application; the handler runs inside Guarded.
  explicit CharHook(Handler handler, QObject* parent = nullptr);
  ~CharHook() override;

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override;

 private:
  Handler handler_;
};

}  // namespace gui
