#include "morse/timing.h"

namespace morse {

void DeriveTiming(TrainerState& st) {
  st.FDitLength = 1.2 / st.Speed;
  st.Charspace = 2 * st.FDitLength;
  st.Wdspace = 4 * st.FDitLength;
  if (st.Speed >= st.Fspeed) return;

  // PARIS spans 50 dits at the character speed, 31 of them marks and element
  // gaps; at the text speed it must span 50 * Fspeed / Speed, which leaves x
  // dits of spacing shared 3/19 to each character gap and 7/19 to the word
  // gap. The sender already plays one dit after each element and Charspace
  // after each character, the space included.
  st.Nchar = 3;
  st.Nword = 7;
  st.FDitLength = 1.2 / st.Fspeed;
  const double x = 50 * st.Fspeed / st.Speed - 31;
  st.Charspace = (x * st.Nchar / 19 - 1) * st.FDitLength;
  st.Wdspace = x * (st.Nword / 19) * st.FDitLength - 2 * st.Charspace - st.FDitLength;
}

}  // namespace morse
