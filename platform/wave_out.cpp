#include "platform/wave_out.h"

#include <algorithm>
#include <utility>

namespace platform {

std::string_view CommonErrorText(MMRESULT code) {
  switch (code) {
    case MMSYSERR_NOERROR:
      return "The operation completed successfully.";
    case MMSYSERR_BADDEVICEID:
      return "There is no sound output device with that number.";
    case MMSYSERR_INVALHANDLE:
      return "The sound output handle is not valid.";
    case MMSYSERR_NOMEM:
      return "There is not enough memory for the sound output.";
    case MMSYSERR_INVALPARAM:
      return "A parameter passed to the sound output is not valid.";
    case WAVERR_BADFORMAT:
      return "The sound output device cannot play this format.";
    case WAVERR_STILLPLAYING:
      return "The sound output device is still playing buffers.";
    case WAVERR_UNPREPARED:
      return "The sound buffer was not prepared.";
    default:
      return {};
  }
}

std::string BoundErrorText(std::string text) {
  constexpr std::size_t kMax = MAXERRORLENGTH - 1;
  if (text.size() <= kMax) return text;
  std::size_t cut = kMax;
  // Back off continuation bytes so the cut falls on a character boundary.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return text;
}

std::string DurationText(std::chrono::milliseconds duration) {
  const long long ms = std::max<long long>(0, duration.count());
  if (ms == 1000) return "1 second";
  std::string text = std::to_string(ms / 1000);
  if (long long frac = ms % 1000; frac != 0) {
    std::string digits = std::to_string(1000 + frac).substr(1);  // three digits
    while (digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return text + " seconds";
}

WaveFormatEx Pcm16Format(std::uint32_t samplesPerSec, std::uint16_t channels) {
  WaveFormatEx f;
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = samplesPerSec;
  f.nBlockAlign = static_cast<std::uint16_t>(channels * 2u);
  f.nAvgBytesPerSec = samplesPerSec * f.nBlockAlign;
  f.wBitsPerSample = 16;
  f.cbSize = 0;
  return f;
}

}  // namespace platform
