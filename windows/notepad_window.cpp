#include "windows/notepad_window.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

#include "gui/dialogs.h"
#include "gui/error_report.h"
#include "gui/text_file.h"

NotesMemo::NotesMemo(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

QStringList NotesMemo::Lines() const {
  // toPlainText gives one LF per paragraph (and per forced line break).
  const QString text = toPlainText();
  if (text.isEmpty()) return {};
  return text.split(QChar(u'\n'));
}

void NotesMemo::SetLines(const QStringList& lines) { setPlainText(lines.join(QChar(u'\n'))); }

bool NotesMemo::canInsertFromMimeData(const QMimeData* source) const {
  return source && source->hasText();
}

void NotesMemo::insertFromMimeData(const QMimeData* source) {
  if (!source || !source->hasText()) return;
  const QString text = source->text();
  if (!text.isEmpty()) textCursor().insertText(text);
}

TForm2::TForm2(gui::Dialogs* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs ? dialogs : &gui::QtDialogs()) {
  setWindowTitle(QStringLiteral("Note Pad:  Enter and edit notes here."));
  setToolTip(QStringLiteral("NotePad form:  Re-size as necessary."));
  QFont formFont(QStringLiteral("MS Sans Serif"));
  formFont.setPointSize(8);
  setFont(formFont);

  btnSave = new QPushButton(QStringLiteral("&Save Notepad"), this);
  btnSave->setToolTip(QStringLiteral("Click to save your notes."));
  btnSave->setGeometry(24, 8, 89, 25);
  btnClose = new QPushButton(QStringLiteral("&Close"), this);
  btnClose->setGeometry(200, 8, 75, 25);
  Memo1 = new NotesMemo(this);
  Memo1->setToolTip(QStringLiteral("Write your notes about progress in here."));
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(13);
  Memo1->setFont(font);

  resize(301, 288);

  using gui::On;
  On(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
  On(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
  On(Memo1, &QPlainTextEdit::textChanged, this, [this] { Memo1Change(); });
}

void TForm2::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TForm2::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The box follows all four edges, keeping its margins inside the window.
  Memo1->setGeometry(8, 48, std::max(width() - 16, 0), std::max(height() - 56, 0));
}

void TForm2::FormShow() { Changed = false; }

void TForm2::Memo1Change() { Changed = true; }

void TForm2::CentreOnScreen() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

void TForm2::Open(const QWidget* mainWindow) {
  if (isVisible()) {
    raise();
    activateWindow();
  } else {
    // A window manager may not place a new window at all: centre it ourselves
    // the first time.
    if (!placed_) CentreOnScreen();
    placed_ = true;
    show();
    raise();
    activateWindow();
  }
  if (!QFileInfo::exists(QString::fromLatin1(kFileName))) return;
  // Reading first: a file that cannot be read leaves text and place alone.
  const QStringList lines = gui::ReadTextLines(QString::fromLatin1(kFileName));
  if (Unsaved() && dialogs_->Confirm(QString::fromLatin1(kSaveQuestion))) {
    // The file then holds what the box shows; a failure ends the command
    // with the notes still in the box.
    SaveNotes();
  } else {
    Memo1->SetLines(lines);
    saved_lines_ = Memo1->Lines();
  }
  if (mainWindow) move(mainWindow->frameGeometry().topLeft() + QPoint(-50, 75));
  Changed = false;
}

void TForm2::SaveNotes() {
  const QStringList lines = Memo1->Lines();
  gui::WriteTextLines(QString::fromLatin1(kFileName), lines);
  saved_lines_ = lines;
}

void TForm2::btnSaveClick() {
  SaveNotes();
  Changed = false;
}

void TForm2::btnCloseClick() {
  if (Changed && dialogs_->Confirm(QString::fromLatin1(kSaveQuestion))) {
    SaveNotes();  // a failure keeps the window open
    Changed = false;
  }
  hide();
}

bool TForm2::Unsaved() const { return Memo1->Lines() != saved_lines_; }

bool TForm2::QuerySaveOnExit() {
  if (!Unsaved() || !dialogs_->Confirm(QString::fromLatin1(kSaveQuestion))) return true;
  try {
    SaveNotes();
  } catch (const std::exception& e) {
    // Ending now would lose the notes: say why, and let the user stay to
    // keep them elsewhere or free space first.
    return dialogs_->Confirm(QString::fromUtf8(e.what()) +
                             QStringLiteral("\n\nThe notes were not saved. Close anyway?"));
  }
  Changed = false;
  return true;
}
