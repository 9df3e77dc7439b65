// Custom states and voices, bells, tip and labor codes, the state map and
// the cancel flag against the simulated terminal.
#include <cstring>
#include <string>

#include "extras_fixture.h"
#include "termsim/logs.h"

namespace extras_test {
namespace {

using termsim::Profile;

TEST_F(ExtrasE2E, CustomStatesNeedTheExtendedFormatAndFitTheirRanges) {
  ASSERT_NE(Connect(Profile::Old()), nullptr);
  EXPECT_EQ(Session().extend_fmt, 0);
  EXPECT_EQ(Q_SetCustomizeAttState(handle, 1, 10), 4);
  EXPECT_EQ(Q_EnableCustomizeAttState(handle, 1, 1), 4);
  EXPECT_EQ(Q_DelCustomizeAttState(handle, 1), 4);
  EXPECT_EQ(Sent(1703) + Sent(1705) + Sent(1707), 0u);
  Q_Close(handle);

  ASSERT_NE(Connect(Profile::Tft()), nullptr);
  EXPECT_EQ(Q_SetCustomizeAttState(handle, 7, 127), 1);
  EXPECT_EQ(LastPayload(1703), (std::vector<uint8_t>{7, 0, 127, 0, 1, 0}));
  EXPECT_EQ(Q_EnableCustomizeAttState(handle, 7, 5), 1);
  EXPECT_EQ(LastPayload(1705), (std::vector<uint8_t>{7, 0, 1, 0, 0, 0}));  // non-zero sends 1
  EXPECT_EQ(Q_DelCustomizeAttState(handle, 7), 1);
  EXPECT_TRUE(sim->Extras().states.empty());
  const size_t before = sim->ReceivedCount();
  const int32_t refused[] = {Q_SetCustomizeAttState(handle, 8, 1),
                             Q_SetCustomizeAttState(handle, -1, 1),
                             Q_SetCustomizeAttState(handle, 1, 128),
                             Q_SetCustomizeAttState(handle, 1, -1),
                             Q_DelCustomizeAttState(handle, 8),
                             Q_EnableCustomizeAttState(handle, -8, 1)};
  for (int32_t r : refused) EXPECT_EQ(r, 4);
  EXPECT_EQ(sim->ReceivedCount(), before);
}

TEST_F(ExtrasE2E, VoiceNamesThatNameAnotherFileAreRefused) {
  ASSERT_NE(Connect(Profile::Tft()), nullptr);
  EXPECT_EQ(Q_SetCustomizeVoice(handle, 20, "ring.wav"), 1);
  const auto sent = LastPayload(1704);
  ASSERT_EQ(sent.size(), 32u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sent.data() + 10)), "ring.wav");
  EXPECT_EQ(sent[30], 1);
  EXPECT_EQ(sim->Extras().voices.at(20).file, "ring.wav");
  EXPECT_EQ(Q_SetCustomizeVoice(handle, 3, "abcdefghijklmnopqrs"), 1);  // 19 characters
  EXPECT_EQ(Q_EnableCustomizeVoice(handle, 20, 0), 1);
  EXPECT_FALSE(sim->Extras().voices.at(20).enabled);
  EXPECT_EQ(Q_DelCustomizeVoice(handle, 20), 1);
  const size_t before = sim->ReceivedCount();
  struct Case {
    int32_t index;
    const char* name;
  };
  const Case cases[] = {{1, "beep.wav"}, {1, "a\\b.wav"}, {1, "a/b.wav"}, {1, "."},
                        {1, ".."},       {1, ""},        {1, nullptr},   {1, "abcdefghijklmnopqrst"},
                        {21, "x.wav"},   {-1, "x.wav"}};
  for (const Case& c : cases) {
    EXPECT_EQ(Q_SetCustomizeVoice(handle, c.index, c.name), 4) << (c.name ? c.name : "null");
  }
  EXPECT_EQ(Q_DelCustomizeVoice(handle, 21), 4);
  EXPECT_EQ(Q_EnableCustomizeVoice(handle, -1, 1), 4);
  EXPECT_EQ(sim->ReceivedCount(), before);
}

