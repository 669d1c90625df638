// What the Progress window shows, read from the journal: confusions, the
// figures per character, the sessions and the practice per day, and the
// answers as CSV. Plain functions over an open journal connection.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace progress {

enum class Period { LastSession, Last7Days, All };

struct Scope {
  Period period = Period::All;
  std::int64_t now_utc_ms = 0;  // Last7Days counts back from here
};

// A character sent and a wrong key typed for it, lower-cased, with how often.
struct Confusion {
  char16_t sent = 0;
  char16_t typed = 0;
  int count = 0;
  friend bool operator==(const Confusion&, const Confusion&) = default;
};

// Every key typed for a character that was not the character, control keys
// aside; most frequent first, then by sent and typed character.
std::vector<Confusion> ConfusionCounts(const QSqlDatabase& db, Scope scope);
// "you typed S for H 14 times" ("1 time" for one).
QString ConfusionText(const Confusion& c);

struct CharacterFigures {
  char16_t ch = 0;
  int answers = 0;
  int right_at_once = 0;
  // Over the answers right at once that have a reaction time.
  std::optional<double> median_reaction_ms;
  double RightShare() const { return answers ? double(right_at_once) / answers : 0.0; }
};

// One entry per character sent in scope, worst first: the lowest share right
// at once, then the slowest median, then by character.
std::vector<CharacterFigures> CharacterStats(const QSqlDatabase& db, Scope scope);

struct SessionPoint {
  std::int64_t id = 0;
  std::int64_t start_utc_ms = 0;
  std::int64_t end_utc_ms = 0;
  int rating = 0;
  int in_use = 0;
};
// The finished sessions, oldest first.
std::vector<SessionPoint> FinishedSessions(const QSqlDatabase& db);

struct DayMinutes {
  QDate day;  // local date of the start
  double minutes = 0;
};
// Teaching sessions and Send Text runs together, per local day, oldest first.
std::vector<DayMinutes> MinutesPerDay(const QSqlDatabase& db);

// The teaching order of the latest session; empty when there is none.
QString LastTeachOrder(const QSqlDatabase& db);

// Characters for drill groups: both sides of the most confused pairs (up to
// pairs of them), each repeated by how often it was confused, at most 100 in
// all so every one can be drawn. Only characters the trainer teaches count.
std::u16string DrillCharacters(const std::vector<Confusion>& confusions, int pairs = 10);

// Every answer, one CSV line each (RFC 4180) after a header line.
QByteArray AnswersCsv(const QSqlDatabase& db);

}  // namespace progress
