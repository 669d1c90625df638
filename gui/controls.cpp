#include "gui/controls.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>
#include <optional>

#include "gui/error_report.h"
#include "morse/convert.h"

namespace gui {

std::int32_t StrToInt(const QString& text) { return morse::StrToInt(View(text)); }

ScrollBar::ScrollBar(int min, int max, int position, QWidget* parent)
    : QScrollBar(Qt::Horizontal, parent) {
  setRange(min, max);
  setSingleStep(1);
  setPageStep(1);
  setValue(position);
}

Edit::Edit(const QString& text, QWidget* parent) : QLineEdit(text, parent) {}

SpinEdit::SpinEdit(int min, int max, int value, QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(QString::number(value), this)),
      up_(new QToolButton(this)), down_(new QToolButton(this)), min_(min), max_(max) {
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {up_, down_}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
  }
  setFocusProxy(edit_);
  edit_->installEventFilter(this);
  connect(edit_, &QLineEdit::textChanged, this, &SpinEdit::Changed);
  connect(up_, &QToolButton::clicked, this, [this] { SetValue(std::int64_t{Value()} + 1); });
  connect(down_, &QToolButton::clicked, this, [this] { SetValue(std::int64_t{Value()} - 1); });
}

namespace {

// Decimal digits after an optional sign, too many for 32 bits: the value
// the user means is the nearest one there is.
std::optional<std::int32_t> Saturated(const QString& text) {
  const bool signed_text = text.startsWith(u'+') || text.startsWith(u'-');
  const qsizetype start = signed_text ? 1 : 0;
  if (text.size() == start) return std::nullopt;
  for (qsizetype i = start; i < text.size(); ++i) {
    if (text[i].unicode() < u'0' || text[i].unicode() > u'9') return std::nullopt;
  }
  return text.startsWith(u'-') ? INT32_MIN : INT32_MAX;
}

}  // namespace

std::int32_t SpinEdit::Value() const {
  std::int32_t v = 0;
  if (morse::TryStrToInt(View(edit_->text()), v)) return v;
  return Saturated(edit_->text()).value_or(min_);
}

bool SpinEdit::AcceptsTyped(QChar c) const {
  if (c.isDigit() && c.unicode() < 128) return true;
  if (c == u'.') return decimal_ && !edit_->text().contains(u'.');
  if (c != u'+' && c != u'-') return false;
  // A sign only in front, and only one.
  const int at = edit_->hasSelectedText() ? edit_->selectionStart() : edit_->cursorPosition();
  QString rest = edit_->text();
  if (edit_->hasSelectedText()) rest.remove(edit_->selectionStart(), edit_->selectedText().size());
  return at == 0 && !rest.startsWith(u'+') && !rest.startsWith(u'-');
}

void SpinEdit::ShowValueUsed() {
  const QString text = edit_->text();
  std::int32_t v = 0;
  if (morse::TryStrToInt(View(text), v) || Saturated(text)) {
    SetValue(Value());  // "+7" shows as 7, "999" in 0..250 as 250
    return;
  }
  if (decimal_) return;  // a decimal number is read, and checked, where it is used
  SetValue(min_);
  if (text.isEmpty()) return;
  // Reported once the focus has settled: a message box opened from inside a
  // focus change would take the focus in the middle of it.
  const QString message = QStringLiteral("'%1' is not a valid integer value").arg(text);
  QMetaObject::invokeMethod(this, [message] { ReportError(message); }, Qt::QueuedConnection);
}

std::int64_t SpinEdit::Clamp(std::int64_t v) const {
  if (min_ != max_) v = std::clamp<std::int64_t>(v, min_, max_);
  return std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX);
}

void SpinEdit::SetValue(std::int64_t v) { SetText(QString::number(Clamp(v))); }

bool SpinEdit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_) {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Up) {
        SetValue(std::int64_t{Value()} + 1);
        return true;
      }
      if (key->key() == Qt::Key_Down) {
        SetValue(std::int64_t{Value()} - 1);
        return true;
      }
      // Typing takes a number only; code may set any text.
      const QString t = key->text();
      if (t.size() == 1 && t[0].unicode() >= 32) {
        if (!AcceptsTyped(t[0])) return true;
      } else if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        ShowValueUsed();
        return true;
      }
    } else if (event->type() == QEvent::FocusOut) {
      ShowValueUsed();
    }
  }
  return QWidget::eventFilter(watched, event);
}

