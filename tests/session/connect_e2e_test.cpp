// The session against the simulator: connect probe, feature flags, close,
// time-outs, the result convention for null and stale handles.
#include <algorithm>
#include <cstring>

#include "session_fixture.h"

namespace session_test {
namespace {

constexpr uint16_t kCmdOptionsRead = 11;
constexpr uint16_t kCmdOptionsWrite = 12;
constexpr uint16_t kCmdRegisterEvents = 500;
constexpr uint16_t kCmdFirmware = 1100;

termsim::Profile Ver660() {
  termsim::Profile p;
  p.firmware = "Ver 6.60 Oct 26 2009";
  p.options = {{"~ExtendFmt", "1"},    {"ExtendOPLog", "1"},    {"~QXFPVersion", "10"},
               {"QXFaceVersion", "7"}, {"~Platform", "ZEM560"}, {"~OS", "1"}};
  return p;
}

using ConnectE2E = SessionE2E;

TEST_F(ConnectE2E, ProbeOfAVer660Terminal) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  devapi::DeviceSession& s = Session();
  EXPECT_STREQ(s.firmware_version, "Ver 6.60 20091026");
  EXPECT_EQ(s.has_os_option, 1);
  EXPECT_EQ(s.extend_fmt, 1);
  EXPECT_EQ(s.extend_oplog, 1);
  EXPECT_EQ(s.fp_version, 10);
  EXPECT_EQ(s.face_version, 7);
  EXPECT_EQ(s.is_tft, 0);
  EXPECT_EQ(s.is_rvm_platform, 0);
  EXPECT_EQ(s.usb_like_transport, 0);
  EXPECT_EQ(s.rt_long_record, 1);
  EXPECT_EQ(s.cmd_timeout_ms, 4000);
  EXPECT_EQ(s.data_timeout_ms, 4000);
  EXPECT_EQ(s.block_size, 16384);
  EXPECT_EQ(s.pin_width, 0);

  int32_t pair[2] = {-1, -1};
  EXPECT_EQ(Q_GetKeyOptions(handle, pair), 1);
  EXPECT_EQ(pair[0], 10);
  EXPECT_EQ(pair[1], 7);

