// Each fault of the TCP stream as a host sees it on the raw wire, and the
// reply faults over TCP.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "sim_tcp_client.h"
#include "termsim/simulator.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace {

using simtest::Bytes;
using simtest::SimTcpClient;

constexpr uint32_t kQuietMs = 200;
constexpr int kReset = -10054;
constexpr int kRefused = -10061;

class SimStreamFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.StartTcp("127.0.0.1", 0));
    client_ = Connected();
    ASSERT_TRUE(client_->Connect());
  }
  std::unique_ptr<SimTcpClient> Connected() {
    auto c = std::make_unique<SimTcpClient>(sim_.tcp_port());
    EXPECT_TRUE(c->connected()) << c->connect_result();
    return c;
  }
  void Set(void (*change)(termsim::StreamFaults&)) {
    termsim::StreamFaults f;
    change(f);
    sim_.SetStreamFaults(f);
  }
  // A streamed data set: the command answered CMD_PREPARE_DATA, then
  // `chunks` data packets of `chunk` bytes.
  std::vector<uint8_t> StreamedDataSet(uint32_t chunks, uint32_t chunk) {
    std::vector<uint8_t> data(chunks * chunk);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    sim_.SetDataSet(wire::CMD_ATTLOG_RRQ, {}, data);
    termsim::BulkOptions options;
    options.chunk_size = chunk;
    sim_.SetBulkOptions(options);
    return data;
  }

  termsim::Simulator sim_;
  std::unique_ptr<SimTcpClient> client_;
};

TEST_F(SimStreamFaultsTest, CloseLeavesTheRequestUnansweredAndUndone) {
  Set([](termsim::StreamFaults& f) { f.close_after = 1; });
  client_->Send(wire::CMD_OPTIONS_WRQ, 1, Bytes("Volume=2"));
  EXPECT_EQ(client_->WaitClosed(), 0);  // an orderly close
  EXPECT_EQ(client_->pending_bytes(), 0u);
  EXPECT_EQ(sim_.CountReceived(wire::CMD_OPTIONS_WRQ), 1u);
  EXPECT_EQ(sim_.Option("Volume"), "");
  EXPECT_EQ(sim_.stream_faults().close_after, 0);  // once

  // The host connects again and sends the command once more.
  auto again = Connected();
  again->set_connection_id(client_->connection_id());
  const auto a = again->Exchange(wire::CMD_OPTIONS_WRQ, 1, Bytes("Volume=2"));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim_.Option("Volume"), "2");
  EXPECT_EQ(sim_.TcpConnectionsAccepted(), 2u);
  EXPECT_EQ(sim_.SessionCount(), 1u);
}

TEST_F(SimStreamFaultsTest, ResetAfterTheNthRequest) {
  Set([](termsim::StreamFaults& f) { f.reset_after = 2; });
  const auto first = client_->Exchange(wire::CMD_ENABLEDEVICE, 1);
  ASSERT_TRUE(first);  // the first is answered
  client_->Send(wire::CMD_ENABLEDEVICE, 2);
  EXPECT_EQ(client_->WaitClosed(), kReset);
  EXPECT_EQ(sim_.stream_faults().reset_after, 0);
}

TEST_F(SimStreamFaultsTest, ResetDuringATransfersDataPackets) {
  StreamedDataSet(10, 100);
  Set([](termsim::StreamFaults& f) { f.reset_after_data = 3; });
  client_->Send(wire::CMD_ATTLOG_RRQ, 1);
  EXPECT_EQ(client_->WaitClosed(), kReset);
  // What arrived before the reset (a reset may discard some of it).
  int data_packets = 0;
  bool prepared = false;
  while (auto a = client_->Receive(kQuietMs)) {
    if (a->header.code == wire::CMD_PREPARE_DATA) prepared = true;
    if (a->header.code == wire::CMD_DATA) ++data_packets;
  }
  EXPECT_TRUE(prepared || data_packets == 0);
  EXPECT_LE(data_packets, 3);
  EXPECT_EQ(sim_.stream_faults().reset_after_data, 0);

  // A new connection gets the whole transfer.
  auto again = Connected();
  again->set_connection_id(client_->connection_id());
  again->Send(wire::CMD_ATTLOG_RRQ, 2);
  int complete = 0;
  while (auto a = again->Receive(kQuietMs)) complete += a->header.code == wire::CMD_DATA;
  EXPECT_EQ(complete, 10);
}

TEST_F(SimStreamFaultsTest, SplitFramesArriveInPiecesAndWhole) {
  Set([](termsim::StreamFaults& f) {
    f.split_bytes = 5;
    f.split_pause_ms = 50;
  });
  client_->ClearReads();
  const auto a = client_->Exchange(wire::CMD_ENABLEDEVICE, 1);  // a 16-byte frame
  ASSERT_TRUE(a);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
  EXPECT_TRUE(a->checksum_ok);
  ASSERT_GE(client_->reads().size(), 2u);
  EXPECT_LE(client_->reads().front(), 5u);
  EXPECT_EQ(client_->pending_bytes(), 0u);
}

