#include "platform/thread_priority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace platform {

namespace {

// Above every ordinary thread, well below the kernel's own real-time work.
constexpr int kRealTimePriority = 10;
constexpr int kNiceFallback = -10;

}  // namespace

bool RaiseThreadPriority() {
  sched_param param{};
  param.sched_priority = std::min(kRealTimePriority, sched_get_priority_max(SCHED_FIFO));
  if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0) return true;
  return setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kNiceFallback) == 0;
}

}  // namespace platform
