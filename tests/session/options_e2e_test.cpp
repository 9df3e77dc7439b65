// Options against the simulator: option reads and writes, the numbered
// information with its conversions, scrambled writes, clock, counters.
#include <cstring>
#include <string>

#include "session_fixture.h"

namespace session_test {
namespace {

constexpr uint16_t kRead = 11;
constexpr uint16_t kWrite = 12;

termsim::Profile Ver660(bool with_os = true) {
  termsim::Profile p;
  p.firmware = "Ver 6.60 Oct 26 2009";
  p.options = {{"~QXFPVersion", "10"},
               {"QXFaceVersion", "7"},
               {"~DeviceName", "TK-100"},
               {"~SerialNumber", "SN0042"},
               {"IPAddress", "192.168.1.201"},
               {"UDPPort", "4370"},
               {"DeviceID", "1"},
               {"Language", "69"}};
  if (with_os) p.options["~OS"] = "1";
  return p;
}

using OptionsE2E = SessionE2E;

TEST_F(OptionsE2E, ThresholdReadsOnCurrentFirmware) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  int32_t v = -1;
  for (auto [terminal, caller] : {std::pair{80, 50}, {45, 25}, {12, 4}, {70, 50}, {29, 9}}) {
    sim->SetOption("MThreshold", std::to_string(terminal));
    EXPECT_EQ(Q_GetDeviceInfo(handle, 23, &v), 1);
    EXPECT_EQ(v, caller) << terminal;
  }
}

TEST_F(OptionsE2E, ThresholdsOnOldFirmwareAreOffsetBy20) {
  termsim::Profile p = Ver660();
  p.firmware = "Ver 5.00 Dec 31 2004";
  ASSERT_NE(Connect(p), nullptr);
  int32_t v = -1;
  sim->SetOption("EThreshold", "80");
  EXPECT_EQ(Q_GetDeviceInfo(handle, 24, &v), 1);
  EXPECT_EQ(v, 60);
  EXPECT_EQ(Q_SetDeviceInfo(handle, 24, 40), 1);
  EXPECT_EQ(LastPayload(kWrite), Bytes("EThreshold=60"));
}

TEST_F(OptionsE2E, ThresholdWrites) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  EXPECT_EQ(Q_SetDeviceInfo(handle, 23, 5), 1);
  EXPECT_EQ(LastPayload(kWrite), Bytes("MThreshold=15"));
  EXPECT_EQ(Q_SetDeviceInfo(handle, 23, 30), 1);
  EXPECT_EQ(LastPayload(kWrite), Bytes("MThreshold=50"));
  EXPECT_EQ(Q_SetDeviceInfo(handle, 25, 60), 1);
  EXPECT_EQ(LastPayload(kWrite), Bytes("VThreshold=70"));
  EXPECT_EQ(sim->Option("VThreshold"), "70");
}

TEST_F(OptionsE2E, LanguageBothWays) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  // Reads first: once written, the engine's option cache answers "NewLng".
  int32_t v = -1;
  for (auto [terminal, caller] : {std::pair{69, 0}, {84, 2}, {76, 3}, {83, 1}, {5, 1}}) {
    sim->SetOption("NewLng", std::to_string(terminal));
    EXPECT_EQ(Q_GetDeviceInfo(handle, 3, &v), 1);
    EXPECT_EQ(v, caller);
  }
  const std::pair<int, const char*> writes[] = {
      {0, "NewLng=69"}, {2, "NewLng=84"}, {3, "NewLng=76"}, {1, "NewLng=83"}, {9, "NewLng=83"}};
  for (auto [value, request] : writes) {
    EXPECT_EQ(Q_SetDeviceInfo(handle, 3, value), 1);
    EXPECT_EQ(LastPayload(kWrite), Bytes(request));
  }
  EXPECT_EQ(sim->Option("NewLng"), "83");
  EXPECT_EQ(Q_SetDeviceInfo(handle, 3, 2), 1);
  EXPECT_EQ(Q_GetDeviceInfo(handle, 3, &v), 1);
  EXPECT_EQ(v, 2);
}

