// Attendance downloads against the simulator: which command each one sends,
// new records, the latest records, time ranges with their range checks,
// implicit downloads, deletions.
#include <algorithm>

#include "logs_fixture.h"

namespace logs_test {
namespace {

using termsim::AttendanceRecord;

constexpr uint16_t kAttLogRead = 13;
constexpr uint16_t kNewRecords = 120;
constexpr uint16_t kConfirm = 121;

std::vector<AttendanceRecord> Day(int day, int count, uint32_t first_user = 1) {
  std::vector<AttendanceRecord> out;
  for (int i = 0; i < count; ++i) {
    out.push_back(Att(first_user + static_cast<uint32_t>(i), "", 1, 0,
                      Packed(2024, 2, day, 8 + i, 0, 0), static_cast<uint32_t>(i)));
  }
  return out;
}

std::vector<uint32_t> Users(const std::vector<Punch>& punches) {
  std::vector<uint32_t> out;
  for (const Punch& p : punches) out.push_back(p.user);
  return out;
}

using DownloadE2E = LogsE2E;

TEST_F(DownloadE2E, FirmwareDecidesBetweenTheWholeLogAndNewRecords) {
  struct Case {
    const char* firmware;
    int32_t mode;
    std::vector<uint16_t> commands;
  };
  for (const Case& c : {Case{"Ver 6.00 Dec 31 2007", 1, {kAttLogRead}},
                        Case{"Ver 6.01 Jan 01 2008", 1, {kNewRecords, kConfirm}},
                        Case{"Ver 6.01 Jan 01 2008", 0, {kAttLogRead}}}) {
    ASSERT_NE(Connect(Terminal(c.firmware, true)), nullptr);
    sim->SetAttendanceLog(Day(1, 3));
    EXPECT_EQ(Q_ReadLog(handle, c.mode), 1);
    EXPECT_EQ(Commands(), c.commands) << c.firmware << " mode " << c.mode;
    EXPECT_EQ(ReadNumeric().size(), 3u);
    Q_Close(handle);
    handle = nullptr;
  }
}

TEST_F(DownloadE2E, NewRecordsAreTheOnesNotTakenYet) {
  ASSERT_NE(Connect(Terminal(kNewFirmware, true)), nullptr);
  sim->SetAttendanceLog(Day(1, 3));
  ASSERT_EQ(Q_ReadLog(handle, 1), 1);
  EXPECT_EQ(Users(ReadNumeric()), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(QueryParams(kNewRecords), (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));

  sim->AppendAttendanceLog(Day(2, 2, 10));
  ASSERT_EQ(Q_ReadLog(handle, 1), 1);
  EXPECT_EQ(Users(ReadNumeric()), (std::vector<uint32_t>{10, 11}));

  // Nothing new: the terminal has nothing to send.
  EXPECT_EQ(Q_ReadLog(handle, 1), 0);
  int32_t end = 99;
  EXPECT_TRUE(ReadNumeric(&end).empty());
  EXPECT_EQ(end, 0);

  // Mode 2: the records after the mark the host gives.
  ASSERT_EQ(Q_ReadLogEx(handle, 2, 3), 1);
  EXPECT_EQ(QueryParams(kNewRecords), (std::vector<uint8_t>{1, 0, 0, 0, 3, 0, 0, 0}));
  EXPECT_EQ(Users(ReadNumeric()), (std::vector<uint32_t>{10, 11}));
}

TEST_F(DownloadE2E, ReadNewAttLogTakesTheNewRecordsOnce) {
  ASSERT_NE(Connect(Terminal(kNewFirmware, true)), nullptr);
  sim->SetAttendanceLog(Day(1, 2));
  ASSERT_EQ(Q_ReadNewAttLog(handle), 1);
  EXPECT_EQ(Users(ReadNumeric()), (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(QueryParams(10007), std::vector<uint8_t>(8, 0));
  EXPECT_EQ(Q_ReadNewAttLog(handle), 0);
  sim->AppendAttendanceLog(Day(3, 1, 20));
  ASSERT_EQ(Q_ReadNewAttLog(handle), 1);
  EXPECT_EQ(Users(ReadNumeric()), (std::vector<uint32_t>{20}));
}

TEST_F(DownloadE2E, LatestRecordsFromAMoment) {
  ASSERT_NE(Connect(Terminal(kNewFirmware, true)), nullptr);
  sim->SetAttendanceLog(Day(1, 6));  // 08:00 .. 13:00
  // Flag 0: the whole log, asked for without request data.
  ASSERT_EQ(Q_ReadLastestLog(handle, 0, 2024, 2, 1, 10, 0, 0, 2), 1);
  EXPECT_EQ(ReadNumeric().size(), 6u);
  EXPECT_EQ(QueryParams(kAttLogRead), std::vector<uint8_t>(8, 0));

  // A count below 1 goes out as 0: every record from 10:00 on.
  ASSERT_EQ(Q_ReadLastestLog(handle, 1, 2024, 2, 1, 10, 0, 0, -5), 1);
  std::vector<uint8_t> want(8);
  wire::ByteWriter(want).U32(Packed(2024, 2, 1, 10, 0, 0));
  EXPECT_EQ(QueryParams(kAttLogRead), want);
  EXPECT_EQ(Users(ReadNumeric()), (std::vector<uint32_t>{3, 4, 5, 6}));

  ASSERT_EQ(Q_ReadLastestLog(handle, 1, 2024, 2, 1, 10, 0, 0, 2), 1);
  EXPECT_EQ(Users(ReadNumeric()), (std::vector<uint32_t>{5, 6}));

  EXPECT_EQ(Q_ReadLastestLog(handle, 1, 2024, 3, 1, 0, 0, 0, 0), 0);
}

TEST_F(DownloadE2E, TimeRangeHoldsBothEnds) {
  ASSERT_NE(Connect(Terminal(kNewFirmware, true)), nullptr);
  sim->SetAttendanceLog(Day(1, 6));
  ASSERT_EQ(Q_ReadTimeLog(handle, 2024, 2, 1, 9, 0, 0, 2024, 2, 1, 11, 0, 0), 1);
  EXPECT_EQ(Users(ReadNumeric()), (std::vector<uint32_t>{2, 3, 4}));
  std::vector<uint8_t> want(8);
  wire::ByteWriter w(want);
  w.U32(Packed(2024, 2, 1, 9, 0, 0));
  w.U32(Packed(2024, 2, 1, 11, 0, 0));
  EXPECT_EQ(QueryParams(10004), want);
  // No record in the range.
  EXPECT_EQ(Q_ReadTimeLog(handle, 2025, 1, 1, 0, 0, 0, 2025, 1, 2, 0, 0, 0), 0);
}

// One moment out of range, the other fine.
struct RangeCase {
  const char* what;
  std::array<int32_t, 6> moment;
  bool valid;
};

const RangeCase kRangeCases[] = {
    {"year 1899", {1899, 1, 1, 0, 0, 0}, false},  {"year 1900", {1900, 1, 1, 0, 0, 0}, true},
    {"month 13", {2024, 13, 1, 0, 0, 0}, false},  {"month -1", {2024, -1, 1, 0, 0, 0}, false},
    {"day 32", {2024, 1, 32, 0, 0, 0}, false},    {"hour 24", {2024, 1, 31, 24, 0, 0}, true},
    {"hour 25", {2024, 1, 1, 25, 0, 0}, false},   {"minute 60", {2024, 1, 1, 0, 60, 0}, true},
    {"minute 61", {2024, 1, 1, 0, 61, 0}, false}, {"second 61", {2024, 1, 1, 0, 0, 61}, false},
    {"second -1", {2024, 1, 1, 0, 0, -1}, false},
};

TEST(TimeRangeChecks, DatesAreCheckedBeforeTheHandle) {
  for (const RangeCase& c : kRangeCases) {
    const auto& m = c.moment;
    // A null handle: bad dates give -2, good ones -1.
    EXPECT_EQ(Q_ReadTimeLog(nullptr, m[0], m[1], m[2], m[3], m[4], m[5], 2024, 1, 1, 0, 0, 0),
              c.valid ? -1 : -2)
        << c.what;
    EXPECT_EQ(Q_ReadTimeLog(nullptr, 2024, 1, 1, 0, 0, 0, m[0], m[1], m[2], m[3], m[4], m[5]),
              c.valid ? -1 : -2)
        << c.what;
    // The deletions look at the handle first.
    EXPECT_EQ(Q_DeleteAttlogByTime(nullptr, m[0], m[1], m[2], m[3], m[4], m[5]), -1);
  }
}

TEST_F(DownloadE2E, OutOfRangeDatesSendNothing) {
  ASSERT_NE(Connect(Terminal(kNewFirmware, true)), nullptr);
  sim->SetAttendanceLog(Day(1, 3));
  for (const RangeCase& c : kRangeCases) {
    if (c.valid) continue;
    const auto& m = c.moment;
    EXPECT_EQ(Q_ReadTimeLog(handle, m[0], m[1], m[2], m[3], m[4], m[5], 2024, 1, 1, 0, 0, 0), -2)
        << c.what;
    EXPECT_EQ(Q_DeleteAttlogByTime(handle, m[0], m[1], m[2], m[3], m[4], m[5]), -2) << c.what;
    EXPECT_EQ(Q_DeleteAttlogBetweenTheDate(handle, 2024, 1, 1, 0, 0, 0, m[0], m[1], m[2], m[3],
                                           m[4], m[5]),
              -2)
        << c.what;
  }
  EXPECT_EQ(sim->ReceivedCount(), 0u);
  EXPECT_EQ(sim->AttendanceLog().size(), 3u);
}

TEST_F(DownloadE2E, IteratorsDownloadByThemselvesWhenTheViewIsEmpty) {
  ASSERT_NE(Connect(Terminal(kNewFirmware, true)), nullptr);
  sim->SetAttendanceLog(Day(1, 3));
  int32_t user = 0;
  ASSERT_EQ(Q_GetLog(handle, &user, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr),
            1);
  EXPECT_EQ(user, 1);
  EXPECT_EQ(Commands(), (std::vector<uint16_t>{kNewRecords, kConfirm}));
  EXPECT_EQ(ReadNumeric().size(), 2u);  // the rest, without another download
  EXPECT_EQ(Commands().size(), 2u);
}

TEST_F(DownloadE2E, ATerminalWithoutRecordsGivesZeroEverywhere) {
  ASSERT_NE(Connect(Terminal(kNewFirmware, true, "ZEM560_TFT")), nullptr);
  sim->SetAttendanceLog({});
  EXPECT_EQ(Q_ReadLog(handle, 0), 0);
  EXPECT_EQ(Q_ReadLog(handle, 1), 0);
  int32_t end = 99;
  EXPECT_TRUE(ReadNumeric(&end).empty());
  EXPECT_EQ(end, 0);
  EXPECT_TRUE(ReadTextId(&end).empty());
  EXPECT_EQ(end, 0);
  EXPECT_EQ(Q_ReadNewAttLog(handle), 0);
  EXPECT_EQ(Q_ReadTimeLog(handle, 2024, 1, 1, 0, 0, 0, 2024, 12, 1, 0, 0, 0), 0);
}

TEST_F(DownloadE2E, AFailedTransferIsAFailure) {
  // Firmware that knows neither the log command nor the data base read.
  termsim::Profile p = Terminal(kPreNewRecordFirmware, true);
  p.unknown_commands = {kAttLogRead, wire::CMD_DB_RRQ, 10004, 10007};
  ASSERT_NE(Connect(p), nullptr);
  sim->SetAttendanceLog(Day(1, 3));
  EXPECT_EQ(Q_ReadLog(handle, 0), -2);
  EXPECT_EQ(Q_GetLog(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr),
            -2);
  EXPECT_EQ(Q_SSR_GetLog(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr),
            -2);
  EXPECT_EQ(Q_ReadLastestLog(handle, 1, 2024, 1, 1, 0, 0, 0, 1), -2);
  EXPECT_EQ(Q_ReadTimeLog(handle, 2024, 1, 1, 0, 0, 0, 2024, 12, 1, 0, 0, 0), 0);
  EXPECT_LE(Q_ReadNewAttLog(handle), 0);
}

TEST_F(DownloadE2E, DeletionsOnTheTerminal) {
  ASSERT_NE(Connect(Terminal(kNewFirmware, true)), nullptr);
  auto records = Day(1, 6);
  sim->SetAttendanceLog(records);

  ASSERT_EQ(Q_DeleteAttlogByTime(handle, 2024, 2, 1, 9, 0, 0), 1);
  EXPECT_EQ(sim->AttendanceLog(),
            std::vector<AttendanceRecord>(records.begin() + 2, records.end()));
  ASSERT_EQ(Q_DeleteAttlogBetweenTheDate(handle, 2024, 2, 1, 11, 0, 0, 2024, 2, 1, 12, 0, 0), 1);
  EXPECT_EQ(sim->AttendanceLog(), (std::vector<AttendanceRecord>{records[2], records[5]}));
  ASSERT_EQ(Q_ClearLogData(handle), 1);
  EXPECT_TRUE(sim->AttendanceLog().empty());
  EXPECT_EQ(Q_ReadLog(handle, 0), 0);

  sim->SetCommandRefused(15, true);
  EXPECT_EQ(Q_ClearLogData(handle), -2);
  EXPECT_EQ(Q_ClearLogData(nullptr), -1);
  EXPECT_EQ(Q_DeleteAttlogBetweenTheDate(nullptr, 2024, 2, 1, 11, 0, 0, 2024, 2, 1, 12, 0, 0), -1);
}

TEST_F(DownloadE2E, ReadDataSendsTheSelectorAndChecksItsArguments) {
  ASSERT_NE(Connect(Terminal(kNewFirmware, true)), nullptr);
  uint8_t buffer[64] = {9};
  sim->SetCommandRefused(7, true);
  EXPECT_EQ(Q_ReadData(handle, buffer, sizeof buffer), -2);
  ASSERT_EQ(sim->CountReceived(7), 1u);
  EXPECT_EQ(sim->Received().back().payload, std::vector<uint8_t>{9});
  EXPECT_EQ(Q_ReadData(handle, nullptr, 8), 4);
  EXPECT_EQ(Q_ReadData(handle, buffer, 0), 4);
  EXPECT_EQ(Q_ReadData(nullptr, buffer, 8), -1);
}

TEST_F(DownloadE2E, NullHandles) {
  EXPECT_EQ(Q_ReadLog(nullptr, 1), -1);
  EXPECT_EQ(Q_ReadLogEx(nullptr, 2, 5), -1);
  EXPECT_EQ(Q_ReadLastestLog(nullptr, 1, 2024, 1, 1, 0, 0, 0, 1), -1);
  EXPECT_EQ(Q_ReadNewAttLog(nullptr), -1);
  EXPECT_EQ(Q_GetLog(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr),
            -1);
  EXPECT_EQ(Q_SSR_GetLogEx(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr, nullptr),
            -1);
}

}  // namespace
}  // namespace logs_test