void SpinEdit::resizeEvent(QResizeEvent*) {
  const int arrows = std::min(16, width() / 2);
  const int h = height() / 2;
  edit_->setGeometry(0, 0, width() - arrows, height());
  up_->setGeometry(width() - arrows, 0, arrows, h);
  down_->setGeometry(width() - arrows, h, arrows, height() - h);
}

SpinButton::SpinButton(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {up_, down_}) b->setFocusPolicy(Qt::NoFocus);
  connect(up_, &QToolButton::clicked, this, &SpinButton::UpClick);
  connect(down_, &QToolButton::clicked, this, &SpinButton::DownClick);
}

void SpinButton::resizeEvent(QResizeEvent*) {
  const int h = height() / 2;
  up_->setGeometry(0, 0, width(), h);
  down_->setGeometry(0, h, width(), height() - h);
}

Memo::Memo(QWidget* parent) : QPlainTextEdit(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  connect(document(), &QTextDocument::contentsChanged, this, [this] {
    dirty_ = true;
    pending_cr_ = false;  // AppendText sets it again after its own change
  });
}

const QString& Memo::Text() const {
  if (dirty_) {
    // toPlainText turns paragraph and line separators into LF.
    cache_ = toPlainText();
    cache_.replace(QChar(u'\n'), QStringLiteral("\r\n"));
    dirty_ = false;
  }
  return cache_;
}

namespace {
QString ToLf(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar(u'\r'), QChar(u'\n'));
  return text;
}
}  // namespace

void Memo::SetText(const QString& text) {
  const QString plain = ToLf(text);
  if (plain == toPlainText()) return;
  setPlainText(plain);
}

void Memo::AddLine(const QString& line) {
  const QString& t = Text();
  if (t.isEmpty() || t.endsWith(QStringLiteral("\r\n"))) {
    AppendText(line + QStringLiteral("\r\n"));
  } else {
    AppendText(QStringLiteral("\r\n") + line);
  }
}

void Memo::AppendText(const QString& text) {
  if (text.isEmpty()) return;
  // Text may come a character at a time: a CR already made the line break,
  // so the LF that completes it adds nothing.
  QString plain = text;
  if (pending_cr_ && plain.startsWith(QChar(u'\n'))) plain.remove(0, 1);
  const bool ends_with_cr = text.endsWith(QChar(u'\r'));
  QTextCursor c(document());
  c.movePosition(QTextCursor::End);
  c.insertText(ToLf(plain));
  pending_cr_ = ends_with_cr;
  if (auto* bar = verticalScrollBar()) bar->setValue(bar->maximum());
}

int Memo::CaretPos() const {
  const QTextCursor c = textCursor();
  // Each block boundary before the caret is one position in Qt and two (CR LF) here.
  return c.position() + c.blockNumber();
}

void Memo::SetCaretPos(int pos) {
  QTextCursor c(document());
  QTextBlock block = document()->begin();
  int remaining = std::max(pos, 0);
  while (block.isValid()) {
    const int len = block.length() - 1;  // without its separator
    if (remaining <= len || !block.next().isValid()) {
      c.setPosition(block.position() + std::min(remaining, len));
      break;
    }
    remaining -= len + 2;
    if (remaining < 0) remaining = 0;
    block = block.next();
  }
  setTextCursor(c);
}

void Memo::ScrollToTop() {
  if (auto* bar = verticalScrollBar()) bar->setValue(0);
}

void Memo::mousePressEvent(QMouseEvent* event) {
  QPlainTextEdit::mousePressEvent(event);
  emit MousePressed(event->button());
}

bool Memo::canInsertFromMimeData(const QMimeData* source) const {
  return source && source->hasText();
}

void Memo::insertFromMimeData(const QMimeData* source) {
  if (!canInsertFromMimeData(source)) return;
  insertPlainText(source->text());
  ensureCursorVisible();
}

Timer::Timer(int interval_ms, bool enabled, QObject* parent) : QTimer(parent) {
  setInterval(interval_ms);
  if (enabled) start();
}

StatusLine::StatusLine(QWidget* parent) : QLabel(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setIndent(4);
  setTextFormat(Qt::PlainText);
}

void Place(QWidget* w, int x, int y, int width, int height) {
  if (width == 0 || height == 0) {
    w->adjustSize();
    if (width == 0) width = w->width();
    if (height == 0) height = w->height();
  }
  w->setGeometry(x, y, width, height);
}

}  // namespace gui
