// The operation log in its layouts, against the simulator.
#include "logs_fixture.h"

namespace logs_test {
namespace {

using termsim::OpLogLayout;
using termsim::OpLogRecord;

struct Operation {
  int32_t admin = 0;
  int32_t operation = 0;
  std::array<int32_t, 4> params{};
  uint32_t time = 0;
  std::string text;
  friend bool operator==(const Operation&, const Operation&) = default;
};

std::ostream& operator<<(std::ostream& os, const Operation& o) {
  return os << "{admin " << o.admin << " op " << o.operation << " params " << o.params[0] << ","
            << o.params[1] << "," << o.params[2] << "," << o.params[3] << " time " << o.time << " '"
            << o.text << "'}";
}

class OpLogE2E : public LogsE2E {
 protected:
  std::vector<Operation> ReadOps(int32_t* end = nullptr) {
    std::vector<Operation> out;
    for (;;) {
      Operation o;
      Clock c;
      const int32_t r = Q_GetOpLog(handle, &o.admin, &o.operation, o.params.data(), &c.year,
                                   &c.month, &c.day, &c.hour, &c.minute, &c.second);
      if (r != 1) {
        if (end != nullptr) *end = r;
        return out;
      }
      o.time = c.Packed();
      out.push_back(o);
    }
  }
  std::vector<Operation> ReadRangeOps(int32_t* end = nullptr) {
    std::vector<Operation> out;
    for (;;) {
      Operation o;
      Clock c;
      char text[24];
      const int32_t r = Q_GetOpLogEx(handle, &o.admin, &o.operation, o.params.data(), &c.year,
                                     &c.month, &c.day, &c.hour, &c.minute, &c.second, text);
      if (r != 1) {
        if (end != nullptr) *end = r;
        return out;
      }
      o.time = c.Packed();
      o.text = text;
      out.push_back(o);
    }
  }
};

Operation Compact(const OpLogRecord& r) {
  return {static_cast<int32_t>(r.admin & 0xFFFF),
          r.operation,
          {static_cast<int32_t>(r.params[0] & 0xFFFF), static_cast<int32_t>(r.params[1] & 0xFFFF),
           static_cast<int32_t>(r.params[2] & 0xFFFF), static_cast<int32_t>(r.params[3] & 0xFFFF)},
          r.time,
          ""};
}

TEST_F(OpLogE2E, CompactRecordsUpToTheEndMark) {
  ASSERT_NE(Connect(Terminal(kPreNewRecordFirmware, false)), nullptr);
  auto records = termsim::GenerateOpLog({3, 120, 10, 5, 0});
  sim->SetOpLog(records);
  ASSERT_EQ(Q_ReadOpLog(handle, 1), 1);
  int32_t end = 99;
  const auto got = ReadOps(&end);
  EXPECT_EQ(end, 0);
  ASSERT_EQ(got.size(), records.size());
  for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], Compact(records[i])) << i;
  // The user table is refreshed first: it maps numbers when they are wide.
  EXPECT_EQ(Commands(), (std::vector<uint16_t>{wire::CMD_USERTEMP_RRQ, 34}));
  EXPECT_TRUE(ReadOps(&end).empty());
  EXPECT_EQ(end, 0);
}

TEST_F(OpLogE2E, ExtendedRecordsCarryA32BitFirstParameter) {
  ASSERT_NE(Connect(Terminal(kNewFirmware, true)), nullptr);
  const uint32_t t = Packed(2024, 7, 1, 12, 0, 0);
  sim->SetOpLog({Op(100000, "", 7, t, {70000, 2, 3, 65535}), Op(5, "", 30, t + 9)});
  int32_t end = 99;
  const auto got = ReadOps(&end);
  EXPECT_EQ(end, 0);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], (Operation{100000, 7, {70000, 2, 3, 65535}, t, ""}));
  EXPECT_EQ(got[1], (Operation{5, 30, {0, 0, 0, 0}, t + 9, ""}));
  // Mode 1 on this firmware asks for new records (data kind 4).
  EXPECT_EQ(QueryParams(120)[0], 4);
  EXPECT_EQ(sim->CountReceived(121), 1u);
}

