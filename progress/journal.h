// The learner's journal: every teaching session and answer and every Send
// Text run, kept in an SQLite file beside the settings. The window tells it
// once per answer and once per run; the Progress window reads it back
// through Database().
//
// Writing never throws and never stops teaching or sending: a journal that
// cannot be opened or written says why once, through the reporter, and then
// records nothing until it can.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace progress {

// The journal's schema version, kept in SQLite's user_version. A file with a
// higher number comes from a newer program and is left untouched.
inline constexpr int kSchemaVersion = 1;

inline const QString kJournalFileName = QStringLiteral("Progress.db");

// How a teaching character was answered; stored as these numbers.
enum class Outcome : int {
  RightAtOnce = 0,
  RightAfterWrong = 1,
  TimedOut = 2,
};

// Where the text of a Send Text run came from; stored as these words.
enum class TextSource { Typed, Practice, File, Groups };
QString SourceName(TextSource source);

struct SessionStart {
  std::int64_t start_utc_ms = 0;
  QString teach_order;
  int start_count = 0;
  double char_wpm = 0;
  double text_wpm = 0;
  double frequency_hz = 0;
};

struct SessionEnd {
  std::int64_t end_utc_ms = 0;
  int in_use = 0;
  int rating = 0;
};

struct Answer {
  std::int64_t utc_ms = 0;  // when the character was sent
  char16_t sent = 0;
  std::u16string keys;  // every key typed for it, in order
  Outcome outcome = Outcome::TimedOut;
  double allowed_s = 0;
  // From the end of the character's last mark at the speaker to the first
  // key; none when no key came (or the character had no mark).
  std::optional<std::int64_t> reaction_ms;
};

struct SendRun {
  std::int64_t start_utc_ms = 0;
  std::int64_t chars = 0;
  double seconds = 0;
  double char_wpm = 0;
  double text_wpm = 0;
  double frequency_hz = 0;
  TextSource source = TextSource::Typed;
  int practice_number = 0;  // with TextSource::Practice
};

class Journal {
 public:
  virtual ~Journal() = default;
  virtual void BeginSession(const SessionStart& start) = 0;
  // Belongs to the session begun last; ignored outside a session.
  virtual void RecordAnswer(const Answer& answer) = 0;
  virtual void EndSession(const SessionEnd& end) = 0;
  virtual void RecordSendRun(const SendRun& run) = 0;
  // The open connection for reading, or an invalid one.
  virtual QSqlDatabase Database() const = 0;
  // The file, absolute; empty for a journal kept in memory.
  virtual QString FilePath() const = 0;
};

using Reporter = std::function<void(const QString& message)>;

// The SQLite journal at path (":memory:" keeps it in memory). Opening sets a
// corrupt file aside under a new name and starts afresh; every other problem
// (cannot create, read-only, in use by another copy, newer version) leaves
// the file alone and gives a journal that records nothing. Each problem is
// reported once, naming the file and the reason.
std::unique_ptr<Journal> OpenJournal(const QString& path, Reporter report);

}  // namespace progress
