// Each injected fault does what it says, and only that.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "sim_client.h"
#include "termsim/simulator.h"
#include "wire/codes.h"

namespace {

using simtest::Bytes;
using simtest::SimClient;

// How long a test waits to be sure that no answer comes.
constexpr uint32_t kQuietMs = 200;

class SimFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.StartUdp("127.0.0.1", 0));
    client_ = std::make_unique<SimClient>(sim_.udp_port());
    ASSERT_TRUE(client_->Connect());
  }

  void Set(void (*change)(termsim::Faults&)) {
    termsim::Faults f;
    change(f);
    sim_.SetFaults(f);
  }

  termsim::Simulator sim_;
  std::unique_ptr<SimClient> client_;
};

TEST_F(SimFaultsTest, DropNextReplies) {
  Set([](termsim::Faults& f) { f.drop_replies = 2; });
  client_->Send(wire::CMD_OPTIONS_WRQ, 1, Bytes("Volume=4"));
  EXPECT_FALSE(client_->Receive(kQuietMs));
  client_->Send(wire::CMD_OPTIONS_WRQ, 1, Bytes("Volume=4"));
  EXPECT_FALSE(client_->Receive(kQuietMs));
  EXPECT_EQ(sim_.faults().drop_replies, 0);
  // The command was carried out with the first packet; the third copy is
  // answered.
  EXPECT_EQ(sim_.Option("Volume"), "4");
  auto a = client_->Exchange(wire::CMD_OPTIONS_WRQ, 1, Bytes("Volume=4"));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim_.CountReceived(wire::CMD_OPTIONS_WRQ), 3u);
}

TEST_F(SimFaultsTest, DuplicateReplies) {
  Set([](termsim::Faults& f) { f.duplicate_replies = 1; });
  auto a = client_->Exchange(wire::CMD_ENABLEDEVICE, 1);
  auto b = client_->Receive();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->raw, b->raw);
  EXPECT_TRUE(client_->Exchange(wire::CMD_ENABLEDEVICE, 2));
  EXPECT_FALSE(client_->Receive(kQuietMs));
}

TEST_F(SimFaultsTest, LateReplyLetsOthersPass) {
  Set([](termsim::Faults& f) {
    f.late_replies = 1;
    f.late_ms = 400;
  });
  // The host gives up on attempt 1 and sends the same packet again; the
  // repeat is answered at once, and the late answer to attempt 1 follows.
  client_->Send(wire::CMD_GET_FREE_SIZES, 1);
  client_->Send(wire::CMD_GET_FREE_SIZES, 1);
  client_->Send(wire::CMD_ENABLEDEVICE, 2);
  auto repeat = client_->Receive();
  auto other = client_->Receive();
  auto late = client_->Receive(2000);
  ASSERT_TRUE(repeat && other && late);
  EXPECT_EQ(repeat->header.reply_counter, 1);
  EXPECT_EQ(other->header.reply_counter, 2);
  EXPECT_EQ(late->raw, repeat->raw);
  EXPECT_EQ(sim_.faults().late_replies, 0);
}

TEST_F(SimFaultsTest, CorruptChecksum) {
  Set([](termsim::Faults& f) { f.corrupt_replies = 1; });
  auto bad = client_->Exchange(wire::CMD_ENABLEDEVICE, 1);
  ASSERT_TRUE(bad);
  EXPECT_FALSE(bad->checksum_ok);
  EXPECT_EQ(bad->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(bad->header.reply_counter, 1);
  auto good = client_->Exchange(wire::CMD_ENABLEDEVICE, 1);
  ASSERT_TRUE(good);
  EXPECT_TRUE(good->checksum_ok);
}

TEST_F(SimFaultsTest, StaleSequenceNumber) {
  Set([](termsim::Faults& f) { f.stale_replies = 1; });
  auto stale = client_->Exchange(wire::CMD_ENABLEDEVICE, 10);
  ASSERT_TRUE(stale);
  EXPECT_TRUE(stale->checksum_ok);
  EXPECT_TRUE(wire::CounterOlder(stale->header.reply_counter, 10));
  EXPECT_EQ(stale->header.reply_counter, 8);
  // Across the 16-bit wrap as well.
  Set([](termsim::Faults& f) { f.stale_replies = 1; });
  auto wrapped = client_->Exchange(wire::CMD_ENABLEDEVICE, 1);
  ASSERT_TRUE(wrapped);
  EXPECT_TRUE(wire::CounterOlder(wrapped->header.reply_counter, 1));
  auto fresh = client_->Exchange(wire::CMD_ENABLEDEVICE, 2);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->header.reply_counter, 2);
}

TEST_F(SimFaultsTest, RetryIsNotApplied) {
  Set([](termsim::Faults& f) { f.retry_replies = 1; });
  auto busy = client_->Exchange(wire::CMD_OPTIONS_WRQ, 5, Bytes("Volume=3"));
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->header.code, wire::CMD_ACK_RETRY);
  EXPECT_EQ(busy->header.reply_counter, 5);
  EXPECT_EQ(sim_.Option("Volume"), "");
  // The same packet again is carried out.
  auto done = client_->Exchange(wire::CMD_OPTIONS_WRQ, 5, Bytes("Volume=3"));
  ASSERT_TRUE(done);
  EXPECT_EQ(done->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim_.Option("Volume"), "3");
}

TEST_F(SimFaultsTest, Silent) {
  Set([](termsim::Faults& f) { f.silent = true; });
  client_->Send(wire::CMD_OPTIONS_WRQ, 1, Bytes("Volume=2"));
  EXPECT_FALSE(client_->Receive(kQuietMs));
  EXPECT_EQ(sim_.CountReceived(wire::CMD_OPTIONS_WRQ), 1u);
  EXPECT_EQ(sim_.Option("Volume"), "");
  sim_.SetFaults({});
  EXPECT_TRUE(client_->Exchange(wire::CMD_OPTIONS_WRQ, 1, Bytes("Volume=2")));
}

// Which of 40 commands sent at once are answered under a random drop.
std::set<uint16_t> AnsweredUnderRandomDrop(termsim::Simulator& sim, SimClient& client,
                                           uint16_t first) {
  termsim::Faults f;
  f.drop_ratio = 0.5;
  f.seed = 7;
  sim.SetFaults(f);
  for (uint16_t i = 0; i < 40; ++i) client.Send(wire::CMD_ENABLEDEVICE, first + i);
  std::set<uint16_t> answered;
  while (auto a = client.Receive(kQuietMs)) answered.insert(a->header.reply_counter - first);
  return answered;
}

TEST_F(SimFaultsTest, RandomDropIsSeeded) {
  const auto once = AnsweredUnderRandomDrop(sim_, *client_, 100);
  const auto twice = AnsweredUnderRandomDrop(sim_, *client_, 200);
  EXPECT_GT(once.size(), 5u);
  EXPECT_LT(once.size(), 35u);
  EXPECT_EQ(once, twice);
}

}  // namespace