TEST_F(OpLogE2E, WideNumbersMapTheAdministratorAndUserParameters) {
  termsim::Profile p = Terminal(kPreNewRecordFirmware, false);
  p.pin_width = 9;
  ASSERT_NE(Connect(p), nullptr);
  termsim::User admin, user;
  admin.pin = 3;
  admin.pin2 = 300003;
  user.pin = 12;
  user.pin2 = 900012;
  sim->SetUsers({admin, user});
  const uint32_t t = Packed(2024, 7, 1, 12, 0, 0);
  sim->SetOpLog({Op(3, "", 7, t, {12, 1, 0, 0}), Op(3, "", 5, t, {12, 1, 0, 0}),
                 Op(3, "", 7, t, {0, 1, 0, 0}), Op(3, "", 30, t, {12, 0, 0, 0})});
  int32_t width = 0;
  ASSERT_EQ(Q_GetPINWidth(handle, &width), 1);
  const auto got = ReadOps();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].admin, 300003);
  EXPECT_EQ(got[0].params[0], 900012);
  EXPECT_EQ(got[1].admin, 300003);
  EXPECT_EQ(got[1].params[0], 12);  // operation 5 names no user
  EXPECT_EQ(got[2].params[0], 0);
  EXPECT_EQ(got[3].params[0], 900012);
}

TEST_F(OpLogE2E, TextIdRecordsWithTheTimeAsText) {
  ASSERT_NE(Connect(Terminal(kNewFirmware, true, "ZEM560_TFT")), nullptr);
  const std::string long_id = "ABCDEFGHIJKLMNOPQRSTUVWX";  // 24: no terminator on the wire
  sim->SetOpLog(
      {Op(1, "admin-7", 12, Packed(2030, 12, 31, 23, 59, 59), {101, 202, 303, 404}, "user-42"),
       Op(2, long_id, 4, Packed(2024, 1, 2, 3, 4, 5), {1, 2, 3, 0}, long_id)});
  char admin[25], second[25], time[32];
  int32_t op = 0;
  int32_t params[4] = {-1, -1, -1, -1};
  std::memset(time, 'x', sizeof time);
  ASSERT_EQ(Q_SSR_GetOpLog(handle, admin, second, &op, time, params), 1);
  EXPECT_STREQ(admin, "admin-7");
  EXPECT_STREQ(second, "user-42");
  EXPECT_EQ(op, 12);
  EXPECT_STREQ(time, "12-31-2030 23:59");
  EXPECT_EQ(time[17], 'x');
  EXPECT_EQ(params[0], 101);
  EXPECT_EQ(params[1], 202);
  EXPECT_EQ(params[2], 303);
  EXPECT_EQ(params[3], -1);  // three parameters only

  std::memset(admin, 'x', sizeof admin);
  std::memset(second, 'x', sizeof second);
  ASSERT_EQ(Q_SSR_GetOpLog(handle, admin, second, &op, time, params), 1);
  EXPECT_EQ(std::string(admin), long_id.substr(0, 23));
  EXPECT_EQ(std::string(second), long_id.substr(0, 23));
  EXPECT_EQ(admin[24], 'x');
  EXPECT_STREQ(time, "01-02-2024 03:04");
  EXPECT_EQ(Q_SSR_GetOpLog(handle, admin, second, &op, time, params), 0);
}

