// Every attendance record layout, served by the simulator and read back
// through the library: the records come out exactly as the terminal holds
// them, and the iteration ends where the log ends.
#include <functional>

#include "logs_fixture.h"

namespace logs_test {
namespace {

using termsim::AttendanceRecord;
using termsim::AttLogLayout;

enum class Reader { kNumeric, kTextId, kTextIdWorkCode };

struct LayoutCase {
  const char* name;
  termsim::Profile profile;
  AttLogLayout layout;
  Reader reader;
  termsim::BulkOptions bulk;
  // What the library reports for a record in this layout.
  std::function<Punch(const AttendanceRecord&)> expect;
};

Punch Compressed(const AttendanceRecord& a) {
  return {a.user, "", a.verify_mode, a.att_state, a.time, 0, "", 0};
}
Punch Extended(const AttendanceRecord& a) {
  return {a.user, "", a.verify_mode, a.att_state, a.time, a.work_code, "", a.reserved};
}
// The ID texts come cut at the terminal's user-number width (9 here).
Punch TextId(const AttendanceRecord& a) {
  return {0, a.user_id.substr(0, 9), a.verify_mode, a.att_state, a.time, a.work_code, "", 0};
}
Punch TextIdShort(const AttendanceRecord& a) {
  return {0, a.user_id.substr(0, 10), a.verify_mode, a.att_state, a.time, a.work_code, "", 0};
}
Punch TextIdWorkCode(const AttendanceRecord& a) {
  return {0, a.user_id.substr(0, 9), a.verify_mode, a.att_state, a.time, 0, a.work_code_text, 0};
}

std::vector<AttendanceRecord> Punches() {
  auto records = termsim::GenerateAttendance({40, 600, 5, 7, 0});
  for (size_t i = 0; i < records.size(); i += 7) records[i].reserved = static_cast<uint16_t>(i);
  // ID texts longer than the width, and than the 22-byte records carry.
  records[3].user_id = "ABCDEFGHIJKLMN";
  records[4].user_id = "ABCDEFGHIJKLMNOPQRSTUVWX";
  records[5].work_code_text = "ABCDEFGHIJKLMNOPQRSTUVWX";
  return records;
}

std::vector<LayoutCase> Cases() {
  termsim::BulkOptions lzo;
  lzo.compress = true;
  termsim::BulkOptions streamed;
  streamed.buffered_reads = false;
  return {
      {"compressed",
       Terminal(kPreNewRecordFirmware, false),
       AttLogLayout::kAuto,
       Reader::kNumeric,
       {},
       Compressed},
      {"compressed_new_records",
       Terminal(kNewFirmware, false),
       AttLogLayout::kAuto,
       Reader::kNumeric,
       {},
       Compressed},
      {"extended",
       Terminal(kNewFirmware, true),
       AttLogLayout::kAuto,
       Reader::kNumeric,
       {},
       Extended},
      {"extended_lzo", Terminal(kNewFirmware, true), AttLogLayout::kAuto, Reader::kNumeric, lzo,
       Extended},
      {"extended_streamed", Terminal(kNewFirmware, true), AttLogLayout::kAuto, Reader::kNumeric,
       streamed, Extended},
      {"text_id",
       Terminal(kNewFirmware, true, "ZEM560_TFT"),
       AttLogLayout::kAuto,
       Reader::kTextId,
       {},
       TextId},
      {"text_id_short",
       Terminal(kNewFirmware, true, "AK3750"),
       AttLogLayout::kAuto,
       Reader::kTextId,
       {},
       TextIdShort},
      {"text_id_work_code",
       Terminal(kNewFirmware, true, "ZEM560_TFT"),
       AttLogLayout::kTextId61,
       Reader::kTextIdWorkCode,
       {},
       TextIdWorkCode},
  };
}

class LayoutTest : public LogsE2E, public ::testing::WithParamInterface<LayoutCase> {};

std::vector<Punch> ReadTextIdWorkCode(DEVAPI_HANDLE handle, int32_t* end) {
  std::vector<Punch> out;
  for (;;) {
    char id[25] = {};
    char work[25] = {};
    int32_t verify = 0, state = 0;
    Clock c;
    const int32_t r = Q_SSR_GetLogEx(handle, id, &verify, &state, &c.year, &c.month, &c.day,
                                     &c.hour, &c.minute, &c.second, work);
    if (r != 1) {
      *end = r;
      return out;
    }
    out.push_back({0, id, verify, state, c.Packed(), 0, work, 0});
  }
}

TEST_P(LayoutTest, DecodesExactlyTheRecordsTheTerminalHolds) {
  const LayoutCase& c = GetParam();
  termsim::Profile profile = c.profile;
  profile.pin_width = 9;
  ASSERT_NE(Connect(profile), nullptr);
  sim->SetBulkOptions(c.bulk);
  sim->SetAttendanceLayout(c.layout);
  sim->SetAttendanceLog(Punches());
  int32_t width = 0;
  if (c.reader != Reader::kNumeric) {
    ASSERT_EQ(Q_GetPINWidth(handle, &width), 1);
  }

  ASSERT_EQ(Q_ReadLog(handle, 1), 1);
  int32_t end = 99;
  std::vector<Punch> got;
  switch (c.reader) {
    case Reader::kNumeric:
      got = ReadNumeric(&end);
      break;
    case Reader::kTextId:
      got = ReadTextId(&end);
      break;
    case Reader::kTextIdWorkCode:
      got = ReadTextIdWorkCode(handle, &end);
      break;
  }
  std::vector<Punch> want;
  for (const AttendanceRecord& a : sim->AttendanceLog()) want.push_back(c.expect(a));
  EXPECT_EQ(end, 0);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(got[i], want[i]) << "record " << i;

  // The end stays the end, without another download.
  const size_t queries = sim->CountReceived(wire::CMD_QUERY_DATA);
  EXPECT_EQ(ReadNumeric(&end).size(), 0u);
  EXPECT_EQ(end, 0);
  EXPECT_EQ(sim->CountReceived(wire::CMD_QUERY_DATA), queries);
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GeneratedPunches, MixShortAndLongCompressedRecords) {
  // Short records need a long one less than 1024 s before them; long ones
  // follow larger gaps. The generated set has both.
  const auto records = Punches();
  size_t small = 0, large = 0;
  for (size_t i = 1; i < records.size(); ++i) {
    const uint32_t gap = records[i].time - records[i - 1].time;
    (gap < 1024 ? small : large)++;
  }
  EXPECT_GT(small, 100u);
  EXPECT_GT(large, 20u);
}

using CompressedE2E = LogsE2E;

TEST_F(CompressedE2E, ShortRecordAddsItsOffsetToTheLongOneBefore) {
  ASSERT_NE(Connect(Terminal(kPreNewRecordFirmware, false)), nullptr);
  const uint32_t t = Packed(2024, 3, 5, 8, 0, 0);
  sim->SetAttendanceLog({Att(1, "", 1, 0, t), Att(2, "", 2, 1, t + 90), Att(3, "", 3, 5, t + 1023),
                         Att(4, "", 0, 7, t + 1024), Att(5, "", 1, 1, t + 1030)});
  int32_t end = 0;
  const auto got = ReadNumeric(&end);
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got[1].time, t + 90);
  EXPECT_EQ(got[2].time, t + 1023);
  EXPECT_EQ(got[3].time, t + 1024);
  EXPECT_EQ(got[4].time, t + 1030);
  EXPECT_EQ(got[3].att_state, 7);
  EXPECT_EQ(got[2].verify_mode, 3);
}

TEST_F(CompressedE2E, WideUserNumbersReportThePin2OfTheUserTable) {
  termsim::Profile p = Terminal(kPreNewRecordFirmware, false);
  p.pin_width = 9;
  ASSERT_NE(Connect(p), nullptr);
  termsim::User mapped;
  mapped.pin = 5;
  mapped.pin2 = 123456789;
  termsim::User unmapped;  // PIN2 0: the internal number stays
  unmapped.pin = 6;
  sim->SetUsers({mapped, unmapped});
  const uint32_t t = Packed(2024, 3, 5, 8, 0, 0);
  sim->SetAttendanceLog({Att(5, "", 1, 0, t), Att(6, "", 1, 0, t + 5), Att(7, "", 1, 0, t + 9)});
  int32_t width = 0;
  ASSERT_EQ(Q_GetPINWidth(handle, &width), 1);
  ASSERT_EQ(width, 9);
  const auto got = ReadNumeric();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].user, 123456789u);
  EXPECT_EQ(got[1].user, 6u);
  EXPECT_EQ(got[2].user, 7u);  // not in the table
}

