// Follows one teaching character from its sending to the next one: the keys
// typed for it, its outcome and the reaction time.
//
// The reaction time runs from the moment the end of the character's last
// mark is heard to the first key. Where it is heard comes from the sound
// output's own count of frames played: while the device is still playing
// (fewer frames played than queued), the mark's frame index tells how far
// ahead of or behind the present it lies at the speaker. A device that
// cannot tell reports everything queued as played; the mark then counts as
// heard when it was produced.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "progress/journal.h"

namespace progress {

// A reading of the sound output at one moment.
struct OutputReading {
  std::int64_t now_ms = 0;  // the trainer's clock
  std::int64_t frames_played = 0;
  std::int64_t frames_queued = 0;
  std::int32_t rate = 44100;
};

class AnswerTracker {
 public:
  // A character is being sent at utc_ms.
  void Start(char16_t sent, std::int64_t utc_ms);
  bool Active() const { return active_; }
  // The last mark of the character has just been produced; frame is its end
  // (counted like FramesQueued, the frames produced but not queued included).
  void MarkEnded(std::int64_t frame, const OutputReading& reading);
  // A later look at the output, such as once the character is all queued.
  void Observe(const OutputReading& reading);
  void SetAllowed(double seconds) { allowed_s_ = seconds; }
  void Key(char16_t key, bool right, const OutputReading& reading);
  void TimedOut();
  // The finished record, and the tracker idle again; none when idle.
  std::optional<Answer> Finish();

  // When the end of the last mark is (or was) heard, on the trainer's clock.
  std::optional<std::int64_t> HeardMs() const;

 private:
  bool active_ = false;
  Answer answer_;
  bool decided_ = false;
  bool wrong_before_right_ = false;
  double allowed_s_ = 0;
  std::optional<std::int64_t> mark_frame_;
  std::int64_t mark_produced_ms_ = 0;
  std::optional<double> heard_ms_;  // from a live reading
  std::optional<std::int64_t> first_key_ms_;
};

}  // namespace progress
