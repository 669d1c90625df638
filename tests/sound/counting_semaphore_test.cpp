#include "sound/counting_semaphore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <stdexcept>

namespace sound {
namespace {

using namespace std::chrono_literals;

TEST(SoundSemaphoreTest, ReleaseBeyondTheMaximumFailsAndChangesNothing) {
  CountingSemaphore sem(2, 3);
  EXPECT_TRUE(sem.Release());
  EXPECT_EQ(sem.Count(), 3);
  EXPECT_FALSE(sem.Release());
  EXPECT_FALSE(sem.Release(0));
  EXPECT_EQ(sem.Count(), 3);

  CountingSemaphore partial(1, 3);
  EXPECT_FALSE(partial.Release(3)) << "a release that would pass the maximum adds nothing";
  EXPECT_EQ(partial.Count(), 1);
  EXPECT_TRUE(partial.Release(2));
  EXPECT_EQ(partial.Count(), 3);
}

TEST(SoundSemaphoreTest, WaitsTakeOneEachAndTimeOutWhenNoneIsFree) {
  CountingSemaphore sem(1, 1);
  EXPECT_TRUE(sem.TryAcquireFor(0ms));
  EXPECT_FALSE(sem.TryAcquire());
  EXPECT_FALSE(sem.TryAcquireFor(20ms));
  EXPECT_EQ(sem.Count(), 0);

  auto waiter = std::async(std::launch::async, [&] { sem.Acquire(); });
  EXPECT_EQ(waiter.wait_for(50ms), std::future_status::timeout);
  EXPECT_TRUE(sem.Release());
  EXPECT_EQ(waiter.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(sem.Count(), 0);
}

TEST(SoundSemaphoreTest, CountsOutsideTheirRangeAreRefused) {
  EXPECT_THROW(CountingSemaphore(4, 3), std::invalid_argument);
  EXPECT_THROW(CountingSemaphore(-1, 3), std::invalid_argument);
}

}  // namespace
}  // namespace sound
