// While a window takes typed answers, no typed character may change one of
// its controls: the character hook counts the keys at the window, and a
// character that also landed in a focused text box, spin edit, check box or
// button would edit a setting, double an answer or press a button.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace gui {

class TypingLock : public QObject {
 public:
  explicit TypingLock(QWidget* window);
  ~TypingLock() override;

  // Locking makes the window's text boxes read-only (which also keeps
  // composed text and drops out) and holds back typed characters from its
  // controls, all but `except`; unlocking gives back each box's own
  // read-only state.
  void SetLocked(bool locked, QWidget* except = nullptr);
  bool Locked() const { return locked_; }

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override;

 private:
  QWidget* window_;
  bool locked_ = false;
  QPointer<QWidget> except_;
  std::vector<QPointer<QWidget>> made_read_only_;
};

}  // namespace gui
