#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "platform/event.h"

namespace {

using platform::Thread;

TEST(Thread, StartAndJoin) {
  std::atomic<int> ran{0};
  Thread t;
  EXPECT_FALSE(t.Running());
  ASSERT_TRUE(t.Start([&] { ran = 1; }));
  EXPECT_TRUE(t.Running());
  EXPECT_FALSE(t.IsCurrent());
  t.Join();
  EXPECT_FALSE(t.Running());
  EXPECT_EQ(ran.load(), 1);
}

TEST(Thread, DestructorJoins) {
  std::atomic<bool> done{false};
  {
    Thread t;
    ASSERT_TRUE(t.Start([&] {
      platform::ManualResetEvent ev;
      ev.Wait(30);
      done = true;
    }));
  }
  EXPECT_TRUE(done.load());
}

TEST(Thread, IsCurrentInsideBody) {
  Thread t;
  platform::ManualResetEvent started;
  std::atomic<bool> current{false};
  ASSERT_TRUE(t.Start([&] {
    started.Wait(platform::kInfinite);
    current = t.IsCurrent();
  }));
  started.Set();
  t.Join();
  EXPECT_TRUE(current.load());
}

TEST(Thread, DestroyedFromItsOwnThreadDetaches) {
  auto holder = std::make_shared<std::unique_ptr<Thread>>(std::make_unique<Thread>());
  // Shared, because the detached thread may still be inside Set() when the
  // test returns.
  auto go = std::make_shared<platform::ManualResetEvent>();
  auto finished = std::make_shared<platform::ManualResetEvent>();
  ASSERT_TRUE((*holder)->Start([holder, go, finished] {
    go->Wait(platform::kInfinite);
    holder->reset();  // ~Thread on its own thread: must not join itself
    finished->Set();
  }));
  go->Set();
  EXPECT_TRUE(finished->Wait(10000));
}

TEST(Thread, MoveAndDetach) {
  platform::ManualResetEvent done;
  Thread a;
  ASSERT_TRUE(a.Start([&] { done.Set(); }));
  Thread b(std::move(a));
  EXPECT_FALSE(a.Running());
  EXPECT_TRUE(b.Running());
  Thread c;
  c = std::move(b);
  EXPECT_TRUE(c.Running());
  c.Join();
  EXPECT_TRUE(done.IsSet());

  auto ev = std::make_shared<platform::ManualResetEvent>();
  Thread d;
  ASSERT_TRUE(d.Start([ev] { ev->Set(); }));
  d.Detach();
  EXPECT_FALSE(d.Running());
  EXPECT_TRUE(ev->Wait(10000));
}

}  // namespace
