// Work codes in their three forms against the simulated terminal.
#include <cstring>
#include <string>

#include "extras_fixture.h"

namespace extras_test {
namespace {

using termsim::Profile;

// Six values holding a text, and a seventh the reads must zero.
struct Record {
  int32_t v[7] = {};
  explicit Record(const char* text = "") {
    std::memcpy(v, text, std::min<size_t>(std::strlen(text), 24));
    v[6] = 0x5A5A5A5A;
  }
  std::string Text() const { return std::string(reinterpret_cast<const char*>(v), ::strnlen(reinterpret_cast<const char*>(v), 24)); }
};

TEST_F(ExtrasE2E, PlainWorkCodesRoundTripAndDeletionsMapNoData) {
  ASSERT_NE(Connect(Profile::Ver660()), nullptr);
  EXPECT_EQ(Q_SetWorkCode(handle, 5, 123456), 1);
  EXPECT_EQ(sim->Extras().work_codes.at(5), 123456u);
  int32_t code = 0;
  EXPECT_EQ(Q_GetWorkCode(handle, 5, &code), 1);
  EXPECT_EQ(code, 123456);
  EXPECT_EQ(Q_DeleteWorkCode(handle, 5), 1);
  // The terminal answers 4989 for an index it does not hold.
  EXPECT_EQ(Q_DeleteWorkCode(handle, 5), 0);
  code = 77;
  EXPECT_EQ(Q_GetWorkCode(handle, 5, &code), -2);
  EXPECT_EQ(code, 77);
  EXPECT_EQ(Q_SetWorkCode(handle, 9, 1), 1);
  EXPECT_EQ(Q_ClearWorkCode(handle), 1);
  EXPECT_TRUE(sim->Extras().work_codes.empty());
  EXPECT_EQ(LastPayload(14), std::vector<uint8_t>{9});
  // Clearing kinds 9 and 17 stays the work-code functions' business.
  EXPECT_EQ(Q_ClearDataEx(handle, 9), 4);
  EXPECT_EQ(Q_ClearDataEx(handle, 17), 4);
}

TEST_F(ExtrasE2E, TextFormWorkCodesRoundTripWithTheSeventhValueZeroed) {
  ASSERT_NE(Connect(Profile::Tft()), nullptr);
  const Record meal("Meal break");
  EXPECT_EQ(Q_SSR_SetWorkCode(handle, 42, meal.v), 1);
  const auto sent = LastPayload(82);
  ASSERT_EQ(sent.size(), 36u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sent.data() + 2)), "42");
  Record back;
  EXPECT_EQ(Q_SSR_GetWorkCode(handle, 42, back.v), 1);
  EXPECT_EQ(back.Text(), "Meal break");
  EXPECT_EQ(back.v[6], 0);
  EXPECT_EQ(Q_SSR_DeleteWorkCode(handle, 42), 1);
  EXPECT_EQ(Q_SSR_DeleteWorkCode(handle, 42), 0);  // reason 2
  EXPECT_EQ(Q_SSR_GetWorkCode(handle, 42, back.v), -2);
  EXPECT_EQ(Q_SSR_SetWorkCode(handle, 7, meal.v), 1);
  EXPECT_EQ(Q_SSR_ClearWorkCode(handle), 1);
  EXPECT_TRUE(sim->Extras().text_work_codes.empty());
  EXPECT_EQ(LastPayload(14), std::vector<uint8_t>{17});
}

TEST_F(ExtrasE2E, ExtendedWorkCodesByNameIdAndCodeText) {
  ASSERT_NE(Connect(Profile::Tft()), nullptr);
  const Record code_text("A17"), name("Lunch");
  EXPECT_EQ(Q_SSR_SetWorkCodeEx(handle, code_text.v, name.v), 1);
  int32_t id = 0;
  EXPECT_EQ(Q_SSR_GetWorkCodeIDByName(handle, "Lunch", &id), 1);
  EXPECT_EQ(id, 1);  // the terminal numbers from 1
  Record first, second;
  EXPECT_EQ(Q_SSR_GetWorkCodeExByID(handle, id, first.v, second.v), 1);
  EXPECT_EQ(first.Text(), "A17");
  EXPECT_EQ(first.v[6], 0x5A5A5A5A);  // the first field gets six values
  EXPECT_EQ(second.Text(), "Lunch");
  EXPECT_EQ(second.v[6], 0);
  Record by_code;
  EXPECT_EQ(Q_SSR_GetWorkCodeEx(handle, "A17", by_code.v), 1);
  EXPECT_EQ(by_code.Text(), "Lunch");
  EXPECT_EQ(by_code.v[6], 0);
  EXPECT_EQ(Q_SSR_DeleteWorkCodeEx(handle, code_text.v), 1);
  EXPECT_EQ(Q_SSR_DeleteWorkCodeEx(handle, code_text.v), 0);
  EXPECT_EQ(Q_SSR_GetWorkCodeEx(handle, "A17", by_code.v), -2);
}

