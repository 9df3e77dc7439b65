#include "platform/wakeup.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/socket.h"
#include "platform/tick.h"

namespace {

using namespace platform::net;

// A UDP socket on loopback that nothing sends to: waits on it only end by
// time-out or wake-up.
Socket QuietSocket() {
  Socket s = Socket::Open(Socket::Kind::kDatagram);
  EXPECT_TRUE(s.Valid());
  EXPECT_EQ(s.Bind(SockAddrV4::Loopback(0)), 0);
  return s;
}

TEST(Wakeup, SignalFromAnotherThreadEndsTheWaitAtOnce) {
  Wakeup wakeup;
  ASSERT_TRUE(wakeup.Valid());
  Socket s = QuietSocket();
  std::thread signaller([&] {
    platform::SleepMs(50);
    wakeup.Signal();
  });
  const uint32_t start = platform::TickCount();
  EXPECT_EQ(s.WaitReadable(10000, wakeup), 2);
  EXPECT_LT(platform::TicksSince(start), 5000u);
  signaller.join();
}

TEST(Wakeup, APendingSignalEndsTheNextWaitUntilDrained) {
  Wakeup wakeup;
  Socket s = QuietSocket();
  wakeup.Signal();
  wakeup.Signal();  // signals do not pile up into more than one wake-up
  EXPECT_EQ(s.WaitReadable(10000, wakeup), 2);
  EXPECT_EQ(s.WaitReadable(10000, wakeup), 2);
  wakeup.Drain();
  EXPECT_EQ(s.WaitReadable(20, wakeup), 0);
}

TEST(Wakeup, ADatagramStillReadsAsReadable) {
  Wakeup wakeup;
  Socket s = QuietSocket();
  SockAddrV4 where;
  ASSERT_EQ(s.LocalAddress(&where), 0);
  Socket sender = Socket::Open(Socket::Kind::kDatagram);
  const uint8_t byte = 7;
  ASSERT_EQ(sender.SendTo({&byte, 1}, where), 1);
  EXPECT_EQ(s.WaitReadable(5000, wakeup), 1);
}

}  // namespace