TEST_F(OptionsE2E, BaudRateBothWays) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  int32_t v = -1;
  for (auto [rate, caller] : {std::pair{57600, 6}, {1200, 0}, {115200, 7}, {300, 7}}) {
    sim->SetOption("RS232BaudRate", std::to_string(rate));
    EXPECT_EQ(Q_GetDeviceInfo(handle, 9, &v), 1);
    EXPECT_EQ(v, caller);
  }
  EXPECT_EQ(Q_SetDeviceInfo(handle, 9, 4), 1);
  EXPECT_EQ(LastPayload(kWrite), Bytes("RS232BaudRate=19200"));
  EXPECT_EQ(Q_SetDeviceInfo(handle, 9, 9), 1);
  EXPECT_EQ(LastPayload(kWrite), Bytes("RS232BaudRate=115200"));
  EXPECT_EQ(sim->Option("RS232BaudRate"), "115200");
}

TEST_F(OptionsE2E, Type10002WritesDeviceId) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  EXPECT_EQ(Q_SetDeviceInfo(handle, 10002, 7), 1);
  EXPECT_EQ(LastPayload(kWrite), Bytes("DeviceID=7"));
  EXPECT_EQ(sim->Option("DeviceID"), "7");
  const size_t before = sim->ReceivedCount();
  EXPECT_EQ(Q_SetDeviceInfo(handle, -10002, 7), 4);  // remainder -2
  EXPECT_EQ(sim->ReceivedCount(), before);
}

TEST_F(OptionsE2E, InfoTypesAnsweredWithoutTraffic) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  const size_t before = sim->ReceivedCount();
  int32_t v = -1;
  EXPECT_EQ(Q_GetDeviceInfo(handle, 1, &v), 1);
  EXPECT_EQ(v, 500);
  EXPECT_EQ(Q_GetDeviceInfo(handle, 10, &v), 1);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(Q_GetDeviceInfo(handle, 12, &v), 1);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(Q_GetDeviceInfo(handle, 65, &v), 4);
  EXPECT_EQ(Q_GetDeviceInfo(handle, 0, &v), 4);
  EXPECT_EQ(Q_GetDeviceInfo(handle, 82, &v), 4);
  EXPECT_EQ(Q_GetDeviceInfo(handle, -4, &v), 4);
  EXPECT_EQ(Q_GetDeviceInfo(handle, -7, &v), 4);
  EXPECT_EQ(Q_SetDeviceInfo(handle, 1, 5), 1);
  EXPECT_EQ(Q_SetDeviceInfo(handle, 10, 0), 1);
  EXPECT_EQ(Q_SetDeviceInfo(handle, 11, 1), -100);
  EXPECT_EQ(Q_SetDeviceInfo(handle, 12, 1), 1);
  EXPECT_EQ(Q_SetDeviceInfo(handle, 12, 0), -100);
  EXPECT_EQ(Q_SetDeviceInfo(handle, 82, 0), 4);
  EXPECT_EQ(Q_SetDeviceInfo(handle, 0, 0), 4);
  char text[200];
  EXPECT_EQ(Q_GetDeviceStrInfo(handle, 82, text), 4);
  EXPECT_EQ(sim->ReceivedCount(), before);
}

TEST_F(OptionsE2E, RawReadAndStringInfo) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  sim->SetOption("IdleMinute", "15");
  char buffer[100] = "IdleMinute";
  EXPECT_EQ(Q_GetDeviceInfo(handle, 8999, reinterpret_cast<int32_t*>(buffer)), 1);
  EXPECT_STREQ(buffer, "IdleMinute=15");
  char text[200];
  EXPECT_EQ(Q_GetDeviceStrInfo(handle, 4, text), 1);
  EXPECT_STREQ(text, "15");
  int32_t v = -1;
  EXPECT_EQ(Q_GetDeviceInfo(handle, 4, &v), 1);
  EXPECT_EQ(v, 15);
  // An option the terminal does not know.
  EXPECT_EQ(Q_GetDeviceInfo(handle, 57, &v), -2);
  EXPECT_EQ(v, 15);
}

