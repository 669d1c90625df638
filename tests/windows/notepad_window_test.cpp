#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <gtest/gtest.h>

#include "gui/dialogs.h"
#include "gui/error_report.h"
#include "windows/notepad_window.h"

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly));
  return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

// Answers questions in turn, then as confirm_answer says.
struct AnsweringDialogs : gui::ScriptedDialogs {
  bool Confirm(const QString& message) override {
    if (answers.empty()) return ScriptedDialogs::Confirm(message);
    questions << message;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<bool> answers;
};

// A notepad working in a fresh directory, beside a stand-in main window.
class NotepadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    old_dir = QDir::currentPath();
    QDir::setCurrent(dir.path());
    gui::SetErrorDialogs(&dialogs);
    main.setGeometry(200, 150, 400, 300);
    main.show();
  }
  void TearDown() override {
    gui::SetErrorDialogs(nullptr);
    QDir::setCurrent(old_dir);
  }
  QString NotesPath() const { return dir.filePath(QStringLiteral("Notepad.txt")); }
  void Type(const QString& text) {
    form.Memo1->moveCursor(QTextCursor::End);
    form.Memo1->insertPlainText(text);
  }
  void Click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

  QTemporaryDir dir;
  QString old_dir;
  AnsweringDialogs dialogs;
  QWidget main;
  TForm2 form{&dialogs};
};

const QString kQuestion = QStringLiteral("Do you want to save changes?");

TEST_F(NotepadTest, FirstOpenWithoutFileIsEmptyCentredAndClosesWithoutQuestion) {
  form.Open(&main);
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(form.Memo1->toPlainText().isEmpty());
  EXPECT_EQ(form.windowTitle(), "Note Pad:  Enter and edit notes here.");
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE((form.frameGeometry().center() - screen.center()).manhattanLength(), 8);
  Click(form.btnClose);
  EXPECT_TRUE(dialogs.questions.isEmpty());
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(QFile::exists(NotesPath()));
}

TEST_F(NotepadTest, CloseAsksOnlyAfterEditsAndWritesOnlyOnYes) {
  form.Open(&main);
  Type(QStringLiteral("koch 12 chars"));
  dialogs.confirm_answer = false;
  Click(form.btnClose);
  EXPECT_EQ(dialogs.questions, QStringList{kQuestion});
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(QFile::exists(NotesPath()));

  // Without a file the typed text is still there, and showing cleared Changed.
  form.Open(&main);
  EXPECT_EQ(form.Memo1->toPlainText(), "koch 12 chars");
  EXPECT_FALSE(form.Changed);
  Click(form.btnClose);
  EXPECT_EQ(dialogs.questions.size(), 1);

  form.Open(&main);
  Type(QStringLiteral("\nday 2"));
  dialogs.confirm_answer = true;
  Click(form.btnClose);
  EXPECT_EQ(ReadAll(NotesPath()), "koch 12 chars\r\nday 2\r\n");
  EXPECT_FALSE(form.isVisible());
}

TEST_F(NotepadTest, SaveClearsChangedAndKeepsTheWindowOpen) {
  form.Open(&main);
  Type(QStringLiteral("a"));
  Click(form.btnSave);
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(form.Changed);
  EXPECT_EQ(ReadAll(NotesPath()), "a\r\n");
  Click(form.btnClose);
  EXPECT_TRUE(dialogs.questions.isEmpty());
}

TEST_F(NotepadTest, ClosedByTitleBarKeepsTextAndAsksNothingLater) {
  form.Open(&main);
  Type(QStringLiteral("unsaved"));
  form.close();
  EXPECT_FALSE(form.isVisible());
  form.Open(&main);
  EXPECT_EQ(form.Memo1->toPlainText(), "unsaved");
  Click(form.btnClose);
  EXPECT_TRUE(dialogs.questions.isEmpty());
}

TEST_F(NotepadTest, WithAFileItLoadsAndSitsBelowLeftOfTheMainWindow) {
  WriteAll(NotesPath(), "one\r\ntwo\r\n");
  for (const QPoint to : {QPoint(300, 200), QPoint(120, 400)}) {
    main.move(to);
    form.Open(&main);
    EXPECT_EQ(form.Memo1->toPlainText(), "one\ntwo");
    EXPECT_FALSE(form.Changed);
    EXPECT_EQ(form.frameGeometry().topLeft(), main.frameGeometry().topLeft() + QPoint(-50, 75));
  }
  EXPECT_TRUE(dialogs.questions.isEmpty());  // nothing was edited
}

