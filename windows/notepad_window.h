// The notepad window TForm2, where the learner keeps notes. The notes live in
// "Notepad.txt" in the working directory, read and written with the same
// rules as the settings file.
#pragma once

#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace gui {
class Dialogs;
}

// The notes box: paragraphs are lines, wrapped only on screen.
class NotesMemo : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit NotesMemo(QWidget* parent);
  // The box's lines: one per paragraph, none for an empty box.
  QStringList Lines() const;
  void SetLines(const QStringList& lines);

 protected:
  // Qt 6.4 can crash pasting from a clipboard whose owner has gone; take the
  // plain text only.
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;
};

class TForm2 : public QWidget {
  Q_OBJECT
 public:
  static constexpr const char* kFileName = "Notepad.txt";
  static constexpr const char* kSaveQuestion = "Do you want to save changes?";

  // dialogs: where questions go; null means the real message boxes.
  explicit TForm2(gui::Dialogs* dialogs = nullptr, QWidget* parent = nullptr);

  // The main window's Notepad command: shows or raises the window, then loads
  // the notes file when there is one and places the window beside mainWindow.
  void Open(const QWidget* mainWindow);

  void FormShow();
  void Memo1Change();
  void btnSaveClick();
  void btnCloseClick();

  // Before the program ends: offers to save notes that differ from the text
  // last loaded or saved. When that save fails, the error comes with the
  // question whether to end anyway; false means the program should stay open.
  bool QuerySaveOnExit();

  // The notes differ from the text last loaded or saved.
  bool Unsaved() const;

  bool Changed = false;

  QPushButton* btnSave = nullptr;
  QPushButton* btnClose = nullptr;
  NotesMemo* Memo1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void SaveNotes();  // throws gui::EFileError; Changed is left alone then
  void CentreOnScreen();

  gui::Dialogs* dialogs_;
  QStringList saved_lines_;  // the text last loaded or saved
  bool placed_ = false;      // shown once, or placed beside the main window
};
