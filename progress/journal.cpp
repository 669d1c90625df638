#include "progress/journal.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace progress {

QString SourceName(TextSource source) {
  switch (source) {
    case TextSource::Practice: return QStringLiteral("practice");
    case TextSource::File: return QStringLiteral("file");
    case TextSource::Groups: return QStringLiteral("groups");
    case TextSource::Typed: break;
  }
  return QStringLiteral("typed");
}

namespace {

// SQLite's primary result codes, as the driver reports them.
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

int SqliteCode(const QSqlError& error) {
  bool ok = false;
  const int code = error.nativeErrorCode().toInt(&ok);
  return ok ? (code & 0xff) : -1;
}

QString Reason(const QSqlError& error) {
  const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
  return text.isEmpty() ? QStringLiteral("unknown error") : text;
}

constexpr char kSchema[] = R"sql(
CREATE TABLE IF NOT EXISTS sessions(
  id INTEGER PRIMARY KEY,
  start_utc_ms INTEGER NOT NULL,
  end_utc_ms INTEGER,
  teach_order TEXT NOT NULL,
  start_count INTEGER NOT NULL,
  in_use INTEGER,
  rating INTEGER,
  char_wpm REAL NOT NULL,
  text_wpm REAL NOT NULL,
  frequency_hz REAL NOT NULL);
CREATE TABLE IF NOT EXISTS answers(
  id INTEGER PRIMARY KEY,
  session_id INTEGER NOT NULL REFERENCES sessions(id),
  utc_ms INTEGER NOT NULL,
  sent TEXT NOT NULL,
  keys TEXT NOT NULL,
  outcome INTEGER NOT NULL,
  allowed_s REAL NOT NULL,
  reaction_ms INTEGER);
CREATE INDEX IF NOT EXISTS answers_by_session ON answers(session_id);
CREATE INDEX IF NOT EXISTS answers_by_time ON answers(utc_ms);
CREATE INDEX IF NOT EXISTS answers_by_character ON answers(sent, outcome, reaction_ms);
CREATE TABLE IF NOT EXISTS send_runs(
  id INTEGER PRIMARY KEY,
  start_utc_ms INTEGER NOT NULL,
  chars INTEGER NOT NULL,
  seconds REAL NOT NULL,
  char_wpm REAL NOT NULL,
  text_wpm REAL NOT NULL,
  frequency_hz REAL NOT NULL,
  source TEXT NOT NULL,
  practice_number INTEGER))sql";

// The connection that writes, on a thread of its own, so that the sync to
// disk of every answer never holds up the GUI thread. Qt's connections
// belong to the thread that made them: everything here runs on that thread.
class Writer {
 public:
  Writer(QString database, QString connection, QString options)
      : database_(std::move(database)), connection_(std::move(connection)), options_(std::move(options)) {}

  // Empty when open, otherwise the reason.
  QString Open() {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(database_);
    db.setConnectOptions(options_);
    if (!db.open()) return Reason(db.lastError());
    QSqlQuery q(db);
    // Each answer is one transaction, synced to disk before the next.
    if (!q.exec(QStringLiteral("PRAGMA synchronous = FULL"))) return Reason(q.lastError());
    answer_ = std::make_unique<QSqlQuery>(db);
    if (!answer_->prepare(QStringLiteral(
            "INSERT INTO answers(session_id, utc_ms, sent, keys, outcome, allowed_s, reaction_ms) "
            "VALUES(?, ?, ?, ?, ?, ?, ?)"))) {
      return Reason(answer_->lastError());
    }
    return QString();
  }

  void Close() {
    answer_.reset();
    if (QSqlDatabase::contains(connection_)) {
      QSqlDatabase::database(connection_, false).close();
      QSqlDatabase::removeDatabase(connection_);
    }
  }

  QString BeginSession(const SessionStart& s) {
    session_ = -1;
    QSqlQuery q(Db());
    q.prepare(QStringLiteral(
        "INSERT INTO sessions(start_utc_ms, teach_order, start_count, char_wpm, text_wpm, frequency_hz) "
        "VALUES(?, ?, ?, ?, ?, ?)"));
    q.addBindValue(qint64(s.start_utc_ms));
    q.addBindValue(s.teach_order);
    q.addBindValue(s.start_count);
    q.addBindValue(s.char_wpm);
    q.addBindValue(s.text_wpm);
    q.addBindValue(s.frequency_hz);
    if (!q.exec()) return Reason(q.lastError());
    session_ = q.lastInsertId().toLongLong();
    return QString();
  }