// Notes are never replaced or dropped without a question, judged against the
// text last loaded or saved.
TEST_F(NotepadTest, ReloadOverUnsavedTextAsks) {
  WriteAll(NotesPath(), "from file\r\n");
  form.Open(&main);
  Type(QStringLiteral(" and more"));
  form.close();  // the title bar's close box: hidden, still unsaved

  dialogs.confirm_answer = true;
  form.Open(&main);
  EXPECT_EQ(dialogs.questions, QStringList{kQuestion});
  EXPECT_EQ(form.Memo1->toPlainText(), "from file and more");
  EXPECT_EQ(ReadAll(NotesPath()), "from file and more\r\n");
  EXPECT_FALSE(form.Changed);

  Type(QStringLiteral("!"));
  dialogs.confirm_answer = false;
  form.Open(&main);  // already shown: raised and reloaded
  EXPECT_EQ(dialogs.questions.size(), 2);
  EXPECT_EQ(form.Memo1->toPlainText(), "from file and more");
}

TEST_F(NotepadTest, ProgramEndAsksAboutUnsavedNotesOnly) {
  EXPECT_TRUE(form.QuerySaveOnExit());  // empty and never loaded: nothing to lose
  form.Open(&main);
  Type(QStringLiteral("keep me"));
  Click(form.btnSave);
  EXPECT_TRUE(form.QuerySaveOnExit());
  EXPECT_TRUE(dialogs.questions.isEmpty());

  Type(QStringLiteral(" too"));
  dialogs.confirm_answer = false;
  EXPECT_TRUE(form.QuerySaveOnExit());
  EXPECT_EQ(ReadAll(NotesPath()), "keep me\r\n");
  dialogs.confirm_answer = true;
  EXPECT_TRUE(form.QuerySaveOnExit());
  EXPECT_EQ(ReadAll(NotesPath()), "keep me too\r\n");
  EXPECT_EQ(dialogs.questions, (QStringList{kQuestion, kQuestion}));
}

TEST_F(NotepadTest, AWriteFailureReportsPathAndReasonAndKeepsEverything) {
  form.Open(&main);
  Type(QStringLiteral("precious"));
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Notepad.txt")));  // cannot be replaced
  const QString expected = QStringLiteral("Cannot create file \"%1\". ").arg(NotesPath());

  Click(form.btnSave);
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_TRUE(dialogs.errors[0].startsWith(expected)) << dialogs.errors[0].toStdString();
  EXPECT_GT(dialogs.errors[0].size(), expected.size());  // the system's reason follows
  EXPECT_TRUE(form.Changed);

  dialogs.confirm_answer = true;
  Click(form.btnClose);
  EXPECT_EQ(dialogs.errors.size(), 2);
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(form.Changed);

  // At the end of the program the error comes with the question whether to
  // end anyway.
  dialogs.answers = {true, false};
  EXPECT_FALSE(form.QuerySaveOnExit());
  ASSERT_EQ(dialogs.questions.size(), 3);
  EXPECT_TRUE(dialogs.questions[2].startsWith(expected));
  EXPECT_TRUE(dialogs.questions[2].endsWith("The notes were not saved. Close anyway?"));
  dialogs.answers = {true, true};
  EXPECT_TRUE(form.QuerySaveOnExit());
  EXPECT_EQ(dialogs.errors.size(), 2);
  EXPECT_EQ(form.Memo1->toPlainText(), "precious");
}

TEST_F(NotepadTest, AnUnreadableFileLeavesTextAndPlace) {
  form.Open(&main);
  Type(QStringLiteral("mine"));
  const QPoint place = form.pos();
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Notepad.txt")));
  form.close();
  gui::Guarded([&] { form.Open(&main); });
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_TRUE(dialogs.errors[0].startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(NotesPath())));
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.Memo1->toPlainText(), "mine");
  EXPECT_EQ(form.pos(), place);
}

// Whatever form a notes file comes in, the first save writes it as UTF-8
// lines ending in CR LF, one per paragraph, and later cycles keep it
// byte-identical.
TEST_F(NotepadTest, LoadSaveLoadKeepsTheFileByteIdentical) {
  const QString longLine = QString(300, QChar(u'w'));
  const struct {
    QByteArray in, out;
  } cases[] = {
      {"", ""},
      {"a\r\nb\r\n", "a\r\nb\r\n"},
      {"\xEF\xBB\xBFna\xC3\xAFve\r\n", "na\xC3\xAFve\r\n"},
      {"caf\xE9\nlf only", "caf\xC3\xA9\r\nlf only\r\n"},
      {"para\r\n\r\n\r\nafter gap\r\n\r\n", "para\r\n\r\n\r\nafter gap\r\n\r\n"},
      {longLine.toLatin1() + "\r\n", longLine.toLatin1() + "\r\n"},
  };
  form.resize(120, 200);  // the long line wraps on screen, not in the file
  for (const auto& c : cases) {
    WriteAll(NotesPath(), c.in);
    for (int cycle = 0; cycle < 3; ++cycle) {
      form.Open(&main);
      Click(form.btnSave);
      EXPECT_EQ(ReadAll(NotesPath()), c.out) << "input " << c.in.toStdString();
    }
    form.hide();
  }
  EXPECT_TRUE(dialogs.errors.isEmpty());
  EXPECT_TRUE(dialogs.questions.isEmpty());
}

}  // namespace