TEST_F(OptionsE2E, SpecialInfoTypesReachTheirCommands) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  int32_t buffer[16] = {5, 64};  // first byte 5; size 64 in the second word
  Q_GetDeviceInfo(handle, -5, buffer);
  EXPECT_EQ(LastPayload(7), (std::vector<uint8_t>{5}));
  int32_t small[2] = {5, 4};
  const size_t before = sim->ReceivedCount();
  EXPECT_EQ(Q_GetDeviceInfo(handle, -5, small), 4);
  EXPECT_EQ(sim->ReceivedCount(), before);
  int32_t kind = 9;
  Q_GetDeviceInfo(handle, -6, &kind);
  EXPECT_EQ(LastPayload(14), (std::vector<uint8_t>{9}));
}

TEST_F(OptionsE2E, ScrambledTildeWriteIsReadBackPlain) {
  ASSERT_NE(Connect(Ver660(/*with_os=*/false)), nullptr);
  ASSERT_EQ(Session().has_os_option, 0);
  EXPECT_EQ(Q_SetSysOption(handle, "~Test", "12"), 1);
  const std::string sent = Text(LastPayload(kWrite));
  ASSERT_EQ(sent.size(), std::string("~Test=").size() + 6 + 1);
  EXPECT_EQ(sent.substr(0, 6), "~Test=");
  const int b0 = std::stoi(sent.substr(6, 2), nullptr, 16);
  const int b1 = std::stoi(sent.substr(8, 2), nullptr, 16);
  const int b2 = std::stoi(sent.substr(10, 2), nullptr, 16);
  EXPECT_EQ(b0 ^ b1, '1');
  EXPECT_EQ(b1 ^ b2, '2');
  // The terminal decodes it; a read (from the terminal or the cache) gives
  // the plain value, never the hexadecimal text.
  EXPECT_EQ(sim->Option("~Test"), "12");
  char value[1024];
  EXPECT_EQ(Q_GetSysOption(handle, "~Test", value), 1);
  EXPECT_STREQ(value, "12");
  // Names without '~' and ~CustData are written plain.
  EXPECT_EQ(Q_SetSysOption(handle, "Plain", "12"), 1);
  EXPECT_EQ(LastPayload(kWrite), Bytes("Plain=12"));
  EXPECT_EQ(Q_WriteCustData(handle, "hello"), 1);
  EXPECT_EQ(LastPayload(kWrite), Bytes("~CustData=hello"));
  // So is a table type whose name starts with '~' (scrambled "%d").
  EXPECT_EQ(Q_SetDeviceInfo(handle, 62, 5), 1);
  EXPECT_EQ(Text(LastPayload(kWrite)).size(), std::string("~RFSStart=").size() + 4 + 1);
  EXPECT_EQ(sim->Option("~RFSStart"), "5");
}

TEST_F(OptionsE2E, PlainTildeWriteWithOs) {
  ASSERT_NE(Connect(Ver660(/*with_os=*/true)), nullptr);
  EXPECT_EQ(Q_SetSysOption(handle, "~Test", "12"), 1);
  EXPECT_EQ(LastPayload(kWrite), Bytes("~Test=12"));
  EXPECT_EQ(Q_SetManufacturerData(handle, "~Maker", "QX"), 1);
  EXPECT_EQ(LastPayload(2999), Bytes("~Maker=QX"));
}

