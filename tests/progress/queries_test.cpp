// The figures the Progress window shows, from a small hand-made journal.
#include <QDateTime>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include "progress/journal.h"
#include "progress/queries.h"

namespace {

using progress::Confusion;
using progress::Outcome;
using progress::Period;

constexpr std::int64_t kDay = 24LL * 60 * 60 * 1000;

class QueriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    journal = progress::OpenJournal(":memory:", [](const QString& m) { FAIL() << m.toStdString(); });
    ASSERT_TRUE(journal->Database().isValid());
    const std::int64_t first = now - 9 * kDay;
    // An old session: H is confused with S and 5, S once with H; one Backspace.
    journal->BeginSession({first, "hsea", 2, 20, 10, 800});
    Answer(first, u'h', u"h", Outcome::RightAtOnce, 400);
    Answer(first, u'h', u"sH", Outcome::RightAfterWrong, 900);
    Answer(first, u'h', u"s\b5", Outcome::TimedOut, 1200);
    Answer(first, u'h', u"", Outcome::TimedOut, std::nullopt);
    Answer(first, u's', u"s", Outcome::RightAtOnce, 300);
    Answer(first, u's', u"S", Outcome::RightAtOnce, 500);
    Answer(first, u's', u"h", Outcome::TimedOut, 700);
    Answer(first, u'a', u"a", Outcome::RightAtOnce, 100);
    Answer(first, u'a', u"a", Outcome::RightAtOnce, 900);
    Answer(first, u'a', u"a;", Outcome::RightAtOnce, 300);
    journal->EndSession({first + 20 * 60000, 3, 25});
    // Yesterday's session: E taken for I.
    const std::int64_t second = now - kDay;
    journal->BeginSession({second, "hsea", 3, 20, 10, 800});
    Answer(second, u'e', u"i", Outcome::TimedOut, 250);
    Answer(second, u'e', u"e", Outcome::RightAtOnce, 200);
    journal->EndSession({second + 5 * 60000, 4, 31});
    journal->RecordSendRun({second + 10 * 60000, 120, 90, 20, 10, 800, progress::TextSource::Typed, 0});
  }

  void Answer(std::int64_t at, char16_t sent, std::u16string keys, Outcome outcome,
              std::optional<std::int64_t> reaction) {
    journal->RecordAnswer({at, sent, std::move(keys), outcome, 8, reaction});
  }

  progress::Scope In(Period p) const { return {p, now}; }
  QSqlDatabase Db() const { return journal->Database(); }

  std::int64_t now = QDateTime::currentMSecsSinceEpoch();
  std::unique_ptr<progress::Journal> journal;
};

TEST_F(QueriesTest, ConfusionsCountEveryWrongKeyOverTheChosenPeriod) {
  const std::vector<Confusion> all = {
      {u'h', u's', 2}, {u'a', u';', 1}, {u'e', u'i', 1}, {u'h', u'5', 1}, {u's', u'h', 1}};
  EXPECT_EQ(progress::ConfusionCounts(Db(), In(Period::All)), all);
  const std::vector<Confusion> recent = {{u'e', u'i', 1}};
  EXPECT_EQ(progress::ConfusionCounts(Db(), In(Period::LastSession)), recent);
  EXPECT_EQ(progress::ConfusionCounts(Db(), In(Period::Last7Days)), recent);
  EXPECT_EQ(progress::ConfusionText({u'h', u's', 14}), "you typed S for H 14 times");
  EXPECT_EQ(progress::ConfusionText({u'e', u'i', 1}), "you typed I for E 1 time");
}

TEST_F(QueriesTest, CharacterFiguresComeWorstFirstWithMedianReactions) {
  const auto figures = progress::CharacterStats(Db(), In(Period::All));
  ASSERT_EQ(figures.size(), 4u);
  struct Expected {
    char16_t ch;
    int answers, right;
    std::optional<double> median;
  };
  // Medians over answers right at once: one value, the middle of three, the
  // mean of the middle two.
  const Expected expected[] = {{u'h', 4, 1, 400}, {u'e', 2, 1, 200}, {u's', 3, 2, 400}, {u'a', 3, 3, 300}};
  for (std::size_t i = 0; i < figures.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(figures[i].ch, expected[i].ch);
    EXPECT_EQ(figures[i].answers, expected[i].answers);
    EXPECT_EQ(figures[i].right_at_once, expected[i].right);
    EXPECT_EQ(figures[i].median_reaction_ms, expected[i].median);
  }
  const auto last = progress::CharacterStats(Db(), In(Period::LastSession));
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0].ch, u'e');
  EXPECT_DOUBLE_EQ(last[0].RightShare(), 0.5);
}

