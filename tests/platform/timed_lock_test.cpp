#include "platform/timed_lock.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/tick.h"

namespace {

using platform::TimedLock;
using platform::TimedLockHolder;

TEST(TimedLock, GivesUpAfterItsLimitWhileHeld) {
  TimedLock lock;
  ASSERT_TRUE(lock.TryLockFor(0));
  const uint32_t start = platform::TickCount();
  EXPECT_FALSE(lock.TryLockFor(60));
  EXPECT_GE(platform::TicksSince(start), 50u);
  lock.Unlock();
  EXPECT_TRUE(lock.TryLockFor(0));
  lock.Unlock();
}

TEST(TimedLock, HolderReleasesAtEndOfScope) {
  TimedLock lock;
  {
    TimedLockHolder hold(lock, 0);
    EXPECT_TRUE(hold.owns());
    TimedLockHolder second(lock, 10);
    EXPECT_FALSE(second.owns());
  }
  TimedLockHolder again(lock, 0);
  EXPECT_TRUE(again.owns());
}

TEST(TimedLock, WaiterTakesItWhenReleased) {
  TimedLock lock;
  lock.Lock();
  bool taken = false;
  std::thread waiter([&] {
    taken = lock.TryLockFor(5000);
    if (taken) lock.Unlock();
  });
  platform::SleepMs(30);
  lock.Unlock();
  waiter.join();
  EXPECT_TRUE(taken);
}

}  // namespace
