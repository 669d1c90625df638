#include "windows/help_window.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

TFormHelp::TFormHelp(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QString::fromLatin1(kHelpCaption));
  HelpBrowser = new QTextBrowser(this);
  HelpBrowser->setObjectName(QStringLiteral("HelpBrowser"));
  // Links to the web go to the desktop's browser; local pages stay here.
  HelpBrowser->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(HelpBrowser);
  resize(1110, 690);
}

void TFormHelp::OpenPage(const QString& caption, const QString& fileStr) {
  hide();
  setWindowTitle(caption);
  FileStr = fileStr;
  if (!placed_) {
    // A window manager may not place a new window: centre it ourselves.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
    placed_ = true;
  }
  show();
  raise();
  activateWindow();
}

void TFormHelp::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TFormHelp::FormShow() {
  const QString path = PagePath();
  if (!QFileInfo(path).isFile()) {
    HelpBrowser->setSource(QUrl());
    HelpBrowser->setHtml(
        QStringLiteral("<html><body><h2>The page could not be found</h2>"
                       "<p>The trainer looked for this file:</p><p><b>%1</b></p>"
                       "<p>The help pages belong in the folder the trainer was started in. "
                       "Reinstall the trainer, or start it from the folder that holds "
                       "<i>help.htm</i> and <i>history.html</i>.</p></body></html>")
            .arg(path.toHtmlEscaped()));
    return;
  }
  const QUrl url = QUrl::fromLocalFile(path);
  // setSource ignores the page already shown; the file may have changed.
  if (HelpBrowser->source() == url) {
    HelpBrowser->reload();
  } else {
    HelpBrowser->setSource(url);
  }
  HelpBrowser->verticalScrollBar()->setValue(0);
}
