// The engine library over the UDP plug-in against the terminal simulator on
// loopback.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "devwire.h"
#include "termsim/simulator.h"
#include "wire/codes.h"
#include "wire/packet.h"

namespace {

using wire::CMD_ACK_OK;

constexpr int32_t kTimeoutMs = 200;

class EngineE2ETest : public ::testing::Test {
 protected:
  void SetUp() override { DEVWIRE_LASTERROR(nullptr); }
  void TearDown() override {
    if (handle != nullptr) DEVWIRE_CLOSE(handle);
  }

  // Starts the simulator with `profile` and opens a connection to it.
  DEVWIRE_HANDLE Connect(termsim::Profile profile = {}, int32_t password = 0) {
    sim = std::make_unique<termsim::Simulator>(profile);
    if (!sim->StartUdp("127.0.0.1", 0)) {
      ADD_FAILURE() << "simulator did not start";
      return nullptr;
    }
    return Reconnect(password);
  }

  DEVWIRE_HANDLE Reconnect(int32_t password) {
    handle = DEVWIRE_INIT("comms.dll", "127.0.0.1", sim->udp_port(), 0, nullptr, nullptr, password,
                          nullptr);
    return handle;
  }

  uint16_t Send(uint16_t code, std::span<uint8_t> buffer = {}, int32_t data_length = 0,
                int32_t timeout_ms = kTimeoutMs) {
    DEVWIRE_SENDCMD(handle, &code, buffer.data(), static_cast<int32_t>(buffer.size()), data_length,
                    timeout_ms);
    return code;
  }

  std::unique_ptr<termsim::Simulator> sim;
  DEVWIRE_HANDLE handle = nullptr;
};

TEST_F(EngineE2ETest, ConnectPacketAndGoodbye) {
  ASSERT_NE(Connect(), nullptr);
  const auto received = sim->Received();
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received[0].raw, (std::vector<uint8_t>{0xE8, 0x03, 0x17, 0xFC, 0, 0, 0, 0}));
  EXPECT_EQ(sim->SessionCount(), 1u);
  DEVWIRE_CLOSE(handle);
  handle = nullptr;
  EXPECT_EQ(sim->CountReceived(wire::CMD_EXIT), 1u);
  EXPECT_EQ(sim->SessionCount(), 0u);
}

TEST_F(EngineE2ETest, AuthenticationAcceptedAndRefused) {
  termsim::Profile profile;
  profile.comm_password = 808080;
  ASSERT_NE(Connect(profile, 808080), nullptr);
  EXPECT_EQ(sim->CountReceived(wire::CMD_AUTH), 1u);
  EXPECT_EQ(Send(wire::CMD_DISABLEDEVICE), CMD_ACK_OK);
  EXPECT_FALSE(sim->DeviceEnabled());
  DEVWIRE_CLOSE(handle);

  EXPECT_EQ(Reconnect(808081), nullptr);
  EXPECT_EQ(DEVWIRE_LASTERROR(nullptr), DEVWIRE_E_AUTH_REFUSED);
  EXPECT_EQ(DEVWIRE_LASTERROR(nullptr), 0);
}

TEST_F(EngineE2ETest, NoTerminal) {
  sim = std::make_unique<termsim::Simulator>();
  ASSERT_TRUE(sim->StartUdp("127.0.0.1", 0));
  termsim::Faults silent;
  silent.silent = true;
  sim->SetFaults(silent);
  EXPECT_EQ(Reconnect(0), nullptr);  // two attempts of 3000 ms each
  EXPECT_EQ(DEVWIRE_LASTERROR(nullptr), DEVWIRE_E_NO_REPLY);
  EXPECT_EQ(sim->CountReceived(wire::CMD_CONNECT), 2u);
}

TEST_F(EngineE2ETest, TooMuchDataForADatagramIsNotSent) {
  ASSERT_NE(Connect(), nullptr);
  const size_t before = sim->ReceivedCount();
  std::vector<uint8_t> data(1025, 0x41);
  EXPECT_EQ(Send(wire::CMD_USER_WRQ, data, 1025), wire::CMD_ACK_ERROR_CMD);
  EXPECT_EQ(sim->ReceivedCount(), before);
}

