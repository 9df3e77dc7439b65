#include "platform/lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using platform::CriticalSection;
using platform::CriticalSectionGuard;

TEST(CriticalSection, ReEntersOnOwningThread) {
  CriticalSection cs;
  cs.Enter();
  cs.Enter();
  EXPECT_TRUE(cs.TryEnter());
  {
    CriticalSectionGuard guard(cs);
  }
  cs.Leave();
  cs.Leave();
  cs.Leave();
}

TEST(CriticalSection, ExcludesOtherThreads) {
  CriticalSection cs;
  cs.Enter();
  cs.Enter();
  bool other_got_it = true;
  std::thread([&] { other_got_it = cs.TryEnter(); }).join();
  EXPECT_FALSE(other_got_it);
  cs.Leave();
  std::thread([&] { other_got_it = cs.TryEnter(); }).join();
  EXPECT_FALSE(other_got_it);  // still held once
  cs.Leave();
  std::thread([&] {
    other_got_it = cs.TryEnter();
    if (other_got_it) cs.Leave();
  }).join();
  EXPECT_TRUE(other_got_it);
}

TEST(CriticalSection, GuardsCounter) {
  CriticalSection cs;
  long counter = 0;
  std::thread a([&] {
    for (int i = 0; i < 20000; ++i) {
      CriticalSectionGuard g(cs);
      ++counter;
    }
  });
  std::thread b([&] {
    for (int i = 0; i < 20000; ++i) {
      CriticalSectionGuard g(cs);
      CriticalSectionGuard again(cs);  // re-entry
      ++counter;
    }
  });
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);
}

}  // namespace
