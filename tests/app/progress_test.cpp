// The learner's journal as the window keeps it, and the Progress window.
#include <sys/stat.h>
#include <unistd.h>

#include <QChart>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include "app/progress_recorder.h"
#include "file_fixture.h"
#include "windows/progress_window.h"
#include "window_fixture.h"

namespace {

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ProgressTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Show();
  }

  void StartTeaching(const QString& count) {
    form->TeachbuttonClick();
    form->StartNumEdit->SetText(count);
    form->TeachSendButtonClick();
  }

  void Key(char c) { QTest::keyClick(form->windowHandle(), c); }

  QSqlDatabase Db() { return form->Recorder->Journal().Database(); }

  QStringList Rows(const QString& sql) {
    QStringList rows;
    QSqlQuery q(Db());
    EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
    while (q.next()) {
      QStringList fields;
      for (int i = 0; i < q.record().count(); ++i) {
        fields << (q.value(i).isNull() ? QStringLiteral("NULL") : q.value(i).toString());
      }
      rows << fields.join('|');
    }
    return rows;
  }
};

TEST_F(ProgressTest, AScriptedSessionLeavesExactlyTheExpectedRows) {
  // Reaction times on the test clock alone.
  device_has_clock = false;
  Open();
  Show();
  TForm1& f = *form;
  StartTeaching("1");
  // Right at once, 650 ms after the last mark.
  f.Timer2Timer();
  clock.Advance(650);
  Key('q');
  f.Timer1Timer();
  // A wrong key, then the right one.
  f.Timer2Timer();
  clock.Advance(300);
  Key('x');
  clock.Advance(200);
  Key('q');
  f.Timer1Timer();
  // No answer in time; a key after the timeout still belongs to it.
  f.Timer2Timer();
  for (int i = 0; i < 8; ++i) f.Timer1Timer();
  clock.Advance(1000);
  Key('v');
  // Stopped while the next character awaits its answer.
  f.Timer2Timer();
  f.TeachStopButtonClick();
  EXPECT_EQ(Rows("SELECT id, teach_order, start_count, in_use, rating, char_wpm, text_wpm, frequency_hz, "
                 "end_utc_ms >= start_utc_ms FROM sessions"),
            QStringList({QStringLiteral("1|q7zg098o1jpwlram6bxdyckn23fu45vhsite.,?/|1|1|%1|%2|%3|800|1")
                             .arg(f.MasteryRating())
                             .arg(f.Fspeed)
                             .arg(f.Speed)}));
  EXPECT_EQ(Rows("SELECT session_id, sent, keys, outcome, allowed_s, reaction_ms FROM answers ORDER BY id"),
            QStringList({"1|q|q|0|8|650", "1|q|xq|1|8|300", "1|q|v|2|8|1000", "1|q||2|8|NULL"}));
  EXPECT_TRUE(dialogs.messages.isEmpty());
  // Keys after Stop Teach belong to no answer.
  Key('q');
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM answers"), QStringList{"4"});
}

TEST_F(ProgressTest, ClosingTheProgramMidSessionKeepsTheSessionAndItsLastAnswer) {
  QTemporaryDir dir;
  journal_path = dir.filePath("Progress.db");
  Open();
  Show();
  StartTeaching("1");
  form->Timer2Timer();
  Key('q');
  form->close();
  form.reset();
  auto journal = progress::OpenJournal(journal_path, nullptr);
  QSqlQuery q(journal->Database());
  ASSERT_TRUE(q.exec("SELECT s.end_utc_ms IS NOT NULL, s.in_use, a.keys, a.outcome FROM sessions s "
                     "JOIN answers a ON a.session_id = s.id"));
  ASSERT_TRUE(q.next());
  EXPECT_EQ(q.value(0).toInt(), 1);
  EXPECT_EQ(q.value(1).toInt(), 1);
  EXPECT_EQ(q.value(2).toString(), "q");
  EXPECT_EQ(q.value(3).toInt(), 0);
  EXPECT_FALSE(q.next());
}