TEST_F(OptionsE2E, OverLongWritesAreRefusedUnsent) {
  ASSERT_NE(Connect(Ver660(/*with_os=*/false)), nullptr);
  const size_t before = sim->CountReceived(kWrite);
  // "Name=" + value + terminator: 139 characters fit the 140 bytes.
  EXPECT_EQ(Q_SetSysOption(handle, "Name", std::string(134, 'v').c_str()), 1);
  EXPECT_EQ(sim->CountReceived(kWrite), before + 1);
  EXPECT_EQ(Q_SetSysOption(handle, "Name", std::string(135, 'v').c_str()), 4);
  EXPECT_EQ(Q_SetManufacturerData(handle, "Name", std::string(135, 'v').c_str()), 4);
  EXPECT_EQ(Q_SetIPAddress(handle, std::string(200, '1').c_str()), 4);
  EXPECT_EQ(Q_SetWiegandFmt(handle, std::string(200, '1').c_str()), 4);
  EXPECT_EQ(Q_WriteCustData(handle, std::string(200, 'c').c_str()), 4);
  // Scrambling doubles the value: "~Name=" + 2 x (65 + 1) hex digits + 1 = 139.
  EXPECT_EQ(Q_SetSysOption(handle, "~Name", std::string(65, 'v').c_str()), 1);
  EXPECT_EQ(Q_SetSysOption(handle, "~Name", std::string(66, 'v').c_str()), 4);
  EXPECT_EQ(sim->CountReceived(kWrite), before + 2);
  // Empty and missing names.
  EXPECT_EQ(Q_SetSysOption(handle, "", "1"), 4);
  EXPECT_EQ(Q_SetSysOption(handle, nullptr, "1"), 4);
  EXPECT_EQ(Q_SetManufacturerData(handle, "", "1"), 4);
  char value[1024];
  EXPECT_EQ(Q_GetSysOption(handle, std::string(1024, 'n').c_str(), value), 4);
  EXPECT_EQ(sim->CountReceived(kWrite), before + 2);
}

TEST_F(OptionsE2E, SingleItems) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  char text[200];
  EXPECT_EQ(Q_GetSerialNumber(handle, text), 1);
  EXPECT_STREQ(text, "SN0042");
  EXPECT_EQ(Q_GetProductName(handle, text), 1);
  EXPECT_STREQ(text, "TK-100");
  EXPECT_EQ(Q_GetIPAddress(handle, text), 1);
  EXPECT_STREQ(text, "192.168.1.201");
  int32_t v = -1;
  EXPECT_EQ(Q_GetDevicePort(handle, &v), 1);
  EXPECT_EQ(v, 4370);
  EXPECT_EQ(Q_GetLanguage(handle, &v), 1);
  EXPECT_EQ(v, 69);

  EXPECT_EQ(Q_SetDeviceNumber(handle, 65536 + 3), 1);  // unsigned 16-bit
  EXPECT_EQ(LastPayload(kWrite), Bytes("DeviceID=3"));
  EXPECT_EQ(Q_GetDeviceNumber(handle, &v), 1);
  EXPECT_EQ(v, 3);
  EXPECT_EQ(Q_SetDevicePort(handle, 4371), 1);
  EXPECT_EQ(LastPayload(kWrite), Bytes("UDPPort=4371"));
  EXPECT_EQ(Q_SetLanguage(handle, 84), 1);
  EXPECT_EQ(LastPayload(kWrite), Bytes("Language=84"));
  EXPECT_EQ(Q_SetIPAddress(handle, "10.0.0.9"), 1);
  EXPECT_EQ(LastPayload(kWrite), Bytes("IPAddress=10.0.0.9"));
  EXPECT_EQ(Q_SetDeviceCommPwd(handle, 1234), 1);
  EXPECT_EQ(LastPayload(kWrite), Bytes("COMKey=1234"));
  EXPECT_EQ(Q_SetWiegandFmt(handle, "26"), 1);
  EXPECT_EQ(Q_GetWiegandFmt(handle, text), 1);
  EXPECT_STREQ(text, "26");
  EXPECT_EQ(Q_WriteCustData(handle, "note"), 1);
  EXPECT_EQ(Q_ReadCustData(handle, text), 1);
  EXPECT_STREQ(text, "note");
}

TEST_F(OptionsE2E, DefaultsOnCmdAckError) {
  termsim::Profile p = Ver660();
  p.options.erase("~SerialNumber");
  p.options.erase("~DeviceName");
  ASSERT_NE(Connect(p), nullptr);
  char text[200];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(Q_GetSerialNumber(handle, text), 1);
  EXPECT_STREQ(text, "0");
  EXPECT_EQ(Q_GetVendor(handle, text), 1);
  EXPECT_STREQ(text, "QXSoftware Inc.");
  EXPECT_EQ(Q_GetProductName(handle, text), 1);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(Q_GetSensorSN(handle, text), 1);
  EXPECT_STREQ(text, "");
  // No default: the item is an error.
  int32_t v = 77;
  EXPECT_EQ(Q_GetACFun(handle, &v), -2);
  EXPECT_EQ(v, 77);
}

