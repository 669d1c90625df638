// Every dialog and message box goes through this interface, so tests can
// answer them without a person.
#pragma once

#include <optional>

#include <QFont>
#include <QString>
#include <QStringList>

namespace gui {

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The error report: an error that escaped a handler.
  virtual void ShowError(const QString& message) = 0;
  virtual void ShowMessage(const QString& message) = 0;
  // A Yes/No question; true for Yes.
  virtual bool Confirm(const QString& message) = 0;
  // Empty when the user cancels.
  virtual QString OpenFileName(const QString& directory) = 0;
  virtual QString SaveFileName(const QString& directory, const QString& filter) = 0;
  // As SaveFileName, but the caller asks before replacing a file itself
  // (for instance after adding a default extension).
  virtual QString SaveFileNameUnchecked(const QString& directory, const QString& filter) {
    return SaveFileName(directory, filter);
  }
  // True when the user confirms; the font is then the chosen one.
  virtual bool ChooseFont(QFont& font) = 0;
};

// Real dialogs on screen.
Dialogs& QtDialogs();

// Records what would have been shown and answers from a script.
class ScriptedDialogs : public Dialogs {
 public:
  void ShowError(const QString& message) override { errors << message; }
  void ShowMessage(const QString& message) override { messages << message; }
  bool Confirm(const QString& message) override {
    questions << message;
    return confirm_answer;
  }
  QString OpenFileName(const QString&) override { return open_answer; }
  QString SaveFileName(const QString&, const QString& filter) override {
    ++save_offers;
    save_filters << filter;
    if (!save_answers.isEmpty()) return save_answers.takeFirst();
    return save_answer;
  }
  bool ChooseFont(QFont& font) override {
    if (!font_answer) return false;
    font = *font_answer;
    return true;
  }

  QStringList errors;
  QStringList messages;
  QStringList questions;
  bool confirm_answer = false;
  QString open_answer;
  QString save_answer;
  // Answered first, one per offer, before save_answer.
  QStringList save_answers;
  int save_offers = 0;
  QStringList save_filters;
  std::optional<QFont> font_answer;
};

}  // namespace gui