TEST_F(ProgressTest, SendTextRunsAreRecordedWithWhereTheirTextCameFrom) {
  TForm1& f = *form;
  f.Memo1->SetText("E E");
  clock.Advance(10);
  f.SendbuttonClick();
  f.Edit3->SetText("ab");
  f.seGroups2Gen->SetValue(2);
  f.Button3Click();
  f.SendbuttonClick();
  // Text changed after it was generated counts as typed.
  f.Memo1->SetText(f.Memo1->Text() + "x");
  f.SendbuttonClick();
  EXPECT_EQ(f.Fspeed, 12);
  EXPECT_EQ(f.Speed, 5);
  EXPECT_EQ(Rows("SELECT chars, seconds, char_wpm, text_wpm, frequency_hz, source, practice_number FROM send_runs "
                 "ORDER BY id"),
            QStringList({"3|0|12|5|800|typed|NULL", "12|0|12|5|800|groups|NULL", "13|0|12|5|800|typed|NULL"}));
}

TEST_F(ProgressTest, TheProgressWindowShowsConfusionsRefreshesAndDrills) {
  TForm1& f = *form;
  f.Progress1->trigger();
  ASSERT_NE(f.FormProgress, nullptr);
  TFormProgress& p = *f.FormProgress;
  EXPECT_TRUE(p.isVisible());
  EXPECT_TRUE(p.windowTitle().contains("Progress"));
  EXPECT_FALSE(p.btnDrill->isEnabled());
  const QStringList tabs = {p.Tabs->tabText(0), p.Tabs->tabText(1), p.Tabs->tabText(2)};
  EXPECT_EQ(tabs, QStringList({"Confusions", "Characters", "Sessions"}));

  StartTeaching("1");
  f.Timer2Timer();
  Key('x');
  Key('x');
  Key('m');
  for (int i = 0; i < 8; ++i) f.Timer1Timer();
  f.Timer2Timer();
  Key('q');
  f.TeachStopButtonClick();
  // Refreshed as the session ended.
  EXPECT_EQ(p.HeatMap->Count(QChar('q'), QChar('x')), 2);
  EXPECT_EQ(p.HeatMap->Count(QChar('q'), QChar('m')), 1);
  EXPECT_EQ(p.HeatMap->Rows(), "q");
  ASSERT_EQ(p.TopPairs->count(), 2);
  EXPECT_EQ(p.TopPairs->item(0)->text(), "you typed X for Q 2 times");
  EXPECT_EQ(p.RightChart->series().size(), 1);
  EXPECT_EQ(p.RatingChart->series().size(), 2);
  p.grab();  // draws every view without fault

  // The drill: groups of Q and its partners, ready for Send Text.
  ASSERT_TRUE(p.btnDrill->isEnabled());
  f.seGroups2Gen->SetValue(20);
  p.btnDrill->click();
  const QString drill = f.Memo1->Text();
  EXPECT_EQ(drill.size(), 20 * 6);
  for (int i = 0; i < drill.size(); ++i) {
    if (i % 6 == 5) {
      EXPECT_EQ(drill[i], ' ');
    } else {
      EXPECT_TRUE(QStringLiteral("qxm").contains(drill[i])) << i;
    }
  }
  f.SendbuttonClick();
  EXPECT_EQ(Rows("SELECT source FROM send_runs"), QStringList{"groups"});

  // Not while teaching: the box is teaching's.
  f.TeachbuttonClick();
  p.btnDrill->click();
  EXPECT_EQ(dialogs.messages.size(), 1);
  f.TeachStopButtonClick();
}

TEST_F(ProgressTest, AnswersExportAsCsvThroughATemporaryFile) {
  device_has_clock = false;  // an exact reaction time on the test clock
  Open();
  Show();
  TForm1& f = *form;
  StartTeaching("1");
  f.Timer2Timer();
  Key('q');
  f.TeachStopButtonClick();
  f.Progress1->trigger();
  QTemporaryDir dir;
  dialogs.save_answer = dir.filePath("answers.csv");
  f.FormProgress->btnExport->click();
  const QStringList lines = QString::fromUtf8(Bytes(dialogs.save_answer)).split("\r\n");
  ASSERT_EQ(lines.size(), 3);
  EXPECT_TRUE(lines[0].startsWith("session,"));
  EXPECT_TRUE(lines[1].endsWith(",q,q,right at once,8,0")) << lines[1].toStdString();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"answers.csv"});
  // A place that cannot be written: the reason, nothing left behind.
  dialogs.save_answer = dir.filePath("missing/answers.csv");
  f.FormProgress->btnExport->click();
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_TRUE(dialogs.errors[0].contains("Cannot create file")) << dialogs.errors[0].toStdString();
  EXPECT_TRUE(dialogs.errors[0].contains(dir.filePath("missing/answers.csv")));
}