struct BellOut {
  int32_t v[9] = {-7, -7, -7, -7, -7, -7, -7, -7, -7};
};
int32_t Info(DEVAPI_HANDLE h, BellOut& o) {
  return Q_GetBellInfo(h, &o.v[0], &o.v[1], &o.v[2], &o.v[3], &o.v[4], &o.v[5], &o.v[6], &o.v[7],
                       &o.v[8]);
}

TEST_F(ExtrasE2E, BellsAreSetReadAndWalked) {
  ASSERT_NE(Connect(Profile::Tft()), nullptr);
  int32_t value = 0;
  EXPECT_EQ(Q_GetMaxBellID(handle, &value), 1);
  EXPECT_EQ(value, -1);  // the reply holds no value
  BellOut none;
  EXPECT_EQ(Info(handle, none), 0);  // no bells: nothing to walk

  EXPECT_EQ(Q_SetBellSetting(handle, 2, 5, 1, 7, 45, 100, 3, 200, 300), 1);
  EXPECT_EQ(U32At(LastPayload(10016), 12), 745u);
  // Hour and minute travel as bytes.
  EXPECT_EQ(Q_SetBellSetting(handle, 0, 9, 0, 256 + 12, 256 + 5, 0, 0, 0, 0), 1);
  EXPECT_EQ(U32At(LastPayload(10016), 12), 1205u);
  EXPECT_EQ(Q_SetBellSetting(handle, 1, 3, 0, 16, 30, 0, 0, 0, 0), 1);
  EXPECT_EQ(Q_GetDayBellCnt(handle, &value), 1);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(Q_GetMaxBellID(handle, &value), 1);
  EXPECT_EQ(value, 9);

  int32_t first_byte = 0, hour = 0, minute = 0, second_value = 0, third_byte = 0, first_value = 0,
          third_value = 0;
  EXPECT_EQ(Q_GetBellSetting(handle, 2, 5, &first_byte, &hour, &minute, &second_value,
                             &third_byte, &first_value, &third_value),
            1);
  EXPECT_EQ(hour, 7);
  EXPECT_EQ(minute, 45);
  EXPECT_EQ(first_byte, 1);
  EXPECT_EQ(second_value, 100);
  EXPECT_EQ(third_byte, 3);
  EXPECT_EQ(first_value, 200);
  EXPECT_EQ(third_value, 300);
  EXPECT_EQ(Q_GetBellSetting(handle, 1, 5, &first_byte, &hour, &minute, &second_value,
                             &third_byte, &first_value, &third_value),
            -2);

  EXPECT_EQ(Q_ReadAllBell(handle), 1);
  std::vector<int32_t> numbers;
  BellOut o;
  while (Info(handle, o) == 1) numbers.push_back(o.v[1]);
  EXPECT_EQ(numbers, (std::vector<int32_t>{3, 5, 9}));
  EXPECT_EQ(Info(handle, o), 0);
  EXPECT_EQ(Sent(10017), 2u);  // the walk used the download
  // A log download takes the buffer: the bell view goes with it.
  sim->SetAttendanceLog({});
  Q_ReadLog(handle, 0);
  EXPECT_EQ(Session().bell_len + Session().bell_cursor + Session().bell_start, 0u);
}

TEST_F(ExtrasE2E, ABellTableWithAPartialRecordEndsTheWalk) {
  termsim::ExtrasData data;
  std::vector<uint8_t> records(24 * 2 + 10, 0);
  records[0] = 1;
  records[24] = 2;
  data.raw_tables[10017] = CountedBytes(100000, records);
  ASSERT_NE(Connect(Profile::Tft(), data), nullptr);
  // Only the bell view is left: the other views are dropped.
  Session().attlog_len = 16;
  Session().oplog_len = 16;
  EXPECT_EQ(Q_ReadAllBell(handle), 1);
  EXPECT_EQ(Session().attlog_len + Session().oplog_len, 0u);
  EXPECT_EQ(Session().bell_len, records.size());
  BellOut o;
  EXPECT_EQ(Info(handle, o), 1);
  EXPECT_EQ(Info(handle, o), 1);
  EXPECT_EQ(o.v[1], 2);
  EXPECT_EQ(Info(handle, o), 0);
}

