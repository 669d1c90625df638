#include "windows/progress_window.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDir>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "gui/error_report.h"
#include "gui/text_file.h"

namespace {

// The order rows fall back to before any session has named one.
const QString kDefaultOrder = QStringLiteral("abcdefghijklmnopqrstuvwxyz1234567890.,?/");

QString Shown(char16_t c) { return QString(QChar(c)).toUpper(); }

QChartView* MakeView(QChart*& chart, const QString& title) {
  chart = new QChart;
  chart->setTitle(title);
  chart->legend()->hide();
  chart->setMargins(QMargins(4, 4, 4, 4));
  auto* view = new QChartView(chart);
  view->setRenderHint(QPainter::Antialiasing);
  return view;
}

void ClearChart(QChart* chart) {
  chart->removeAllSeries();
  for (QAbstractAxis* axis : chart->axes()) {
    chart->removeAxis(axis);
    delete axis;
  }
}

// Bars of values over category labels, on a value axis from 0 to top.
void SetBars(QChart* chart, const QStringList& labels, const QList<qreal>& values, double top,
             const QColor& colour) {
  ClearChart(chart);
  auto* set = new QBarSet(QString());
  set->append(values);
  set->setColor(colour);
  auto* series = new QBarSeries;
  series->append(set);
  chart->addSeries(series);
  auto* x = new QBarCategoryAxis;
  x->append(labels);
  auto* y = new QValueAxis;
  y->setRange(0, top);
  y->applyNiceNumbers();
  y->setLabelFormat(QStringLiteral("%.0f"));
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  series->attachAxis(x);
  series->attachAxis(y);
}

}  // namespace

ConfusionMap::ConfusionMap(QWidget* parent) : QWidget(parent) { setMinimumSize(320, 320); }

void ConfusionMap::SetData(const QString& rows, const QString& columns,
                           const std::vector<progress::Confusion>& confusions) {
  rows_ = rows;
  columns_ = columns;
  counts_.clear();
  max_ = 0;
  for (const auto& c : confusions) {
    counts_[{c.sent, c.typed}] += c.count;
    max_ = std::max(max_, counts_[{c.sent, c.typed}]);
  }
  update();
}

int ConfusionMap::Count(QChar sent, QChar typed) const {
  const auto it = counts_.find({sent.toLower().unicode(), typed.toLower().unicode()});
  return it == counts_.end() ? 0 : it->second;
}

void ConfusionMap::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().base());
  if (rows_.isEmpty() || columns_.isEmpty()) {
    p.drawText(rect(), Qt::AlignCenter, QStringLiteral("No confusions in this period."));
    return;
  }
  const int margin = 28;  // room for the headers
  const double cw = double(width() - margin - 4) / columns_.size();
  const double ch = double(height() - margin - 4) / rows_.size();
  QFont f = font();
  f.setPixelSize(std::clamp(int(std::min(cw, ch) * 0.7), 7, 13));
  p.setFont(f);
  p.setPen(palette().text().color());
  for (int c = 0; c < columns_.size(); ++c) {
    p.drawText(QRectF(margin + c * cw, 0, cw, margin), Qt::AlignCenter, Shown(columns_[c].unicode()));
  }
  for (int r = 0; r < rows_.size(); ++r) {
    const QRectF label(0, margin + r * ch, margin, ch);
    p.drawText(label, Qt::AlignCenter, Shown(rows_[r].unicode()));
    for (int c = 0; c < columns_.size(); ++c) {
      const QRectF cell(margin + c * cw, margin + r * ch, cw, ch);
      const int n = Count(rows_[r], columns_[c]);
      if (rows_[r] == columns_[c]) {
        p.fillRect(cell, QColor(235, 235, 235));
      } else if (n > 0) {
        // Light orange for a single slip up to deep red for the worst pair.
        const double t = max_ > 1 ? std::log(double(n)) / std::log(double(max_)) : 1.0;
        const QColor colour = QColor::fromHsvF(0.08 - 0.08 * t, 0.25 + 0.75 * t, 1.0 - 0.25 * t);
        p.fillRect(cell, colour);
        if (cw >= 14 && ch >= 10) {
          p.setPen(t > 0.6 ? Qt::white : Qt::black);
          p.drawText(cell, Qt::AlignCenter, QString::number(n));
          p.setPen(palette().text().color());
        }
      }
      p.setPen(QColor(220, 220, 220));
      p.drawRect(cell);
      p.setPen(palette().text().color());
    }
  }
}

