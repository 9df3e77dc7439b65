// Short keys in the firmware's record and in the sixteen-slot form.
#include <cstring>
#include <string>

#include "extras_fixture.h"

namespace extras_test {
namespace {

using termsim::Profile;

constexpr uint16_t kSetKey = 85;
constexpr uint16_t kReadKeys = 86;
constexpr uint16_t kSetNewKey = 2225;

struct KeyOut {
  int32_t function = -7, state = -7, values[4] = {-7, -7, -7, -7}, flag = -7;
  char text[321];
  KeyOut() { std::memset(text, 'x', sizeof(text)); }
};

int32_t Get(DEVAPI_HANDLE h, int32_t number, KeyOut& o) {
  return Q_SSR_GetShortKey(h, number, &o.function, &o.state, o.values, &o.flag, o.text);
}
int32_t GetNew(DEVAPI_HANDLE h, int32_t number, KeyOut& o) {
  return Q_SSR_NewGetShortKey(h, number, &o.function, &o.state, o.values, &o.flag, o.text);
}

const int32_t kValues[4] = {11, 22, 33, 0x12345678};

TEST_F(ExtrasE2E, SwitchTextStoresTimesAndReadsBack) {
  ASSERT_NE(Connect(Profile::Tft()), nullptr);
  EXPECT_EQ(Q_SSR_SetShortKey(handle, 1, 1, 2, kValues, 1, "8:0;12:30;0:0;0:0;0:0;0:0;0:0;"), 1);
  const termsim::ShortKeyEntry stored = sim->Extras().short_keys.at(1);
  EXPECT_EQ(stored.times, (std::array<uint16_t, 7>{800, 1230, 0, 0, 0, 0, 0}));
  EXPECT_EQ(stored.values[3], 0x12345678u);
  EXPECT_EQ(LastPayload(kSetKey).size(), 44u);
  KeyOut o;
  EXPECT_EQ(Get(handle, 1, o), 1);
  EXPECT_EQ(o.function, 1);
  EXPECT_EQ(o.state, 2);
  EXPECT_EQ(o.values[3], 0x12345678);
  EXPECT_EQ(o.flag, 1);
  EXPECT_STREQ(o.text, "08:00;12:30;00:00;00:00;00:00;00:00;00:00;");
  EXPECT_EQ(o.text[43], 'x');  // 43 bytes written, not one more
  EXPECT_EQ(Get(handle, 9, o), 0);

  const size_t sets = Sent(kSetKey);
  const size_t reads = Sent(kReadKeys);
  EXPECT_EQ(Q_SSR_SetShortKey(handle, 2, 1, 3, kValues, 0, "24:0;"), 4);
  EXPECT_EQ(Sent(kReadKeys), reads);  // refused before the table is read
  // A second key with the same state.
  EXPECT_EQ(Q_SSR_SetShortKey(handle, 2, 1, 2, kValues, 0, ""), 4);
  // The key's own number is no conflict; a null text is empty.
  EXPECT_EQ(Q_SSR_SetShortKey(handle, 1, 1, 2, kValues, 0, nullptr), 1);
  EXPECT_EQ(Sent(kSetKey), sets + 1);
}

TEST_F(ExtrasE2E, RecordSizesFollowTheFirmware) {
  struct Case {
    const char* what;
    Profile profile;
    size_t size;
    uint32_t fourth;
  };
  const Case cases[] = {{"below Ver 6.60", Profile::Old(), 32, 0x5678},
                        {"Ver 6.60", Profile::Ver660(), 44, 0x12345678}};
  for (const Case& c : cases) {
    ASSERT_NE(Connect(c.profile), nullptr) << c.what;
    EXPECT_EQ(Q_SSR_SetShortKey(handle, 4, 1, 1, kValues, 0, "9:5;"), 1) << c.what;
    EXPECT_EQ(LastPayload(kSetKey).size(), c.size) << c.what;
    KeyOut o;
    EXPECT_EQ(Get(handle, 4, o), 1) << c.what;
    EXPECT_EQ(static_cast<uint32_t>(o.values[3]), c.fourth) << c.what;
    EXPECT_STREQ(o.text, "09:05;00:00;00:00;00:00;00:00;00:00;00:00;") << c.what;
    // Below Ver 6.60 a key of another function still holds its state.
    termsim::ExtrasData data = sim->Extras();
    termsim::ShortKeyEntry other;
    other.number = 5;
    other.function = 7;
    other.state = 3;
    data.short_keys[5] = other;
    sim->SetExtras(data);
    EXPECT_EQ(Q_SSR_SetShortKey(handle, 6, 1, 3, kValues, 0, ""), c.size == 32 ? 4 : 1) << c.what;
    Q_Close(handle);
    handle = nullptr;
  }
}

TEST_F(ExtrasE2E, OtherFunctionsCarryState255AndReadBackEmpty) {
  ASSERT_NE(Connect(Profile::Tft()), nullptr);
  EXPECT_EQ(Q_SSR_SetShortKey(handle, 3, 2, 9, kValues, 1, "8:0;"), 1);
  EXPECT_EQ(sim->Extras().short_keys.at(3).state, 255);
  EXPECT_EQ(sim->Extras().short_keys.at(3).values[0], 0u);
  EXPECT_EQ(Q_SSR_SetShortKey(handle, 4, 2, 9, kValues, 0, ""), 4);  // a second function-2 key
  KeyOut o;
  EXPECT_EQ(Get(handle, 3, o), 1);
  EXPECT_EQ(o.function, 2);
  EXPECT_EQ(o.state, 0);
  for (int32_t v : o.values) EXPECT_EQ(v, 0);  // all four, not one byte
  EXPECT_EQ(o.flag, 0);
  EXPECT_STREQ(o.text, "");
}

TEST_F(ExtrasE2E, NewFormSixteenSlotsRoundTripWithoutAConflictTest) {
  ASSERT_NE(Connect(Profile::Tft()), nullptr);
  std::string groups;
  for (int i = 0; i < 16; ++i) {
    char g[32];
    std::snprintf(g, sizeof(g), "%02d:%02d:%d:%d:%d:%d:%d:%d:%d;", 6 + i, i * 3, i & 1, 1, 0,
                  (i >> 1) & 1, 1, (i >> 2) & 1, 0);
    groups += g;
  }
  const size_t reads = Sent(kReadKeys) + Sent(2226);
  EXPECT_EQ(Q_SSR_NewSetShortKey(handle, 7, 1, 4, kValues, 1, groups.c_str()), 1);
  EXPECT_EQ(Sent(kReadKeys) + Sent(2226), reads);  // no table read
  EXPECT_EQ(LastPayload(kSetNewKey).size(), 286u);
  KeyOut o;
  EXPECT_EQ(GetNew(handle, 7, o), 1);
  EXPECT_EQ(o.state, 4);
  EXPECT_EQ(o.flag, 1);
  EXPECT_EQ(std::string(o.text), groups);  // written from the start, 321 bytes
  EXPECT_EQ(GetNew(handle, 8, o), 0);
  // A missing group is no switch.
  EXPECT_EQ(Q_SSR_NewSetShortKey(handle, 8, 1, 5, kValues, 1, "7:30:1:1:1:1:1:0:0"), 1);
  EXPECT_EQ(sim->Extras().short_keys.at(8).slot_times[1], 0);
  const std::string too_long(40, '1');
  EXPECT_EQ(Q_SSR_NewSetShortKey(handle, 8, 1, 5, kValues, 1, too_long.c_str()), 4);
  EXPECT_EQ(Q_SSR_NewSetShortKey(handle, 8, 1, 5, kValues, 1, "7:60;"), 4);
}

TEST_F(ExtrasE2E, ShortKeyArgumentsAndNullHandles) {
  KeyOut o;
  EXPECT_EQ(Get(nullptr, 1, o), -1);
  EXPECT_EQ(GetNew(nullptr, 1, o), -1);
  EXPECT_EQ(Q_SSR_SetShortKey(nullptr, 1, 1, 1, kValues, 0, ""), -1);
  ASSERT_NE(Connect(Profile::Tft()), nullptr);
  const size_t before = sim->ReceivedCount();
  const int32_t results[] = {
      Q_SSR_SetShortKey(handle, 256, 1, 1, kValues, 0, ""),
      Q_SSR_SetShortKey(handle, 1, -1, 1, kValues, 0, ""),
      Q_SSR_SetShortKey(handle, 1, 1, 256, kValues, 0, ""),
      Q_SSR_SetShortKey(handle, 1, 1, 1, nullptr, 0, ""),
      Q_SSR_NewSetShortKey(handle, 300, 1, 1, kValues, 0, ""),
      Q_SSR_GetShortKey(handle, 1, nullptr, &o.state, o.values, &o.flag, o.text),
      Q_SSR_NewGetShortKey(handle, 1, &o.function, &o.state, o.values, &o.flag, nullptr),
      Q_SSR_GetShortKey(handle, -1, &o.function, &o.state, o.values, &o.flag, o.text),
  };
  for (int32_t r : results) EXPECT_EQ(r, 4);
  EXPECT_EQ(sim->ReceivedCount(), before);
}

TEST_F(ExtrasE2E, HostileKeyTablesGiveMinusTwoAndLeaveOutputsAlone) {
  termsim::ExtrasData data;
  termsim::ShortKeyEntry bad;
  bad.number = 1;
  bad.function = 1;
  bad.times[0] = 65535;  // would print as 655:35
  data.short_keys[1] = bad;
  ASSERT_NE(Connect(Profile::Tft(), data), nullptr);
  KeyOut o;
  EXPECT_EQ(Get(handle, 1, o), -2);
  EXPECT_EQ(o.function, -7);
  EXPECT_EQ(o.text[0], 'x');
  bad.times[0] = 0;
  bad.slot_times[3] = 2400;
  data.short_keys[1] = bad;
  sim->SetExtras(data);
  EXPECT_EQ(GetNew(handle, 1, o), -2);
  EXPECT_EQ(o.text[0], 'x');
  // An overstated count over a partial record.
  data.raw_tables[kReadKeys] = CountedBytes(4000, std::vector<uint8_t>(44 + 10, 1));
  data.raw_tables[2226] = CountedBytes(286 * 3, std::vector<uint8_t>(286 + 1, 1));
  sim->SetExtras(data);
  EXPECT_EQ(Get(handle, 1, o), -2);
  EXPECT_EQ(GetNew(handle, 1, o), -2);
  EXPECT_EQ(Q_SSR_SetShortKey(handle, 2, 1, 2, kValues, 0, ""), -2);
  EXPECT_EQ(Sent(kSetKey), 0u);
  // A count below what arrived limits the records.
  std::vector<uint8_t> two(88, 0);
  two[0] = 9;
  two[1] = 1;
  two[44] = 1;
  two[45] = 1;
  data.raw_tables[kReadKeys] = CountedBytes(44, two);
  sim->SetExtras(data);
  EXPECT_EQ(Get(handle, 1, o), 0);  // key 1 lies past the count
  EXPECT_EQ(Get(handle, 9, o), 1);
}

}  // namespace
}  // namespace extras_test