TEST_F(ExtrasE2E, TipCodesLaborGroupsAndLaborCodesRoundTrip) {
  ASSERT_NE(Connect(Profile::Tft()), nullptr);
  const std::string long_name(30, 'n');
  struct Family {
    const char* what;
    decltype(&Q_GetTipCodeByNum) get;
    decltype(&Q_SetTipCodeByNum) set;
    decltype(&Q_DelTipCodeByNum) del;
  };
  const Family families[] = {
      {"tip codes", Q_GetTipCodeByNum, Q_SetTipCodeByNum, Q_DelTipCodeByNum},
      {"labor groups", Q_GetLaborGroupByNum, Q_SetLaborGroupByNum, Q_DelLaborGroupByNum}};
  for (const Family& f : families) {
    EXPECT_EQ(f.set(handle, 12, long_name.c_str(), 4321), 1) << f.what;
    int32_t name[7];
    std::memset(name, 0x5A, sizeof(name));
    int32_t value = 0;
    EXPECT_EQ(f.get(handle, 12, name, &value), 1) << f.what;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(name)), std::string(24, 'n')) << f.what;
    EXPECT_EQ(value, 4321) << f.what;
    EXPECT_EQ(f.del(handle, 12), 1) << f.what;
    EXPECT_EQ(f.del(handle, 12), -2) << f.what;
    EXPECT_EQ(f.get(handle, 12, name, &value), -2) << f.what;
    EXPECT_EQ(f.get(handle, 12, nullptr, &value), 4) << f.what;
  }
  EXPECT_EQ(Q_SetLaborCodeByNum(handle, 3, 4, "Welding"), 1);
  int32_t name[7] = {};
  EXPECT_EQ(Q_GetLaborCodeByNum(handle, 3, 4, name), 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(name), "Welding");
  EXPECT_EQ(Q_GetLaborCodeByNum(handle, 3, 5, name), -2);
  EXPECT_EQ(Q_DelLaborCodeByNum(handle, 3, 4), 1);
  EXPECT_EQ(Q_DelLaborCodeByNum(handle, 3, 4), -2);
  EXPECT_EQ(Q_SetLaborCodeByNum(handle, 3, 4, nullptr), 4);
}

TEST_F(ExtrasE2E, StateMapWritesTheStateAndReadsStatePlusOne) {
  ASSERT_NE(Connect(Profile::Tft()), nullptr);
  EXPECT_EQ(Q_SetAttStateMapValue(handle, 2, 77), 1);
  EXPECT_EQ(sim->Extras().state_map.at(2), 77);
  int32_t value = 0;
  EXPECT_EQ(Q_GetAttStateMapValue(handle, 1, &value), 1);
  EXPECT_EQ(value, 77);
  value = 5;
  EXPECT_EQ(Q_GetAttStateMapValue(handle, 2, &value), -2);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(Q_SetAttStateMapValue(handle, 65536, 1), 4);
  EXPECT_EQ(Q_GetAttStateMapValue(handle, -1, &value), 4);
  EXPECT_EQ(Q_GetAttStateMapValue(handle, 1, nullptr), 4);
  // A partial entry.
  termsim::ExtrasData data = sim->Extras();
  data.raw_tables[2228] = CountedBytes(800, {2, 0, 77, 0, 0, 0, 0, 0, 3, 0, 1});
  sim->SetExtras(data);
  EXPECT_EQ(Q_GetAttStateMapValue(handle, 1, &value), -2);
  EXPECT_EQ(value, 5);
}

TEST_F(ExtrasE2E, UnderscoreCallsLeaveTheCancelFlag) {
  ASSERT_NE(Connect(Profile::Tft()), nullptr);
  ASSERT_EQ(Q_SetTipCodeByNum(handle, 1, "Tip", 1), 1);
  Q_CancelByUser(handle);
  int32_t name[7], value = 0;
  EXPECT_EQ(Q_GetTipCodeByNum(handle, 1, name, &value), -2);
  EXPECT_EQ(Q_SetAttStateMapValue(handle, 1, 1), -2);
  EXPECT_EQ(Sent(20000), 0u);
  // A plain call clears the flag first.
  EXPECT_EQ(Q_SetWorkCode(handle, 1, 1), 1);
  EXPECT_EQ(Q_GetTipCodeByNum(handle, 1, name, &value), 1);
}

}  // namespace
}  // namespace extras_test
