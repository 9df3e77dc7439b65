// The short-key records, switch-time texts and conflict test by tables.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>
#include <string>

#include "extras/counted_table.h"
#include "extras/short_key_codec.h"

namespace {

using devapi::extras::DecodeKey;
using devapi::extras::DecodeNewKey;
using devapi::extras::EncodeKey;
using devapi::extras::EncodeNewKey;
using devapi::extras::FormatNewGroups;
using devapi::extras::FormatSwitchTimes;
using devapi::extras::KeysConflict;
using devapi::extras::NewShortKey;
using devapi::extras::ParseNewGroups;
using devapi::extras::ParseSwitchTimes;
using devapi::extras::ShortKey;

TEST(SwitchTimes, TextsParseToTimesOrAreRefused) {
  struct Case {
    const char* text;
    bool ok;
    std::array<uint16_t, 7> times;
  };
  const Case cases[] = {
      {"8:0;12:30;0:0;0:0;0:0;0:0;0:0;", true, {800, 1230, 0, 0, 0, 0, 0}},
      {"", true, {}},
      {"7:15;", true, {715, 0, 0, 0, 0, 0, 0}},       // missing pairs are 0
      {"23:59;0:1", true, {2359, 1, 0, 0, 0, 0, 0}},  // last ';' may be missing
      {"24:0;", false, {}},
      {"8:60;", false, {}},
      {"-1:0;", false, {}},  // compared unsigned
      {"99999999999:0;", false, {}},
  };
  for (const Case& c : cases) {
    const auto parsed = ParseSwitchTimes(c.text);
    EXPECT_EQ(parsed.has_value(), c.ok) << c.text;
    if (parsed && c.ok) {
      EXPECT_EQ(*parsed, c.times) << c.text;
    }
  }
}

TEST(SwitchTimes, StoredTimesPrintFromTheStartAndBadOnesAreRefused) {
  char text[devapi::extras::kTimeTextSize];
  std::memset(text, 'x', sizeof(text));
  ASSERT_TRUE(FormatSwitchTimes({800, 1230, 0, 0, 0, 0, 2359}, text, sizeof(text)));
  EXPECT_STREQ(text, "08:00;12:30;00:00;00:00;00:00;00:00;23:59;");
  EXPECT_EQ(std::strlen(text) + 1, sizeof(text));  // fills the 43 bytes exactly
  // 65535 would print as 655:35; 1260 has minute 60.
  EXPECT_FALSE(FormatSwitchTimes({65535, 0, 0, 0, 0, 0, 0}, text, sizeof(text)));
  EXPECT_FALSE(FormatSwitchTimes({1260, 0, 0, 0, 0, 0, 0}, text, sizeof(text)));
  EXPECT_FALSE(FormatSwitchTimes({}, text, 42));  // too small a buffer
}

TEST(NewGroups, SixteenSlotsWithDayFlagsRoundTripThroughTheText) {
  std::string text;
  for (int i = 0; i < 16; ++i) {
    char g[32];
    std::snprintf(g, sizeof(g), "%02d:%02d:%d:%d:%d:%d:%d:%d:%d;", 6 + i, (i * 7) % 60, i & 1,
                  (i >> 1) & 1, 1, 0, (i >> 2) & 1, 1, (i >> 3) & 1);
    text += g;
  }
  const auto key = ParseNewGroups(text);
  ASSERT_TRUE(key.has_value());
  const NewShortKey back = DecodeNewKey(EncodeNewKey(*key));
  char out[devapi::extras::kNewTimeTextSize];
  ASSERT_TRUE(FormatNewGroups(back, out, sizeof(out)));
  EXPECT_EQ(out, text);
  EXPECT_EQ(text.size() + 1, sizeof(out));
}

TEST(NewGroups, MissingGroupsAndFieldsAreZeroAndBadGroupsRefused) {
  const auto key = ParseNewGroups("8:30:1:1:1:1:1");  // one group, two day flags missing
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->slot_times[0], 830);
  EXPECT_EQ(key->days[4][0], 830);
  EXPECT_EQ(key->days[5][0], 0);
  EXPECT_EQ(key->days[6][0], 0);
  // No slot repeats the last group: the terminal would switch at times never asked for.
  for (size_t slot = 1; slot < 16; ++slot) {
    EXPECT_EQ(key->slot_times[slot], 0) << slot;
    for (size_t d = 0; d < 7; ++d) EXPECT_EQ(key->days[d][slot], 0);
  }
  const std::string refused[] = {"24:0:1;", "8:61;", "8:0:1;x;", std::string(40, '1')};
  for (const std::string& text : refused) EXPECT_FALSE(ParseNewGroups(text).has_value()) << text;
  // A slot at 00:00 reads back inactive on every day.
  const auto midnight = ParseNewGroups("0:0:1:1:1:1:1:1:1;");
  ASSERT_TRUE(midnight.has_value());
  char out[devapi::extras::kNewTimeTextSize];
  ASSERT_TRUE(FormatNewGroups(*midnight, out, sizeof(out)));
  EXPECT_EQ(std::string(out).substr(0, 20), "00:00:0:0:0:0:0:0:0;");
}