  QString RecordAnswer(const Answer& a) {
    if (session_ < 0) return QString();
    QSqlQuery& q = *answer_;
    q.bindValue(0, qint64(session_));
    q.bindValue(1, qint64(a.utc_ms));
    q.bindValue(2, QString(QChar(a.sent)));
    q.bindValue(3, QString::fromStdU16String(a.keys));
    q.bindValue(4, static_cast<int>(a.outcome));
    q.bindValue(5, a.allowed_s);
    q.bindValue(6, a.reaction_ms ? QVariant(qint64(*a.reaction_ms)) : QVariant(QMetaType::fromType<qint64>()));
    return q.exec() ? QString() : Reason(q.lastError());
  }

  QString EndSession(const SessionEnd& e) {
    if (session_ < 0) return QString();
    QSqlQuery q(Db());
    q.prepare(QStringLiteral("UPDATE sessions SET end_utc_ms = ?, in_use = ?, rating = ? WHERE id = ?"));
    q.addBindValue(qint64(e.end_utc_ms));
    q.addBindValue(e.in_use);
    q.addBindValue(e.rating);
    q.addBindValue(qint64(session_));
    session_ = -1;
    return q.exec() ? QString() : Reason(q.lastError());
  }

  QString RecordSendRun(const SendRun& r) {
    QSqlQuery q(Db());
    q.prepare(QStringLiteral(
        "INSERT INTO send_runs(start_utc_ms, chars, seconds, char_wpm, text_wpm, frequency_hz, source, "
        "practice_number) VALUES(?, ?, ?, ?, ?, ?, ?, ?)"));
    q.addBindValue(qint64(r.start_utc_ms));
    q.addBindValue(qint64(r.chars));
    q.addBindValue(r.seconds);
    q.addBindValue(r.char_wpm);
    q.addBindValue(r.text_wpm);
    q.addBindValue(r.frequency_hz);
    q.addBindValue(SourceName(r.source));
    q.addBindValue(r.source == TextSource::Practice ? QVariant(r.practice_number)
                                                    : QVariant(QMetaType::fromType<int>()));
    return q.exec() ? QString() : Reason(q.lastError());
  }

 private:
  QSqlDatabase Db() const { return QSqlDatabase::database(connection_, false); }

  QString database_;
  QString connection_;
  QString options_;
  std::int64_t session_ = -1;
  std::unique_ptr<QSqlQuery> answer_;
};

class SqliteJournal : public Journal {
 public:
  SqliteJournal(QString path, Reporter report)
      : path_(std::move(path)), report_(std::move(report)), id_(++connections_),
        connection_(QStringLiteral("progress-journal-%1").arg(id_)) {
    memory_ = path_ == QLatin1String(":memory:");
    shown_ = memory_ ? path_ : QFileInfo(path_).absoluteFilePath();
    // Both connections of a journal in memory must reach the same database.
    database_ = memory_ ? QStringLiteral("file:progress-journal-%1?mode=memory&cache=shared").arg(id_) : path_;
    options_ = QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000;QSQLITE_OPEN_URI");
    notifier_ = std::make_unique<QObject>();
  }

  ~SqliteJournal() override {
    StopWriter();
    CloseConnection();
  }

  void Open() {
    if (TryOpen() || !damaged_) return;
    // A damaged file is set aside, never written over, and a fresh one begun.
    const QString reason = damaged_reason_;
    const QString aside = SetAside();
    if (aside.isEmpty()) return;
    damaged_ = false;
    if (!TryOpen()) return;
    Report(QStringLiteral("The progress journal \"%1\" was damaged (%2). It has been set aside as \"%3\", "
                          "and a fresh journal was started.")
               .arg(shown_, reason, aside));
  }

