// Reading single templates from the terminal (commands 9 and 88).
#include "fingerprints_fixture.h"
#include "wire/codes.h"

namespace fingerprints_test {
namespace {

TEST_F(FingerprintsE2E, GetUserTmpByNumber) {
  const Bytes tmpl = Version9(45, 7);
  ASSERT_NE(Connect(Ver9(), {Stored(9, 0, tmpl)}), nullptr);
  Bytes buffer(2048);
  int32_t length = 2048;
  ASSERT_EQ(Q_GetUserTmp(handle, 9, 0, buffer.data(), &length), 1);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + length), tmpl);
  EXPECT_EQ(LastPayload(wire::CMD_USERTEMP_RRQ), (Bytes{9, 0, 0}));
  length = 2048;
  EXPECT_EQ(Q_GetUserTmp(handle, 9, 1, buffer.data(), &length), 0);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(Q_GetUserTmp(handle, 9, 0, nullptr, &length), 4);
  EXPECT_EQ(Q_GetUserTmp(handle, 9, 256, buffer.data(), &length), 4);
  EXPECT_EQ(Q_GetUserTmp(nullptr, 9, 0, buffer.data(), &length), -1);
}

TEST_F(FingerprintsE2E, GetUserTmpNeverWritesPastTheCapacity) {
  const Bytes tmpl = Version9(45, 7);
  ASSERT_NE(Connect(Ver9(), {Stored(9, 0, tmpl)}), nullptr);
  Bytes buffer(100, 0xEE);
  int32_t length = 60;
  ASSERT_EQ(Q_GetUserTmp(handle, 9, 0, buffer.data(), &length), 1);
  EXPECT_EQ(length, 60);
  EXPECT_EQ(Bytes(buffer.begin() + 60, buffer.end()), Bytes(40, 0xEE));
}

TEST_F(FingerprintsE2E, SsrGetUserTmpStreamsOnVersion10) {
  const Bytes container = Version10(300, 2);
  ASSERT_NE(Connect(termsim::Profile::Tft(), {Stored(4, 15, container)}, {MakeUser(4, "alice")}),
            nullptr);
  Bytes buffer(4096);
  int32_t length = 4096;
  ASSERT_EQ(SSR_Q_GetUserTmp(handle, "alice", 15, buffer.data(), &length), 1);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + length), container);
  length = 4096;
  EXPECT_EQ(SSR_Q_GetUserTmp(handle, "nobody", 15, buffer.data(), &length), 0);
}

TEST_F(FingerprintsE2E, GetUserTmpExReportsOneByteLess) {
  const Bytes tmpl = Version9(38, 3);
  for (const bool tft : {false, true}) {
    SCOPED_TRACE(tft ? "TFT" : "ver660");
    ASSERT_NE(
        Connect(tft ? termsim::Profile::Tft() : Ver9(), {Stored(5, 2, tmpl, 3)}, {MakeUser(5)}),
        nullptr);
    Bytes buffer(2048);
    int32_t length = 2048;
    int32_t flag = -77;
    ASSERT_EQ(Q_GetUserTmpEx(handle, "5", 2, &flag, buffer.data(), &length), 1);
    EXPECT_EQ(length, static_cast<int32_t>(tmpl.size()));
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + length), tmpl);
    EXPECT_EQ(flag, tft ? 3 : -77);
    length = 2048;
    EXPECT_EQ(Q_GetUserTmpEx(handle, "5", 3, &flag, buffer.data(), &length), 0);
    Q_Close(handle);
    handle = nullptr;
  }
}

}  // namespace
}  // namespace fingerprints_test
