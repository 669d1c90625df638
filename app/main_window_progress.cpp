// The learner's journal at start-up, the Progress window and its drill.
#include "app/main_window.h"
#include "app/progress_recorder.h"
#include "gui/error_report.h"
#include "morse/random_groups.h"
#include "windows/progress_window.h"

void TForm1::OpenProgressJournal() {
  // Problems with the journal never stop teaching or sending: they are told
  // in a box that does not wait for its answer.
  progress::Reporter report = [this](const QString& message) { Dialogs().Notify(message); };
  std::unique_ptr<progress::Journal> journal = services_.journal
                                                   ? services_.journal(report)
                                                   : progress::OpenJournal(progress::kJournalFileName, report);
  Recorder = std::make_unique<ProgressRecorder>(*this, std::move(journal));
  gui::On(Progress1, &QAction::triggered, this, [this] { Progress1Click(); });
}

void TForm1::Progress1Click() {
  if (!Recorder) return;
  if (!FormProgress) {
    FormProgress = new TFormProgress(&Recorder->Journal(), Dialogs(), this);
    FormProgress->OnDrill = [this](const std::u16string& chars) { DrillConfusions(chars); };
  } else {
    FormProgress->Refresh();
  }
  FormProgress->show();
  FormProgress->raise();
  FormProgress->activateWindow();
}

void TForm1::RefreshProgress() {
  if (FormProgress && FormProgress->isVisible()) FormProgress->Refresh();
}

void TForm1::DrillConfusions(const std::u16string& chars) {
  // The main box belongs to teaching and to a running text while they last.
  if (TeachFlag || SendFlag) {
    Dialogs().ShowMessage(QStringLiteral("Drill groups can be made once teaching or sending has stopped."));
    return;
  }
  const std::int64_t groups = seGroups2Gen->Value();
  const std::u16string problem = morse::GroupsInputProblem(chars, groups);
  if (!problem.empty()) {
    Dialogs().ShowMessage(gui::FromView(problem));
    return;
  }
  if (gui::Shown(Memo2)) {
    Memo2->hide();
    CheckBox2->setChecked(false);
  }
  Random().Randomize();
  Memo1->SetText(gui::FromView(morse::GenerateGroups(chars, groups, false, Random())));
  Memo1->show();
  Recorder->MarkTextSource(progress::TextSource::Groups);
  StatusBar1->SetSimpleText(QStringLiteral("Groups of the characters you confuse most are in the box: press <Send Text>."));
}