TEST_F(ExtrasE2E, WorkCodeArgumentsThatDoNotFitSendNothing) {
  ASSERT_NE(Connect(Profile::Tft()), nullptr);
  const size_t before = sim->ReceivedCount();
  Record r("x");
  int32_t out = 0;
  const std::string long_text(25, 'c');
  struct Case {
    const char* what;
    int32_t result;
  };
  const Case cases[] = {
      {"plain index above 65535", Q_SetWorkCode(handle, 65536, 1)},
      {"plain index negative", Q_GetWorkCode(handle, -1, &out)},
      {"plain null code", Q_GetWorkCode(handle, 1, nullptr)},
      {"plain delete 70000", Q_DeleteWorkCode(handle, 70000)},
      {"read text of 8 characters", Q_SSR_GetWorkCode(handle, 12345678, r.v)},
      {"write text of 9 characters", Q_SSR_SetWorkCode(handle, 123456789, r.v)},
      {"delete text of 11 characters", Q_SSR_DeleteWorkCode(handle, -1234567890)},
      {"null record", Q_SSR_SetWorkCode(handle, 1, nullptr)},
      {"ID above 24 bits", Q_SSR_GetWorkCodeExByID(handle, 0x1000000, r.v, r.v)},
      {"negative ID", Q_SSR_GetWorkCodeExByID(handle, -1, r.v, r.v)},
      {"code text of 25 characters", Q_SSR_GetWorkCodeEx(handle, long_text.c_str(), r.v)},
      {"name of 25 characters", Q_SSR_GetWorkCodeIDByName(handle, long_text.c_str(), &out)},
      {"null name", Q_SSR_GetWorkCodeIDByName(handle, nullptr, &out)},
      {"null fields", Q_SSR_SetWorkCodeEx(handle, nullptr, r.v)},
      {"null field to delete", Q_SSR_DeleteWorkCodeEx(handle, nullptr)},
  };
  for (const Case& c : cases) EXPECT_EQ(c.result, 4) << c.what;
  EXPECT_EQ(sim->ReceivedCount(), before);
  // The largest numbers that fit go out.
  EXPECT_EQ(Q_SSR_SetWorkCode(handle, 12345678, r.v), 1);
  EXPECT_EQ(Q_SSR_GetWorkCode(handle, 1234567, r.v), -2);
  EXPECT_EQ(Q_GetWorkCode(nullptr, 1, &out), -1);
  EXPECT_EQ(Q_SSR_GetWorkCodeEx(nullptr, "A", r.v), -1);
}

TEST_F(ExtrasE2E, ShortWorkCodeRepliesLeaveTheOutputsAlone) {
  ASSERT_NE(Connect(Profile::Tft()), nullptr);
  sim->SetCannedReply(83, std::vector<uint8_t>(5, 1));
  sim->SetCannedReply(10025, std::vector<uint8_t>(57, 1));
  int32_t code = 77;
  EXPECT_EQ(Q_GetWorkCode(handle, 1, &code), -2);
  EXPECT_EQ(code, 77);
  Record first, second;
  EXPECT_EQ(Q_SSR_GetWorkCodeExByID(handle, 1, first.v, second.v), -2);
  EXPECT_EQ(second.v[6], 0x5A5A5A5A);
  // A bell and a tip code one byte short of their records.
  sim->SetCannedReply(10015, std::vector<uint8_t>(23, 1));
  sim->SetCannedReply(20000, std::vector<uint8_t>(32, 1));
  int32_t v[7] = {-7, -7, -7, -7, -7, -7, -7};
  EXPECT_EQ(Q_GetBellSetting(handle, 0, 1, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]), -2);
  EXPECT_EQ(Q_GetTipCodeByNum(handle, 1, first.v, &code), -2);
  for (int32_t x : v) EXPECT_EQ(x, -7);
  EXPECT_EQ(code, 77);
  EXPECT_EQ(first.v[6], 0x5A5A5A5A);
}

}  // namespace
}  // namespace extras_test
