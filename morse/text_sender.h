// The Send Text loop: walks the main text box character by character and
// plays it as Morse, with the pauses, limits and resume position that the
// window's controls ask for. Everything outside the trainer state (the text
// box, the progress box, the limit boxes, the clock and event pumping) is
// reached through SendHost, once per note or character, never per sample.
#pragma once

#include <cstdint>
#include <string_view>

#include "morse/trainer_state.h"

namespace morse {

class SendHost {
 public:
  virtual ~SendHost() = default;
  virtual TrainerState& State() = 0;
  // The main text box now: line breaks as CR LF, UTF-16 code units. Read
  // afresh whenever a character is needed, as handlers may edit it.
  virtual std::u16string_view CurrentText() = 0;
  virtual void PlayNote(double frequency, double duration, double amplitude) = 0;
  // Handles the pending events once.
  virtual void ProcessMessages() = 0;
  // Handles events until PauseFlag is clear (or the program closes).
  virtual void WaitWhilePaused() = 0;
  // The Pause button's click: a request to toggle the pause.
  virtual void PauseRequest() = 0;
  virtual TimePoint Now() = 0;
  // Clears the progress box and shows how to stop the run.
  virtual void BeginRun() = 0;
  virtual void AppendProgress(char16_t c) = 0;
  virtual std::int32_t ProgressLength() = 0;
  virtual void SetProgressText(std::u16string_view text) = 0;
  virtual std::int32_t PauseAfterChars() = 0;
  virtual std::int32_t PauseAfterMins() = 0;
  virtual std::int32_t ClearAfterChars() = 0;
  virtual bool ClearAfterPause() = 0;
  virtual bool ResumeFromCursor() = 0;
  // The run waits in a pause (true) or goes on after it (false).
  virtual void ShowPaused(bool /*paused*/) {}
  // Drops a pause request that is still pending, whatever its age.
  virtual void CancelPause() { State().PauseFlag = false; }
};

inline constexpr char kPausedStatus[] = "Paused: press Unpause";

inline constexpr char kSendingStatus[] = "You can stop sending with the <Abort/Show text> button";

// Pause requests closer together than this are ignored.
inline constexpr TimePoint kPauseDebounceMs = 500;

// One run from the first character of the text to the last, or until
// SendFlag is cleared: lead-in, then every character with its gaps. The end
// of the run (flush, restoring the text and buttons) is the caller's. An
// error from a note or from event handling ends the run at once.
//
// A pause the run waits in is shown as such. A pause that a limit (after X
// characters or minutes) requested too late to be taken ends with the run:
// it belonged to that run's count. A pause the user asked for, with the
// button or a "|" in the text, stays pending, and the next run says so when
// it stops for it before its first element.
void RunSendText(SendHost& host);

// The Pause button's logic: ignored within kPauseDebounceMs of the last
// accepted toggle; otherwise toggles PauseFlag and stamps PauseStartTime.
// Returns whether the toggle was accepted.
bool TogglePause(TrainerState& st, TimePoint now);

}  // namespace morse
