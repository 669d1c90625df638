// The trainer's state: plain values that the engine, teaching and settings
// routines read and write directly. The main window inherits it, so the
// routines below work on a window and on a bare state in tests alike.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>

namespace morse {

// Milliseconds on a monotonic clock (see clock.h); only differences matter.
using TimePoint = std::int64_t;
// A time point far enough in the past that every "since" test passes.
inline constexpr TimePoint kLongAgo = std::numeric_limits<std::int64_t>::min() / 4;

inline constexpr int kSineTabSize = 1024;
inline constexpr int kCodeTableSize = 64;
inline constexpr int kTeachPositions = 40;

struct TrainerState {
  // Sending engine.
  std::array<double, kSineTabSize> SineTab{};
  std::array<std::string, kCodeTableSize> CodeTable{};  // element strings of "1" and "3"
  std::u16string sentstring;
  std::int32_t Fbase = 0;
  std::int32_t FmessagePos = 0;
  std::int32_t NewMessagePos = 0;
  double FDitLength = 0;
  double Fspeed = 0;
  double Charspace = 0;
  double Wdspace = 0;
  double FFrequency = 0;
  double Speed = 0;
  bool SendFlag = false;
  std::int32_t FarnWPM = 0;
  std::int32_t TrueWPM = 0;
  std::int32_t Freqset = 0;
  bool FastFlag = false;
  bool PauseFlag = false;
  double Nchar = 0;
  double Nword = 0;
  double Risetime = 0;
  double DeltaAmp = 0;
  TimePoint StartTime = 0;
  bool FirstResume = false;
  TimePoint PauseStartTime = kLongAgo;

  // Teach mode.
  bool TeachFlag = false;
  bool TeachGoFlag = false;
  bool ResponseFlag = false;
  std::array<double, kTeachPositions + 1> Errors{};  // positions 1..40; 0 unused
  double Delaytime = 0;
  double StartDelayTime = 0;
  double Emax = 0;
  double Emin = 0;
  double Emaxtrig = 0;
  double Eavtrig = 0;
  std::int32_t Numusing = 0;
  std::int32_t Numtotal = 0;
  double Delerror = 0;
  std::u16string Teachstring;
  std::int32_t ichar = 0;
  double AverageError = 0;
  double MaxCharError = 0;
  double Newflag = 0;
  char16_t Charin = 0;
  bool CorrectChar = false;
  bool Upperflag = false;

  // Random groups.
  std::u16string RandString;

  // Practice texts.
  std::int32_t PracNumber = 0;
  std::int32_t PracHund = 0;
  std::int32_t PracIndex = 0;
};

}  // namespace morse
