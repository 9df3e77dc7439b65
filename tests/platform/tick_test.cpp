#include "platform/tick.h"

#include <gtest/gtest.h>

namespace {

TEST(Tick, DiffIsWrapSafe) {
  EXPECT_EQ(platform::TickDiff(5, 0xFFFFFFF0u), 21);
  EXPECT_EQ(platform::TickDiff(0xFFFFFFF0u, 5), -21);
  EXPECT_EQ(platform::TickDiff(100, 100), 0);
  static_assert(platform::TickDiff(5, 0xFFFFFFF0u) == 21);
}

TEST(Tick, AdvancesAcrossSleep) {
  const uint32_t start = platform::TickCount();
  platform::SleepMs(50);
  const uint32_t elapsed = platform::TicksSince(start);
  EXPECT_GE(elapsed, 45u);
  EXPECT_LT(elapsed, 5000u);
  EXPECT_GE(platform::TickDiff(platform::TickCount(), start), 45);
}

TEST(Tick, SleepZeroReturns) {
  const uint32_t start = platform::TickCount();
  platform::SleepMs(0);
  EXPECT_LT(platform::TicksSince(start), 5000u);
}

}  // namespace
