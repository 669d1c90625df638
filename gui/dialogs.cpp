#include "gui/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

namespace gui {

namespace {

QWidget* ActiveParent() { return QApplication::activeWindow(); }

class OnScreenDialogs : public Dialogs {
 public:
  void ShowError(const QString& message) override {
    QMessageBox::critical(ActiveParent(), QApplication::applicationName(), message);
  }
  void ShowMessage(const QString& message) override {
    QMessageBox::information(ActiveParent(), QApplication::applicationName(), message);
  }
  bool Confirm(const QString& message) override {
    return QMessageBox::question(ActiveParent(), QApplication::applicationName(), message,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  }
  QString OpenFileName(const QString& directory) override {
    return QFileDialog::getOpenFileName(ActiveParent(), QString(), directory);
  }
  QString SaveFileName(const QString& directory, const QString& filter) override {
    return QFileDialog::getSaveFileName(ActiveParent(), QString(), directory, filter);
  }
  QString SaveFileNameUnchecked(const QString& directory, const QString& filter) override {
    return QFileDialog::getSaveFileName(ActiveParent(), QString(), directory, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
  }
  bool ChooseFont(QFont& font) override {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, ActiveParent());
    if (ok) font = chosen;
    return ok;
  }
};

}  // namespace

Dialogs& QtDialogs() {
  static OnScreenDialogs dialogs;
  return dialogs;
}

}  // namespace gui
