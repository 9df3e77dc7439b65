// Looking templates up in the view, and falling back to the terminal.
#include "fingerprints_fixture.h"
#include "wire/codes.h"

namespace fingerprints_test {
namespace {

TEST_F(FingerprintsE2E, QueryFromTheViewReportsTheTemplatesOwnLength) {
  Bytes padded = Version9(30, 5);
  const Bytes tmpl = padded;
  padded.insert(padded.end(), {0, 0, 0});  // a record longer than its template
  ASSERT_NE(Connect(Ver9(), {Stored(7, 1, padded)}), nullptr);
  ASSERT_EQ(Q_ReadTempData(handle), 1);
  sim->ClearReceived();
  Bytes buffer(2048);
  int32_t length = 2048;
  ASSERT_EQ(Q_QueryUserTemp(handle, 7, 1, buffer.data(), &length), 1);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + length), tmpl);
  length = 2048;
  EXPECT_EQ(Q_QueryUserTemp(handle, 7, 2, buffer.data(), &length), 0);
  EXPECT_EQ(sim->ReceivedCount(), 0u);
}

TEST_F(FingerprintsE2E, TooSmallBufferGetsTheLengthNeeded) {
  const Bytes tmpl = Version9(40, 1);
  ASSERT_NE(Connect(Ver9(), {Stored(7, 1, tmpl)}), nullptr);
  ASSERT_EQ(Q_ReadTempData(handle), 1);
  Bytes buffer(tmpl.size() - 1, 0xEE);
  int32_t length = static_cast<int32_t>(buffer.size());
  int32_t flag = -77;
  EXPECT_EQ(Q_QueryUserTempEx(handle, "7", 1, &flag, buffer.data(), &length), 4);
  EXPECT_EQ(length, static_cast<int32_t>(tmpl.size()));
  EXPECT_EQ(buffer, Bytes(tmpl.size() - 1, 0xEE));
  length = static_cast<int32_t>(buffer.size());
  EXPECT_EQ(Q_QueryUserTemp(handle, 7, 1, buffer.data(), &length), 4);
  EXPECT_EQ(length, static_cast<int32_t>(tmpl.size()));
}

TEST_F(FingerprintsE2E, SsrQueryFromTheView) {
  ASSERT_NE(
      Connect(termsim::Profile::Tft(), {Stored(4, 3, Version9(33, 2))}, {MakeUser(4, "alice")}),
      nullptr);
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  ASSERT_EQ(Q_ReadTempData(handle), 1);
  sim->ClearReceived();
  Bytes buffer(2048);
  int32_t length = 2048;
  ASSERT_EQ(SSR_Q_QueryUserTemp(handle, "alice", 3, buffer.data(), &length), 1);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + length), Version9(33, 2));
  length = 2048;
  EXPECT_EQ(SSR_Q_QueryUserTemp(handle, "bob", 3, buffer.data(), &length), 0);
  EXPECT_EQ(SSR_Q_QueryUserTemp(handle, nullptr, 3, buffer.data(), &length), 4);
  EXPECT_EQ(sim->ReceivedCount(), 0u);
}

TEST_F(FingerprintsE2E, QueriesAskTheTerminalWithoutAView) {
  ASSERT_NE(Connect(Ver9(), {Stored(7, 1, Version9(30, 5), 3)}), nullptr);
  Bytes buffer(2048);
  int32_t length = 2048;
  ASSERT_EQ(Q_QueryUserTemp(handle, 7, 1, buffer.data(), &length), 1);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + length), Version9(30, 5));
  EXPECT_EQ(Sent(wire::CMD_USERTEMP_RRQ), 1u);
  length = 2048;
  int32_t flag = -77;
  ASSERT_EQ(Q_QueryUserTempEx(handle, "7", 1, &flag, buffer.data(), &length), 1);
  EXPECT_EQ(Sent(88), 1u);
  EXPECT_EQ(flag, -77);  // the flag comes only from colour-screen terminals
  length = 2048;
  EXPECT_EQ(Q_QueryUserTemp(handle, 7, 2, buffer.data(), &length), 0);
}

TEST_F(FingerprintsE2E, SsrQueryAsksTheTerminalWithoutAView) {
  ASSERT_NE(
      Connect(termsim::Profile::Tft(), {Stored(4, 3, Version9(33, 2))}, {MakeUser(4, "alice")}),
      nullptr);
  Bytes buffer(2048);
  int32_t length = 2048;
  ASSERT_EQ(SSR_Q_QueryUserTemp(handle, "alice", 3, buffer.data(), &length), 1);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + length), Version9(33, 2));
}

}  // namespace
}  // namespace fingerprints_test