TEST_F(QueriesTest, SessionsAndMinutesPerDay) {
  journal->BeginSession({now, "hsea", 1, 20, 10, 800});  // still running: not shown
  const auto sessions = progress::FinishedSessions(Db());
  ASSERT_EQ(sessions.size(), 2u);
  EXPECT_EQ(sessions[0].rating, 25);
  EXPECT_EQ(sessions[0].in_use, 3);
  EXPECT_EQ(sessions[1].rating, 31);
  EXPECT_EQ(sessions[1].in_use, 4);
  const auto days = progress::MinutesPerDay(Db());
  ASSERT_EQ(days.size(), 2u);
  EXPECT_EQ(days[0].day, QDateTime::fromMSecsSinceEpoch(now - 9 * kDay).date());
  EXPECT_DOUBLE_EQ(days[0].minutes, 20);
  EXPECT_DOUBLE_EQ(days[1].minutes, 5 + 1.5);  // the session and the 90 s run
  EXPECT_EQ(progress::LastTeachOrder(Db()), "hsea");
}

TEST(DrillCharactersTest, WeighsBothSidesOfTheMostConfusedPairs) {
  // H: 2 + 1 + 1, S: 2 + 1, 5, E, I: 1 each; the semicolon is not taught.
  const std::vector<Confusion> confusions = {
      {u'h', u's', 2}, {u'a', u';', 1}, {u'e', u'i', 1}, {u'h', u'5', 1}, {u's', u'h', 1}};
  const std::u16string chars = progress::DrillCharacters(confusions);
  auto count = [&](char16_t c) { return std::count(chars.begin(), chars.end(), c); };
  EXPECT_EQ(count(u'h'), 36);
  EXPECT_EQ(count(u's'), 27);
  EXPECT_EQ(count(u'a'), 9);
  EXPECT_EQ(count(u'5'), 9);
  EXPECT_EQ(count(u';'), 0);
  EXPECT_LE(chars.size(), 100u);
  // Only the first pair: its two sides alone.
  EXPECT_EQ(progress::DrillCharacters(confusions, 1), std::u16string(50, u'h') + std::u16string(50, u's'));
  // Many light pairs still fit in the 100 characters that can be drawn.
  std::vector<Confusion> many;
  for (char16_t c = u'a'; c <= u'z'; ++c) many.push_back({c, u'0', 1});
  const std::u16string wide = progress::DrillCharacters(many, 40);
  EXPECT_LE(wide.size(), 100u);
  EXPECT_NE(wide.find(u'z'), std::u16string::npos);
  EXPECT_TRUE(progress::DrillCharacters({}).empty());
}

TEST_F(QueriesTest, CsvHasAHeaderAndOneQuotedLinePerAnswer) {
  journal->BeginSession({now, "hsea", 1, 20, 10, 800});
  Answer(now, u',', u"\",", Outcome::RightAfterWrong, 350);
  const QStringList lines = QString::fromUtf8(progress::AnswersCsv(Db())).split("\r\n");
  ASSERT_EQ(lines.size(), 1 + 13 + 1);  // header, answers, the empty end
  EXPECT_EQ(lines[0], "session,session_start_utc,sent_utc,sent,keys,outcome,answer_time_allowed_s,reaction_ms");
  EXPECT_TRUE(lines[3].endsWith(",h,s<BS>5,timed out,8,1200")) << lines[3].toStdString();
  EXPECT_TRUE(lines[4].endsWith(",h,,timed out,8,")) << lines[4].toStdString();
  EXPECT_TRUE(lines[13].endsWith(",\",\",\"\"\",\",right after a wrong key,8,350")) << lines[13].toStdString();
  EXPECT_TRUE(lines[14].isEmpty());
}

}  // namespace
