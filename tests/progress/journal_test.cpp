// The journal on disk: what it stores, and what it does with files it must
// not or cannot write.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "progress/journal.h"

namespace {

using progress::Journal;

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

int Rows(const QSqlDatabase& db, const QString& table) {
  QSqlQuery q(db);
  q.exec("SELECT COUNT(*) FROM " + table);
  return q.next() ? q.value(0).toInt() : -1;
}

class JournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    // Traversable by anyone, for the test that gives up root's rights.
    chmod(QFile::encodeName(dir.path()).constData(), 0755);
    path = dir.filePath("Progress.db");
  }

  std::unique_ptr<Journal> Open() {
    return progress::OpenJournal(path, [this](const QString& m) { messages << m; });
  }

  // One session with two answers and a run, as the window writes them.
  static void Fill(Journal& j) {
    j.BeginSession({1000, "kmrsu", 2, 20, 15, 700});
    j.RecordAnswer({1100, u'k', u"k", progress::Outcome::RightAtOnce, 8, 420});
    j.RecordAnswer({1200, u'm', u"", progress::Outcome::TimedOut, 7.5, std::nullopt});
    j.EndSession({5000, 3, 12});
    j.RecordSendRun({6000, 42, 30.5, 20, 15, 700, progress::TextSource::Practice, 17});
  }

  QTemporaryDir dir;
  QString path;
  QStringList messages;
};

TEST_F(JournalTest, StoresSessionsAnswersAndRunsInAVersionedWriteAheadLog) {
  {
    auto j = Open();
    Fill(*j);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(j->FilePath(), QFileInfo(path).absoluteFilePath());
    QSqlQuery q(j->Database());
    ASSERT_TRUE(q.exec("PRAGMA journal_mode") && q.next());
    EXPECT_EQ(q.value(0).toString(), "wal");
  }
  // Everything is there after the program has gone.
  auto j = Open();
  const QSqlDatabase db = j->Database();
  QSqlQuery q(db);
  ASSERT_TRUE(q.exec("PRAGMA user_version") && q.next());
  EXPECT_EQ(q.value(0).toInt(), progress::kSchemaVersion);
  ASSERT_TRUE(q.exec("SELECT start_utc_ms, end_utc_ms, teach_order, start_count, in_use, rating, char_wpm, "
                     "text_wpm, frequency_hz FROM sessions") &&
              q.next());
  EXPECT_EQ(q.value(0).toLongLong(), 1000);
  EXPECT_EQ(q.value(1).toLongLong(), 5000);
  EXPECT_EQ(q.value(2).toString(), "kmrsu");
  EXPECT_EQ(q.value(3).toInt(), 2);
  EXPECT_EQ(q.value(4).toInt(), 3);
  EXPECT_EQ(q.value(5).toInt(), 12);
  EXPECT_EQ(q.value(6).toDouble(), 20);
  EXPECT_EQ(q.value(7).toDouble(), 15);
  EXPECT_EQ(q.value(8).toDouble(), 700);
  ASSERT_TRUE(q.exec("SELECT sent, keys, outcome, allowed_s, reaction_ms FROM answers ORDER BY id"));
  ASSERT_TRUE(q.next());
  EXPECT_EQ(q.value(0).toString(), "k");
  EXPECT_EQ(q.value(1).toString(), "k");
  EXPECT_EQ(q.value(2).toInt(), 0);
  EXPECT_EQ(q.value(3).toDouble(), 8);
  EXPECT_EQ(q.value(4).toInt(), 420);
  ASSERT_TRUE(q.next());
  EXPECT_EQ(q.value(1).toString(), "");
  EXPECT_EQ(q.value(2).toInt(), 2);
  EXPECT_TRUE(q.value(4).isNull());
  ASSERT_TRUE(q.exec("SELECT chars, seconds, source, practice_number FROM send_runs") && q.next());
  EXPECT_EQ(q.value(0).toInt(), 42);
  EXPECT_EQ(q.value(1).toDouble(), 30.5);
  EXPECT_EQ(q.value(2).toString(), "practice");
  EXPECT_EQ(q.value(3).toInt(), 17);
  // An answer outside a session belongs nowhere and is not kept.
  j->RecordAnswer({1, u'a', u"a", progress::Outcome::RightAtOnce, 8, 1});
  EXPECT_EQ(Rows(db, "answers"), 2);
}

