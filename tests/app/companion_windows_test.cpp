#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <deque>

#include "tests/app/window_fixture.h"
#include "windows/about_window.h"
#include "windows/help_window.h"
#include "windows/notepad_window.h"

namespace {

// The main window with its companion windows, started in a directory of its
// own that holds the help pages.
class CompanionWindowsTest : public WindowTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(start.isValid() && elsewhere.isValid());
    old_dir = QDir::currentPath();
    QDir::setCurrent(start.path());
    for (const char* page : {"help.htm", "history.html"}) {
      QFile f(start.filePath(page));
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(QByteArray("<p>") + page + "</p>");
    }
    Open();
    form->SetCompanionWindows(&notepad, &about, &help);
  }
  void TearDown() override { QDir::setCurrent(old_dir); }

  // Answers the notepad's questions in turn, then as dialogs says.
  struct Answering : gui::Dialogs {
    explicit Answering(CompanionWindowsTest& t) : t(t) {}
    void ShowError(const QString& m) override { t.dialogs.ShowError(m); }
    void ShowMessage(const QString& m) override { t.dialogs.ShowMessage(m); }
    bool Confirm(const QString& m) override {
      if (t.answers.empty()) return t.dialogs.Confirm(m);
      t.dialogs.questions << m;
      const bool a = t.answers.front();
      t.answers.pop_front();
      return a;
    }
    QString OpenFileName(const QString& d) override { return t.dialogs.OpenFileName(d); }
    QString SaveFileName(const QString& d, const QString& f) override { return t.dialogs.SaveFileName(d, f); }
    bool ChooseFont(QFont& f) override { return t.dialogs.ChooseFont(f); }
    CompanionWindowsTest& t;
  };

  QTemporaryDir start, elsewhere;
  QString old_dir;
  std::deque<bool> answers;
  Answering answering{*this};
  TForm2 notepad{&answering};
  TAboutBox about;
  TFormHelp help;
};

TEST_F(CompanionWindowsTest, HelpPagesComeFromTheStartDirectoryAfterAChangeOfDirectory) {
  QDir::setCurrent(elsewhere.path());
  form->NewHelp1->trigger();
  EXPECT_TRUE(help.isVisible());
  EXPECT_EQ(help.HelpBrowser->toPlainText(), "help.htm");
  EXPECT_EQ(help.PagePath(), start.path() + "/help.htm");
  form->NewHistory1->trigger();
  EXPECT_EQ(help.windowTitle(), "Version History of KELTA morse tester");
  EXPECT_EQ(help.HelpBrowser->toPlainText(), "history.html");
}

TEST_F(CompanionWindowsTest, MenuOpensNotepadAndOneAboutBox) {
  form->Notepad1->trigger();
  EXPECT_TRUE(notepad.isVisible());
  form->About1->trigger();
  form->About1->trigger();
  EXPECT_TRUE(about.isVisible());
  EXPECT_TRUE(form->isEnabled());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(CompanionWindowsTest, EndingTheProgramAsksAboutUnsavedNotes) {
  Show();
  form->Notepad1->trigger();
  notepad.Memo1->insertPlainText(QStringLiteral("QRS please"));
  notepad.hide();
  dialogs.confirm_answer = true;
  form->close();
  EXPECT_EQ(dialogs.questions, QStringList{"Do you want to save changes?"});
  QFile f(start.filePath("Notepad.txt"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), "QRS please\r\n");
}

TEST_F(CompanionWindowsTest, ANotesSaveThatFailsKeepsTheProgramOpen) {
  Show();
  form->Notepad1->trigger();
  notepad.Memo1->insertPlainText(QStringLiteral("QRS please"));
  ASSERT_TRUE(QDir(start.path()).mkdir(QStringLiteral("Notepad.txt")));
  // Yes, save them; the save fails; "Close anyway?" is answered No, then Yes.
  answers = {true, false};
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());
  ASSERT_EQ(dialogs.questions.size(), 2);
  EXPECT_TRUE(dialogs.questions[1].startsWith("Cannot create file"));
  EXPECT_EQ(notepad.Memo1->toPlainText(), "QRS please");
  answers = {true, true};
  EXPECT_TRUE(form->close());
}

}  // namespace
