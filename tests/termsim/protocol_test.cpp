// The simulated terminal's answers to single commands.
#include <gtest/gtest.h>

#include <memory>

#include "sim_client.h"
#include "termsim/simulator.h"
#include "wire/auth.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace {

using simtest::Bytes;
using simtest::SimClient;

class SimProtocolTest : public ::testing::Test {
 protected:
  void Start(termsim::Profile profile = {}) {
    sim_ = std::make_unique<termsim::Simulator>(profile);
    ASSERT_TRUE(sim_->StartUdp("127.0.0.1", 0));
    ASSERT_NE(sim_->udp_port(), 0);
    client_ = std::make_unique<SimClient>(sim_->udp_port());
  }
  void SetUp() override { Start(); }

  std::unique_ptr<termsim::Simulator> sim_;
  std::unique_ptr<SimClient> client_;
};

TEST_F(SimProtocolTest, ConnectAssignsConnectionNumber) {
  auto a = client_->Connect();
  ASSERT_TRUE(a);
  EXPECT_TRUE(a->checksum_ok);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
  EXPECT_NE(a->header.connection_id, 0);
  EXPECT_EQ(a->header.reply_counter, 0);

  SimClient second(sim_->udp_port());
  auto b = second.Connect();
  ASSERT_TRUE(b);
  EXPECT_NE(b->header.connection_id, 0);
  EXPECT_NE(b->header.connection_id, a->header.connection_id);

  EXPECT_EQ(sim_->CountReceived(wire::CMD_CONNECT), 2u);
  EXPECT_EQ(sim_->SessionCount(), 2u);
  const auto first = sim_->Received().front();
  const std::vector<uint8_t> connect_packet = {0xE8, 0x03, 0x17, 0xFC, 0, 0, 0, 0};
  EXPECT_EQ(first.raw, connect_packet);
  EXPECT_TRUE(first.checksum_ok);
}

TEST_F(SimProtocolTest, RepliesCarryConnectionAndEchoCounter) {
  ASSERT_TRUE(client_->Connect());
  auto a = client_->Exchange(wire::CMD_ENABLEDEVICE, 0x1234);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(a->header.connection_id, client_->connection_id());
  EXPECT_EQ(a->header.reply_counter, 0x1234);
}

TEST_F(SimProtocolTest, RepeatedConnectKeepsTheSession) {
  auto a = client_->Connect();
  auto b = client_->Connect();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->raw, b->raw);
  EXPECT_EQ(sim_->SessionCount(), 1u);
}

TEST_F(SimProtocolTest, ExitEndsTheSession) {
  ASSERT_TRUE(client_->Connect());
  auto a = client_->Exchange(wire::CMD_EXIT, 1);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim_->SessionCount(), 0u);
}

TEST_F(SimProtocolTest, PasswordAccepted) {
  termsim::Profile profile;
  profile.comm_password = 123456;
  Start(profile);
  auto a = client_->Connect();
  ASSERT_TRUE(a);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_UNAUTH);
  const uint16_t id = a->header.connection_id;
  ASSERT_NE(id, 0);

  auto refused = client_->Exchange(wire::kFirmwareVersion, 1);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->header.code, wire::CMD_ACK_UNAUTH);

  const auto key = wire::MakeAuthKey(123456, id, 0x9C);
  auto auth = client_->Exchange(wire::CMD_AUTH, 2, {key.begin(), key.end()});
  ASSERT_TRUE(auth);
  EXPECT_EQ(auth->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(auth->header.connection_id, id);

  auto fw = client_->Exchange(wire::kFirmwareVersion, 3);
  ASSERT_TRUE(fw);
  EXPECT_EQ(fw->header.code, wire::CMD_ACK_OK);
}