TFormProgress::TFormProgress(progress::Journal* journal, gui::Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), journal_(journal), dialogs_(dialogs) {
  setWindowTitle(QStringLiteral("Progress"));
  resize(980, 640);

  Summary = new QLabel(this);
  cbPeriod = new QComboBox(this);
  cbPeriod->addItems({QStringLiteral("Last session"), QStringLiteral("Last 7 days"), QStringLiteral("All")});
  cbPeriod->setCurrentIndex(2);
  btnDrill = new QPushButton(QStringLiteral("Drill my confusions"), this);
  btnDrill->setToolTip(QStringLiteral("Fill the main text box with groups of the characters you confuse most"));
  btnExport = new QPushButton(QStringLiteral("Export answers as CSV..."), this);

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("Period:"), this));
  top->addWidget(cbPeriod);
  top->addWidget(Summary, 1);
  top->addWidget(btnDrill);
  top->addWidget(btnExport);

  Tabs = new QTabWidget(this);
  auto* confusions = new QWidget;
  HeatMap = new ConfusionMap(confusions);
  TopPairs = new QListWidget(confusions);
  TopPairs->setMaximumWidth(300);
  auto* caption = new QLabel(QStringLiteral("Rows: the character sent. Columns: the key you typed for it."),
                             confusions);
  auto* mapColumn = new QVBoxLayout;
  mapColumn->addWidget(caption);
  mapColumn->addWidget(HeatMap, 1);
  auto* side = new QVBoxLayout;
  side->addWidget(new QLabel(QStringLiteral("Most confused:"), confusions));
  side->addWidget(TopPairs, 1);
  auto* confusionsLayout = new QHBoxLayout(confusions);
  confusionsLayout->addLayout(mapColumn, 1);
  confusionsLayout->addLayout(side);
  Tabs->addTab(confusions, QStringLiteral("Confusions"));

  auto* characters = new QWidget;
  auto* charactersLayout = new QVBoxLayout(characters);
  charactersLayout->addWidget(MakeView(RightChart, QStringLiteral("Answered right at once (%), worst first")));
  charactersLayout->addWidget(MakeView(ReactionChart, QStringLiteral("Median reaction time (ms)")));
  Tabs->addTab(characters, QStringLiteral("Characters"));

  auto* sessions = new QWidget;
  auto* sessionsLayout = new QVBoxLayout(sessions);
  sessionsLayout->addWidget(MakeView(RatingChart, QStringLiteral("Mastery rating and characters in use per session")));
  sessionsLayout->addWidget(MakeView(MinutesChart, QStringLiteral("Minutes practised per day")));
  RatingChart->legend()->show();
  Tabs->addTab(sessions, QStringLiteral("Sessions"));

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(Tabs, 1);

  gui::On(cbPeriod, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
  gui::On(btnDrill, &QPushButton::clicked, this, [this] { DrillClick(); });
  gui::On(btnExport, &QPushButton::clicked, this, [this] { ExportClick(); });
  Refresh();
}

progress::Period TFormProgress::ChosenPeriod() const {
  switch (cbPeriod->currentIndex()) {
    case 0: return progress::Period::LastSession;
    case 1: return progress::Period::Last7Days;
    default: return progress::Period::All;
  }
}

void TFormProgress::Refresh() {
  const QSqlDatabase db = journal_ ? journal_->Database() : QSqlDatabase();
  const bool readable = db.isValid() && db.isOpen();
  btnExport->setEnabled(readable);
  if (!readable) {
    Summary->setText(QStringLiteral("No progress journal is open, so there is nothing to show."));
    confusions_.clear();
    HeatMap->SetData(QString(), QString(), {});
    TopPairs->clear();
    for (QChart* chart : {RightChart, ReactionChart, RatingChart, MinutesChart}) ClearChart(chart);
    btnDrill->setEnabled(false);
    return;
  }
  const progress::Scope scope{ChosenPeriod(), QDateTime::currentMSecsSinceEpoch()};
  ShowConfusions(db, scope);
  ShowCharacters(db, scope);
  ShowSessions(db);
  Summary->setText(journal_->FilePath());
}