TEST_F(OpLogE2E, TimeRangeRecordsWithTheirText) {
  ASSERT_NE(Connect(Terminal(kNewFirmware, true)), nullptr);
  EXPECT_EQ(Q_GetOpLogEx(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr),
            -2);
  const uint32_t t = Packed(2024, 7, 1, 12, 0, 0);
  sim->SetOpLog({Op(1, "", 3, t - 86400, {1, 1, 1, 1}, "", "before"),
                 Op(2, "", 3, t, {2, 2, 2, 2}, "", "first"),
                 Op(3, "", 4, t + 60, {3, 3, 3, 3}, "", "other operation"),
                 Op(4, "", 3, t + 120, {70000, 4, 4, 4}, "", "ABCDEFGHIJKLMNOPQRSTUVW")});
  // 2124 goes out as 24, like the clock.
  ASSERT_EQ(Q_ReadOpLogEx(handle, 2124, 7, 1, 0, 0, 0, 2024, 7, 2, 0, 0, 0, 3), 1);
  int32_t end = 99;
  const auto got = ReadRangeOps(&end);
  EXPECT_EQ(end, 0);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], (Operation{2, 3, {2, 2, 2, 2}, t, "first"}));
  EXPECT_EQ(got[1],
            (Operation{4, 3, {70000 & 0xFFFF, 4, 4, 4}, t + 120, "ABCDEFGHIJKLMNOPQRSTUVW"}));
  EXPECT_EQ(Q_ReadOpLogEx(handle, 2025, 1, 1, 0, 0, 0, 2025, 2, 1, 0, 0, 0, 0), 0);
}

TEST_F(OpLogE2E, FirmwareWithoutOperationLog) {
  ASSERT_NE(Connect(Terminal("Ver 5.03 Jan 01 2005", false)), nullptr);
  sim->SetOpLog({Op(1, "1", 3, Packed(2024, 7, 1, 12, 0, 0))});
  EXPECT_EQ(Q_ReadOpLog(handle, 1), 0);
  EXPECT_EQ(Q_GetOpLog(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr),
            0);
  EXPECT_EQ(Q_ReadOpLogEx(handle, 2024, 1, 1, 0, 0, 0, 2024, 12, 1, 0, 0, 0, 0), 0);
  EXPECT_EQ(Q_GetOpLogEx(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(sim->ReceivedCount(), 0u);
  // The text-ID iterator has no firmware test: its own download fails.
  EXPECT_EQ(Q_SSR_GetOpLog(handle, nullptr, nullptr, nullptr, nullptr, nullptr), -2);
}

TEST_F(OpLogE2E, NewRecordsClearingAndAnEmptyLog) {
  ASSERT_NE(Connect(Terminal(kNewFirmware, true)), nullptr);
  const uint32_t t = Packed(2024, 7, 1, 12, 0, 0);
  sim->SetOpLog({Op(1, "", 3, t), Op(2, "", 3, t + 1)});
  EXPECT_EQ(ReadOps().size(), 2u);
  sim->AppendOpLog({Op(9, "", 4, t + 2)});
  ASSERT_EQ(Q_ReadOpLog(handle, 1), 1);
  const auto fresh = ReadOps();
  ASSERT_EQ(fresh.size(), 1u);
  EXPECT_EQ(fresh[0].admin, 9);
  // Mode 0: the whole log.
  ASSERT_EQ(Q_ReadOpLog(handle, 0), 1);
  EXPECT_EQ(ReadOps().size(), 3u);

  ASSERT_EQ(Q_ClearOpLogData(handle), 1);
  EXPECT_TRUE(sim->OpLog().empty());
  EXPECT_EQ(Q_ReadOpLog(handle, 0), 0);
  int32_t end = 99;
  EXPECT_TRUE(ReadOps(&end).empty());
  EXPECT_EQ(end, 0);
  sim->SetCommandRefused(33, true);
  EXPECT_EQ(Q_ClearOpLogData(handle), -2);
  EXPECT_EQ(Q_ClearOpLogData(nullptr), -1);
  EXPECT_EQ(Q_ReadOpLog(nullptr, 0), -1);
}

}  // namespace
}  // namespace logs_test