TEST_F(SimStreamFaultsTest, CoalescedReplyAndChunksComeInOneWrite) {
  const auto data = StreamedDataSet(3, 100);
  Set([](termsim::StreamFaults& f) { f.coalesce = true; });
  client_->ClearReads();
  client_->Send(wire::CMD_ATTLOG_RRQ, 1);
  // The prepare reply (frame, header, 8 bytes) and three framed chunks.
  ASSERT_TRUE(client_->Collect((8 + 8 + 8) + 3 * (8 + 8 + 100)));
  EXPECT_EQ(client_->reads().size(), 1u);  // one write, read at once
  const auto prepare = client_->Receive();
  ASSERT_TRUE(prepare);
  EXPECT_EQ(prepare->header.code, wire::CMD_PREPARE_DATA);
  std::vector<uint8_t> got;
  for (int i = 0; i < 3; ++i) {
    const auto chunk = client_->Receive();
    ASSERT_TRUE(chunk);
    EXPECT_EQ(chunk->header.connection_id, i);
    got.insert(got.end(), chunk->payload.begin(), chunk->payload.end());
  }
  EXPECT_EQ(got, data);
}

TEST_F(SimStreamFaultsTest, CoalescedEventWaitsForTheNextReply) {
  std::vector<uint8_t> mask(4);
  wire::ByteWriter(mask).U32(0xFFFF);
  ASSERT_TRUE(client_->Exchange(wire::kEventPacket, 1, mask));
  Set([](termsim::StreamFaults& f) { f.coalesce = true; });
  const uint16_t counter = sim_.PushEvent(termsim::kEventDoor, {1});
  client_->Send(wire::CMD_ENABLEDEVICE, 2);
  const auto event = client_->Receive();
  const auto reply = client_->Receive();
  ASSERT_TRUE(event && reply);
  EXPECT_EQ(event->header.code, wire::kEventPacket);
  EXPECT_EQ(event->header.reply_counter, counter);
  EXPECT_EQ(reply->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(reply->header.reply_counter, 2);
  client_->Send(wire::CMD_ACK_OK, counter);

  // With no reply to join, an event still goes out on its own.
  const uint16_t alone = sim_.PushEvent(termsim::kEventDoor, {2});
  const auto later = client_->Receive(2000);
  ASSERT_TRUE(later);
  EXPECT_EQ(later->header.reply_counter, alone);
}

TEST_F(SimStreamFaultsTest, BadMagicOnTheNextFramesOnly) {
  Set([](termsim::StreamFaults& f) { f.bad_magic = 1; });
  const auto bad = client_->Exchange(wire::CMD_ENABLEDEVICE, 1);
  ASSERT_TRUE(bad);  // the length still tells where it ends
  EXPECT_EQ(client_->last_frame_header(),
            (std::vector<uint8_t>{0x50, 0x50, 0x82, 0x7E, 0x08, 0x00, 0x00, 0x00}));
  EXPECT_EQ(sim_.stream_faults().bad_magic, 0);
  ASSERT_TRUE(client_->Exchange(wire::CMD_ENABLEDEVICE, 2));
  EXPECT_EQ(client_->last_frame_header(),
            (std::vector<uint8_t>{0x50, 0x50, 0x82, 0x7D, 0x08, 0x00, 0x00, 0x00}));
}

TEST_F(SimStreamFaultsTest, OversizeAnnouncesAMegabyteAndSendsThePacket) {
  Set([](termsim::StreamFaults& f) { f.oversize = 1; });
  client_->Send(wire::CMD_ENABLEDEVICE, 1);
  ASSERT_TRUE(client_->Collect(16));
  const auto& raw = client_->pending();
  ASSERT_EQ(raw.size(), 16u);
  EXPECT_EQ(std::vector<uint8_t>(raw.begin(), raw.begin() + 8),
            (std::vector<uint8_t>{0x50, 0x50, 0x82, 0x7D, 0x00, 0x00, 0x10, 0x00}));
  EXPECT_TRUE(wire::ChecksumValid(std::span<const uint8_t>(raw).subspan(8)));
  client_->DropPending();
  ASSERT_TRUE(client_->Exchange(wire::CMD_ENABLEDEVICE, 2));
  EXPECT_EQ(client_->last_frame_header()[6], 0x00);
}

TEST_F(SimStreamFaultsTest, RefuseDropsEveryConnectionUntilListeningAgain) {
  auto other = Connected();
  ASSERT_TRUE(other->Connect());
  const uint16_t port = sim_.tcp_port();
  Set([](termsim::StreamFaults& f) { f.refuse = true; });
  EXPECT_LE(client_->WaitClosed(), 0);
  EXPECT_LE(other->WaitClosed(), 0);
  SimTcpClient refused(port);
  EXPECT_EQ(refused.connect_result(), kRefused);
  EXPECT_TRUE(sim_.stream_faults().refuse);

  sim_.ResumeListening();
  EXPECT_FALSE(sim_.stream_faults().refuse);
  EXPECT_EQ(sim_.tcp_port(), port);
  auto back = Connected();
  EXPECT_TRUE(back->Connect());
  EXPECT_EQ(sim_.TcpConnectionsAccepted(), 3u);
}

TEST_F(SimStreamFaultsTest, ClearingRefuseListensAgain) {
  Set([](termsim::StreamFaults& f) { f.refuse = true; });
  EXPECT_LE(client_->WaitClosed(), 0);
  sim_.SetStreamFaults({});
  auto back = Connected();
  EXPECT_TRUE(back->Connect());
}

TEST_F(SimStreamFaultsTest, ReplyFaultsApplyOverTcp) {
  termsim::Faults f;
  f.drop_replies = 1;
  f.duplicate_replies = 1;
  sim_.SetFaults(f);
  client_->Send(wire::CMD_ENABLEDEVICE, 1);
  EXPECT_FALSE(client_->Receive(kQuietMs));
  const auto a = client_->Exchange(wire::CMD_ENABLEDEVICE, 2);
  const auto b = client_->Receive();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->raw, b->raw);
  EXPECT_FALSE(client_->Receive(kQuietMs));
}

}  // namespace