void TFormProgress::ShowConfusions(const QSqlDatabase& db, progress::Scope scope) {
  confusions_ = progress::ConfusionCounts(db, scope);
  QString order = progress::LastTeachOrder(db);
  if (order.isEmpty()) order = kDefaultOrder;
  // Rows: the characters confused, in the teaching order; columns: the
  // teaching order's characters that were typed for them or are rows, then
  // any other key.
  QString rows, columns, extra;
  auto sent = [&](QChar c) {
    return std::any_of(confusions_.begin(), confusions_.end(), [&](auto& x) { return x.sent == c; });
  };
  auto typed = [&](QChar c) {
    return std::any_of(confusions_.begin(), confusions_.end(), [&](auto& x) { return x.typed == c; });
  };
  for (const QChar c : order) {
    if (sent(c)) rows += c;
  }
  for (const auto& x : confusions_) {
    if (!order.contains(QChar(x.sent)) && !rows.contains(QChar(x.sent))) rows += QChar(x.sent);
    if (!order.contains(QChar(x.typed)) && !extra.contains(QChar(x.typed))) extra += QChar(x.typed);
  }
  for (const QChar c : order) {
    if (typed(c) || rows.contains(c)) columns += c;
  }
  std::sort(extra.begin(), extra.end());
  HeatMap->SetData(rows, columns + extra, confusions_);
  TopPairs->clear();
  for (std::size_t i = 0; i < confusions_.size() && i < 10; ++i) TopPairs->addItem(progress::ConfusionText(confusions_[i]));
  btnDrill->setEnabled(progress::DrillCharacters(confusions_).size() >= 2);
}

void TFormProgress::ShowCharacters(const QSqlDatabase& db, progress::Scope scope) {
  const auto figures = progress::CharacterStats(db, scope);
  QStringList labels;
  QList<qreal> shares, medians;
  double slowest = 0;
  for (const auto& f : figures) {
    labels << Shown(f.ch);
    shares << 100.0 * f.RightShare();
    medians << f.median_reaction_ms.value_or(0);
    slowest = std::max(slowest, f.median_reaction_ms.value_or(0));
  }
  SetBars(RightChart, labels, shares, 100, QColor(50, 205, 50));
  SetBars(ReactionChart, labels, medians, slowest > 0 ? std::ceil(slowest / 500) * 500 : 1000, QColor(70, 130, 180));
}

void TFormProgress::ShowSessions(const QSqlDatabase& db) {
  ClearChart(RatingChart);
  const auto sessions = progress::FinishedSessions(db);
  auto* rating = new QLineSeries;
  rating->setName(QStringLiteral("Mastery rating"));
  auto* inUse = new QLineSeries;
  inUse->setName(QStringLiteral("Characters in use"));
  for (std::size_t i = 0; i < sessions.size(); ++i) {
    rating->append(double(i + 1), sessions[i].rating);
    inUse->append(double(i + 1), sessions[i].in_use);
  }
  RatingChart->addSeries(rating);
  RatingChart->addSeries(inUse);
  // Whole session numbers only, about ten of them however many sessions.
  const double n = std::max<double>(1, sessions.size());
  auto* x = new QValueAxis;
  x->setRange(0.5, n + 0.5);
  x->setTickType(QValueAxis::TicksDynamic);
  x->setTickAnchor(1);
  x->setTickInterval(std::max(1.0, std::ceil(n / 10)));
  x->setLabelFormat(QStringLiteral("%d"));
  x->setTitleText(QStringLiteral("Session"));
  auto* y = new QValueAxis;
  y->setRange(0, 100);
  y->setLabelFormat(QStringLiteral("%d"));
  RatingChart->addAxis(x, Qt::AlignBottom);
  RatingChart->addAxis(y, Qt::AlignLeft);
  for (QLineSeries* s : {rating, inUse}) {
    s->setPointsVisible(sessions.size() < 60);
    s->attachAxis(x);
    s->attachAxis(y);
  }

  const auto days = progress::MinutesPerDay(db);
  QStringList labels;
  QList<qreal> minutes;
  double most = 0;
  // The latest 60 days keep the bars readable.
  for (std::size_t i = days.size() > 60 ? days.size() - 60 : 0; i < days.size(); ++i) {
    labels << days[i].day.toString(QStringLiteral("MM-dd"));
    minutes << days[i].minutes;
    most = std::max(most, days[i].minutes);
  }
  SetBars(MinutesChart, labels, minutes, most > 0 ? std::ceil(most / 10) * 10 : 10, QColor(255, 165, 0));
}

void TFormProgress::DrillClick() {
  const std::u16string chars = progress::DrillCharacters(confusions_);
  if (chars.size() < 2) {
    dialogs_.ShowMessage(QStringLiteral("There are not enough confusions in this period to drill yet."));
    return;
  }
  if (OnDrill) OnDrill(chars);
}

void TFormProgress::ExportClick() {
  const QSqlDatabase db = journal_ ? journal_->Database() : QSqlDatabase();
  if (!db.isValid()) return;
  const QString path = dialogs_.SaveFileName(QDir::currentPath(), QStringLiteral("CSV files (*.csv)"));
  if (path.isEmpty()) return;
  gui::WriteFileAtomically(path, progress::AnswersCsv(db));
}