TEST_F(OptionsE2E, ProbeKeysAreServedFromTheCache) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  const size_t reads = sim->CountReceived(kRead);
  char text[200];
  EXPECT_EQ(Q_GetProductName(handle, text), 1);  // "~DeviceName"
  EXPECT_STREQ(text, "TK-100");
  EXPECT_EQ(Q_GetSerialNumber(handle, text), 1);  // "~SerialNumber"
  int32_t v = 0;
  EXPECT_EQ(Q_GetLanguage(handle, &v), 1);  // "Language"
  EXPECT_EQ(sim->CountReceived(kRead), reads);
  EXPECT_EQ(sim->CountReceived(501), 1u);  // one probe for the connection
  // A written value comes back from the cache.
  EXPECT_EQ(Q_SetLanguage(handle, 2), 1);
  EXPECT_EQ(Q_GetLanguage(handle, &v), 1);
  EXPECT_EQ(v, 2);
  EXPECT_EQ(sim->CountReceived(kRead), reads);
  // Not a probe key: asked.
  EXPECT_EQ(Q_GetIPAddress(handle, text), 1);
  EXPECT_EQ(sim->CountReceived(kRead), reads + 1);
}

TEST_F(OptionsE2E, BiometricTypeOfEightCharactersGetsAZeroAndIsCached) {
  termsim::Profile p = Ver660();
  p.options["BiometricType"] = "00000001";
  ASSERT_NE(Connect(p), nullptr);
  char value[1024];
  EXPECT_EQ(Q_GetSysOption(handle, "BiometricType", value), 1);
  EXPECT_STREQ(value, "000000001");
  const size_t reads = sim->CountReceived(kRead);
  EXPECT_EQ(Q_GetSysOption(handle, "biometrictype", value), 1);  // without case
  EXPECT_STREQ(value, "000000001");
  EXPECT_EQ(sim->CountReceived(kRead), reads);
}

TEST_F(OptionsE2E, BiometricVersionWithSevenColonsGetsALeadingColon) {
  termsim::Profile p = Ver660();
  p.options["BiometricVersion"] = "0:10:0:0:0:0:0:0";
  p.options["BiometricUsedCount"] = "1:2";
  ASSERT_NE(Connect(p), nullptr);
  char value[1024];
  EXPECT_EQ(Q_GetSysOption(handle, "BiometricVersion", value), 1);
  EXPECT_STREQ(value, ":0:10:0:0:0:0:0:0");
  EXPECT_EQ(Q_GetSysOption(handle, "BiometricUsedCount", value), 1);
  EXPECT_STREQ(value, "1:2");
}

TEST_F(OptionsE2E, BiometricFallbacksFromCountersAndFlags) {
  termsim::Profile p = Ver660();
  p.options["FingerFunOn"] = "1";
  p.options["FaceFunOn"] = "1";
  ASSERT_NE(Connect(p), nullptr);
  char value[1024];
  // Statuses 7 and 22 (capacities), 3 and 21 (stored counts).
  int32_t fp_cap = 0, face_cap = 0, fp_count = 0, face_count = 0;
  ASSERT_EQ(Q_GetDeviceStatus(handle, 7, &fp_cap), 1);
  ASSERT_EQ(Q_GetDeviceStatus(handle, 22, &face_cap), 1);
  ASSERT_EQ(Q_GetDeviceStatus(handle, 3, &fp_count), 1);
  ASSERT_EQ(Q_GetDeviceStatus(handle, 21, &face_count), 1);
  EXPECT_EQ(Q_GetSysOption(handle, "BiometricMaxCount", value), 1);
  EXPECT_EQ(std::string(value), "0:" + std::to_string(fp_cap) + ":" + std::to_string(face_cap));
  EXPECT_EQ(Q_GetSysOption(handle, "BiometricUsedCount", value), 1);
  EXPECT_EQ(std::string(value), "0:" + std::to_string(fp_count) + ":" + std::to_string(face_count));
  EXPECT_EQ(Q_GetSysOption(handle, "BiometricType", value), 1);
  EXPECT_STREQ(value, "011");
  EXPECT_EQ(Q_GetSysOption(handle, "BiometricVersion", value), 1);
  EXPECT_STREQ(value, "0:10.0:7.0");
  // Served from the caches now.
  const size_t before = sim->ReceivedCount();
  EXPECT_EQ(Q_GetSysOption(handle, "BiometricMaxCount", value), 1);
  EXPECT_EQ(Q_GetSysOption(handle, "BiometricVersion", value), 1);
  EXPECT_EQ(sim->ReceivedCount(), before);
}

