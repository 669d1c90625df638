#include "progress/queries.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <map>

#include "progress/journal.h"

namespace progress {

namespace {

constexpr std::int64_t kWeekMs = 7LL * 24 * 60 * 60 * 1000;
constexpr std::u16string_view kTaught = u"abcdefghijklmnopqrstuvwxyz0123456789.,?/";

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }
char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }
bool ControlKey(char16_t c) { return c < 0x20 || c == 0x7f; }

// A condition on the answers table (aliased a) and its bound value.
QString Where(Scope scope) {
  switch (scope.period) {
    case Period::LastSession: return QStringLiteral("a.session_id = (SELECT MAX(session_id) FROM answers)");
    case Period::Last7Days: return QStringLiteral("a.utc_ms >= %1").arg(scope.now_utc_ms - kWeekMs);
    case Period::All: break;
  }
  return QStringLiteral("1");
}

char16_t FirstChar(const QVariant& v) {
  const QString s = v.toString();
  return s.isEmpty() ? 0 : s[0].unicode();
}

}  // namespace

std::vector<Confusion> ConfusionCounts(const QSqlDatabase& db, Scope scope) {
  std::map<std::pair<char16_t, char16_t>, int> counts;
  QSqlQuery q(db);
  q.setForwardOnly(true);
  // An answer right at once with no further key holds no confusion.
  q.exec(QStringLiteral("SELECT a.sent, a.keys FROM answers a WHERE %1 AND (a.outcome <> 0 OR length(a.keys) > 1)")
             .arg(Where(scope)));
  while (q.next()) {
    const char16_t sent = Lower(FirstChar(q.value(0)));
    const QString keys = q.value(1).toString();
    for (const QChar k : keys) {
      const char16_t typed = Lower(k.unicode());
      if (typed != sent && !ControlKey(typed)) ++counts[{sent, typed}];
    }
  }
  std::vector<Confusion> out;
  for (const auto& [pair, n] : counts) out.push_back({pair.first, pair.second, n});
  std::stable_sort(out.begin(), out.end(), [](const Confusion& a, const Confusion& b) { return a.count > b.count; });
  return out;
}

QString ConfusionText(const Confusion& c) {
  return QStringLiteral("you typed %1 for %2 %3 %4")
      .arg(QChar(Upper(c.typed)), QChar(Upper(c.sent)))
      .arg(c.count)
      .arg(c.count == 1 ? QStringLiteral("time") : QStringLiteral("times"));
}

std::vector<CharacterFigures> CharacterStats(const QSqlDatabase& db, Scope scope) {
  std::map<char16_t, CharacterFigures> by_char;
  QSqlQuery q(db);
  q.setForwardOnly(true);
  q.exec(QStringLiteral("SELECT a.sent, COUNT(*), SUM(a.outcome = 0) FROM answers a WHERE %1 GROUP BY a.sent")
             .arg(Where(scope)));
  while (q.next()) {
    const char16_t ch = Lower(FirstChar(q.value(0)));
    CharacterFigures& f = by_char[ch];
    f.ch = ch;
    f.answers += q.value(1).toInt();
    f.right_at_once += q.value(2).toInt();
  }
  // The median: the middle value, or the mean of the middle two, each found
  // by its rank in the index of reaction times per character.
  QSqlQuery count(db);
  count.prepare(QStringLiteral("SELECT COUNT(*) FROM answers a WHERE a.sent = ? AND a.outcome = 0 AND "
                               "a.reaction_ms IS NOT NULL AND %1")
                    .arg(Where(scope)));
  QSqlQuery middle(db);
  middle.prepare(QStringLiteral("SELECT AVG(ms) FROM (SELECT a.reaction_ms AS ms FROM answers a WHERE a.sent = ? AND "
                                "a.outcome = 0 AND a.reaction_ms IS NOT NULL AND %1 ORDER BY a.reaction_ms "
                                "LIMIT ? OFFSET ?)")
                     .arg(Where(scope)));
  for (auto& [ch, f] : by_char) {
    const QString sent(QChar(f.ch));
    count.addBindValue(sent);
    if (!count.exec() || !count.next()) continue;
    const int n = count.value(0).toInt();
    if (n == 0) continue;
    middle.addBindValue(sent);
    middle.addBindValue(n % 2 ? 1 : 2);
    middle.addBindValue((n - 1) / 2);
    if (middle.exec() && middle.next()) f.median_reaction_ms = middle.value(0).toDouble();
  }
  std::vector<CharacterFigures> out;
  for (const auto& [ch, f] : by_char) out.push_back(f);
  std::stable_sort(out.begin(), out.end(), [](const CharacterFigures& a, const CharacterFigures& b) {
    // Compared as fractions, so equal shares stay equal.
    const long long lhs = static_cast<long long>(a.right_at_once) * b.answers;
    const long long rhs = static_cast<long long>(b.right_at_once) * a.answers;
    if (lhs != rhs) return lhs < rhs;
    return a.median_reaction_ms.value_or(-1) > b.median_reaction_ms.value_or(-1);
  });
  return out;
}

std::vector<SessionPoint> FinishedSessions(const QSqlDatabase& db) {
  std::vector<SessionPoint> out;
  QSqlQuery q(db);
  q.setForwardOnly(true);
  q.exec(QStringLiteral("SELECT id, start_utc_ms, end_utc_ms, rating, in_use FROM sessions "
                        "WHERE end_utc_ms IS NOT NULL ORDER BY start_utc_ms, id"));
  while (q.next()) {
    out.push_back({q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(2).toLongLong(), q.value(3).toInt(),
                   q.value(4).toInt()});
  }
  return out;
}

