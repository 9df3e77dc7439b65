// The connect and writability waits that a wake-up cuts short.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/socket.h"
#include "platform/tick.h"
#include "platform/wakeup.h"

namespace {

using namespace platform::net;

// A listener that never accepts, with its queue filled: the kernel drops
// further connection requests, so a connect to it stays pending. False when
// this kernel refuses instead (then the tests that need it are skipped).
bool FullListener(Socket* listener, SockAddrV4* where, std::vector<Socket>* fillers) {
  *listener = Socket::Open(Socket::Kind::kStream);
  EXPECT_TRUE(listener->Valid());
  EXPECT_EQ(listener->Bind(SockAddrV4::Loopback(0)), 0);
  EXPECT_EQ(listener->Listen(0), 0);
  EXPECT_EQ(listener->LocalAddress(where), 0);
  for (int i = 0; i < 16; ++i) {
    fillers->push_back(Socket::Open(Socket::Kind::kStream));
    const int rc = fillers->back().Connect(*where, 100);
    if (rc == -kETimedOut) {
      fillers->pop_back();
      return true;
    }
    if (rc != 0) return false;
  }
  return false;
}

TEST(SocketConnect, RefusedGivesConnRefused) {
  SockAddrV4 where;
  {
    Socket probe = Socket::Open(Socket::Kind::kStream);
    ASSERT_EQ(probe.Bind(SockAddrV4::Loopback(0)), 0);
    ASSERT_EQ(probe.LocalAddress(&where), 0);
  }
  Wakeup wakeup;
  Socket client = Socket::Open(Socket::Kind::kStream);
  EXPECT_EQ(client.Connect(where, 4000, wakeup), -kEConnRefused);
}

TEST(SocketConnect, SucceedsAndLeavesBlockingMode) {
  Socket listener = Socket::Open(Socket::Kind::kStream);
  ASSERT_EQ(listener.Bind(SockAddrV4::Loopback(0)), 0);
  ASSERT_EQ(listener.Listen(4), 0);
  SockAddrV4 where;
  ASSERT_EQ(listener.LocalAddress(&where), 0);
  Wakeup wakeup;
  Socket client = Socket::Open(Socket::Kind::kStream);
  ASSERT_EQ(client.Connect(where, 4000, wakeup), 0);
  Socket accepted = listener.Accept(nullptr);
  ASSERT_TRUE(accepted.Valid());
  const uint8_t byte = 5;
  ASSERT_EQ(accepted.Send({&byte, 1}), 1);
  uint8_t got = 0;
  EXPECT_EQ(client.Recv({&got, 1}), 1);  // blocking: waits for the byte
  EXPECT_EQ(got, 5);
}

TEST(SocketConnect, SignalCutsAPendingConnectShort) {
  Socket listener;
  SockAddrV4 where;
  std::vector<Socket> fillers;
  if (!FullListener(&listener, &where, &fillers)) GTEST_SKIP() << "kernel refuses on a full queue";

  Wakeup wakeup;
  std::thread signaller([&] {
    platform::SleepMs(50);
    wakeup.Signal();
  });
  Socket client = Socket::Open(Socket::Kind::kStream);
  const uint32_t start = platform::TickCount();
  EXPECT_EQ(client.Connect(where, 10000, wakeup), -kEIntr);
  EXPECT_LT(platform::TicksSince(start), 5000u);  // far below the time-out
  signaller.join();
}

TEST(SocketConnect, PendingSignalEndsItAtOnceAndTimeOutStillCounts) {
  Socket listener;
  SockAddrV4 where;
  std::vector<Socket> fillers;
  if (!FullListener(&listener, &where, &fillers)) GTEST_SKIP() << "kernel refuses on a full queue";

  Wakeup wakeup;
  wakeup.Signal();
  Socket cut = Socket::Open(Socket::Kind::kStream);
  EXPECT_EQ(cut.Connect(where, 10000, wakeup), -kEIntr);

  wakeup.Drain();
  Socket slow = Socket::Open(Socket::Kind::kStream);
  EXPECT_EQ(slow.Connect(where, 100, wakeup), -kETimedOut);
}

TEST(SocketConnect, WaitWritableEndsOnSignal) {
  Socket listener;
  SockAddrV4 where;
  std::vector<Socket> fillers;
  if (!FullListener(&listener, &where, &fillers)) GTEST_SKIP() << "kernel refuses on a full queue";
  // A connect that never completes leaves a socket that never turns writable.
  Socket pending = Socket::Open(Socket::Kind::kStream);
  ASSERT_EQ(pending.Connect(where, 50), -kETimedOut);

  Wakeup wakeup;
  EXPECT_EQ(pending.WaitWritable(50, wakeup), 0);
  std::thread signaller([&] {
    platform::SleepMs(50);
    wakeup.Signal();
  });
  const uint32_t start = platform::TickCount();
  EXPECT_EQ(pending.WaitWritable(10000, wakeup), 2);
  EXPECT_LT(platform::TicksSince(start), 5000u);
  signaller.join();

  // A connected socket with room is writable at once.
  Socket open_listener = Socket::Open(Socket::Kind::kStream);
  ASSERT_EQ(open_listener.Bind(SockAddrV4::Loopback(0)), 0);
  ASSERT_EQ(open_listener.Listen(4), 0);
  SockAddrV4 open_where;
  ASSERT_EQ(open_listener.LocalAddress(&open_where), 0);
  Socket client = Socket::Open(Socket::Kind::kStream);
  ASSERT_EQ(client.Connect(open_where, 4000), 0);
  wakeup.Drain();
  EXPECT_EQ(client.WaitWritable(1000, wakeup), 1);
}

}  // namespace