TEST_F(SimProtocolTest, PasswordRefused) {
  termsim::Profile profile;
  profile.comm_password = 123456;
  Start(profile);
  auto a = client_->Connect();
  ASSERT_TRUE(a);
  const auto wrong = wire::MakeAuthKey(654321, a->header.connection_id, 0x10);
  auto auth = client_->Exchange(wire::CMD_AUTH, 1, {wrong.begin(), wrong.end()});
  ASSERT_TRUE(auth);
  EXPECT_EQ(auth->header.code, wire::CMD_ACK_UNAUTH);

  auto short_key = client_->Exchange(wire::CMD_AUTH, 2, {1, 2});
  ASSERT_TRUE(short_key);
  EXPECT_EQ(short_key->header.code, wire::CMD_ACK_UNAUTH);

  auto still = client_->Exchange(wire::CMD_OPTIONS_RRQ, 3, Bytes("DeviceName"));
  ASSERT_TRUE(still);
  EXPECT_EQ(still->header.code, wire::CMD_ACK_UNAUTH);

  // Leaving is allowed without the password.
  auto bye = client_->Exchange(wire::CMD_EXIT, 4);
  ASSERT_TRUE(bye);
  EXPECT_EQ(bye->header.code, wire::CMD_ACK_OK);
}

TEST_F(SimProtocolTest, FirmwareText) {
  termsim::Profile profile;
  profile.firmware = "Ver 6.4.1(build 99)";
  for (const auto& [p, text] :
       {std::make_pair(termsim::Profile{}, std::string("Ver 6.60 Oct 26 2009")),
        std::make_pair(profile, profile.firmware)}) {
    Start(p);
    ASSERT_TRUE(client_->Connect());
    auto a = client_->Exchange(wire::kFirmwareVersion, 1);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
    EXPECT_EQ(a->payload, Bytes(text));
  }
}

TEST_F(SimProtocolTest, OptionsReadAndWrite) {
  termsim::Profile profile;
  profile.options = {{"DeviceName", "F7"}, {"~Platform", "ZMM220"}};
  Start(profile);
  ASSERT_TRUE(client_->Connect());

  auto name = client_->Exchange(wire::CMD_OPTIONS_RRQ, 1, Bytes("DeviceName"));
  ASSERT_TRUE(name);
  EXPECT_EQ(name->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(name->payload, Bytes("DeviceName=F7"));

  auto system = client_->Exchange(wire::CMD_OPTIONS_RRQ, 2, Bytes("~Platform"));
  ASSERT_TRUE(system);
  EXPECT_EQ(system->payload, Bytes("~Platform=ZMM220"));

  auto unknown = client_->Exchange(wire::CMD_OPTIONS_RRQ, 3, Bytes("NoSuchOption"));
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->header.code, wire::CMD_ACK_ERROR);

  auto write = client_->Exchange(wire::CMD_OPTIONS_WRQ, 4, Bytes("Volume=5"));
  ASSERT_TRUE(write);
  EXPECT_EQ(write->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim_->Option("Volume"), "5");
  auto back = client_->Exchange(wire::CMD_OPTIONS_RRQ, 5, Bytes("Volume"));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->payload, Bytes("Volume=5"));

  // A name without a text terminator is taken up to the packet's end.
  auto unterminated = client_->Exchange(wire::CMD_OPTIONS_RRQ, 6, Bytes("Volume", false));
  ASSERT_TRUE(unterminated);
  EXPECT_EQ(unterminated->payload, Bytes("Volume=5"));

  uint16_t counter = 10;
  for (const char* bad : {"NoEquals", "=5", ""}) {
    auto refused = client_->Exchange(wire::CMD_OPTIONS_WRQ, counter++, Bytes(bad));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->header.code, wire::CMD_ACK_ERROR) << bad;
  }

  sim_->SetOption("DeviceName", "F8");
  auto changed = client_->Exchange(wire::CMD_OPTIONS_RRQ, counter++, Bytes("DeviceName"));
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->payload, Bytes("DeviceName=F8"));
}

TEST_F(SimProtocolTest, FreeSizesAreFixedCounters) {
  ASSERT_TRUE(client_->Connect());
  auto a = client_->Exchange(wire::CMD_GET_FREE_SIZES, 1);
  auto b = client_->Exchange(wire::CMD_GET_FREE_SIZES, 2);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
  ASSERT_GE(a->payload.size(), 80u);
  EXPECT_EQ(a->payload.size() % 4, 0u);
  EXPECT_EQ(a->payload, b->payload);

  wire::ByteReader r(a->payload);
  std::vector<uint32_t> words;
  while (r.remaining() >= 4) words.push_back(r.U32());
  // Stored fingerprints (word 6) within their capacity (word 14), users
  // (word 4) within theirs (word 15).
  EXPECT_GT(words[6], 0u);
  EXPECT_LT(words[6], words[14]);
  EXPECT_GT(words[4], 0u);
  EXPECT_LT(words[4], words[15]);
}