TEST_F(OptionsE2E, BiometricCountFallbackThatFailsCachesNothing) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  Q_SetCommuTimeOut(handle, 0);
  termsim::Faults silent;
  silent.silent = true;
  sim->SetFaults(silent);
  char value[1024] = "untouched";
  EXPECT_EQ(Q_GetSysOption(handle, "BiometricMaxCount", value), -2);
  EXPECT_STREQ(value, "untouched");
  EXPECT_TRUE(Session().bio_maxcount_cache.empty());
}

TEST_F(OptionsE2E, ClockRoundTrip) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  EXPECT_EQ(Q_SetTime(handle, 2030, 12, 31, 23, 59, 59), 1);
  // 996364799 = 0x3B6351FF, little-endian.
  EXPECT_EQ(LastPayload(202), (std::vector<uint8_t>{0xFF, 0x51, 0x63, 0x3B}));
  int32_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  EXPECT_EQ(Q_GetTime(handle, &y, &mo, &d, &h, &mi, &s), 1);
  EXPECT_EQ(y, 2030);
  EXPECT_EQ(mo, 12);
  EXPECT_EQ(d, 31);
  EXPECT_EQ(h, 23);
  EXPECT_EQ(mi, 59);
  EXPECT_EQ(s, 59);
  EXPECT_EQ(sim->ClockPacked(), 996364799u);
  // A clock the terminal holds.
  sim->SetClockPacked(0);
  EXPECT_EQ(Q_GetTime(handle, &y, &mo, &d, &h, &mi, &s), 1);
  EXPECT_EQ(y, 2000);
  EXPECT_EQ(mo, 1);
  EXPECT_EQ(d, 1);
  EXPECT_EQ(h + mi + s, 0);
  // 2130 packs like 2030.
  EXPECT_EQ(Q_SetTime(handle, 2130, 12, 31, 23, 59, 59), 1);
  EXPECT_EQ(LastPayload(202), (std::vector<uint8_t>{0xFF, 0x51, 0x63, 0x3B}));
}

TEST_F(OptionsE2E, SetTimeRefusesImpossibleFields) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  const size_t before = sim->ReceivedCount();
  EXPECT_EQ(Q_SetTime(handle, 2020, 0, 1, 0, 0, 0), 4);
  EXPECT_EQ(Q_SetTime(handle, 2020, 1, 0, 0, 0, 0), 4);
  EXPECT_EQ(Q_SetTime(handle, 2020, 13, 1, 0, 0, 0), 4);
  EXPECT_EQ(Q_SetTime(handle, 2020, 1, 32, 0, 0, 0), 4);
  EXPECT_EQ(Q_SetTime(handle, 2020, 1, 1, 24, 0, 0), 4);
  EXPECT_EQ(Q_SetTime(handle, 2020, 1, 1, 0, 60, 0), 4);
  EXPECT_EQ(Q_SetTime(handle, 2020, 1, 1, 0, 0, -1), 4);
  EXPECT_EQ(sim->ReceivedCount(), before);
  // A refused clock leaves the outputs alone.
  sim->SetCommandRefused(201, true);
  int32_t y = 1, mo = 2, d = 3, h = 4, mi = 5, se = 6;
  EXPECT_EQ(Q_GetTime(handle, &y, &mo, &d, &h, &mi, &se), -2);
  EXPECT_EQ(y + mo + d + h + mi + se, 21);
}

