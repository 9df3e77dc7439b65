// The simulator pushing events: the packet it sends, resends until the host
// acknowledges, and giving up after the set number of resends.
#include "events/event_push.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "wire/codes.h"
#include "wire/packet.h"

namespace termsim {
namespace {

class EventPushTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        pusher.Start([this](std::span<const uint8_t> datagram, const platform::net::SockAddrV4&) {
          std::lock_guard lock(mu);
          sent.emplace_back(datagram.begin(), datagram.end());
        }));
    target.client = platform::net::SockAddrV4::Loopback(40000);
    target.session_id = 7;
  }
  size_t SentCount() {
    std::lock_guard lock(mu);
    return sent.size();
  }

  std::mutex mu;
  std::vector<std::vector<uint8_t>> sent;
  EventTarget target;
  EventPusher pusher;  // stopped first
};

TEST_F(EventPushTest, PacketCarriesKindAndCounter) {
  EXPECT_EQ(pusher.Push({target}, kEventDoor, std::vector<uint8_t>{1, 2}), 1);
  EXPECT_EQ(pusher.Push({target}, kEventDoor, {}), 2);
  ASSERT_EQ(SentCount(), 2u);
  const auto view = wire::ParsePacket(sent[0]);
  ASSERT_TRUE(view);
  EXPECT_TRUE(wire::ChecksumValid(sent[0]));
  EXPECT_EQ(view->header.code, wire::kEventPacket);
  EXPECT_EQ(view->header.connection_id, kEventDoor);
  EXPECT_EQ(view->header.reply_counter, 1);
  EXPECT_EQ(std::vector<uint8_t>(view->payload.begin(), view->payload.end()),
            (std::vector<uint8_t>{1, 2}));
}

TEST_F(EventPushTest, ResentUntilAcknowledgedThenDroppedAfterTheLastResend) {
  EventSettings settings;
  settings.resend_ms = 30;
  settings.max_resends = 2;
  pusher.SetSettings(settings);
  const uint16_t acked = pusher.Push({target}, kEventAlarm, {});
  pusher.Acknowledge(target.client, acked);
  pusher.Push({target}, kEventAlarm, {});  // never acknowledged
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (pusher.counts().pending > 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const EventPushCounts counts = pusher.counts();
  EXPECT_EQ(counts.acknowledged, 1u);
  EXPECT_EQ(counts.resent, 2u);
  EXPECT_EQ(counts.pending, 0u);
  EXPECT_EQ(SentCount(), 4u);
}

TEST_F(EventPushTest, AcknowledgementFromAnotherHostDoesNotCount) {
  const uint16_t counter = pusher.Push({target}, kEventAlarm, {});
  pusher.Acknowledge(platform::net::SockAddrV4::Loopback(40001), counter);
  EXPECT_EQ(pusher.counts().acknowledged, 0u);
  EXPECT_EQ(pusher.counts().pending, 1u);
}

}  // namespace
}  // namespace termsim
