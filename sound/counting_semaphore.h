// A counting semaphore with a maximum: a release that would pass the maximum
// fails and changes nothing (std::counting_semaphore makes that undefined).
// Used once per buffer, never per sample, so a mutex is cheap enough.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace sound {

class CountingSemaphore {
 public:
  // Throws std::invalid_argument unless 0 <= initial <= maximum.
  CountingSemaphore(std::int32_t initial, std::int32_t maximum);
  CountingSemaphore(const CountingSemaphore&) = delete;
  CountingSemaphore& operator=(const CountingSemaphore&) = delete;

  // False, count unchanged, when the count would pass the maximum or n < 1.
  bool Release(std::int32_t n = 1);
  void Acquire();
  // False when no count became free within the timeout.
  bool TryAcquireFor(std::chrono::steady_clock::duration timeout);
  bool TryAcquire();

  std::int32_t Count() const;
  std::int32_t Maximum() const { return maximum_; }

 private:
  mutable std::mutex mutex_;
  std::condition_variable available_;
  std::int32_t count_;
  const std::int32_t maximum_;
};

}  // namespace sound
