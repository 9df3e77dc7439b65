// Downloading templates: in bulk (command 7), piecewise (2221/2017), one
// user's (6); the quick index; hostile counts and sizes.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "fingerprints_fixture.h"
#include "wire/codes.h"

namespace fingerprints_test {
namespace {

std::vector<termsim::FingerTemplate> SomeTemplates() {
  return {Stored(1, 0, Version9(30, 1)), Stored(1, 6, Version9(35, 2), 3),
          Stored(2, 2, Version9(40, 3)), Stored(60001, 4, Version9(32, 4))};
}

// Q_QueryUserTempEx of a user text; the template and flag when found.
struct Found {
  int32_t result = 0;
  int32_t flag = -77;
  Bytes bytes;
};
Found QueryEx(DEVAPI_HANDLE h, const std::string& user, int finger) {
  Found f;
  f.bytes.assign(2048, 0);
  int32_t length = 2048;
  f.result = Q_QueryUserTempEx(h, user.c_str(), finger, &f.flag, f.bytes.data(), &length);
  f.bytes.resize(f.result == 1 ? static_cast<size_t>(length) : 0);
  return f;
}

TEST_F(FingerprintsE2E, BulkDownloadOnBlackAndWhiteTerminal) {
  ASSERT_NE(Connect(termsim::Profile::Ver660(), SomeTemplates()), nullptr);
  ASSERT_EQ(Q_ReadTempData(handle), 1);
  EXPECT_EQ(Sent(2221), 1u);
  EXPECT_EQ(Sent(2017), 0u);
  EXPECT_EQ(Session().quick_tmpl_state, 0);
  EXPECT_EQ(Session().tmpl_start, 4u);
  sim->ClearReceived();
  const Found f = QueryEx(handle, "1", 6);
  EXPECT_EQ(f.result, 1);
  EXPECT_EQ(f.flag, 3);
  EXPECT_EQ(f.bytes, Version9(35, 2));
  EXPECT_EQ(QueryEx(handle, "60001", 4).bytes, Version9(32, 4));
  EXPECT_EQ(QueryEx(handle, "2", 3).result, 0);
  EXPECT_EQ(sim->ReceivedCount(), 0u);  // all from the view
}

TEST_F(FingerprintsE2E, OldFirmwareSendsNoDataKind) {
  ASSERT_NE(Connect(termsim::Profile::Old(), SomeTemplates()), nullptr);
  ASSERT_EQ(Q_ReadTempData(handle), 1);
  EXPECT_EQ(QueryEx(handle, "2", 2).bytes, Version9(40, 3));
}

TEST_F(FingerprintsE2E, EmptyStoreGivesZero) {
  ASSERT_NE(Connect(Ver9(), {}), nullptr);
  EXPECT_EQ(Q_ReadTempData(handle), 0);
}

TEST_F(FingerprintsE2E, PiecewiseDownloadBuildsTheQuickIndex) {
  ASSERT_NE(Connect(termsim::Profile::Tft(), SomeTemplates(),
                    {MakeUser(1), MakeUser(2), MakeUser(60001)}),
            nullptr);
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);  // as hosts do: users first
  ASSERT_EQ(Q_ReadTempData(handle), 1);
  EXPECT_EQ(Sent(2017), 1u);
  EXPECT_EQ(Session().quick_tmpl_state, 1);
  EXPECT_EQ(Session().tmpl_start, 0u);  // the records begin at byte 0
  sim->ClearReceived();
  const Found f = QueryEx(handle, "1", 6);
  EXPECT_EQ(f.result, 1);
  EXPECT_EQ(f.flag, 3);
  EXPECT_EQ(f.bytes, Version9(35, 2));
  // A PIN above 50000 is not indexed, but still found.
  EXPECT_EQ(QueryEx(handle, "60001", 4).bytes, Version9(32, 4));
  EXPECT_EQ(QueryEx(handle, "1", 10).result, 0);  // finger 10 on the quick path
  EXPECT_EQ(QueryEx(handle, "2", 0).result, 0);
  EXPECT_EQ(Sent(88), 0u);
}

TEST_F(FingerprintsE2E, ReadingUsersDropsAViewThatStartsAtByteZero) {
  ASSERT_NE(Connect(termsim::Profile::Tft(), SomeTemplates(), {MakeUser(1), MakeUser(2)}), nullptr);
  ASSERT_EQ(Q_ReadTempData(handle), 1);
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  EXPECT_EQ(Session().quick_tmpl_state, 0);
  sim->ClearReceived();
  EXPECT_EQ(QueryEx(handle, "2", 2).bytes, Version9(40, 3));
  EXPECT_EQ(Sent(88), 1u);  // asked the terminal: the view is gone
}

TEST_F(FingerprintsE2E, LargeDownloadAndRebuiltIndex) {
  ASSERT_NE(Connect(termsim::Profile::Tft(), SomeTemplates(), {MakeUser(1), MakeUser(2)}), nullptr);
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  ASSERT_EQ(Q_ReadLargeTmp(handle), 1);
  EXPECT_EQ(Session().quick_tmpl_state, 0);
  EXPECT_EQ(Sent(2221), 0u);
  EXPECT_EQ(InitQuickUserTempEx(handle), 1);
  EXPECT_EQ(Session().quick_tmpl_state, 0);  // the index is built, not trusted
  EXPECT_EQ(QueryEx(handle, "2", 2).bytes, Version9(40, 3));
  EXPECT_EQ(Sent(88), 0u);
}

TEST_F(FingerprintsE2E, OneUsersTemplates) {
  ASSERT_NE(Connect(Ver9(), SomeTemplates()), nullptr);
  ASSERT_EQ(Q_ReadUserTempData(handle, "1"), 1);
  sim->ClearReceived();
  EXPECT_EQ(QueryEx(handle, "1", 0).bytes, Version9(30, 1));
  EXPECT_EQ(QueryEx(handle, "2", 2).result, 0);  // only user 1 was loaded
  EXPECT_EQ(sim->ReceivedCount(), 0u);
}

TEST_F(FingerprintsE2E, UserWithoutTemplatesIsLoadedAndFindsNothing) {
  ASSERT_NE(Connect(Ver9(), SomeTemplates()), nullptr);
  ASSERT_EQ(Q_ReadUserTempData(handle, "3"), 1);
  sim->ClearReceived();
  Bytes buffer(2048);
  int32_t length = 2048;
  EXPECT_EQ(Q_QueryUserTemp(handle, 3, 0, buffer.data(), &length), 0);
  EXPECT_EQ(Sent(wire::CMD_USERTEMP_RRQ), 0u);
}

TEST_F(FingerprintsE2E, FullViewIsNotReplacedByOneUser) {
  ASSERT_NE(Connect(Ver9(), SomeTemplates()), nullptr);
  ASSERT_EQ(Q_ReadTempData(handle), 1);
  EXPECT_EQ(Q_ReadUserTempData(handle, "1"), -4);
  EXPECT_EQ(Q_ReadUserTempData(handle, nullptr), 4);
  EXPECT_EQ(Q_ReadTempData(nullptr), -1);
}

// A table whose count claims more than arrived, and whose second record's
// size runs past the end.
TEST_F(FingerprintsE2E, HostileTableIsBoundedByWhatArrived) {
  ASSERT_NE(Connect(Ver9(), {Stored(1, 0, Version9(30))}), nullptr);
  const Bytes good = Version9(30);
  Bytes table = {0, 0, 0, 0};
  const auto add = [&](uint16_t size, uint16_t pin, const Bytes& body) {
    table.insert(table.end(), {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                               static_cast<uint8_t>(pin), static_cast<uint8_t>(pin >> 8), 0, 1});
    table.insert(table.end(), body.begin(), body.end());
  };
  add(static_cast<uint16_t>(good.size() + 6), 1, good);
  add(4000, 2, good);  // passes the view
  const uint32_t claimed = 1u << 30;
  std::memcpy(table.data(), &claimed, 4);
  // Streamed, with the hostile table sent instead of the real one.
  termsim::BulkOptions options;
  options.buffered_reads = false;
  sim->SetBulkOptions(options);
  termsim::BulkFaults faults;
  faults.transfers.resize(1);
  faults.transfers[0].data = table;
  sim->SetBulkFaults(faults);
  ASSERT_EQ(Q_ReadTempData(handle), 1);
  EXPECT_EQ(Session().tmpl_len, table.size() - 4);
  EXPECT_EQ(QueryEx(handle, "1", 0).bytes, good);
  EXPECT_EQ(QueryEx(handle, "2", 0).result, 0);
}

// A terminal that takes the template query and never answers it: the call
// ends within the first-answer limit (shortened here, as the engine allows
// tests to), not after the data time-out times 300 for each attempt.
TEST_F(FingerprintsE2E, SilentTemplateQueryIsBoundedByTheFirstAnswerLimit) {
  constexpr int kLimitMs = 300;
  ASSERT_EQ(::setenv("TERMKIT_FIRST_ANSWER_LIMIT_MS", std::to_string(kLimitMs).c_str(), 1), 0);
  ASSERT_NE(Connect(Ver9(), SomeTemplates()), nullptr);
  ASSERT_EQ(Q_SetCommuTimeOut(handle, 1), 1);  // 300 s per query attempt without the limit
  termsim::Faults mute;
  mute.unanswered_command = wire::CMD_QUERY_DATA;
  sim->SetFaults(mute);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Q_ReadTempData(handle), -2);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
  ::unsetenv("TERMKIT_FIRST_ANSWER_LIMIT_MS");
  // The bulk read and the data base read that follows it, each at most the
  // query deadline (two first-answer waits); generous slack.
  const int64_t query_deadline =
      kLimitMs * (DEVWIRE_QUERY_DEADLINE_MS / DEVWIRE_FIRST_ANSWER_LIMIT_MS);
  EXPECT_LT(took, 2 * query_deadline + 2000);
  EXPECT_LE(Sent(wire::CMD_QUERY_DATA), 4u);
}

TEST_F(FingerprintsE2E, CancelledTemplateDownloadFails) {
  ASSERT_NE(Connect(Ver9(), SomeTemplates()), nullptr);
  termsim::Faults mute;
  mute.unanswered_command = wire::CMD_QUERY_DATA;
  sim->SetFaults(mute);
  const auto start = std::chrono::steady_clock::now();
  const auto since = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
  };
  std::atomic<int64_t> cancelled_at{0};
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cancelled_at = since();
    Q_CancelByUser(handle);
  });
  EXPECT_EQ(Q_ReadTempData(handle), -2) << "a cancelled download is no empty terminal";
  const int64_t ended = since();
  canceller.join();
  EXPECT_LT(ended - cancelled_at, DEVAPI_CANCEL_WITHIN_MS + 1500);
}

}  // namespace
}  // namespace fingerprints_test
