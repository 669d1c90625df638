// What the main window tells the learner's journal: the start and end of a
// teaching session, each answer with its keys and reaction time, and each
// Send Text run with where its text came from. A few calls from the teaching
// and sending handlers; nothing here runs per sample.
#pragma once

#include <QString>
#include <memory>

#include "morse/trainer_state.h"
#include "progress/answer_tracker.h"
#include "progress/journal.h"

class TForm1;

class ProgressRecorder {
 public:
  ProgressRecorder(TForm1& form, std::unique_ptr<progress::Journal> journal);
  ~ProgressRecorder();

  progress::Journal& Journal() { return *journal_; }

  // --- teaching
  void SessionBegin();
  // A character is about to be sent; the previous one's answer is written.
  void CharSending(char16_t c);
  // The character's last mark has just been produced.
  void MarkEnded();
  // The character is all queued; allowed is the answer time it is given.
  void CharSent(double allowed_s);
  void Key(char16_t key, bool right);
  void TimedOut();
  void SessionEnd();
  bool InSession() const { return in_session_; }

  // --- sending: the text now in the main box came from source.
  void MarkTextSource(progress::TextSource source, int practice_number = 0);
  void RunBegin();
  void RunEnd();

 private:
  void FinishAnswer();
  progress::OutputReading Reading() const;

  TForm1& f_;
  std::unique_ptr<progress::Journal> journal_;
  progress::AnswerTracker answer_;
  bool in_session_ = false;

  QString stamped_text_;
  progress::TextSource stamped_source_ = progress::TextSource::Typed;
  int stamped_number_ = 0;
  progress::SendRun run_;
  morse::TimePoint run_start_ = 0;
};