TEST_F(SimProtocolTest, EnableAndDisableDevice) {
  ASSERT_TRUE(client_->Connect());
  EXPECT_TRUE(sim_->DeviceEnabled());
  auto off = client_->Exchange(wire::CMD_DISABLEDEVICE, 1);
  ASSERT_TRUE(off);
  EXPECT_EQ(off->header.code, wire::CMD_ACK_OK);
  EXPECT_FALSE(sim_->DeviceEnabled());
  auto on = client_->Exchange(wire::CMD_ENABLEDEVICE, 2);
  ASSERT_TRUE(on);
  EXPECT_EQ(on->header.code, wire::CMD_ACK_OK);
  EXPECT_TRUE(sim_->DeviceEnabled());
}

TEST_F(SimProtocolTest, UnknownCommand) {
  ASSERT_TRUE(client_->Connect());
  for (uint16_t code : {uint16_t{4242}, uint16_t{9}, uint16_t{5999}}) {
    auto a = client_->Exchange(code, code);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->header.code, wire::CMD_ACK_UNKNOWN) << code;
  }
}

TEST_F(SimProtocolTest, DamagedPacketsAreRecordedNotAnswered) {
  ASSERT_TRUE(client_->Connect());
  std::vector<uint8_t> packet(12);
  ASSERT_EQ(wire::BuildPacket(wire::CMD_ENABLEDEVICE, client_->connection_id(), 1, {}, packet), 8u);
  packet.resize(8);
  packet[2] ^= 0x01;  // wrong checksum
  client_->SendRaw(packet);
  client_->SendRaw({0x01, 0x02, 0x03});  // shorter than a header
  EXPECT_FALSE(client_->Receive(200));

  const auto received = sim_->Received();
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[1].code, wire::CMD_ENABLEDEVICE);
  EXPECT_FALSE(received[1].checksum_ok);
  EXPECT_EQ(received[1].raw, packet);
  EXPECT_FALSE(received[2].checksum_ok);
  EXPECT_EQ(received[2].raw.size(), 3u);

  sim_->ClearReceived();
  EXPECT_EQ(sim_->ReceivedCount(), 0u);
}

TEST_F(SimProtocolTest, AcknowledgementsGetNoAnswer) {
  ASSERT_TRUE(client_->Connect());
  client_->Send(wire::CMD_ACK_OK, 7);
  EXPECT_FALSE(client_->Receive(200));
  EXPECT_EQ(sim_->CountReceived(wire::CMD_ACK_OK), 1u);
}

TEST_F(SimProtocolTest, RepeatedCommandIsAnsweredNotRepeated) {
  ASSERT_TRUE(client_->Connect());
  auto first = client_->Exchange(wire::CMD_OPTIONS_WRQ, 5, Bytes("Volume=1"));
  ASSERT_TRUE(first);
  EXPECT_EQ(first->header.code, wire::CMD_ACK_OK);
  sim_->SetOption("Volume", "9");

  auto again = client_->Exchange(wire::CMD_OPTIONS_WRQ, 5, Bytes("Volume=1"));
  ASSERT_TRUE(again);
  EXPECT_EQ(again->raw, first->raw);
  EXPECT_EQ(sim_->Option("Volume"), "9");  // not written a second time

  auto next = client_->Exchange(wire::CMD_OPTIONS_WRQ, 6, Bytes("Volume=1"));
  ASSERT_TRUE(next);
  EXPECT_EQ(sim_->Option("Volume"), "1");
}

TEST_F(SimProtocolTest, SendRawReachesTheLastClient) {
  EXPECT_FALSE(sim_->SendRaw({1, 2, 3}));
  ASSERT_TRUE(client_->Connect());
  std::vector<uint8_t> event(12);
  ASSERT_EQ(wire::BuildPacket(wire::kEventPacket, 1, 0, std::vector<uint8_t>{1, 0, 0, 0}, event),
            12u);
  ASSERT_TRUE(sim_->SendRaw(event));
  auto a = client_->Receive();
  ASSERT_TRUE(a);
  EXPECT_EQ(a->raw, event);
}

}  // namespace
