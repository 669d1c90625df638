// Controls with the behaviours the trainer's handlers rely on:
// - setting a value from code acts as a user change, and change handlers run
//   only when the value actually changes;
// - scroll bars clamp to their range and step by one on a trough click;
// - spin edits accept any text, read as its integer or their minimum;
// - text boxes give their text with CR LF line breaks and count caret
//   positions in that form;
// - arming a timer that is already armed changes nothing.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace gui {

// "Visible" is the control's own flag: true for a shown child of a window
// that is not on screen yet, unlike QWidget::isVisible().
inline bool Shown(const QWidget* w) { return !w->isHidden(); }

// Shows or hides, enables or disables, several controls at once.
inline void SetShown(std::initializer_list<QWidget*> controls, bool shown) {
  for (QWidget* w : controls) w->setHidden(!shown);
}
inline void SetEnabled(std::initializer_list<QWidget*> controls, bool enabled) {
  for (QWidget* w : controls) w->setEnabled(enabled);
}

inline std::u16string_view View(const QString& s) {
  return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())};
}
inline QString FromView(std::u16string_view s) {
  return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

// One integer conversion for the whole program; throws the conversion error.
std::int32_t StrToInt(const QString& text);

class ScrollBar : public QScrollBar {
  Q_OBJECT
 public:
  ScrollBar(int min, int max, int position, QWidget* parent);
  int Position() const { return value(); }
  // Clamps; valueChanged only fires when the stored position changes.
  void SetPosition(int position) { setValue(position); }
};

class Edit : public QLineEdit {
  Q_OBJECT
 public:
  explicit Edit(const QString& text, QWidget* parent);
  QString Text() const { return text(); }
  // textChanged fires only when the text actually changes, by code too.
  void SetText(const QString& t) {
    if (t != text()) setText(t);
  }
};

// A number box with up and down arrows that, like the original's, takes any
// text from code: its change handler runs whenever the text changes, it
// reads as the text's integer (saturated when the digits overflow) or its
// minimum, and only values set as numbers are clamped (not at all when
// minimum equals maximum). The keyboard types digits and a leading sign (a
// decimal box also a point); when the user leaves the box or presses Enter
// it shows what it is read as: an integer out of range is clamped, and
// anything that is not one is reported with the conversion message.
class SpinEdit : public QWidget {
  Q_OBJECT
 public:
  SpinEdit(int min, int max, int value, QWidget* parent);
  QString Text() const { return edit_->text(); }
  void SetText(const QString& t) {
    if (t != edit_->text()) edit_->setText(t);
  }
  std::int32_t Value() const;
  void SetValue(std::int64_t v);
  int MinValue() const { return min_; }
  int MaxValue() const { return max_; }
  QLineEdit* LineEdit() const { return edit_; }
  // A box whose text is read as a decimal number elsewhere: it takes a
  // point, and leaving it clamps only whole numbers.
  void SetDecimal(bool decimal) { decimal_ = decimal; }

 signals:
  void Changed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  std::int64_t Clamp(std::int64_t v) const;
  bool AcceptsTyped(QChar c) const;
  void ShowValueUsed();
  QLineEdit* edit_;
  QToolButton* up_;
  QToolButton* down_;
  int min_;
  int max_;
  bool decimal_ = false;
};

// Up/down arrows without a box.
class SpinButton : public QWidget {
  Q_OBJECT
 public:
  explicit SpinButton(QWidget* parent);
  QToolButton* Up() const { return up_; }
  QToolButton* Down() const { return down_; }

 signals:
  void UpClick();
  void DownClick();

 protected:
  void resizeEvent(QResizeEvent*) override;

 private:
  QToolButton* up_;
  QToolButton* down_;
};

// Multi-line text box. Qt keeps paragraph separators; the trainer sees and
// counts line breaks as CR LF, as in the text files it loads and saves.
// Paste and drop take plain text only: Qt 6.4 crashes on mime data without
// formats, which is what X11 offers once the clipboard's owner has exited.
class Memo : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit Memo(QWidget* parent);
  // The whole text with CR LF line breaks; cached until the document changes.
  const QString& Text() const;
  void SetText(const QString& text);  // CR LF, LF or CR end a line
  void Clear() { SetText(QString()); }
  // Adds a line the way a line list does: each added line ends with CR LF.
  void AddLine(const QString& line);
  // Appends text at the end (CR LF is one line break), leaving the caret.
  void AppendText(const QString& text);
  // Caret position in the CR LF form of the text.
  int CaretPos() const;
  void SetCaretPos(int pos);
  int LineCount() const { return blockCount(); }
  void ScrollToTop();

 signals:
  // After a mouse press has been handled, so the caret is where it landed.
  void MousePressed(Qt::MouseButton button);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  mutable QString cache_;
  mutable bool dirty_ = true;
  bool pending_cr_ = false;  // the last thing appended was a lone CR
};

// A timer whose Enabled flag behaves as the original's: arming an armed
// timer does not restart it.
class Timer : public QTimer {
  Q_OBJECT
 public:
  Timer(int interval_ms, bool enabled, QObject* parent);
  bool Enabled() const { return isActive(); }
  void SetEnabled(bool enabled) {
    if (enabled && !isActive()) start();
    if (!enabled && isActive()) stop();
  }
};

// The one-text status line at the bottom of a window.
class StatusLine : public QLabel {
  Q_OBJECT
 public:
  explicit StatusLine(QWidget* parent);
  QString SimpleText() const { return text(); }
  void SetSimpleText(const QString& t) { setText(t); }
};

// Places a control at x, y with the given size (or its natural size when w
// or h is 0), as the window's design lays it out.
void Place(QWidget* w, int x, int y, int width = 0, int height = 0);

}  // namespace gui
