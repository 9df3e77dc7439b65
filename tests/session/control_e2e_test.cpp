// Control commands against the simulator, and what reaches the
// terminal.
#include <string>

#include "session_fixture.h"

namespace session_test {
namespace {

termsim::Profile Ver660() {
  termsim::Profile p;
  p.firmware = "Ver 6.60 Oct 26 2009";
  p.options = {{"~OS", "1"}, {"~QXFPVersion", "10"}};
  return p;
}

using ControlE2E = SessionE2E;
using V = std::vector<uint8_t>;

TEST_F(ControlE2E, EnableAndDisable) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  EXPECT_EQ(Q_DisableDevice(handle, 0x01020304), 1);
  EXPECT_EQ(LastPayload(1003), (V{4, 3, 2, 1}));
  EXPECT_FALSE(sim->DeviceEnabled());
  EXPECT_EQ(Q_EnableDevice(handle), 1);
  EXPECT_TRUE(sim->DeviceEnabled());
}

TEST_F(ControlE2E, RebootClosesTheSession) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  EXPECT_EQ(Q_RebootDevice(handle), 1);
  EXPECT_EQ(sim->CountReceived(1004), 1u);
  EXPECT_EQ(sim->RestartCount(), 1);
  // The handle is gone: later calls and a close act as for null.
  EXPECT_EQ(Q_EnableDevice(handle), -1);
  EXPECT_EQ(Q_Close(handle), -1);
  EXPECT_EQ(Q_RebootDevice(handle), -1);
  handle = nullptr;
}

TEST_F(ControlE2E, RejectedRebootKeepsTheHandle) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  sim->SetCommandRefused(1004, true);
  EXPECT_EQ(Q_RebootDevice(handle), -2);
  EXPECT_EQ(sim->RestartCount(), 0);
  EXPECT_EQ(Q_EnableDevice(handle), 1);
  // A terminal that does not answer at all.
  Q_SetCommuTimeOut(handle, 0);
  termsim::Faults silent;
  silent.silent = true;
  sim->SetFaults(silent);
  EXPECT_EQ(Q_RebootDevice(handle), -2);
  sim->SetFaults({});
  Q_SetCommuTimeOut(handle, 4);
  EXPECT_EQ(Q_EnableDevice(handle), 1);
}

TEST_F(ControlE2E, PowerCommands) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  EXPECT_EQ(Q_PowerOffDevice(handle), 1);
  EXPECT_EQ(Q_SleepDevice(handle), 1);
  EXPECT_EQ(Q_ResumeDevice(handle), 1);
  EXPECT_EQ(Q_SuspendDevice(handle), 1);
  EXPECT_EQ(Q_RefreshData(handle), 1);
  for (uint16_t code : {1005, 1006, 1007, 1022, 1013}) {
    EXPECT_EQ(sim->CountReceived(code), 1u) << code;
  }
  const size_t before = sim->ReceivedCount();
  EXPECT_EQ(Q_AutoPowerOff(handle, 5), -100);
  EXPECT_EQ(Q_PowerOffTime(handle, 1, 2, 3, 4, 5), -100);
  EXPECT_EQ(sim->ReceivedCount(), before);
}

TEST_F(ControlE2E, UnlockAndDoor) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  EXPECT_EQ(Q_Unlock(handle, 300), 1);
  EXPECT_EQ(LastPayload(31), (V{0x2C, 0x01, 0, 0}));
  sim->SetDoorState(0xC1);
  int32_t state = -1;
  EXPECT_EQ(Q_GetDoorState(handle, &state), 1);
  EXPECT_EQ(state, 0xC1);  // unsigned
  sim->SetCommandRefused(75, true);
  EXPECT_EQ(Q_GetDoorState(handle, &state), -2);
  EXPECT_EQ(state, 0xC1);
}

TEST_F(ControlE2E, BeepSendsTwentiethsClamped) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  EXPECT_EQ(Q_Beep(handle, 1000), 1);
  EXPECT_EQ(LastPayload(1020), (V{3, 1, 0, 0, 50}));
  EXPECT_EQ(Q_Beep(handle, 100000), 1);
  EXPECT_EQ(LastPayload(1020), (V{3, 1, 0, 0, 255}));
  EXPECT_EQ(Q_Beep(handle, -400), 1);
  EXPECT_EQ(LastPayload(1020), (V{3, 1, 0, 0, 0}));
}

