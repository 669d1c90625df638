#include "progress/answer_tracker.h"

#include <cmath>

namespace progress {

void AnswerTracker::Start(char16_t sent, std::int64_t utc_ms) {
  *this = AnswerTracker();
  active_ = true;
  answer_.sent = sent;
  answer_.utc_ms = utc_ms;
}

void AnswerTracker::MarkEnded(std::int64_t frame, const OutputReading& reading) {
  if (!active_) return;
  mark_frame_ = frame;
  mark_produced_ms_ = reading.now_ms;
  Observe(reading);
}

void AnswerTracker::Observe(const OutputReading& r) {
  if (!active_ || !mark_frame_ || r.rate <= 0) return;
  // Only a device still playing has a clock running; the latest such
  // reading is the closest to the truth.
  if (r.frames_played >= r.frames_queued) return;
  heard_ms_ = r.now_ms + double(*mark_frame_ - r.frames_played) * 1000.0 / r.rate;
}

std::optional<std::int64_t> AnswerTracker::HeardMs() const {
  if (!mark_frame_) return std::nullopt;
  if (heard_ms_) return std::llround(*heard_ms_);
  return mark_produced_ms_;
}

void AnswerTracker::Key(char16_t key, bool right, const OutputReading& reading) {
  if (!active_) return;
  if (!first_key_ms_) {
    first_key_ms_ = reading.now_ms;
    Observe(reading);
  }
  answer_.keys.push_back(key);
  if (decided_) return;
  if (right) {
    decided_ = true;
    answer_.outcome = wrong_before_right_ ? Outcome::RightAfterWrong : Outcome::RightAtOnce;
  } else {
    wrong_before_right_ = true;
  }
}

void AnswerTracker::TimedOut() {
  if (!active_ || decided_) return;
  decided_ = true;
  answer_.outcome = Outcome::TimedOut;
}

std::optional<Answer> AnswerTracker::Finish() {
  if (!active_) return std::nullopt;
  Answer a = answer_;
  // Stopped before it was answered or timed out: no right key came.
  if (!decided_) a.outcome = Outcome::TimedOut;
  a.allowed_s = allowed_s_;
  const auto heard = HeardMs();
  if (first_key_ms_ && heard) a.reaction_ms = *first_key_ms_ - *heard;
  *this = AnswerTracker();
  return a;
}

}  // namespace progress