TEST_F(CompressedE2E, NarrowUserNumbersAreNotMapped) {
  ASSERT_NE(Connect(Terminal(kPreNewRecordFirmware, false)), nullptr);
  termsim::User mapped;
  mapped.pin = 5;
  mapped.pin2 = 123456789;
  sim->SetUsers({mapped});
  sim->SetAttendanceLog({Att(5, "", 1, 0, Packed(2024, 3, 5, 8, 0, 0))});
  const auto got = ReadNumeric();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].user, 5u);
  EXPECT_EQ(sim->CountReceived(wire::CMD_USERTEMP_RRQ), 0u);
}

using TextIdE2E = LogsE2E;

TEST_F(TextIdE2E, BeforeThePinWidthIsKnownTheIdIsLeftAloneButTheTimeComes) {
  ASSERT_NE(Connect(Terminal(kNewFirmware, true, "ZEM560_TFT")), nullptr);
  const uint32_t t = Packed(2031, 12, 30, 23, 59, 58);
  sim->SetAttendanceLog({Att(9, "4711", 15, 4, t, 33)});
  char id[25];
  std::memset(id, 'x', sizeof id);
  uint8_t verify = 0, state = 0;
  int32_t work = 0;
  Clock c;
  ASSERT_EQ(Q_SSR_GetLog(handle, id, &verify, &state, &c.year, &c.month, &c.day, &c.hour, &c.minute,
                         &c.second, &work),
            1);
  EXPECT_EQ(std::string(id, sizeof id), std::string(25, 'x'));
  EXPECT_EQ(c.Packed(), t);
  EXPECT_EQ(verify, 15);
  EXPECT_EQ(state, 4);
  EXPECT_EQ(work, 33);
}

