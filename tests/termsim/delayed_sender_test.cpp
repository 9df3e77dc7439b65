// The simulator's timer queue for late replies, on its own: posts that
// arrive while the queue's thread waits for the earliest one (and grow the
// queue under it) are all sent, in order of their due times.
#include "links/delayed_sender.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

TEST(DelayedSender, PostsDuringAWaitAreSentInDueOrder) {
  std::mutex mu;
  std::condition_variable done;
  std::vector<uint8_t> sent;
  termsim::DelayedSender sender;
  ASSERT_TRUE(sender.Start([&](const std::vector<uint8_t>& datagram, const auto&) {
    std::lock_guard lock(mu);
    sent.push_back(datagram.at(0));
    done.notify_all();
  }));
  const platform::net::SockAddrV4 to = platform::net::SockAddrV4::Loopback(9);
  constexpr int kPosts = 64;
  // The first is due first; the rest come while the thread waits for it,
  // each later than the one before, so the queue grows many times.
  sender.Post(200, {0}, to);
  for (int i = 1; i < kPosts; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));  // let the thread wait again
    sender.Post(250 + i, {static_cast<uint8_t>(i)}, to);
  }

  std::unique_lock lock(mu);
  ASSERT_TRUE(done.wait_for(lock, std::chrono::seconds(10), [&] { return sent.size() == kPosts; }));
  for (int i = 0; i < kPosts; ++i) EXPECT_EQ(sent[i], i);
}

}  // namespace
