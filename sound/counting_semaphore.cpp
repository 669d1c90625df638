#include "sound/counting_semaphore.h"

#include <stdexcept>

namespace sound {

CountingSemaphore::CountingSemaphore(std::int32_t initial, std::int32_t maximum)
    : count_(initial), maximum_(maximum) {
  if (initial < 0 || maximum < initial)
    throw std::invalid_argument("A semaphore needs 0 <= initial count <= maximum count.");
}

bool CountingSemaphore::Release(std::int32_t n) {
  // Notified under the lock: a waiter that wakes may destroy the semaphore
  // right away, and the releaser must be done with it by then.
  std::lock_guard lock(mutex_);
  if (n < 1 || n > maximum_ - count_) return false;
  count_ += n;
  if (n == 1)
    available_.notify_one();
  else
    available_.notify_all();
  return true;
}

void CountingSemaphore::Acquire() {
  std::unique_lock lock(mutex_);
  available_.wait(lock, [&] { return count_ > 0; });
  --count_;
}

bool CountingSemaphore::TryAcquireFor(std::chrono::steady_clock::duration timeout) {
  std::unique_lock lock(mutex_);
  if (!available_.wait_until(lock, std::chrono::steady_clock::now() + timeout,
                             [&] { return count_ > 0; }))
    return false;
  --count_;
  return true;
}

bool CountingSemaphore::TryAcquire() {
  std::lock_guard lock(mutex_);
  if (count_ == 0) return false;
  --count_;
  return true;
}

std::int32_t CountingSemaphore::Count() const {
  std::lock_guard lock(mutex_);
  return count_;
}

}  // namespace sound
