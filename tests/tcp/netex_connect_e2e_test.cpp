// Q_Connect_NETEX against the simulator over TCP: the connect's settings,
// the smaller packets of the AK3750 and 3750WIFI platforms, and the connect
// time-out that follows how long the TCP connect took.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tcp_fixture.h"
#include "wire/codes.h"

namespace tcptest {
namespace {

TEST_F(TcpE2E, ConnectSettingsAndOptions) {
  termsim::Profile profile = termsim::Profile::Ver660();
  profile.options["ExtendOPLog"] = "1";
  ASSERT_NE(Connect(profile), nullptr);
  EXPECT_EQ(Session().cmd_timeout_ms, 4000);
  EXPECT_EQ(Session().data_timeout_ms, 4000);
  EXPECT_EQ(Session().block_size, 65472);
  EXPECT_EQ(Session().extend_oplog, 1);
  EXPECT_EQ(Session().usb_like_transport, 0);
  EXPECT_EQ(sim->TcpConnectionsAccepted(), 1u);
  EXPECT_EQ(Q_EnableDevice(handle), 1);
}

// A whole packet of data fits a TCP connection; one byte more is refused
// before anything goes out.
TEST_F(TcpE2E, SixtyFourKibOfCommandDataFitOneByteMoreDoesNot) {
  ASSERT_NE(Connect(), nullptr);
  sim->ClearReceived();
  EXPECT_EQ(SendRaw(wire::CMD_OPTIONS_WRQ, 65537), wire::CMD_ACK_ERROR_CMD);
  EXPECT_EQ(sim->ReceivedCount(), 0u);
  std::string text = "Pad=" + std::string(65536 - 5, 'x');
  std::vector<uint8_t> buffer(text.begin(), text.end());
  buffer.push_back(0);
  uint16_t code = wire::CMD_OPTIONS_WRQ;
  DEVWIRE_SENDCMD(Engine(), &code, buffer.data(), static_cast<int32_t>(buffer.size()),
                  static_cast<int32_t>(buffer.size()), 4000);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim->Option("Pad").size(), 65536u - 5);
  const auto received = sim->Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].wire_size, 8u + 8u + 65536u);
}

struct PlatformCase {
  const char* platform;
  int32_t block_size;
  size_t packet;  // the engine's receive length
};

class SmallPacketPlatforms : public TcpE2E, public ::testing::WithParamInterface<PlatformCase> {};

// These terminals take small packets over TCP: the host shrinks its block
// size and packet length, and downloads still work within them.
TEST_P(SmallPacketPlatforms, ShrinkThePacketsAndStillDownload) {
  const PlatformCase& k = GetParam();
  termsim::Profile profile = termsim::Profile::Ver660();
  profile.options["~Platform"] = k.platform;
  if (!StartSim(profile)) return;
  sim->SetUsers(termsim::GenerateUsers(300, 3));
  termsim::AttendanceGeneration g;
  g.users = 300;
  g.punches = 2000;
  g.seed = 9;
  sim->SetAttendanceLog(termsim::GenerateAttendance(g));
  handle = Q_Connect_NETEX("127.0.0.1", sim->tcp_port(), nullptr, nullptr, 0);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(Session().usb_like_transport, 1);
  EXPECT_EQ(Session().block_size, k.block_size);
  EXPECT_EQ(Session().data_timeout_ms, 20000);

  // The receive length bounds what goes out, too.
  sim->ClearReceived();
  EXPECT_EQ(SendRaw(wire::CMD_OPTIONS_WRQ, k.packet - 8 + 1), wire::CMD_ACK_ERROR_CMD);
  EXPECT_EQ(sim->ReceivedCount(), 0u);
  std::string text = "Pad=" + std::string(k.packet - 8 - 5, 'y');
  std::vector<uint8_t> buffer(text.begin(), text.end());
  buffer.push_back(0);
  uint16_t code = wire::CMD_OPTIONS_WRQ;
  DEVWIRE_SENDCMD(Engine(), &code, buffer.data(), static_cast<int32_t>(buffer.size()),
                  static_cast<int32_t>(buffer.size()), 4000);
  EXPECT_EQ(code, wire::CMD_ACK_OK);

  sim->ClearReceived();
  EXPECT_EQ(Q_ReadUserInfo(handle), 1);
  EXPECT_EQ(Session().user_len, 300u * 28);
  EXPECT_EQ(Q_ReadLog(handle, 0), 1);
  // These terminals keep their punches under ID texts (22-byte records).
  size_t punches = 0;
  for (;;) {
    char id[25] = {};
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, work = 0;
    uint8_t verify = 0, state = 0;
    if (Q_SSR_GetLog(handle, id, &verify, &state, &year, &month, &day, &hour, &minute, &second,
                     &work) != 1)
      break;
    ++punches;
  }
  EXPECT_EQ(punches, 2000u);
  // Nothing the terminal sent was larger than the packets it was told of.
  for (const auto& p : sim->Received()) EXPECT_LE(p.raw.size(), k.packet);
}

INSTANTIATE_TEST_SUITE_P(Platforms, SmallPacketPlatforms,
                         ::testing::Values(PlatformCase{"AK3750", 40880, 512},
                                           PlatformCase{"ZEM600_3750WIFI", 4080, 4000}),
                         [](const auto& info) {
                           return std::string(info.param.block_size == 40880 ? "AK3750"
                                                                             : "Wifi3750");
                         });

// The TCP connect waits for the terminal's answer only the time the TCP
// connect took plus 1500 ms; a later answer costs a second CMD_CONNECT.
// Over UDP the same late answer is simply waited for.
TEST(TcpConnectTimeOut, LateConnectAnswerCostsASecondConnectOnlyOverTcp) {
  for (const bool tcp : {true, false}) {
    termsim::Simulator sim(termsim::Profile::Ver660());
    ASSERT_TRUE(tcp ? sim.StartTcp("127.0.0.1", 0) : sim.StartUdp("127.0.0.1", 0));
    termsim::Faults faults;
    faults.late_replies = 1;
    faults.late_ms = 2000;
    sim.SetFaults(faults);
    DEVWIRE_HANDLE h =
        DEVWIRE_INIT(tcp ? "tcplink.dll" : "comms.dll", "127.0.0.1",
                     tcp ? sim.tcp_port() : sim.udp_port(), 0, nullptr, nullptr, 0, nullptr);
    ASSERT_NE(h, nullptr) << (tcp ? "tcp" : "udp");
    EXPECT_EQ(sim.CountReceived(wire::CMD_CONNECT), tcp ? 2u : 1u) << (tcp ? "tcp" : "udp");
    DEVWIRE_CLOSE(h);
  }
}

}  // namespace
}  // namespace tcptest
