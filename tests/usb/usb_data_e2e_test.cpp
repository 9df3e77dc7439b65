// Users, logs, bulk reads and events over USB: memory reads of 1024 bytes
// come back inline (the fast path), streamed chunks one per idle poll.
#include <atomic>
#include <random>
#include <vector>

#include "devwire.h"
#include "termsim/logs.h"
#include "usb_fixture.h"
#include "wire/codes.h"

namespace usbtest {
namespace {

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed = 5) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

TEST_F(UsbE2E, UserTableDownloads) {
  ASSERT_NE(Connect(), nullptr);
  const auto users = termsim::GenerateUsers(60, 21);
  sim->SetUsers(users);
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  size_t seen = 0;
  int32_t pin = 0, privilege = 0, enabled = 0, pin2 = 0, group = 0, tz[4] = {};
  char name[9] = {}, password[6] = {};
  uint8_t card[5] = {};
  while (Q_GetUserInfo(handle, &pin, name, &privilege, &enabled, password, card, &pin2, &group,
                       tz) == 1) {
    const auto user = sim->FindUser(static_cast<uint16_t>(pin));
    ASSERT_TRUE(user.has_value()) << pin;
    EXPECT_EQ(static_cast<uint32_t>(pin2), user->pin2);
    ++seen;
  }
  EXPECT_EQ(seen, sim->Users().size());
}

class UsbLogs : public UsbE2E, public ::testing::WithParamInterface<Io> {};

TEST_P(UsbLogs, AttendanceAndOperationLogsOfAFewHundredRecords) {
  UseIo(GetParam());
  ASSERT_NE(Connect(), nullptr);
  termsim::AttendanceGeneration att;
  att.punches = 300;
  const auto punches = termsim::GenerateAttendance(att);
  sim->SetAttendanceLog(punches);
  termsim::OpLogGeneration ops;
  ops.count = 200;
  sim->SetOpLog(termsim::GenerateOpLog(ops));

  ASSERT_EQ(Q_ReadLog(handle, 0), 1);
  int32_t user = 0, y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  uint8_t verify = 0, state = 0;
  size_t n = 0;
  while (Q_GetLog(handle, &user, &verify, &state, &y, &mo, &d, &h, &mi, &s) == 1) {
    ASSERT_LT(n, punches.size());
    EXPECT_EQ(static_cast<uint32_t>(user), punches[n].user) << n;
    ++n;
  }
  EXPECT_EQ(n, punches.size());

  ASSERT_EQ(Q_ReadOpLog(handle, 0), 1);
  int32_t admin = 0, operation = 0, params[4] = {};
  size_t m = 0;
  while (Q_GetOpLog(handle, &admin, &operation, params, &y, &mo, &d, &h, &mi, &s) == 1) ++m;
  EXPECT_EQ(m, 200u);
}

INSTANTIATE_TEST_SUITE_P(Io, UsbLogs, ::testing::Values(Io::kDirect, Io::kFallback), IoName);

void IgnoreEvent(void*, uint16_t, int32_t, const uint8_t*) {}

TEST_F(UsbE2E, BufferedReadOf64KiBInInlineMemoryBlocks) {
  // With a reader thread: no pause before each reply is looked for.
  ASSERT_NE(Connect(UsbProfile(), &IgnoreEvent), nullptr);
  const auto data = RandomBytes(65536);
  sim->SetDataSet(wire::CMD_DB_RRQ, {}, data);
  std::vector<uint8_t> buffer(data.size() + 16);
  uint16_t code = wire::CMD_DB_RRQ;
  const int32_t got = DEVWIRE_READDATA(Session().engine, &code, buffer.data(),
                                       static_cast<int32_t>(buffer.size()), 0, 1024, 4000);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  ASSERT_EQ(got, 65536);
  buffer.resize(65536);
  EXPECT_TRUE(buffer == data);
  EXPECT_EQ(sim->CountReceived(wire::CMD_READ_DATA), 64u);
  EXPECT_EQ(sim->CountReceived(wire::CMD_FREE_DATA), 1u);
}

TEST_F(UsbE2E, StreamedReadTakesAChunkPerIdlePoll) {
  ASSERT_NE(Connect(), nullptr);
  constexpr uint16_t kCommand = 0x4D2;  // a command the terminal streams data for
  const auto data = RandomBytes(2500, 9);  // three chunks
  sim->SetDataSet(kCommand, {}, data);
  std::vector<uint8_t> buffer(4096);
  uint16_t code = kCommand;
  const auto start = std::chrono::steady_clock::now();
  const int32_t got = DEVWIRE_READDATA1(Session().engine, &code, buffer.data(),
                                        static_cast<int32_t>(buffer.size()), 0, 1, 4000);
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(got, 2500);
  buffer.resize(2500);
  EXPECT_TRUE(buffer == data);
  // Each chunk waits for one of the host's idle polls.
  EXPECT_GT(took, std::chrono::milliseconds(3 * 300));
  EXPECT_EQ(sim->CountReceived(kCommand), 1u);
}

struct Events {
  static void Callback(void* context, uint16_t kind, int32_t length, const uint8_t*) {
    auto* self = static_cast<Events*>(context);
    if (kind == termsim::kEventKeyPress) self->key_presses.fetch_add(1);
  }
  std::atomic<int> key_presses{0};
};

TEST_F(UsbE2E, PushedEventsReachTheCallbackAndAreAcknowledged) {
  Events events;
  ASSERT_NE(Connect(UsbProfile(), &Events::Callback, &events), nullptr);
  ASSERT_EQ(Q_RegEvent(handle, 0xFFFF), 1);
  sim->PushEvent(termsim::kEventKeyPress, {3});
  ASSERT_TRUE(Eventually([&] { return events.key_presses.load() == 1; }, 6000));
  EXPECT_TRUE(Eventually([&] { return sim->EventCounts().acknowledged == 1; }, 3000));
  // A command goes on working while events come.
  char value[1024] = {};
  sim->PushEvent(termsim::kEventKeyPress, {4});
  EXPECT_EQ(Q_GetSysOption(handle, "~DeviceName", value), 1);
  EXPECT_TRUE(Eventually([&] { return events.key_presses.load() == 2; }, 6000));
}

}  // namespace
}  // namespace usbtest
