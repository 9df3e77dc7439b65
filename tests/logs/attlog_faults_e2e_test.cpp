// Attendance replies that a sound terminal would not send, served as raw
// data sets: decoding stops at what arrived. And the shared buffer's views
// across downloads of different kinds.
#include "logs_fixture.h"

namespace logs_test {
namespace {

constexpr uint16_t kAttLogRead = 13;

std::vector<uint8_t> ExtendedRecord(uint32_t user, uint32_t time) {
  std::vector<uint8_t> out(16);
  wire::ByteWriter w(out);
  w.U32(user);
  w.U32(time);
  w.U8(1);
  w.U8(2);
  w.U16(0);
  w.U32(0);
  return out;
}

std::vector<uint8_t> LongRecord(uint16_t user, uint32_t time) {
  std::vector<uint8_t> out(8);
  wire::ByteWriter w(out);
  w.U16(user);
  w.U8(0);
  w.U8(0);
  w.U32(time);
  return out;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

using FaultE2E = LogsE2E;

TEST_F(FaultE2E, TheEndMarkEndsTheLogEvenWhenBytesRemain) {
  ASSERT_NE(Connect(Terminal(kPreNewRecordFirmware, false)), nullptr);
  const uint32_t t = Packed(2024, 5, 1, 9, 0, 0);
  sim->SetDataSet(kAttLogRead, {},
                  Counted(Join({LongRecord(1, t), {0xFF, 0xFF, 0, 0}, LongRecord(2, t + 60)})));
  int32_t end = 99;
  const auto got = ReadNumeric(&end);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].user, 1u);
  EXPECT_EQ(end, 0);
  // The cursor stays at the end: no record after the mark, no new download.
  EXPECT_TRUE(ReadNumeric(&end).empty());
  EXPECT_EQ(end, 0);
  EXPECT_EQ(sim->CountReceived(wire::CMD_QUERY_DATA), 1u);
}

TEST_F(FaultE2E, ACountBeyondTheBytesReceivedIsNotTrusted) {
  ASSERT_NE(Connect(Terminal(kPreNewRecordFirmware, true)), nullptr);
  const uint32_t t = Packed(2024, 5, 1, 9, 0, 0);
  sim->SetDataSet(kAttLogRead, {},
                  Counted(Join({ExtendedRecord(7, t), ExtendedRecord(8, t + 1)}), 1000000));
  ASSERT_EQ(Q_ReadLog(handle, 0), 1);
  EXPECT_EQ(Session().attlog_len, 32u);
  int32_t end = 99;
  EXPECT_EQ(ReadNumeric(&end).size(), 2u);
  EXPECT_EQ(end, 0);
}

TEST_F(FaultE2E, ARecordCutShortEndsTheIteration) {
  struct Case {
    const char* what;
    bool extend_fmt;
    std::vector<uint8_t> records;
  };
  const uint32_t t = Packed(2024, 5, 1, 9, 0, 0);
  auto cut_extended = ExtendedRecord(8, t);
  cut_extended.resize(10);
  auto cut_long = LongRecord(8, t);
  cut_long.resize(6);
  const Case cases[] = {
      {"extended", true, Join({ExtendedRecord(7, t), cut_extended})},
      {"compressed long form", false, Join({LongRecord(7, t), cut_long})},
      {"compressed short form", false, Join({LongRecord(7, t), {8, 0, 0x04}})},
  };
  for (const Case& c : cases) {
    ASSERT_NE(Connect(Terminal(kPreNewRecordFirmware, c.extend_fmt)), nullptr);
    sim->SetDataSet(kAttLogRead, {}, Counted(c.records));
    int32_t end = 99;
    const auto got = ReadNumeric(&end);
    ASSERT_EQ(got.size(), 1u) << c.what;
    EXPECT_EQ(got[0].user, 7u) << c.what;
    EXPECT_EQ(end, 0) << c.what;
    EXPECT_EQ(Session().attlog_cursor, Session().attlog_start + Session().attlog_len) << c.what;
    Q_Close(handle);
    handle = nullptr;
  }
}

TEST_F(FaultE2E, AReplyTooShortForItsCountIsAnEmptyView) {
  ASSERT_NE(Connect(Terminal(kPreNewRecordFirmware, true)), nullptr);
  sim->SetDataSet(kAttLogRead, {}, {0x10, 0x00});
  ASSERT_EQ(Q_ReadLog(handle, 0), 1);
  EXPECT_EQ(Session().attlog_len, 0u);
  int32_t end = 99;
  EXPECT_TRUE(ReadNumeric(&end).empty());
  EXPECT_EQ(end, 0);
}

TEST_F(FaultE2E, FirmwareWithoutTheLogCommandFallsBackToTheDatabaseRead) {
  termsim::Profile p = Terminal(kPreNewRecordFirmware, true);
  p.unknown_commands.insert(kAttLogRead);
  ASSERT_NE(Connect(p), nullptr);
  const auto records = termsim::GenerateAttendance({5, 20, 2, 3, 0});
  sim->SetAttendanceLog(records);
  ASSERT_EQ(Q_ReadLog(handle, 0), 1);
  EXPECT_EQ(Session().attlog_start, 0u);  // bare records: no count in front
  const auto got = ReadNumeric();
  ASSERT_EQ(got.size(), records.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].user, records[i].user);
    EXPECT_EQ(got[i].time, records[i].time);
  }
  EXPECT_EQ(QueryParams(wire::CMD_DB_RRQ)[0], 1);
}

