#include "app/progress_recorder.h"

#include <QDateTime>

#include "app/main_window.h"
#include "sound/out_sound.h"

namespace {

std::int64_t UtcNowMs() { return QDateTime::currentMSecsSinceEpoch(); }

}  // namespace

ProgressRecorder::ProgressRecorder(TForm1& form, std::unique_ptr<progress::Journal> journal)
    : f_(form), journal_(std::move(journal)) {}

ProgressRecorder::~ProgressRecorder() = default;

progress::OutputReading ProgressRecorder::Reading() const {
  progress::OutputReading r;
  r.now_ms = f_.Clock().NowMs();
  if (f_.OutSound1) {
    sound::TOutSound& out = *f_.OutSound1;
    r.frames_played = out.FramesPlayed();
    r.frames_queued = out.FramesQueued();
    r.rate = out.SampRate();
  }
  return r;
}

void ProgressRecorder::SessionBegin() {
  answer_ = progress::AnswerTracker();
  progress::SessionStart s;
  s.start_utc_ms = UtcNowMs();
  s.teach_order = QString::fromStdU16String(f_.Teachstring);
  s.start_count = f_.Numusing;
  s.char_wpm = f_.Fspeed;
  s.text_wpm = f_.Speed;
  s.frequency_hz = f_.FFrequency;
  journal_->BeginSession(s);
  in_session_ = true;
}

void ProgressRecorder::FinishAnswer() {
  if (auto a = answer_.Finish()) journal_->RecordAnswer(*a);
}

void ProgressRecorder::CharSending(char16_t c) {
  if (!in_session_) return;
  FinishAnswer();
  answer_.Start(c, UtcNowMs());
}

void ProgressRecorder::MarkEnded() {
  if (!answer_.Active() || !f_.OutSound1) return;
  const sound::TOutSound& out = *f_.OutSound1;
  // The mark ends where the buffer being filled stands now.
  const std::int64_t frame = out.FramesQueued() + out.BuffIndex() / std::max(1, out.Channels());
  answer_.MarkEnded(frame, Reading());
}

void ProgressRecorder::CharSent(double allowed_s) {
  answer_.SetAllowed(allowed_s);
  answer_.Observe(Reading());
}

void ProgressRecorder::Key(char16_t key, bool right) { answer_.Key(key, right, Reading()); }

void ProgressRecorder::TimedOut() { answer_.TimedOut(); }

void ProgressRecorder::SessionEnd() {
  if (!in_session_) return;
  FinishAnswer();
  in_session_ = false;
  journal_->EndSession({UtcNowMs(), f_.Numusing, f_.MasteryRating()});
}

void ProgressRecorder::MarkTextSource(progress::TextSource source, int practice_number) {
  stamped_text_ = f_.Memo1->Text();
  stamped_source_ = source;
  stamped_number_ = practice_number;
}

void ProgressRecorder::RunBegin() {
  run_ = progress::SendRun();
  run_.start_utc_ms = UtcNowMs();
  run_start_ = f_.Clock().NowMs();
  // Text edited since it was loaded or generated counts as typed.
  if (f_.Memo1->Text() == stamped_text_) {
    run_.source = stamped_source_;
    run_.practice_number = stamped_number_;
  }
}

void ProgressRecorder::RunEnd() {
  run_.chars = static_cast<std::int64_t>(f_.sentstring.size());
  run_.seconds = double(f_.Clock().NowMs() - run_start_) / 1000.0;
  run_.char_wpm = f_.Fspeed;
  run_.text_wpm = f_.Speed;
  run_.frequency_hz = f_.FFrequency;
  journal_->RecordSendRun(run_);
  // The box now holds the text actually sent, from the same source.
  if (run_.source != progress::TextSource::Typed) MarkTextSource(run_.source, run_.practice_number);
}
