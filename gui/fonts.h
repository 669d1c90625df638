#pragma once

namespace gui {

// The design's fonts are Windows fonts; map them onto the closest shapes
// this system has. The names the program stores stay as set.
void SubstituteFonts();

}  // namespace gui
