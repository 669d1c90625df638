// The learner's journal at 100 000 stored answers: the cost of writing one
// more answer (on the GUI thread, once per answer) and of opening the
// Progress window over them.
#include <QApplication>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "gui/dialogs.h"
#include "progress/journal.h"
#include "windows/progress_window.h"

namespace {

constexpr int kAnswers = 100'000;
constexpr int kPerSession = 50;
const QString kOrder = QStringLiteral("kmrsuaptlowi.njef0y,vg5/q9zh38b?427c1d6x");

// A journal on disk holding kAnswers answers over two years of sessions:
// four in five right at once, the rest after a wrong key or timed out.
struct StoredJournal {
  StoredJournal() {
    path = dir.filePath("Progress.db");
    journal = progress::OpenJournal(path, [](const QString& m) { qFatal("%s", qPrintable(m)); });
    QSqlDatabase db = journal->Database();
    QSqlQuery q(db);
    q.exec("BEGIN");
    QRandomGenerator rng(7);
    const std::int64_t start = QDateTime::currentMSecsSinceEpoch() - 730LL * 24 * 3600 * 1000;
    q.prepare("INSERT INTO sessions(id, start_utc_ms, end_utc_ms, teach_order, start_count, in_use, rating, "
              "char_wpm, text_wpm, frequency_hz) VALUES(?, ?, ?, ?, 2, ?, ?, 20, 12, 700)");
    const int sessions = kAnswers / kPerSession;
    for (int s = 1; s <= sessions; ++s) {
      const std::int64_t at = start + std::int64_t(s) * 730 * 24 * 3600 * 1000 / sessions;
      q.addBindValue(s);
      q.addBindValue(qint64(at));
      q.addBindValue(qint64(at + 15 * 60000));
      q.addBindValue(kOrder);
      q.addBindValue(2 + s * 38 / sessions);
      q.addBindValue(s * 100 / sessions);
      q.exec();
    }
    q.prepare("INSERT INTO answers(session_id, utc_ms, sent, keys, outcome, allowed_s, reaction_ms) "
              "VALUES(?, ?, ?, ?, ?, 6.5, ?)");
    for (int i = 0; i < kAnswers; ++i) {
      const int session = i / kPerSession + 1;
      const QChar sent = kOrder[rng.bounded(kOrder.size())];
      const QChar wrong = kOrder[rng.bounded(kOrder.size())];
      const int roll = rng.bounded(10);
      const int outcome = roll < 8 ? 0 : roll == 8 ? 1 : 2;
      const QString keys = outcome == 0 ? QString(sent) : outcome == 1 ? QString(wrong) + sent : QString(wrong);
      q.addBindValue(session);
      q.addBindValue(qint64(start + qint64(i) * 600000));
      q.addBindValue(QString(sent));
      q.addBindValue(keys);
      q.addBindValue(outcome);
      q.addBindValue(300 + rng.bounded(1500));
      q.exec();
    }
    q.exec("COMMIT");
    journal->BeginSession({QDateTime::currentMSecsSinceEpoch(), kOrder, 2, 20, 12, 700});
  }

  QTemporaryDir dir;
  QString path;
  std::unique_ptr<progress::Journal> journal;
};

StoredJournal& Stored() {
  static StoredJournal stored;
  return stored;
}

const progress::Answer kAnswer{QDateTime::currentMSecsSinceEpoch(), u'k', u"rk", progress::Outcome::RightAfterWrong,
                               6.5, 812};

// One answer as the window records it when a character is over: what the GUI
// thread spends.
void BM_RecordAnswerWith100kStored(benchmark::State& state) {
  progress::Journal& j = *Stored().journal;
  for (auto _ : state) {
    j.RecordAnswer(kAnswer);
    state.PauseTiming();
    j.Database();  // written and synced, off the clock
    state.ResumeTiming();
  }
}
BENCHMARK(BM_RecordAnswerWith100kStored)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(300);

// The same answer until it is synced to disk, on the writer's thread: how
// many answers a second the journal can keep up with.
void BM_AnswerSyncedToDisk(benchmark::State& state) {
  progress::Journal& j = *Stored().journal;
  for (auto _ : state) {
    j.RecordAnswer(kAnswer);
    j.Database();
  }
}
BENCHMARK(BM_AnswerSyncedToDisk)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(300);

// From the menu click to the first frame of the window drawn.
void BM_ProgressWindowFirstDraw(benchmark::State& state) {
  progress::Journal& j = *Stored().journal;
  gui::ScriptedDialogs dialogs;
  for (auto _ : state) {
    TFormProgress window(&j, dialogs);
    window.show();
    benchmark::DoNotOptimize(window.grab());
  }
}
BENCHMARK(BM_ProgressWindowFirstDraw)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// Opening the journal at start-up, integrity check included, with 100 000
// answers stored (a second copy of the file, as the first stays open).
void BM_OpenJournalAtStartup(benchmark::State& state) {
  Stored().journal->Database();
  const QString copy = Stored().dir.filePath("Copy.db");
  {
    QSqlQuery q(Stored().journal->Database());
    q.exec(QStringLiteral("VACUUM INTO '%1'").arg(copy));
  }
  for (auto _ : state) {
    auto j = progress::OpenJournal(copy, [](const QString& m) { qFatal("%s", qPrintable(m)); });
    benchmark::DoNotOptimize(j.get());
  }
}
BENCHMARK(BM_OpenJournalAtStartup)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Each view on its own, to see where the time goes.
void BM_ProgressQueries(benchmark::State& state) {
  const QSqlDatabase db = Stored().journal->Database();
  const progress::Scope all{progress::Period::All, QDateTime::currentMSecsSinceEpoch()};
  for (auto _ : state) {
    switch (state.range(0)) {
      case 0: benchmark::DoNotOptimize(progress::ConfusionCounts(db, all)); break;
      case 1: benchmark::DoNotOptimize(progress::CharacterStats(db, all)); break;
      case 2: benchmark::DoNotOptimize(progress::FinishedSessions(db)); break;
      default: benchmark::DoNotOptimize(progress::MinutesPerDay(db)); break;
    }
  }
}
BENCHMARK(BM_ProgressQueries)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