  // 1000, then "SDKBuild=1", "QXFaceVersion" and the firmware version.
  const auto packets = sim->Received();
  ASSERT_FALSE(packets.empty());
  EXPECT_EQ(packets[0].code, 1000);
  size_t sdk = packets.size(), face = packets.size(), firmware = packets.size();
  for (size_t i = 0; i < packets.size(); ++i) {
    if (packets[i].code == kCmdOptionsWrite && sdk == packets.size()) sdk = i;
    if (packets[i].code == kCmdOptionsRead &&
        Text(packets[i].payload) == Text(Bytes("QXFaceVersion")))
      face = i;
    if (packets[i].code == kCmdFirmware && firmware == packets.size()) firmware = i;
  }
  ASSERT_LT(sdk, packets.size());
  EXPECT_EQ(packets[sdk].payload, Bytes("SDKBuild=1"));
  EXPECT_LT(sdk, face);
  EXPECT_LT(face, firmware);
  ASSERT_LT(firmware, packets.size());
  EXPECT_TRUE(packets[firmware].payload.empty());
  EXPECT_EQ(sim->CountReceived(kCmdRegisterEvents), 0u);
  EXPECT_EQ(sim->Option("SDKBuild"), "1");
}

TEST_F(ConnectE2E, ConnectSequenceOfTheBuiltInVer660Terminal) {
  ASSERT_NE(Connect(termsim::Profile::Ver660()), nullptr);
  // The option cache answers every probe key after one probe, which the
  // "SDKBuild" write sets off (the engine decides whether just before or
  // just after the write goes out).
  const std::vector<uint16_t> codes = Codes();
  ASSERT_EQ(codes.size(), 5u);
  EXPECT_EQ(codes[0], 1000);
  EXPECT_EQ(std::min(codes[1], codes[2]), kCmdOptionsWrite);
  EXPECT_EQ(std::max(codes[1], codes[2]), 501);
  EXPECT_EQ(codes[3], kCmdOptionsRead);  // "QXFaceVersion", not a probe key
  EXPECT_EQ(codes[4], kCmdFirmware);
  EXPECT_STREQ(Session().firmware_version, "Ver 6.60 20091026");
  EXPECT_EQ(Session().has_os_option, 1);
  EXPECT_EQ(Session().fp_version, 10);
  EXPECT_EQ(Session().face_version, 0);  // "QXFaceVersion" unknown
}

TEST_F(ConnectE2E, BuiltInOldAndTftTerminals) {
  ASSERT_NE(Connect(termsim::Profile::Old()), nullptr);
  EXPECT_STREQ(Session().firmware_version, "Ver 4.52 20060315");
  EXPECT_EQ(Session().has_os_option, 0);
  EXPECT_EQ(Session().fp_version, 9);
  EXPECT_EQ(sim->CountReceived(kCmdRegisterEvents), 1u);
  EXPECT_EQ(Q_Close(handle), 1);

  ASSERT_NE(Connect(termsim::Profile::Tft()), nullptr);
  EXPECT_STREQ(Session().firmware_version, "Ver 6.60 20110315");
  EXPECT_EQ(Session().is_tft, 1);
  EXPECT_EQ(Session().face_version, 7);
  EXPECT_EQ(Session().rt_long_record, 0);
  EXPECT_EQ(sim->CountReceived(kCmdRegisterEvents), 0u);
}

void IgnoreEvent(void*, uint16_t, int32_t, const uint8_t*) {}

TEST_F(ConnectE2E, WithAnEventCallback) {
  StartSim(termsim::Profile::Ver660());
  ASSERT_TRUE(sim);
  handle = Q_Connect_NET("127.0.0.1", sim->udp_port(), &IgnoreEvent, this, 0);
  ASSERT_NE(handle, nullptr);
  EXPECT_STREQ(Session().firmware_version, "Ver 6.60 20091026");
  EXPECT_EQ(Q_EnableDevice(handle), 1);
  EXPECT_EQ(Q_Close(handle), 1);
  handle = nullptr;
  EXPECT_EQ(sim->CountReceived(1001), 1u);
}

TEST_F(ConnectE2E, EmptyOptionsGiveTheDefaults) {
  termsim::Profile p;
  p.firmware = "Ver 6.60 Oct 26 2009";
  p.options = {{"QXFaceVersion", "none"}};
  ASSERT_NE(Connect(p), nullptr);
  EXPECT_EQ(Session().has_os_option, 0);
  EXPECT_EQ(Session().extend_fmt, 0);
  EXPECT_EQ(Session().extend_oplog, 0);
  EXPECT_EQ(Session().fp_version, 9);
  EXPECT_EQ(Session().face_version, 0);
  EXPECT_EQ(Session().is_tft, 0);
}

TEST_F(ConnectE2E, FirmwareBelow601RegistersForAllEvents) {
  termsim::Profile p;
  p.firmware = "Ver 6.00 Jan 01 2008";
  ASSERT_NE(Connect(p), nullptr);
  EXPECT_STREQ(Session().firmware_version, "Ver 6.00 20080101");
  const auto registrations = Payloads(kCmdRegisterEvents);
  ASSERT_EQ(registrations.size(), 1u);
  EXPECT_EQ(registrations[0], (std::vector<uint8_t>{0xFF, 0x7F, 0x00, 0x00}));
  EXPECT_EQ(Session().rt_long_record, 0);  // not above "Ver 6.18 20070807"
}

TEST_F(ConnectE2E, Firmware601DoesNotRegister) {
  termsim::Profile p;
  p.firmware = "Ver 6.01 Jan 01 2008";
  ASSERT_NE(Connect(p), nullptr);
  EXPECT_EQ(sim->CountReceived(kCmdRegisterEvents), 0u);
}

TEST_F(ConnectE2E, OldTerminalBelow504) {
  termsim::Profile p;
  p.firmware = "Ver 5.00 Dec 31 2004";
  ASSERT_NE(Connect(p), nullptr);
  EXPECT_STREQ(Session().firmware_version, "Ver 5.00 20041231");
  EXPECT_EQ(sim->CountReceived(kCmdRegisterEvents), 1u);
  // The version text as the terminal sends it, not normalised.
  char text[50];
  std::memset(text, 0x7F, sizeof text);
  EXPECT_EQ(Q_GetFirmwareVersion(handle, text), 1);
  EXPECT_STREQ(text, "Ver 5.00 Dec 31 2004");
}

TEST_F(ConnectE2E, TftPlatform) {
  termsim::Profile p = Ver660();
  p.options["~Platform"] = "ZMM220_TFT";
  ASSERT_NE(Connect(p), nullptr);
  EXPECT_EQ(Session().is_tft, 1);
  EXPECT_EQ(Session().is_tft_alt, 1);
  EXPECT_EQ(Session().rt_long_record, 0);
  int32_t tft = -1;
  EXPECT_EQ(Q_IsTFTMachine(handle, &tft), 1);
  EXPECT_EQ(tft, 1);
  int32_t is_new = -1;
  EXPECT_EQ(Q_IsNewFirmwareMachine(handle, &is_new), 1);
  EXPECT_EQ(is_new, 0);
}

TEST_F(ConnectE2E, RvmAndAk3750Platforms) {
  termsim::Profile p = Ver660();
  p.options["~Platform"] = "RVM_AK3750";
  ASSERT_NE(Connect(p), nullptr);
  EXPECT_EQ(Session().is_rvm_platform, 1);
  EXPECT_EQ(Session().usb_like_transport, 1);
  EXPECT_EQ(Session().is_3750wifi, 0);
  EXPECT_EQ(Session().block_size, 16384);  // only the TCP connect shrinks it
  int32_t is_new = 0;
  EXPECT_EQ(Q_IsNewFirmwareMachine(handle, &is_new), 1);
  EXPECT_EQ(is_new, 1);
  int32_t tft = -1;
  EXPECT_EQ(Q_IsTFTMachine(handle, &tft), 1);
  EXPECT_EQ(tft, 0);
}

TEST_F(ConnectE2E, Platform3750Wifi) {
  termsim::Profile p = Ver660();
  p.options["~Platform"] = "3750WIFI";
  ASSERT_NE(Connect(p), nullptr);
  EXPECT_EQ(Session().is_3750wifi, 1);
  EXPECT_EQ(Session().usb_like_transport, 1);
}

TEST_F(ConnectE2E, CommPassword) {
  termsim::Profile p = Ver660();
  p.comm_password = 4711;
  ASSERT_NE(Connect(p, 4711), nullptr);
  EXPECT_EQ(sim->CountReceived(1102), 1u);
  Q_Close(handle);
  handle = Q_Connect_NET("127.0.0.1", sim->udp_port(), nullptr, nullptr, 4712);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(Q_LastError(nullptr), -6);
  EXPECT_EQ(Q_LastError(nullptr), 0);  // read and cleared
}

TEST_F(ConnectE2E, TransportsNotBuiltFailCleanly) {
  EXPECT_EQ(Q_Connect_USB_STD(1, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(Q_LastError(nullptr), -13000);  // "usbdirect.dll" is an outside plug-in
  EXPECT_EQ(Q_Connect_P4P("peer", nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(Q_LastError(nullptr), -13000);
  // TCP to a closed port: a null handle and a reason, whether the plug-in
  // is built yet or not.
  EXPECT_EQ(Q_Connect_NETEX("127.0.0.1", 1, nullptr, nullptr, 0), nullptr);
  EXPECT_NE(Q_LastError(nullptr), 0);
}

TEST_F(ConnectE2E, SerialConnectRefusesBaudZeroAndLongPhoneTexts) {
  EXPECT_EQ(Q_Connect_COM("COM1", 1, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(Q_LastError(nullptr), 0);  // the engine was never called
  EXPECT_EQ(Q_Connect_COM("COM1", 1, 9600, nullptr, nullptr, 0, "01234567890123456789"), nullptr);
  EXPECT_EQ(Q_LastError(nullptr), 0);
}

TEST_F(ConnectE2E, CloseEndsTheSessionOnce) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  EXPECT_EQ(Q_Close(handle), 1);
  EXPECT_EQ(sim->CountReceived(1001), 1u);
  EXPECT_EQ(Q_Close(handle), -1);  // closed: acts as null, no double free
  EXPECT_EQ(Q_EnableDevice(handle), -1);
  EXPECT_EQ(sim->CountReceived(1002), 0u);
  handle = nullptr;
  EXPECT_EQ(Q_Close(nullptr), -1);
}

TEST_F(ConnectE2E, NullAndUnknownHandles) {
  int dummy = 0;
  void* unknown = &dummy;
  for (void* h : {static_cast<void*>(nullptr), unknown}) {
    char text[1024] = {};
    int32_t v = 0, y = 0, mo = 0, d = 0, hh = 0, mi = 0, se = 0;
    EXPECT_EQ(Q_Close(h), -1);
    EXPECT_EQ(Q_ConnectStatus(h), -1);
    EXPECT_EQ(Q_SetCommuTimeOut(h, 1), -1);
    EXPECT_EQ(Q_SetParameters(h, 1, 0), -1);
    Q_CancelByUser(h);
    v = 7;
    EXPECT_EQ(Q_IsTFTMachine(h, &v), -1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(Q_GetSysOption(h, "~OS", text), -1);
    EXPECT_EQ(Q_SetSysOption(h, "A", "1"), -1);
    EXPECT_EQ(Q_SetManufacturerData(h, "A", "1"), -1);
    EXPECT_EQ(Q_RefreshOptions(h), -1);
    EXPECT_EQ(Q_SendBackgroundCMD(h, 1, 2, 3, 4), -1);
    EXPECT_EQ(Q_GetDeviceInfo(h, 2, &v), -1);
    EXPECT_EQ(Q_SetDeviceInfo(h, 2, 1), -1);
    EXPECT_EQ(Q_GetDeviceStrInfo(h, 2, text), -1);
    EXPECT_EQ(Q_GetSerialNumber(h, text), -1);
    EXPECT_EQ(Q_GetVendor(h, text), -1);
    EXPECT_EQ(Q_GetLanguage(h, &v), -1);
    EXPECT_EQ(Q_SetLanguage(h, 1), -1);
    EXPECT_EQ(Q_SetIPAddress(h, "1.2.3.4"), -1);
    EXPECT_EQ(Q_WriteCustData(h, "x"), -1);
    EXPECT_EQ(Q_GetFirmwareVersion(h, text), -1);
    EXPECT_EQ(Q_GetDeviceFirmwareVersion(h, text), -1);
    EXPECT_EQ(Q_IsNewFirmwareMachine(h, &v), -1);
    EXPECT_EQ(Q_GetKeyOptions(h, &v), -1);
    EXPECT_EQ(Q_GetTime(h, &y, &mo, &d, &hh, &mi, &se), -1);
    EXPECT_EQ(Q_SetTime(h, 2020, 1, 1, 0, 0, 0), -1);
    EXPECT_EQ(Q_GetPINWidth(h, &v), -1);
    EXPECT_EQ(Q_GetCardFun(h, &v), -1);
    EXPECT_EQ(Q_GetDeviceStatus(h, 3, &v), -1);
    EXPECT_EQ(Q_GetDeviceStatus(h, 25, &v), 4);  // the index is checked first
    EXPECT_EQ(Q_QueryDevStatus(h), 0);
    EXPECT_EQ(Q_EnableDevice(h), -1);
    EXPECT_EQ(Q_DisableDevice(h, 0), -1);
    EXPECT_EQ(Q_RebootDevice(h), -1);
    EXPECT_EQ(Q_PowerOffDevice(h), -1);
    EXPECT_EQ(Q_AutoPowerOff(h, 1), -1);
    EXPECT_EQ(Q_PowerOffTime(h, 1, 2, 3, 4, 5), -1);
    EXPECT_EQ(Q_Unlock(h, 5), -1);
    EXPECT_EQ(Q_GetDoorState(h, &v), -1);
    EXPECT_EQ(Q_StartEnroll(h, 1, 0), -1);
    EXPECT_EQ(Q_StartEnrollEx(h, "1", 0, 0), -1);
    EXPECT_EQ(Q_StartVerify(h, 1, 0), -1);
    EXPECT_EQ(Q_StartIdentify(h), -1);
    EXPECT_EQ(Q_CancelOperation(h), -1);
    EXPECT_EQ(Q_QueryState(h, &v), -1);
    EXPECT_EQ(Q_WriteLCD(h, 0, 0, "x"), -1);
    EXPECT_EQ(Q_ClearLCD(h), -1);
    EXPECT_EQ(Q_Beep(h, 100), -1);
    EXPECT_EQ(Q_PlayVoice(h, 1, 2), -1);
    EXPECT_EQ(Q_PlayVoiceByIndex(h, 1), -1);
    EXPECT_EQ(Q_EnableClock(h, 1), -1);
    EXPECT_EQ(Q_SaveCurTime(h), -1);
    EXPECT_EQ(Q_TurnOffAlarm(h), -1);
    EXPECT_EQ(Q_CloseAlarm(h), -1);
  }
}

TEST_F(ConnectE2E, CommunicationTimeOut) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  EXPECT_EQ(Q_SetCommuTimeOut(handle, -1), 1);
  EXPECT_EQ(Session().cmd_timeout_ms, 4000);
  EXPECT_EQ(Session().data_timeout_ms, 4000);
  EXPECT_EQ(Q_SetCommuTimeOut(handle, 0), 1);
  EXPECT_EQ(Session().cmd_timeout_ms, 0);
  EXPECT_EQ(Session().data_timeout_ms, 0);
  EXPECT_EQ(Q_SetCommuTimeOut(handle, 7), 1);
  EXPECT_EQ(Session().cmd_timeout_ms, 7000);
  // Would overflow 32 bits: clamped.
  EXPECT_EQ(Q_SetCommuTimeOut(handle, INT32_MAX), 1);
  EXPECT_EQ(Session().cmd_timeout_ms, 2147483000);
  EXPECT_EQ(Session().data_timeout_ms, 2147483000);
}

TEST_F(ConnectE2E, ParametersAndStatus) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  EXPECT_EQ(Q_SetParameters(handle, 1, 0), 1);
  EXPECT_EQ(Session().privilege_raw, 1);
  EXPECT_EQ(Q_SetParameters(handle, 1, 5), 1);
  EXPECT_EQ(Session().privilege_raw, 0);
  EXPECT_EQ(Q_SetParameters(handle, 2, 0), 1);
  EXPECT_EQ(Session().privilege_raw, 0);
  EXPECT_EQ(Q_ConnectStatus(handle), 0);
  EXPECT_EQ(Q_LastError(handle), 0);
}

TEST_F(ConnectE2E, CancelIsClearedByTheNextCallButNotByDecoratedOnes) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  const size_t before = sim->ReceivedCount();
  Q_CancelByUser(handle);
  // _Q_SaveCurTime@4 does not clear the flag: nothing goes out.
  EXPECT_EQ(Q_SaveCurTime(handle), -2);
  EXPECT_EQ(sim->ReceivedCount(), before);
  // Every ordinary call clears it first.
  EXPECT_EQ(Q_EnableDevice(handle), 1);
  EXPECT_EQ(sim->CountReceived(1002), 1u);
}

TEST_F(ConnectE2E, SdkVersionWritesExactly13Bytes) {
  char text[20];
  std::memset(text, 0x7F, sizeof text);
  EXPECT_EQ(Q_GetSDKVersion(text), 1);
  EXPECT_STREQ(text, "5.2.0.47.U.3");
  EXPECT_EQ(text[12], '\0');
  EXPECT_EQ(text[13], 0x7F);
}

TEST_F(ConnectE2E, UserTableStaleIsPerSession) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  DEVAPI_HANDLE other = Q_Connect_NET("127.0.0.1", sim->udp_port(), nullptr, nullptr, 0);
  ASSERT_NE(other, nullptr);
  Session().pin_width = 9;
  // Wide user numbers: enrolment marks this session's user table stale.
  Q_StartEnroll(handle, 123456, 0);
  EXPECT_EQ(Session().user_table_stale, 1);
  EXPECT_EQ(static_cast<devapi::DeviceSession*>(other)->user_table_stale, 0);
  EXPECT_EQ(Q_Close(other), 1);
  EXPECT_EQ(Session().user_table_stale, 1);
}

}  // namespace
}  // namespace session_test