std::vector<DayMinutes> MinutesPerDay(const QSqlDatabase& db) {
  std::map<QDate, double> minutes;
  auto add = [&](std::int64_t start_ms, double mins) {
    if (mins > 0) minutes[QDateTime::fromMSecsSinceEpoch(start_ms).date()] += mins;
  };
  QSqlQuery q(db);
  q.setForwardOnly(true);
  q.exec(QStringLiteral("SELECT start_utc_ms, end_utc_ms FROM sessions WHERE end_utc_ms IS NOT NULL"));
  while (q.next()) add(q.value(0).toLongLong(), (q.value(1).toLongLong() - q.value(0).toLongLong()) / 60000.0);
  q.exec(QStringLiteral("SELECT start_utc_ms, seconds FROM send_runs"));
  while (q.next()) add(q.value(0).toLongLong(), q.value(1).toDouble() / 60.0);
  std::vector<DayMinutes> out;
  for (const auto& [day, m] : minutes) out.push_back({day, m});
  return out;
}

QString LastTeachOrder(const QSqlDatabase& db) {
  QSqlQuery q(db);
  q.exec(QStringLiteral("SELECT teach_order FROM sessions ORDER BY id DESC LIMIT 1"));
  return q.next() ? q.value(0).toString() : QString();
}

std::u16string DrillCharacters(const std::vector<Confusion>& confusions, int pairs) {
  std::map<char16_t, double> weight;
  int taken = 0;
  for (const Confusion& c : confusions) {
    if (taken == pairs) break;
    const bool sent_taught = kTaught.find(c.sent) != std::u16string_view::npos;
    const bool typed_taught = kTaught.find(c.typed) != std::u16string_view::npos;
    if (!sent_taught && !typed_taught) continue;
    ++taken;
    if (sent_taught) weight[c.sent] += c.count;
    if (typed_taught) weight[c.typed] += c.count;
  }
  double total = 0;
  for (const auto& [ch, w] : weight) total += w;
  // Repeats in proportion to the weights, every character at least once,
  // within the 100 characters a draw can reach.
  std::vector<std::pair<char16_t, int>> reps;
  int sum = 0;
  for (const auto& [ch, w] : weight) {
    const int n = std::max(1, static_cast<int>(std::lround(w / total * 100)));
    reps.push_back({ch, n});
    sum += n;
  }
  while (sum > 100) {
    auto most = std::max_element(reps.begin(), reps.end(), [](auto& a, auto& b) { return a.second < b.second; });
    --most->second;
    --sum;
  }
  std::u16string out;
  for (const auto& [ch, n] : reps) out.append(static_cast<std::size_t>(n), ch);
  return out;
}

namespace {

QString KeyText(QChar k) {
  switch (k.unicode()) {
    case 0x08: return QStringLiteral("<BS>");
    case 0x09: return QStringLiteral("<TAB>");
    case 0x0d: return QStringLiteral("<CR>");
    case 0x1b: return QStringLiteral("<ESC>");
    default: break;
  }
  if (ControlKey(k.unicode())) return QStringLiteral("<U+%1>").arg(k.unicode(), 4, 16, QLatin1Char('0'));
  return QString(k);
}

QString CsvField(const QString& s) {
  if (!s.contains(u',') && !s.contains(u'"') && !s.contains(u'\n') && !s.contains(u'\r')) return s;
  QString quoted = s;
  quoted.replace(u'"', QStringLiteral("\"\""));
  return u'"' + quoted + u'"';
}

QString UtcText(const QVariant& ms) {
  if (ms.isNull()) return QString();
  return QDateTime::fromMSecsSinceEpoch(ms.toLongLong(), Qt::UTC).toString(Qt::ISODateWithMs);
}

QString OutcomeText(int outcome) {
  switch (static_cast<Outcome>(outcome)) {
    case Outcome::RightAtOnce: return QStringLiteral("right at once");
    case Outcome::RightAfterWrong: return QStringLiteral("right after a wrong key");
    case Outcome::TimedOut: break;
  }
  return QStringLiteral("timed out");
}

}  // namespace

QByteArray AnswersCsv(const QSqlDatabase& db) {
  QString out = QStringLiteral(
      "session,session_start_utc,sent_utc,sent,keys,outcome,answer_time_allowed_s,reaction_ms\r\n");
  QSqlQuery q(db);
  q.setForwardOnly(true);
  q.exec(QStringLiteral("SELECT a.session_id, s.start_utc_ms, a.utc_ms, a.sent, a.keys, a.outcome, a.allowed_s, "
                        "a.reaction_ms FROM answers a JOIN sessions s ON s.id = a.session_id ORDER BY a.id"));
  while (q.next()) {
    QString keys;
    for (const QChar k : q.value(4).toString()) keys += KeyText(k);
    const QStringList fields = {
        q.value(0).toString(),
        UtcText(q.value(1)),
        UtcText(q.value(2)),
        CsvField(q.value(3).toString()),
        CsvField(keys),
        OutcomeText(q.value(5).toInt()),
        QString::number(q.value(6).toDouble(), 'g', 6),
        q.value(7).isNull() ? QString() : q.value(7).toString(),
    };
    out += fields.join(u',') + QStringLiteral("\r\n");
  }
  return out.toUtf8();
}

}  // namespace progress
