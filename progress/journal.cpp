#include "progress/journal.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>

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

class SqliteJournal : public Journal {
 public:
  SqliteJournal(QString path, Reporter report)
      : path_(std::move(path)), report_(std::move(report)),
        connection_(QStringLiteral("progress-journal-%1").arg(++connections_)) {
    shown_ = path_ == QLatin1String(":memory:") ? path_ : QFileInfo(path_).absoluteFilePath();
  }

  ~SqliteJournal() override { CloseConnection(); }

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
    session_ = -1;
    if (!open_) return;
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
    if (Written(q)) session_ = q.lastInsertId().toLongLong();
  }

  void RecordAnswer(const Answer& a) override {
    if (!open_ || session_ < 0) return;
    QSqlQuery& q = *insert_answer_;
    q.bindValue(0, qint64(session_));
    q.bindValue(1, qint64(a.utc_ms));
    q.bindValue(2, QString(QChar(a.sent)));
    q.bindValue(3, QString::fromStdU16String(a.keys));
    q.bindValue(4, static_cast<int>(a.outcome));
    q.bindValue(5, a.allowed_s);
    q.bindValue(6, a.reaction_ms ? QVariant(qint64(*a.reaction_ms)) : QVariant(QMetaType::fromType<qint64>()));
    Written(q);
  }

  void EndSession(const SessionEnd& e) override {
    if (!open_ || session_ < 0) return;
    QSqlQuery q(Db());
    q.prepare(QStringLiteral("UPDATE sessions SET end_utc_ms = ?, in_use = ?, rating = ? WHERE id = ?"));
    q.addBindValue(qint64(e.end_utc_ms));
    q.addBindValue(e.in_use);
    q.addBindValue(e.rating);
    q.addBindValue(qint64(session_));
    Written(q);
    session_ = -1;
  }

  void RecordSendRun(const SendRun& r) override {
    if (!open_) return;
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
    Written(q);
  }

  QSqlDatabase Database() const override { return open_ ? Db() : QSqlDatabase(); }
  QString FilePath() const override { return path_ == QLatin1String(":memory:") ? QString() : shown_; }

 private:
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
    if (!ok) CloseConnection();
    return ok;
  }

  bool OpenSteps() {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
      Refuse(QStringLiteral("cannot be opened: the SQLite driver of Qt SQL is not installed "
                            "(package libqt6sql6-sqlite)"));
      return false;
    }
    bool existed = false;
    if (FilePath().size()) {
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
    }
    {
      QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
      db.setDatabaseName(path_);
      db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=200"));
      if (!db.open()) return OpenFailed(db.lastError());
    }
    QSqlQuery q(Db());
    // Held for the whole run: a second copy of the trainer is told the
    // journal is busy instead of interleaving its sessions.
    if (!Exec(q, QStringLiteral("PRAGMA locking_mode = EXCLUSIVE"))) return false;
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
    // One fsync'd write-ahead-log append per answer: a crash or power loss
    // costs at most the answer in flight.
    if (!Exec(q, QStringLiteral("PRAGMA journal_mode = WAL"))) return false;
    if (!Exec(q, QStringLiteral("PRAGMA synchronous = FULL"))) return false;
    if (!Exec(q, QStringLiteral("BEGIN IMMEDIATE"))) return false;
    for (const QString& statement : QString::fromLatin1(kSchema).split(u';', Qt::SkipEmptyParts)) {
      if (!Exec(q, statement)) return false;
    }
    if (version < kSchemaVersion &&
        !Exec(q, QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion))) {
      return false;
    }
    if (!Exec(q, QStringLiteral("COMMIT"))) return false;
    insert_answer_ = std::make_unique<QSqlQuery>(Db());
    insert_answer_->prepare(QStringLiteral(
        "INSERT INTO answers(session_id, utc_ms, sent, keys, outcome, allowed_s, reaction_ms) "
        "VALUES(?, ?, ?, ?, ?, ?, ?)"));
    open_ = true;
    return true;
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
      return QString();
    }
    for (const char* suffix : {"-wal", "-shm"}) {
      if (QFile::exists(shown_ + suffix)) QFile::rename(shown_ + suffix, aside + suffix);
    }
    return aside;
  }

  bool Written(QSqlQuery& q) {
    if (q.exec()) {
      write_reported_ = false;
      return true;
    }
    if (!write_reported_) {
      write_reported_ = true;
      Report(QStringLiteral("The progress journal \"%1\" could not be written: %2. Teaching and sending go on; "
                            "progress is recorded again once the journal can be written.")
                 .arg(shown_, Reason(q.lastError())));
    }
    return false;
  }

  void CloseConnection() {
    open_ = false;
    insert_answer_.reset();
    if (QSqlDatabase::contains(connection_)) {
      Db().close();
      QSqlDatabase::removeDatabase(connection_);
    }
  }

  static inline std::atomic<int> connections_{0};

  QString path_;
  QString shown_;
  Reporter report_;
  QString connection_;
  bool open_ = false;
  bool damaged_ = false;
  QString damaged_reason_;
  bool write_reported_ = false;
  std::int64_t session_ = -1;
  std::unique_ptr<QSqlQuery> insert_answer_;
};

}  // namespace

std::unique_ptr<Journal> OpenJournal(const QString& path, Reporter report) {
  auto journal = std::make_unique<SqliteJournal>(path, std::move(report));
  journal->Open();
  return journal;
}

}  // namespace progress
