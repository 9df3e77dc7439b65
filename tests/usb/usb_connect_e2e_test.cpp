// Q_Connect_USB against the simulator's drive directory: the connect, its
// probe, option reads and writes, in both kinds of file access.
#include <cstring>

#include "usb_fixture.h"
#include "wire/codes.h"

namespace usbtest {
namespace {

class UsbConnect : public UsbE2E, public ::testing::WithParamInterface<Io> {};

TEST_P(UsbConnect, ConnectsProbesAndReadsAndWritesOptions) {
  UseIo(GetParam());
  termsim::Profile profile = termsim::Profile::Ver660();
  // Neither is looked at over USB: the compact operation log stays, and no
  // rules of the AK3750 platform apply.
  profile.options["ExtendOPLog"] = "1";
  profile.options["~Platform"] = "ZMM100_AK3750";
  ASSERT_NE(Connect(profile), nullptr);
  auto& s = Session();
  EXPECT_EQ(s.kind, devapi::ConnectKind::kUsb);
  EXPECT_EQ(s.cmd_timeout_ms, 4000);
  EXPECT_EQ(s.data_timeout_ms, 4000);
  EXPECT_EQ(s.block_size, 1024);
  EXPECT_EQ(s.extend_oplog, 0);
  EXPECT_EQ(s.usb_like_transport, 0);
  EXPECT_STREQ(s.firmware_version, "Ver 6.60 20091026");
  EXPECT_EQ(sim->CountReceived(wire::CMD_CONNECT), 1u);
  for (const auto& p : sim->Received()) {
    EXPECT_TRUE(p.wire_size == 512 || p.wire_size == 1024 || p.wire_size == 1536) << p.wire_size;
    if (p.code == wire::CMD_OPTIONS_RRQ) {
      EXPECT_EQ(std::strstr(reinterpret_cast<const char*>(p.payload.data()), "ExtendOPLog"),
                nullptr);
    }
  }

  char value[1024] = {};
  ASSERT_EQ(Q_GetSysOption(handle, "~DeviceName", value), 1);
  EXPECT_STREQ(value, sim->Option("~DeviceName").c_str());
  ASSERT_EQ(Q_SetSysOption(handle, "Volume", "33"), 1);
  EXPECT_EQ(sim->Option("Volume"), "33");
  EXPECT_EQ(Q_ConnectStatus(handle), 0);
}

INSTANTIATE_TEST_SUITE_P(Io, UsbConnect, ::testing::Values(Io::kDirect, Io::kFallback), IoName);

TEST_F(UsbE2E, CommPasswordIsAskedAndChecked) {
  termsim::Profile profile = UsbProfile();
  profile.comm_password = 4321;
  ASSERT_NE(Connect(profile, nullptr, nullptr, 4321), nullptr);
  EXPECT_EQ(sim->CountReceived(wire::CMD_AUTH), 1u);
  Q_Close(handle);
  handle = Q_Connect_USB(simlink::kUsbDevice, nullptr, nullptr, 1);
  EXPECT_EQ(handle, nullptr);
}

TEST_F(UsbE2E, NoDriveHoldingTheFileFailsTheConnect) {
  ::setenv("TERMKIT_USB_ROOTS", simlink::NewUsbDrive().c_str(), 1);
  EXPECT_EQ(Q_Connect_USB(simlink::kUsbDevice, nullptr, nullptr, 0), nullptr);
  EXPECT_NE(Q_LastError(nullptr), 0);
}

}  // namespace
}  // namespace usbtest
