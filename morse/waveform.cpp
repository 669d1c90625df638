#include "morse/waveform.h"

#include <cmath>

namespace morse {

// The constants are the trainer's own ten-digit values, not 2*pi and 6*pi:
// 6.283185308 is slightly above 2*pi, which puts entry 512 just below zero.
void BuildStartupSineTab(TrainerState& st) {
  for (int i = 0; i < kSineTabSize; ++i) {
    st.SineTab[i] = std::sin(i * 6.283185308 / 1024) + std::sin(i * 18.849555924 / 1024) / 3;
  }
}

void BuildSineTab(std::array<double, kSineTabSize>& table, std::int32_t harmonics, bool square) {
  table.fill(0.0);
  for (int i = 0; i < kSineTabSize; ++i) {
    for (std::int64_t k = 0; k <= harmonics; ++k) {  // 64-bit: no overflow at INT32_MAX
      const double n = 2.0 * k + 1;
      table[i] = table[i] + std::sin(i * 6.283185308 * n / 1024) / n;
    }
    if (square) {
      if (table[i] > 0) {
        table[i] = 1;
      } else if (table[i] < 0) {
        table[i] = -1;
      }
    }
  }
}

}  // namespace morse