TEST_F(EngineE2ETest, ReplyCaches) {
  ASSERT_NE(Connect(), nullptr);
  std::array<uint8_t, 256> reply{};
  EXPECT_EQ(Send(wire::CMD_GET_FREE_SIZES, reply), CMD_ACK_OK);
  EXPECT_EQ(Send(wire::CMD_GET_FREE_SIZES, reply), CMD_ACK_OK);
  EXPECT_EQ(sim->CountReceived(wire::CMD_GET_FREE_SIZES), 1u);

  DEVWIRE_SetParameter(handle, 0, 1);
  EXPECT_EQ(Send(wire::CMD_GET_FREE_SIZES, reply), CMD_ACK_OK);
  EXPECT_EQ(Send(wire::CMD_GET_FREE_SIZES, reply), CMD_ACK_OK);
  EXPECT_EQ(sim->CountReceived(wire::CMD_GET_FREE_SIZES), 3u);

  std::array<uint8_t, 64> version{};
  EXPECT_EQ(Send(wire::kFirmwareVersion, version), CMD_ACK_OK);
  EXPECT_EQ(Send(wire::kFirmwareVersion, version), CMD_ACK_OK);
  EXPECT_EQ(sim->CountReceived(wire::kFirmwareVersion), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(version.data())), termsim::Profile{}.firmware);
}

// The length query tells how much of the caller's buffer the deciding reply
// (or cached answer) filled, bounded by the buffer.
TEST_F(EngineE2ETest, ReplyLengthCountsWhatArrived) {
  ASSERT_NE(Connect(), nullptr);
  const auto text_bytes = static_cast<int32_t>(termsim::Profile{}.firmware.size() + 1);
  std::array<uint8_t, 64> version{};
  EXPECT_EQ(Send(wire::kFirmwareVersion, version), CMD_ACK_OK);
  EXPECT_EQ(DEVWIRE_REPLYLENGTH(handle), text_bytes) << "live reply";
  EXPECT_EQ(Send(wire::kFirmwareVersion, version), CMD_ACK_OK);
  EXPECT_EQ(DEVWIRE_REPLYLENGTH(handle), text_bytes) << "cached answer";
  std::array<uint8_t, 8> small{};
  EXPECT_EQ(Send(wire::kFirmwareVersion, small), CMD_ACK_OK);
  EXPECT_EQ(DEVWIRE_REPLYLENGTH(handle), 8) << "bounded by the buffer";

  sim->SetCannedReply(201, std::vector<uint8_t>{1, 2});
  std::array<uint8_t, 4> time{};
  EXPECT_EQ(Send(201, time), CMD_ACK_OK);
  EXPECT_EQ(DEVWIRE_REPLYLENGTH(handle), 2) << "a short record is visible";

  termsim::Faults faults;
  faults.silent = true;
  sim->SetFaults(faults);
  EXPECT_EQ(Send(wire::CMD_ENABLEDEVICE, {}, 0, 50), wire::CMD_ACK_NO);
  EXPECT_EQ(DEVWIRE_REPLYLENGTH(handle), -1) << "no reply decided";
  EXPECT_EQ(DEVWIRE_REPLYLENGTH(nullptr), -1);
}

TEST_F(EngineE2ETest, StaleReplyIsIgnored) {
  ASSERT_NE(Connect(), nullptr);
  termsim::Faults faults;
  faults.stale_replies = 1;
  sim->SetFaults(faults);
  std::array<uint8_t, 64> version{};
  EXPECT_EQ(Send(wire::kFirmwareVersion, version), CMD_ACK_OK);
  EXPECT_EQ(DEVWIRE_LASTERROR(handle), DEVWIRE_E_STALE_REPLY);
  EXPECT_EQ(sim->CountReceived(wire::kFirmwareVersion), 2u) << "sent again after the stale one";
  EXPECT_EQ(std::string(reinterpret_cast<char*>(version.data())), termsim::Profile{}.firmware);
}

TEST_F(EngineE2ETest, LateReplyToAnEarlierAttemptIsAccepted) {
  ASSERT_NE(Connect(), nullptr);
  termsim::Faults faults;
  faults.late_replies = 1;
  faults.late_ms = 330;  // after the first attempt's wait, during the second's
  sim->SetFaults(faults);
  std::array<uint8_t, 64> version{};
  EXPECT_EQ(Send(wire::kFirmwareVersion, version), CMD_ACK_OK);
  EXPECT_EQ(sim->CountReceived(wire::kFirmwareVersion), 2u);
  // The second send's own reply arrives later and is dropped as stale.
  EXPECT_EQ(Send(wire::CMD_ENABLEDEVICE), CMD_ACK_OK);
}