  void BeginSession(const SessionStart& s) override {
    Post([s](Writer& w) { return w.BeginSession(s); });
  }
  void RecordAnswer(const Answer& a) override {
    Post([a](Writer& w) { return w.RecordAnswer(a); });
  }
  void EndSession(const SessionEnd& e) override {
    Post([e](Writer& w) { return w.EndSession(e); });
  }
  void RecordSendRun(const SendRun& r) override {
    Post([r](Writer& w) { return w.RecordSendRun(r); });
  }

  QSqlDatabase Database() const override {
    if (!open_) return QSqlDatabase();
    WaitIdle();
    return Db();
  }
  QString FilePath() const override { return memory_ ? QString() : shown_; }

 private:
  using Job = std::function<QString(Writer&)>;

  QSqlDatabase Db() const { return QSqlDatabase::database(connection_, false); }

  void Report(const QString& message) {
    if (report_) report_(message);
  }

  void Refuse(const QString& what) {
    Report(QStringLiteral("The progress journal \"%1\" %2. Teaching and sending go on, but progress is not "
                          "recorded.")
               .arg(shown_, what));
  }

  // Classifies a failure while opening; false always, for the caller to return.
  bool OpenFailed(const QSqlError& error) {
    const int code = SqliteCode(error);
    if (code == kSqliteNotADatabase || code == kSqliteCorrupt) {
      damaged_ = true;
      damaged_reason_ = Reason(error);
    } else if (code == kSqliteBusy || code == kSqliteLocked) {
      Refuse(QStringLiteral("is in use by another running copy of the trainer"));
    } else if (code == kSqliteReadOnly) {
      Refuse(QStringLiteral("cannot be written: %1").arg(Reason(error)));
    } else {
      Refuse(QStringLiteral("cannot be opened: %1").arg(Reason(error)));
    }
    return false;
  }

  bool Exec(QSqlQuery& q, const QString& sql) { return q.exec(sql) || OpenFailed(q.lastError()); }

  bool TryOpen() {
    const bool ok = OpenSteps();
    if (!ok) {
      StopWriter();
      CloseConnection();
    }
    return ok;
  }

