// The help viewer TFormHelp: one window that shows the user guide or the
// version history, read afresh from the start-up directory on every command.
#pragma once

#include <QString>
#include <QTextBrowser>
#include <QWidget>

class TFormHelp : public QWidget {
  Q_OBJECT
 public:
  static constexpr const char* kHelpCaption = "Help File for KELTA morse tester";
  static constexpr const char* kHistoryCaption = "Version History of KELTA morse tester";
  static constexpr const char* kHelpFile = "/help.htm";
  static constexpr const char* kHistoryFile = "/history.html";

  explicit TFormHelp(QWidget* parent = nullptr);

  // A help command: hides the viewer, sets its caption and page, and shows
  // it again, which loads the page.
  void OpenPage(const QString& caption, const QString& fileStr);

  // Loads StartDir + FileStr into the browser, or, when there is no such
  // file, a page that says which path was looked for.
  void FormShow();

  // The page's full path.
  QString PagePath() const { return StartDir + FileStr; }

  QTextBrowser* HelpBrowser = nullptr;
  QString FileStr;
  // The directory the program started in, without a trailing separator.
  QString StartDir;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  bool placed_ = false;
};
