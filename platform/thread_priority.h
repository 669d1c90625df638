// Raising the calling thread's scheduling priority for sound work.
#pragma once

namespace platform {

// Asks for real-time scheduling (SCHED_FIFO at a low real-time priority),
// else for a better nice value. Either may be refused without harm; returns
// whether one of them was granted.
bool RaiseThreadPriority();

}  // namespace platform
