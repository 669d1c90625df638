// A SendHost for tests: renders every note into one sample vector, records
// the notes, and runs scripted actions when a given note starts, as event
// handlers would run while that note plays. Its clock moves only when told:
// by a script, or by one second for each pause the user lifts.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "morse/code_table.h"
#include "morse/text_sender.h"
#include "morse/timing.h"
#include "morse/tone.h"
#include "morse/trainer_state.h"
#include "morse/waveform.h"

namespace morse::testing {

struct PlayedNote {
  double frequency;
  double duration;
  double amplitude;
  std::size_t samples;  // rendered, fall included
};

class FakeSendHost : public SendHost {
 public:
  static constexpr std::int32_t kSampRate = 44100;

  // The trainer at the given speeds with the start-up waveform and a 5 ms ramp.
  explicit FakeSendHost(std::u16string text, double charWpm = 20, double textWpm = 20)
      : text(std::move(text)) {
    CodeTableInitialize(st);
    BuildStartupSineTab(st);
    st.Fspeed = charWpm;
    st.Speed = textWpm;
    st.FFrequency = 800;
    DeriveTiming(st);
    st.Risetime = 0.005;
    st.SendFlag = true;
  }

  TrainerState& State() override { return st; }
  std::u16string_view CurrentText() override { return text; }

  void PlayNote(double frequency, double duration, double amplitude) override {
    const std::size_t index = notes.size();
    notes.push_back({frequency, duration, amplitude, 0});
    if (auto it = atNote.find(index); it != atNote.end()) it->second();
    const std::size_t before = samples.size();
    RenderNote(st, kSampRate, frequency, duration, amplitude,
               [this](std::int16_t v) { samples.push_back(v); });
    notes[index].samples = samples.size() - before;
  }

  void ProcessMessages() override { ++pumps; }

  void WaitWhilePaused() override {
    waits.push_back(notes.size());
    if (onWait) onWait();
    now += 1000;  // the user clicks Unpause a second later
    TogglePause(st, now);
  }

  void PauseRequest() override {
    requests.push_back(st.FmessagePos);
    if (acceptPauses) TogglePause(st, now);
  }

  TimePoint Now() override { return now; }
  void BeginRun() override {
    progress.clear();
    ++runs;
  }
  void AppendProgress(char16_t c) override { progress += c; }
  std::int32_t ProgressLength() override { return static_cast<std::int32_t>(progress.size()); }
  void SetProgressText(std::u16string_view t) override { progress = t; }
  std::int32_t PauseAfterChars() override { return pauseAfterChars; }
  std::int32_t PauseAfterMins() override { return pauseAfterMins; }
  std::int32_t ClearAfterChars() override { return clearAfterChars; }
  bool ClearAfterPause() override { return clearAfterPause; }
  bool ResumeFromCursor() override { return resumeFromCursor; }
  void ShowPaused(bool p) override { paused.push_back(p); }

  // The notes as tokens: "L" lead-in, "1"/"3" marks in dits, "." element
  // gap, "C" Charspace, "W" Wdspace; "?" for anything else.
  std::string Tokens() const {
    std::string out;
    for (std::size_t i = 0; i < notes.size(); ++i) {
      const PlayedNote& n = notes[i];
      if (n.amplitude != 0) {
        out += n.duration == st.FDitLength ? "1" : n.duration == 3 * st.FDitLength ? "3" : "?";
      } else if (i == 0 && n.duration == 3 * st.FDitLength) {
        out += "L";
      } else if (n.duration == st.FDitLength) {
        out += ".";
      } else if (n.duration == st.Charspace) {
        out += "C";
      } else if (n.duration == st.Wdspace) {
        out += "W";
      } else {
        out += "?";
      }
    }
    return out;
  }

  TrainerState st;
  std::u16string text;
  std::u16string progress;
  std::vector<std::int16_t> samples;
  std::vector<PlayedNote> notes;
  std::map<std::size_t, std::function<void()>> atNote;  // run as note i starts
  std::function<void()> onWait;                         // run while paused
  std::vector<std::size_t> waits;                       // notes played before each wait
  std::vector<std::int32_t> requests;                   // FmessagePos at each request
  std::vector<bool> paused;                             // each ShowPaused
  bool acceptPauses = true;
  TimePoint now = 0;
  int pumps = 0;
  int runs = 0;
  std::int32_t pauseAfterChars = 0;
  std::int32_t pauseAfterMins = 0;
  std::int32_t clearAfterChars = 0;
  bool clearAfterPause = false;
  bool resumeFromCursor = false;
};

}  // namespace morse::testing