TEST_F(ControlE2E, LcdRequestIsCutAt100Bytes) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  EXPECT_EQ(Q_WriteLCD(handle, 2, 5, "Hi"), 1);
  EXPECT_EQ(LastPayload(66), (V{2, 5, 0, 'H', 'i', 0}));
  EXPECT_EQ(Q_WriteLCD(handle, 1, 1, std::string(200, 'x').c_str()), 1);
  EXPECT_EQ(LastPayload(66).size(), 100u);
  EXPECT_EQ(LastPayload(66).back(), 'x');
  EXPECT_EQ(Q_ClearLCD(handle), 1);
  EXPECT_EQ(sim->CountReceived(67), 1u);
}

TEST_F(ControlE2E, SoundAndClock) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  EXPECT_EQ(Q_PlayVoice(handle, 3, 9), 1);
  EXPECT_EQ(LastPayload(1017), (V{3, 9}));
  EXPECT_EQ(Q_PlayVoiceByIndex(handle, 4), 1);
  EXPECT_EQ(LastPayload(1017), (V{4}));
  EXPECT_EQ(Q_EnableClock(handle, 1), 1);
  EXPECT_EQ(LastPayload(57), (V{1}));
  EXPECT_EQ(Q_SaveCurTime(handle), 1);
  EXPECT_EQ(Q_TurnOffAlarm(handle), 1);
  EXPECT_EQ(Q_CloseAlarm(handle), 1);
  for (uint16_t code : {10008, 10030, 10034}) EXPECT_EQ(sim->CountReceived(code), 1u) << code;
}

TEST_F(ControlE2E, EnrollWithNarrowUserNumbers) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  EXPECT_EQ(Q_StartEnroll(handle, 0x1234, 3), 1);
  EXPECT_EQ(LastPayload(61), (V{0x34, 0x12, 3}));
  EXPECT_EQ(Session().user_table_stale, 0);
  // A number beyond the 16-bit field would address another user.
  const size_t before = sim->ReceivedCount();
  EXPECT_EQ(Q_StartEnroll(handle, 70000, 0), 4);
  EXPECT_EQ(Q_StartEnroll(handle, -1, 0), 4);
  EXPECT_EQ(Q_StartEnroll(handle, 1, 256), 4);
  EXPECT_EQ(Q_StartEnrollEx(handle, "70000", 0, 0), 4);
  EXPECT_EQ(Q_StartEnrollEx(handle, "12ab", 0, 0), 4);
  EXPECT_EQ(Q_StartEnrollEx(handle, nullptr, 0, 0), 4);
  EXPECT_EQ(Q_StartVerify(handle, 5, -1), 4);
  EXPECT_EQ(sim->ReceivedCount(), before);
  // A number the user table does not map to a 16-bit PIN (the mapping may
  // read the table): no verification goes out.
  EXPECT_EQ(Q_StartVerify(handle, 70000, 0), 4);
  EXPECT_EQ(sim->CountReceived(60), 0u);

  EXPECT_EQ(Q_StartEnrollEx(handle, "291", 6, 1), 1);
  EXPECT_EQ(LastPayload(61), (V{0x23, 0x01, 6, 1}));
  EXPECT_EQ(Q_StartVerify(handle, 291, 2), 1);
  EXPECT_EQ(LastPayload(60), (V{0x23, 0x01, 2}));
  EXPECT_EQ(Q_StartIdentify(handle), 1);
  EXPECT_TRUE(LastPayload(60).empty());
  EXPECT_EQ(Q_CancelOperation(handle), 1);
  EXPECT_EQ(sim->CountReceived(62), 1u);
}

TEST_F(ControlE2E, EnrollWithWideUserNumbersMarksTheUserTableStale) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  Session().pin_width = 9;
  EXPECT_EQ(Q_StartEnroll(handle, 123456789, 1), 1);
  EXPECT_EQ(LastPayload(61), (V{0x15, 0xCD, 0x5B, 0x07, 1}));
  EXPECT_EQ(Session().user_table_stale, 1);
  Session().user_table_stale = 0;
  EXPECT_EQ(Q_StartEnrollEx(handle, "123456789", 1, 0), 1);
  EXPECT_EQ(LastPayload(61), (V{0x15, 0xCD, 0x5B, 0x07, 1, 0}));
  EXPECT_EQ(Session().user_table_stale, 1);
  EXPECT_EQ(Q_StartEnrollEx(handle, "99999999999", 1, 0), 4);
}