TEST_F(OptionsE2E, PinWidthAgainstASilentTerminal) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  Q_SetCommuTimeOut(handle, 1);
  termsim::Faults silent;
  silent.silent = true;
  sim->SetFaults(silent);
  int32_t width = 0;
  int32_t result = 0;
  const int64_t ms = ElapsedMs([&] { result = Q_GetPINWidth(handle, &width); });
  EXPECT_EQ(result, -2);
  EXPECT_EQ(width, 5);
  // One exchange's worth of waiting, not ten.
  EXPECT_LT(ms, 20000);
  EXPECT_LE(sim->CountReceived(69), 8u);
  EXPECT_EQ(Session().pin_width, 0);
}

TEST_F(OptionsE2E, PinWidthOfAnOldTerminalThatDoesNotKnowTheCommand) {
  ASSERT_NE(Connect(termsim::Profile::Old()), nullptr);
  int32_t width = 0;
  EXPECT_EQ(Q_GetPINWidth(handle, &width), 1);  // CMD_ACK_UNKNOWN ten times: 1, width 5
  EXPECT_EQ(width, 5);
  EXPECT_EQ(sim->CountReceived(69), 10u);
}

TEST_F(OptionsE2E, PinWidthOfAWideTerminal) {
  ASSERT_NE(Connect(termsim::Profile::Ver660()), nullptr);
  int32_t width = 0;
  EXPECT_EQ(Q_GetPINWidth(handle, &width), 1);
  EXPECT_EQ(width, 9);
  EXPECT_EQ(Session().pin_width, 9);
  EXPECT_EQ(sim->CountReceived(69), 1u);
  sim->SetPinWidth(-3);  // a signed byte
  EXPECT_EQ(Q_GetPINWidth(handle, &width), 1);
  EXPECT_EQ(width, -3);
}

TEST_F(OptionsE2E, OldTerminalGetsScrambledTildeValues) {
  ASSERT_NE(Connect(termsim::Profile::Old()), nullptr);
  EXPECT_EQ(Session().has_os_option, 0);
  EXPECT_EQ(Q_SetSysOption(handle, "~DeviceName", "Gate"), 1);
  const std::string sent = Text(LastPayload(kWrite));
  EXPECT_EQ(sent.size(), std::string("~DeviceName=").size() + 10 + 1);
  EXPECT_EQ(sim->Option("~DeviceName"), "Gate");
  char text[200];
  EXPECT_EQ(Q_GetProductName(handle, text), 1);
  EXPECT_STREQ(text, "Gate");
  // No device-status command on this firmware.
  EXPECT_EQ(Q_QueryDevStatus(handle), 0);
  EXPECT_EQ(Q_GetDeviceFirmwareVersion(handle, text), -2);
}

TEST_F(OptionsE2E, DeviceFirmwareVersion) {
  termsim::Profile p = termsim::Profile::Ver660();
  p.device_firmware = "Ver 6.60 Oct 26 2009 (main board)";
  ASSERT_NE(Connect(p), nullptr);
  char text[50];
  EXPECT_EQ(Q_GetDeviceFirmwareVersion(handle, text), 1);
  EXPECT_STREQ(text, "Ver 6.60 Oct 26 2009 (main board)");
  EXPECT_EQ(sim->CountReceived(10019), 1u);
}

TEST_F(OptionsE2E, DeviceStatusAndCounters) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  int32_t v = -1;
  EXPECT_EQ(Q_GetDeviceStatus(handle, 0, &v), 4);
  EXPECT_EQ(Q_GetDeviceStatus(handle, 25, &v), 4);
  EXPECT_EQ(Q_GetDeviceStatus(handle, 2, &v), 1);  // users (word 4)
  EXPECT_EQ(v, 12);
  EXPECT_EQ(Q_GetDeviceStatus(handle, 3, &v), 1);  // fingerprints (word 6)
  EXPECT_EQ(v, 20);
  EXPECT_EQ(Q_GetDeviceStatus(handle, 7, &v), 1);  // fingerprint capacity (word 14)
  EXPECT_EQ(v, 3000);
  EXPECT_EQ(Q_GetDeviceStatus(handle, 6, &v), 1);  // attendance records (word 8)
  EXPECT_EQ(v, 345);
  EXPECT_TRUE(LastPayload(50).empty());
}