TEST_F(TextIdE2E, IdTextsAreCutAtTheClampedWidthAndTerminated) {
  struct Case {
    int8_t terminal_width;
    std::string want;
  };
  const std::string full = "ABCDEFGHIJKLMNOPQRSTUVWX";  // 24 characters, no terminator
  for (const Case& k : {Case{30, full}, Case{24, full}, Case{4, "ABCD"}}) {
    termsim::Profile p = Terminal(kNewFirmware, true, "ZEM560_TFT");
    p.pin_width = k.terminal_width;
    ASSERT_NE(Connect(p), nullptr);
    sim->SetAttendanceLog({Att(9, full, 1, 0, Packed(2024, 1, 1, 9, 0, 0))});
    int32_t width = 0;
    ASSERT_EQ(Q_GetPINWidth(handle, &width), 1);
    char id[26];
    std::memset(id, 'x', sizeof id);
    ASSERT_EQ(Q_SSR_GetLog(handle, id, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr, nullptr),
              1);
    EXPECT_STREQ(id, k.want.c_str()) << int{k.terminal_width};
    EXPECT_EQ(id[25], 'x') << "written past the 25 bytes";
    Q_Close(handle);
    handle = nullptr;
  }
}

TEST_F(TextIdE2E, ANegativeWidthCopiesNothing) {
  termsim::Profile p = Terminal(kNewFirmware, true, "ZEM560_TFT");
  p.pin_width = -3;
  ASSERT_NE(Connect(p), nullptr);
  sim->SetAttendanceLog({Att(9, "77", 1, 0, Packed(2024, 1, 1, 9, 0, 0))});
  int32_t width = 0;
  ASSERT_EQ(Q_GetPINWidth(handle, &width), 1);
  char id[4] = {'x', 'x', 'x', 'x'};
  ASSERT_EQ(Q_SSR_GetLog(handle, id, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr),
            1);
  EXPECT_EQ(std::string(id, 4), "xxxx");
}

}  // namespace
}  // namespace logs_test