TEST_F(ControlE2E, EnrollOnTftTakesTheIdText) {
  termsim::Profile p = Ver660();
  p.options["~Platform"] = "ZMM220_TFT";
  ASSERT_NE(Connect(p), nullptr);
  ASSERT_EQ(Session().is_tft, 1);
  const std::string id24(24, 'A');
  EXPECT_EQ(Q_StartEnrollEx(handle, id24.c_str(), 2, 1), 1);
  V expected(id24.begin(), id24.end());
  expected.push_back(2);
  expected.push_back(1);
  EXPECT_EQ(LastPayload(61), expected);
  EXPECT_EQ(Q_StartEnrollEx(handle, "A7", 0, 0), 1);
  EXPECT_EQ(LastPayload(61).size(), 26u);
  const size_t before = sim->ReceivedCount();
  EXPECT_EQ(Q_StartEnrollEx(handle, std::string(25, 'A').c_str(), 2, 1), 4);
  EXPECT_EQ(sim->ReceivedCount(), before);
}

TEST_F(ControlE2E, QueryState) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  sim->SetMachineState(3);
  int32_t state = -1;
  EXPECT_EQ(Q_QueryState(handle, &state), 1);
  EXPECT_EQ(state, 3);
}

TEST_F(ControlE2E, DeviceStatusOfCommand2998) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  sim->SetDeviceStatus(7);
  EXPECT_EQ(Q_QueryDevStatus(handle), 7);
  EXPECT_EQ(sim->CountReceived(2998), 1u);
  sim->SetCommandRefused(2998, true);
  EXPECT_EQ(Q_QueryDevStatus(handle), 0);
}

TEST_F(ControlE2E, CommandsArriveInOrder) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  sim->ClearControlCommands();
  Q_DisableDevice(handle, 0);
  Q_Beep(handle, 40);
  Q_WriteLCD(handle, 0, 1, "A");
  Q_EnableDevice(handle);
  const auto commands = sim->ControlCommands();
  ASSERT_EQ(commands.size(), 4u);
  EXPECT_EQ(commands[0].code, 1003);
  EXPECT_EQ(commands[1].code, 1020);
  EXPECT_EQ(commands[1].data, (V{3, 1, 0, 0, 2}));
  EXPECT_EQ(commands[2].code, 66);
  EXPECT_EQ(commands[2].data, (V{0, 1, 0, 'A', 0}));
  EXPECT_EQ(commands[3].code, 1002);
}

TEST_F(ControlE2E, RefusedCommandsGiveMinus2OrTheEngineResult) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  for (uint16_t code : {1002, 1003, 31, 66, 67, 1020, 1017, 57, 1013, 60, 61, 62}) {
    sim->SetCommandRefused(code, true);
  }
  EXPECT_EQ(Q_EnableDevice(handle), -2);
  EXPECT_EQ(Q_DisableDevice(handle, 0), -2);
  EXPECT_EQ(Q_Unlock(handle, 1), -2);
  EXPECT_EQ(Q_WriteLCD(handle, 0, 0, "x"), -2);
  EXPECT_EQ(Q_ClearLCD(handle), -2);
  EXPECT_EQ(Q_Beep(handle, 100), -2);
  EXPECT_EQ(Q_PlayVoiceByIndex(handle, 1), -2);
  EXPECT_EQ(Q_EnableClock(handle, 1), -2);
  EXPECT_EQ(Q_RefreshData(handle), -2);
  // The engine's result: the reply's connection word, not -2.
  const int32_t enroll = Q_StartEnroll(handle, 1, 0);
  EXPECT_NE(enroll, 1);
  EXPECT_NE(enroll, -2);
  EXPECT_NE(Q_StartVerify(handle, 1, 0), 1);
  EXPECT_NE(Q_CancelOperation(handle), 1);
}

TEST_F(ControlE2E, PinWidthFromTheTerminal) {
  ASSERT_NE(Connect(Ver660()), nullptr);
  sim->SetPinWidth(9);
  int32_t width = 0;
  EXPECT_EQ(Q_GetPINWidth(handle, &width), 1);
  EXPECT_EQ(width, 9);
  EXPECT_EQ(sim->CountReceived(69), 1u);
  EXPECT_EQ(Session().pin_width, 9);
  // Wide user numbers from now on.
  EXPECT_EQ(Q_StartEnroll(handle, 100000, 0), 1);
  EXPECT_EQ(LastPayload(61), (V{0xA0, 0x86, 0x01, 0x00, 0}));
  EXPECT_EQ(Session().user_table_stale, 1);
}

}  // namespace
}  // namespace session_test
