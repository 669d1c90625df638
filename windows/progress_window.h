// The Progress window: what the learner's journal holds, in three views
// (confusions, characters, sessions), with a drill of the confusions and an
// export of the answers. It only reads the journal.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

#include "gui/dialogs.h"
#include "progress/journal.h"
#include "progress/queries.h"

class QChart;
class QChartView;

// A grid of character sent (rows) against key typed (columns), each cell
// shaded by how often that key was typed for that character.
class ConfusionMap : public QWidget {
  Q_OBJECT
 public:
  explicit ConfusionMap(QWidget* parent = nullptr);
  void SetData(const QString& rows, const QString& columns, const std::vector<progress::Confusion>& confusions);
  const QString& Rows() const { return rows_; }
  const QString& Columns() const { return columns_; }
  int Count(QChar sent, QChar typed) const;
  QSize sizeHint() const override { return {560, 520}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString rows_;
  QString columns_;
  std::map<std::pair<char16_t, char16_t>, int> counts_;
  int max_ = 0;
};

class TFormProgress : public QWidget {
  Q_OBJECT
 public:
  // journal may be nullptr; the window then says there is nothing to show.
  TFormProgress(progress::Journal* journal, gui::Dialogs& dialogs, QWidget* parent = nullptr);

  // Reads the journal again and redraws every view.
  void Refresh();
  // Fills the main text box with drill groups; set by the main window.
  std::function<void(const std::u16string& chars)> OnDrill;

  void DrillClick();
  void ExportClick();
  progress::Period ChosenPeriod() const;

  QLabel* Summary = nullptr;
  QComboBox* cbPeriod = nullptr;
  QTabWidget* Tabs = nullptr;
  ConfusionMap* HeatMap = nullptr;
  QListWidget* TopPairs = nullptr;
  QPushButton* btnDrill = nullptr;
  QPushButton* btnExport = nullptr;
  QChart* RightChart = nullptr;     // share right at once per character
  QChart* ReactionChart = nullptr;  // median reaction time per character
  QChart* RatingChart = nullptr;    // rating and characters in use per session
  QChart* MinutesChart = nullptr;   // minutes practised per day

 private:
  void ShowConfusions(const QSqlDatabase& db, progress::Scope scope);
  void ShowCharacters(const QSqlDatabase& db, progress::Scope scope);
  void ShowSessions(const QSqlDatabase& db);

  progress::Journal* journal_;
  gui::Dialogs& dialogs_;
  std::vector<progress::Confusion> confusions_;
};