  bool OpenSteps() {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
      Refuse(QStringLiteral("cannot be opened: the SQLite driver of Qt SQL is not installed "
                            "(package libqt6sql6-sqlite)"));
      return false;
    }
    bool existed = false;
    if (!memory_) {
      // SQLite would quietly open a file it cannot write read-only; asking
      // first gives the system's own reason.
      QFile file(path_);
      existed = file.exists();
      if (!file.open(QIODevice::ReadWrite)) {
        Refuse(QStringLiteral("cannot be %1: %2")
                   .arg(existed ? QStringLiteral("written") : QStringLiteral("created"), file.errorString()));
        return false;
      }
      existed = existed && file.size() > 0;
      // One copy of the trainer keeps the journal; a lock left by a copy
      // that has died is taken over.
      if (!lock_) {
        auto lock = std::make_unique<QLockFile>(shown_ + QStringLiteral(".lock"));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0)) {
          Refuse(lock->error() == QLockFile::LockFailedError
                     ? QStringLiteral("is in use by another running copy of the trainer")
                     : QStringLiteral("cannot be written: its folder takes no lock file"));
          return false;
        }
        lock_ = std::move(lock);
      }
    }
    {
      QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
      db.setDatabaseName(database_);
      db.setConnectOptions(options_);
      if (!db.open()) return OpenFailed(db.lastError());
    }
    QSqlQuery q(Db());
    if (!Exec(q, QStringLiteral("PRAGMA user_version"))) return false;
    const int version = q.next() ? q.value(0).toInt() : 0;
    if (version > kSchemaVersion) {
      Refuse(QStringLiteral("was written by a newer version of the trainer (journal version %1; this version "
                            "reads up to %2) and is left as it is")
                 .arg(version)
                 .arg(kSchemaVersion));
      return false;
    }
    if (existed) {
      if (!Exec(q, QStringLiteral("PRAGMA quick_check"))) return false;
      const QString verdict = q.next() ? q.value(0).toString() : QString();
      if (verdict != QLatin1String("ok")) {
        damaged_ = true;
        damaged_reason_ = verdict;
        return false;
      }
    }
    // The write-ahead log lets the window read while an answer is written,
    // and a crash or power loss costs at most the answer in flight.
    if (!Exec(q, QStringLiteral("PRAGMA journal_mode = WAL"))) return false;
    if (!Exec(q, QStringLiteral("BEGIN IMMEDIATE"))) return false;
    for (const QString& statement : QString::fromLatin1(kSchema).split(u';', Qt::SkipEmptyParts)) {
      if (!Exec(q, statement)) return false;
    }
    if (version < kSchemaVersion &&
        !Exec(q, QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion))) {
      return false;
    }
    if (!Exec(q, QStringLiteral("COMMIT"))) return false;
    q.finish();
    const QString problem = StartWriter();
    if (!problem.isEmpty()) {
      Refuse(QStringLiteral("cannot be written: %1").arg(problem));
      return false;
    }
    open_ = true;
    return true;
  }

  QString StartWriter() {
    std::promise<QString> opened;
    std::future<QString> result = opened.get_future();
    stop_ = false;
    thread_ = std::thread([this, &opened] {
      Writer writer(database_, connection_ + QStringLiteral("-writer"), options_);
      const QString problem = writer.Open();
      opened.set_value(problem);
      if (problem.isEmpty()) Serve(writer);
      writer.Close();
    });
    return result.get();
  }

  void Serve(Writer& writer) {
    bool reported = false;
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
      if (jobs_.empty()) return;  // stopping, with everything written
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      busy_ = true;
      lock.unlock();
      const QString problem = job(writer);
      if (problem.isEmpty()) {
        reported = false;
      } else if (!reported) {
        // Said once, on the GUI thread, while the journal still exists.
        reported = true;
        const QString message =
            QStringLiteral("The progress journal \"%1\" could not be written: %2. Teaching and sending go on; "
                           "progress is recorded again once the journal can be written.")
                .arg(shown_, problem);
        Reporter report = report_;
        QMetaObject::invokeMethod(
            notifier_.get(), [report, message] { if (report) report(message); }, Qt::QueuedConnection);
      }
      lock.lock();
      busy_ = false;
      changed_.notify_all();
    }
  }

  void Post(Job job) {
    if (!open_) return;
    {
      std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    changed_.notify_all();
  }

  // Until every write posted so far is done; bounded, so a stuck disk never
  // hangs the window.
  void WaitIdle() const {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(5), [this] { return jobs_.empty() && !busy_; });
  }

  void StopWriter() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  // Renames the damaged file, and any log of it, to a name not yet taken;
  // the new name, or empty when it could not be moved (reported).
  QString SetAside() {
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = QStringLiteral("%1.damaged-%2").arg(shown_, stamp);
    for (int n = 2; QFile::exists(aside) || QFile::exists(aside + "-wal"); ++n) {
      aside = QStringLiteral("%1.damaged-%2-%3").arg(shown_, stamp).arg(n);
    }
    QFile file(shown_);
    if (!file.rename(aside)) {
      Refuse(QStringLiteral("is damaged (%1) and could not be set aside: %2").arg(damaged_reason_,
                                                                                   file.errorString()));
      lock_.reset();
      return QString();
    }
    for (const char* suffix : {"-wal", "-shm"}) {
      if (QFile::exists(shown_ + suffix)) QFile::rename(shown_ + suffix, aside + suffix);
    }
    return aside;
  }

  void CloseConnection() {
    open_ = false;
    if (QSqlDatabase::contains(connection_)) {
      Db().close();
      QSqlDatabase::removeDatabase(connection_);
    }
    if (!damaged_) lock_.reset();
  }

  static inline std::atomic<int> connections_{0};

  QString path_;
  QString shown_;
  QString database_;
  QString options_;
  Reporter report_;
  int id_;
  QString connection_;
  bool memory_ = false;
  bool open_ = false;
  bool damaged_ = false;
  QString damaged_reason_;
  std::unique_ptr<QLockFile> lock_;
  std::unique_ptr<QObject> notifier_;

  std::thread thread_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::deque<Job> jobs_;
  bool busy_ = false;
  bool stop_ = false;
};

}  // namespace

std::unique_ptr<Journal> OpenJournal(const QString& path, Reporter report) {
  auto journal = std::make_unique<SqliteJournal>(path, std::move(report));
  journal->Open();
  return journal;
}

}  // namespace progress