TEST_F(OptionsE2E, UsbLikeTerminalsAskOneCounterAtATime) {
  termsim::Profile p = Ver660();
  p.options["~Platform"] = "AK3750";
  ASSERT_NE(Connect(p), nullptr);
  ASSERT_EQ(Session().usb_like_transport, 1);
  int32_t v = -1;
  EXPECT_EQ(Q_GetDeviceStatus(handle, 3, &v), 1);
  EXPECT_EQ(LastPayload(50), (std::vector<uint8_t>{6, 0, 0, 0}));
  EXPECT_EQ(v, 20);
  EXPECT_EQ(Q_GetDeviceStatus(handle, 7, &v), 1);
  EXPECT_EQ(LastPayload(50), (std::vector<uint8_t>{14, 0, 0, 0}));
  EXPECT_EQ(v, 3000);
  EXPECT_EQ(sim->CountReceived(50), 2u);  // the engine's command-50 cache is off
}

TEST_F(OptionsE2E, CardFunction) {
  termsim::Profile p = Ver660();
  p.options["~IsOnlyRFMachine"] = "1";
  ASSERT_NE(Connect(p), nullptr);
  int32_t v = -1;
  EXPECT_EQ(Q_GetCardFun(handle, &v), 1);
  EXPECT_EQ(v, 1);
  Q_Close(handle);

  p.options["~IsOnlyRFMachine"] = "0";
  p.options["~RFCardOn"] = "1";
  ASSERT_NE(Connect(p), nullptr);
  EXPECT_EQ(Q_GetCardFun(handle, &v), 1);
  EXPECT_EQ(v, 2);
}

TEST_F(OptionsE2E, FirmwareVersionTexts) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  char text[50];
  EXPECT_EQ(Q_GetFirmwareVersion(handle, text), 1);
  EXPECT_STREQ(text, "Ver 6.60 Oct 26 2009");
}

TEST_F(OptionsE2E, BackgroundCommandAndRefresh) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  Q_SendBackgroundCMD(handle, 1017, 1, 0x01020304, -1);
  EXPECT_EQ(LastPayload(1017),
            (std::vector<uint8_t>{1, 0, 0, 0, 4, 3, 2, 1, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Q_RefreshOptions(handle), 1);
  EXPECT_EQ(sim->CountReceived(1014), 1u);
}

// A terminal that accepts a command but sends less than the record it owes
// is a failure; the caller's outputs stay as they were.
TEST_F(OptionsE2E, ShortFixedRecordsAreFailures) {
  ASSERT_NE(Connect(Ver660()), nullptr);

  sim->SetCannedReply(201, std::vector<uint8_t>{0x12, 0x34});  // half a packed time
  int32_t y = -7, mo = -7, d = -7, h = -7, mi = -7, se = -7;
  EXPECT_EQ(Q_GetTime(handle, &y, &mo, &d, &h, &mi, &se), -2);
  EXPECT_EQ(y, -7);
  EXPECT_EQ(se, -7);

  sim->SetCannedReply(75, std::vector<uint8_t>{});  // no door state at all
  int32_t state = -7;
  EXPECT_EQ(Q_GetDoorState(handle, &state), -2);
  EXPECT_EQ(state, -7);

  sim->SetCannedReply(50, std::vector<uint8_t>(8, 0xFF));  // two counters, not 25
  int32_t value = -7;
  EXPECT_EQ(Q_GetDeviceStatus(handle, 20, &value), -2);
  EXPECT_EQ(value, -7);

  // A full record again decodes as before.
  sim->SetCannedReply(201, std::nullopt);
  EXPECT_EQ(Q_GetTime(handle, &y, &mo, &d, &h, &mi, &se), 1);
  EXPECT_GE(y, 2000);
}

}  // namespace
}  // namespace session_test