TEST_F(JournalTest, AFileFromANewerVersionIsRefusedAndLeftUntouched) {
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
    db.setDatabaseName(path);
    ASSERT_TRUE(db.open());
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec("CREATE TABLE answers(x)"));
    ASSERT_TRUE(q.exec("PRAGMA user_version = 7"));
  }
  QSqlDatabase::removeDatabase("newer");
  const QByteArray before = Bytes(path);
  auto j = Open();
  Fill(*j);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QFileInfo(path).absoluteFilePath()));
  EXPECT_TRUE(messages[0].contains("newer version")) << messages[0].toStdString();
  EXPECT_FALSE(j->Database().isValid());
  j.reset();
  EXPECT_EQ(Bytes(path), before);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Progress.db"});
}

TEST_F(JournalTest, ADamagedFileIsSetAsideAndAFreshJournalStarted) {
  QByteArray damaged_page;
  {
    auto j = Open();
    for (int i = 0; i < 40; ++i) Fill(*j);
  }
  QByteArray valid = Bytes(path);
  ASSERT_GT(valid.size(), 3 * 4096);
  damaged_page = valid;
  damaged_page.replace(2 * 4096, 4096, QByteArray(4096, '\xff'));
  const std::vector<std::pair<const char*, QByteArray>> cases = {
      {"not a database", QByteArray("these are my notes, not a journal\n").repeated(200)},
      {"a damaged page", damaged_page},
  };
  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    messages.clear();
    for (const QString& f : QDir(dir.path()).entryList(QDir::Files)) QFile::remove(dir.filePath(f));
    WriteBytes(path, bytes);
    auto j = Open();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QFileInfo(path).absoluteFilePath()));
    EXPECT_TRUE(messages[0].contains("set aside")) << messages[0].toStdString();
    const QStringList aside = QDir(dir.path()).entryList({"Progress.db.damaged-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(messages[0].contains(aside[0]));
    EXPECT_EQ(Bytes(dir.filePath(aside[0])), bytes);
    // The fresh journal records.
    Fill(*j);
    EXPECT_EQ(Rows(j->Database(), "answers"), 2);
  }
}

TEST_F(JournalTest, AJournalInUseByAnotherCopyIsLeftToIt) {
  auto first = Open();
  Fill(*first);
  auto second = Open();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains("in use by another running copy")) << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains(QFileInfo(path).absoluteFilePath()));
  Fill(*second);
  Fill(*first);
  EXPECT_EQ(Rows(first->Database(), "answers"), 4);
  EXPECT_EQ(messages.size(), 1);
}

// Root may write anywhere; the test gives up that right for its duration.
class WithoutRoot {
 public:
  WithoutRoot() : was_root_(geteuid() == 0) {
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

TEST_F(JournalTest, AReadOnlyFolderGivesOneMessageAndLeavesTheFileAlone) {
  const QByteArray folder = QFile::encodeName(dir.path());
  {
    // No journal yet, and none can be made.
    chmod(folder.constData(), 0555);
    WithoutRoot user;
    auto j = Open();
    Fill(*j);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("cannot be created")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QFileInfo(path).absoluteFilePath()));
  }
  chmod(folder.constData(), 0755);
  Open().reset();
  const QByteArray before = Bytes(path);
  messages.clear();
  chmod(QFile::encodeName(path).constData(), 0444);
  chmod(folder.constData(), 0555);
  {
    WithoutRoot user;
    auto j = Open();
    Fill(*j);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("cannot be written")) << messages[0].toStdString();
  }
  chmod(folder.constData(), 0755);
  EXPECT_EQ(Bytes(path), before);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Progress.db"});
}

}  // namespace

namespace {

TEST_F(JournalTest, ACrashLosesNothingWrittenAndLeavesNoLockBehind) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child runs the test program afresh, with a folder of its own: it is
  // told where this test's journal lies.
  // (It runs this test up to here too, so only the first run names it.)
  if (qEnvironmentVariableIsEmpty("JOURNAL_UNDER_TEST")) qputenv("JOURNAL_UNDER_TEST", QFile::encodeName(path));
  EXPECT_DEATH(
      {
        dir.remove();  // the child's own, unused
        path = QFile::decodeName(qgetenv("JOURNAL_UNDER_TEST"));
        auto j = Open();
        Fill(*j);
        j->Database();  // every answer handed over has been written
        j->RecordAnswer({1300, u'r', u"r", progress::Outcome::RightAtOnce, 8, 1});
        std::abort();
      },
      "");
  qunsetenv("JOURNAL_UNDER_TEST");
  auto j = Open();
  EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
  // At most the answer in flight is gone.
  const int answers = Rows(j->Database(), "answers");
  EXPECT_GE(answers, 2);
  EXPECT_LE(answers, 3);
  EXPECT_EQ(Rows(j->Database(), "send_runs"), 1);
  Fill(*j);
  EXPECT_EQ(Rows(j->Database(), "send_runs"), 2);
}

}  // namespace