TEST(KeyRecords, SizesByFirmwareAndTheNarrowFourthValue) {
  ShortKey key;
  key.number = 3;
  key.function = 1;
  key.state = 5;
  key.values = {1, 2, 3, 0x12345678};
  key.times = {800, 1230, 0, 0, 0, 0, 1};
  key.auto_switch = 1;
  const auto wide = EncodeKey(key, true);
  const auto narrow = EncodeKey(key, false);
  ASSERT_EQ(wide.size(), 44u);
  ASSERT_EQ(narrow.size(), 32u);
  EXPECT_EQ(wide[29] | (wide[30] << 8), 800);
  EXPECT_EQ(narrow[17] | (narrow[18] << 8), 800);
  EXPECT_EQ(wide[43], 1);
  EXPECT_EQ(narrow[31], 1);
  EXPECT_EQ(DecodeKey(wide, true).values[3], 0x12345678u);
  EXPECT_EQ(DecodeKey(narrow, false).values[3], 0x5678u);
  EXPECT_EQ(DecodeKey(narrow, false).times, key.times);
}

TEST(KeyConflicts, ByFunctionStateAndSwitchTimes) {
  auto make = [](uint8_t number, uint8_t function, uint8_t state, uint8_t flag,
                 uint16_t monday) {
    ShortKey k;
    k.number = number;
    k.function = function;
    k.state = state;
    k.auto_switch = flag;
    k.times[1] = monday;
    return k;
  };
  struct Case {
    const char* what;
    ShortKey candidate, other;
    bool wide;
    bool conflict;
  };
  const Case cases[] = {
      {"function 2 twice", make(1, 2, 255, 0, 0), make(2, 2, 255, 0, 0), true, true},
      {"function 3 twice", make(1, 3, 255, 0, 0), make(2, 3, 255, 0, 0), true, true},
      {"functions 2 and 3", make(1, 2, 255, 0, 0), make(2, 3, 255, 0, 0), true, false},
      {"same state", make(1, 1, 4, 0, 0), make(2, 1, 4, 0, 0), true, true},
      {"other state", make(1, 1, 4, 0, 0), make(2, 1, 5, 0, 0), true, false},
      {"same state, other function, Ver 6.60", make(1, 1, 4, 0, 0), make(2, 5, 4, 0, 0), true,
       false},
      {"same state, other function, older", make(1, 1, 4, 0, 0), make(2, 5, 4, 0, 0), false,
       true},
      {"equal weekday times, both flags", make(1, 1, 4, 1, 800), make(2, 1, 5, 1, 800), true,
       true},
      {"equal times, one flag", make(1, 1, 4, 1, 800), make(2, 1, 5, 0, 800), true, false},
      {"both times zero", make(1, 1, 4, 1, 0), make(2, 1, 5, 1, 0), true, false},
      {"different times", make(1, 1, 4, 1, 800), make(2, 1, 5, 1, 801), true, false},
      {"the key's own number", make(2, 1, 4, 1, 800), make(2, 1, 4, 1, 800), true, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeysConflict(c.candidate, c.other, c.wide), c.conflict) << c.what;
  }
}

TEST(CountedTables, RecordsAreBoundedByWhatArrived) {
  using devapi::extras::CountedRecords;
  std::vector<uint8_t> buffer(64, 0);
  buffer[0] = 200;  // the count overstates the 20 record bytes that came
  struct Case {
    int32_t received;
    bool ok;
    size_t records;
  };
  const Case cases[] = {{24, true, 20}, {3, false, 0}, {-5, false, 0}, {1000, true, 60}};
  for (const Case& c : cases) {
    const auto r = CountedRecords(buffer, c.received);
    EXPECT_EQ(r.has_value(), c.ok) << c.received;
    if (r) {
      EXPECT_EQ(r->size(), c.records) << c.received;
    }
  }
  buffer[0] = 8;  // a count below what arrived limits the records
  EXPECT_EQ(CountedRecords(buffer, 24)->size(), 8u);
}

TEST(CountedTables, TheBellTimeOutSaturates) {
  using devapi::extras::ScaledTimeout;
  EXPECT_EQ(ScaledTimeout(5000, 30), 150000);
  EXPECT_EQ(ScaledTimeout(INT32_MAX / 20, 30), INT32_MAX);
  EXPECT_EQ(ScaledTimeout(INT32_MAX, 30), INT32_MAX);
  EXPECT_EQ(ScaledTimeout(-1, 30), 0);
}

}  // namespace
