#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/tick.h"

namespace {

using platform::ManualResetEvent;

TEST(Event, InitialState) {
  ManualResetEvent off;
  EXPECT_FALSE(off.IsSet());
  ManualResetEvent on(true);
  EXPECT_TRUE(on.IsSet());
  EXPECT_TRUE(on.Wait(0));
  EXPECT_TRUE(on.Wait(platform::kInfinite));
}

TEST(Event, TimedWaitTimesOut) {
  ManualResetEvent ev;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ev.Wait(100));
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  EXPECT_GE(took.count(), 95);
  EXPECT_LT(took.count(), 5000);
}

TEST(Event, ZeroWaitDoesNotBlock) {
  ManualResetEvent ev;
  const uint32_t start = platform::TickCount();
  EXPECT_FALSE(ev.Wait(0));
  EXPECT_LT(platform::TicksSince(start), 2000u);
}

TEST(Event, SetReleasesEveryWaiter) {
  ManualResetEvent ev;
  constexpr int kWaiters = 6;
  std::atomic<int> released{0};
  std::atomic<int> started{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kWaiters; ++i) {
    threads.emplace_back([&] {
      started.fetch_add(1);
      if (ev.Wait(platform::kInfinite)) released.fetch_add(1);
    });
  }
  while (started.load() < kWaiters) std::this_thread::yield();
  platform::SleepMs(20);  // let them block (not required for correctness)
  EXPECT_EQ(released.load(), 0);
  ev.Set();
  for (auto& t : threads) t.join();
  EXPECT_EQ(released.load(), kWaiters);
  EXPECT_TRUE(ev.IsSet());  // stays set
  EXPECT_TRUE(ev.Wait(0));
}

TEST(Event, TimedWaitersReleasedBySet) {
  ManualResetEvent ev;
  std::atomic<int> released{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&] {
      if (ev.Wait(30000)) released.fetch_add(1);
    });
  }
  platform::SleepMs(20);
  ev.Set();
  for (auto& t : threads) t.join();
  EXPECT_EQ(released.load(), 4);
}

TEST(Event, ResetMakesWaitsBlockAgain) {
  ManualResetEvent ev(true);
  ev.Reset();
  EXPECT_FALSE(ev.IsSet());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ev.Wait(50));
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start)
                .count(),
            45);
  ev.Set();
  EXPECT_TRUE(ev.Wait(50));
}

}  // namespace