TEST_F(FaultE2E, EachDownloadDropsTheViewsItDoesNotOwn) {
  ASSERT_NE(Connect(Terminal(kPreNewRecordFirmware, false)), nullptr);
  const uint32_t t = Packed(2024, 5, 1, 9, 0, 0);
  sim->SetAttendanceLog({Att(1, "", 0, 0, t), Att(2, "", 0, 0, t + 5)});
  sim->SetOpLog({Op(1, "", 3, t, {1, 2, 3, 4})});
  devapi::DeviceSession& s = Session();

  // The operation log is the first reader: the buffer starts small.
  ASSERT_EQ(Q_ReadOpLogEx(handle, 2024, 1, 1, 0, 0, 0, 2024, 12, 1, 0, 0, 0, 0), 1);
  EXPECT_EQ(s.read_buf_cap, 6u << 20);
  EXPECT_NE(s.oplogex_len, 0u);

  // The attendance download grows it and drops the extended view.
  ASSERT_EQ(Q_GetLog(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr),
            1);
  EXPECT_EQ(s.read_buf_cap, 40u << 20);
  EXPECT_EQ(s.read_buf.size(), s.read_buf_cap);
  EXPECT_EQ(s.oplogex_len, 0u);
  EXPECT_EQ(s.oplogex_start, 0u);
  EXPECT_EQ(s.attlog_base_time, t);
  EXPECT_EQ(Q_GetOpLogEx(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr),
            -2);

  // The operation log drops the attendance view and its base time.
  ASSERT_EQ(Q_ReadOpLog(handle, 0), 1);
  EXPECT_EQ(s.attlog_len, 0u);
  EXPECT_EQ(s.attlog_base_time, 0u);
  EXPECT_EQ(s.read_buf_cap, 40u << 20);

  // Back to the attendance log: a fresh download, from the first record.
  const auto again = ReadNumeric();
  ASSERT_EQ(again.size(), 2u);
  EXPECT_EQ(again[1].time, t + 5);
}

TEST_F(FaultE2E, ClearingTheTerminalDropsTheBufferAndEveryView) {
  ASSERT_NE(Connect(Terminal(kPreNewRecordFirmware, true)), nullptr);
  const uint32_t t = Packed(2024, 5, 1, 9, 0, 0);
  sim->SetAttendanceLog({Att(1, "", 0, 0, t), Att(2, "", 0, 0, t + 5)});
  ASSERT_EQ(Q_GetLog(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr),
            1);
  ASSERT_EQ(Q_ClearDataEx(handle, 1), 1);
  EXPECT_EQ(Session().read_buf_cap, 0u);
  EXPECT_TRUE(Session().read_buf.empty());
  EXPECT_EQ(Session().attlog_len, 0u);
  EXPECT_EQ(Session().attlog_cursor, 0u);
  // The next iterator call downloads afresh.
  sim->SetAttendanceLog({Att(3, "", 0, 0, t + 9)});
  const auto got = ReadNumeric();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].user, 3u);
}

}  // namespace
}  // namespace logs_test