TEST_F(EngineE2ETest, RetryReplyIsWaitedOutAndResent) {
  ASSERT_NE(Connect(), nullptr);
  termsim::Faults faults;
  faults.retry_replies = 1;
  sim->SetFaults(faults);
  EXPECT_EQ(Send(wire::CMD_DISABLEDEVICE), CMD_ACK_OK);
  EXPECT_EQ(sim->CountReceived(wire::CMD_DISABLEDEVICE), 2u);
  EXPECT_EQ(DEVWIRE_LASTERROR(handle), -2003);
  EXPECT_FALSE(sim->DeviceEnabled());
}

TEST_F(EngineE2ETest, CancelBlocksAllButReleasingData) {
  ASSERT_NE(Connect(), nullptr);
  DEVWIRE_SetOperate(handle, 1);
  const size_t before = sim->ReceivedCount();
  EXPECT_EQ(Send(wire::CMD_DISABLEDEVICE), wire::CMD_ACK_ERROR);
  EXPECT_EQ(sim->ReceivedCount(), before);
  Send(wire::CMD_FREE_DATA);
  EXPECT_EQ(sim->CountReceived(wire::CMD_FREE_DATA), 1u);
  DEVWIRE_SetOperate(handle, 0);
  EXPECT_EQ(Send(wire::CMD_DISABLEDEVICE), CMD_ACK_OK);
}

TEST_F(EngineE2ETest, ExitToASilentTerminalReportsOk) {
  ASSERT_NE(Connect(), nullptr);
  termsim::Faults silent;
  silent.silent = true;
  sim->SetFaults(silent);
  EXPECT_EQ(Send(wire::CMD_EXIT, {}, 0, 10), CMD_ACK_OK);
  EXPECT_EQ(sim->CountReceived(wire::CMD_EXIT), 1u);
}

TEST_F(EngineE2ETest, EventAndRuntBeforeTheReply) {
  ASSERT_NE(Connect(), nullptr);
  std::vector<uint8_t> event(12);
  wire::BuildPacket(wire::kEventPacket, 1, 4242, std::vector<uint8_t>{1, 2, 3, 4}, event);
  ASSERT_TRUE(sim->SendRaw(event));
  ASSERT_TRUE(sim->SendRaw({0xD0, 0x07, 0, 0, 0}));
  EXPECT_EQ(Send(wire::CMD_DISABLEDEVICE), CMD_ACK_OK);
  const auto acks = sim->Received();
  bool acknowledged = false;
  for (const auto& p : acks) {
    if (p.code == CMD_ACK_OK && p.reply_counter == 4242 && p.raw.size() == 8 && p.checksum_ok) {
      acknowledged = true;
    }
  }
  EXPECT_TRUE(acknowledged);
  EXPECT_EQ(sim->CountReceived(wire::CMD_DISABLEDEVICE), 1u);
}

class UploadE2ETest : public EngineE2ETest, public ::testing::WithParamInterface<double> {};

TEST_P(UploadE2ETest, SixtyFourKibArriveIntact) {
  ASSERT_NE(Connect(), nullptr);
  termsim::Faults faults;
  faults.drop_ratio = GetParam();
  faults.seed = 7;
  sim->SetFaults(faults);

  std::vector<uint8_t> data(64 * 1024);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>((i * 131) ^ (i >> 9));
  const std::vector<uint8_t> params{1, 0, 0, 0, 'u', 'p', '.', 'b', 'i', 'n', 0};
  uint16_t code = wire::kTakeUploadedData;
  DEVWIRE_SENDCMDDATA(handle, &code, data.data(), static_cast<int32_t>(data.size()), params.data(),
                      static_cast<int32_t>(params.size()), kTimeoutMs);
  EXPECT_EQ(code, CMD_ACK_OK);
  EXPECT_EQ(sim->LastStoredUpload(), data);
  EXPECT_EQ(sim->LastUploadParameters(), params);
}

INSTANTIATE_TEST_SUITE_P(DropRatio, UploadE2ETest, ::testing::Values(0.0, 0.1),
                         [](const auto& info) { return info.param == 0.0 ? "Clean" : "Drop10"; });

}  // namespace