// Root may write anywhere; the window opens its journal without that right.
class WithoutRoot {
 public:
  explicit WithoutRoot(bool wanted) : was_root_(wanted && geteuid() == 0) {
    if (was_root_) {
      EXPECT_EQ(seteuid(65534), 0);
    }
  }
  ~WithoutRoot() {
    if (was_root_) {
      EXPECT_EQ(seteuid(0), 0);
    }
  }

 private:
  bool was_root_;
};

TEST_F(ProgressTest, AJournalThatCannotBeUsedGivesOneMessageAndTeachingGoesOn) {
  enum Fault { kDamaged, kNewer, kBusy, kReadOnlyFolder };
  for (Fault fault : {kDamaged, kNewer, kBusy, kReadOnlyFolder}) {
    SCOPED_TRACE(fault);
    QTemporaryDir dir;
    chmod(QFile::encodeName(dir.path()).constData(), 0755);
    journal_path = dir.filePath("Progress.db");
    std::unique_ptr<progress::Journal> holder;
    if (fault == kDamaged) {
      QFile file(journal_path);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(QByteArray("my notes\n").repeated(1000));
    } else if (fault == kNewer) {
      progress::OpenJournal(journal_path, nullptr).reset();
      QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
      db.setDatabaseName(journal_path);
      ASSERT_TRUE(db.open());
      QSqlQuery(db).exec("PRAGMA user_version = 2");
      db.close();
      db = QSqlDatabase();
      QSqlDatabase::removeDatabase("newer");
    } else if (fault == kBusy) {
      holder = progress::OpenJournal(journal_path, nullptr);
    } else {
      chmod(QFile::encodeName(dir.path()).constData(), 0555);
    }
    const QByteArray before = Bytes(journal_path);
    dialogs.messages.clear();
    {
      WithoutRoot user_if(fault == kReadOnlyFolder);
      Open();
    }
    Show();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains(QFileInfo(journal_path).absoluteFilePath()))
        << dialogs.messages[0].toStdString();
    // Teaching is as ever.
    TForm1& f = *form;
    StartTeaching("1");
    f.Timer2Timer();
    Key('q');
    EXPECT_EQ(f.Memo1->Text(), "q");
    f.Timer1Timer();
    f.TeachStopButtonClick();
    EXPECT_TRUE(f.Memo1->Text().startsWith("Your current mastery rating is "));
    f.Progress1->trigger();  // opens, with nothing to show or nothing new
    EXPECT_EQ(dialogs.messages.size(), 1);
    form.reset();
    if (holder) {
      // The copy that holds the journal has it to itself.
      QSqlQuery q(holder->Database());
      ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM sessions") && q.next());
      EXPECT_EQ(q.value(0).toInt(), 0);
      holder->BeginSession({1, "q", 1, 20, 20, 800});
      holder.reset();
      continue;
    }
    chmod(QFile::encodeName(dir.path()).constData(), 0755);
    if (fault == kDamaged) {
      const QStringList aside = QDir(dir.path()).entryList({"Progress.db.damaged-*"}, QDir::Files);
      ASSERT_EQ(aside.size(), 1);
      EXPECT_EQ(Bytes(dir.filePath(aside[0])), before);
    } else {
      EXPECT_EQ(Bytes(journal_path), before);
    }
  }
}

TEST_F(FileWindowTest, RunsOfPracticeTextsAndFilesSayWhichTheyWere) {
  TForm1& f = *form;
  QByteArray p0;
  for (int i = 0; i < 100; ++i) p0 += "TEXT " + QByteArray::number(i) + "\r\n";
  Write("P0", p0);
  Write("notes.txt", "CQ\r\nDE\r\n");
  f.Edit1->SetText("17");
  f.Button1Click();
  f.SendbuttonClick();
  dialogs.open_answer = Path("notes.txt");
  f.LoadFileClick();
  f.SendbuttonClick();
  QSqlQuery q(f.Recorder->Journal().Database());
  ASSERT_TRUE(q.exec("SELECT source, practice_number FROM send_runs ORDER BY id"));
  ASSERT_TRUE(q.next());
  EXPECT_EQ(q.value(0).toString(), "practice");
  EXPECT_EQ(q.value(1).toInt(), 17);
  ASSERT_TRUE(q.next());
  EXPECT_EQ(q.value(0).toString(), "file");
  EXPECT_TRUE(q.value(1).isNull());
}

}  // namespace
