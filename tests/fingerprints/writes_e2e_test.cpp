// Writing and appending templates, checked in the terminal's store.
#include "fingerprints_fixture.h"
#include "wire/codes.h"

namespace fingerprints_test {
namespace {

Bytes Compact(const Bytes& tmpl) {
  Bytes out(templates::kCompactMaxBytes);
  out.resize(templates::ReEncodeTemplate(tmpl, out));
  return out;
}

TEST_F(FingerprintsE2E, SetUserTmpStoresTheCompactForm) {
  ASSERT_NE(Connect(Ver9(), {}), nullptr);
  const Bytes tmpl = Version9(40, 1);
  ASSERT_EQ(Q_SetUserTmp(handle, 12, 3, tmpl.data()), 1);
  const auto stored = sim->FindTemplate(12, 3);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->bytes, Compact(tmpl));
  EXPECT_EQ(stored->flag, 1);
}

TEST_F(FingerprintsE2E, LongTemplatesAreShrunkToTheLimit) {
  ASSERT_NE(Connect(Ver9(), {}), nullptr);
  const Bytes big = Version9(239, 2);
  ASSERT_GT(Compact(big).size(), 1011u);
  ASSERT_EQ(Q_SetUserTmp(handle, 12, 0, big.data()), 1);
  const Bytes plain = StoredBytes(12, 0);
  EXPECT_LE(plain.size(), 1011u);
  EXPECT_GE(plain.size(), 900u);
  EXPECT_GT(templates::TemplateLength(plain), 0u);
  ASSERT_EQ(Q_SetUserTmpEx(handle, "12", 1, 3, big.data()), 1);
  const auto ex = sim->FindTemplate(12, 1);
  ASSERT_TRUE(ex);
  EXPECT_LE(ex->bytes.size(), 598u);
  EXPECT_EQ(ex->flag, 3);
}

TEST_F(FingerprintsE2E, ShortTemplatesAreRefusedUnsent) {
  ASSERT_NE(Connect(Ver9(), {}), nullptr);
  const Bytes tiny = Version9(7);  // 40 bytes
  ASSERT_LT(Compact(tiny).size(), 50u);
  const Bytes junk(64, 0x5A);
  EXPECT_EQ(Q_SetUserTmp(handle, 12, 0, tiny.data()), -3);
  EXPECT_EQ(Q_SetUserTmp(handle, 12, 0, junk.data()), -3);
  EXPECT_EQ(Q_SetUserTmpEx(handle, "12", 0, 1, tiny.data()), -3);
  EXPECT_EQ(Q_AppendUserTmp(handle, 12, tiny.data()), -3);
  EXPECT_EQ(Sent(wire::CMD_USERTEMP_WRQ) + Sent(87) + Sent(wire::CMD_APPEND_USERTEMP), 0u);
  EXPECT_EQ(Q_SetUserTmp(handle, 12, 0, nullptr), 4);
}

TEST_F(FingerprintsE2E, Version10Rules) {
  ASSERT_NE(Connect(termsim::Profile::Tft(), {}, {MakeUser(4, "alice")}), nullptr);
  const Bytes small = Version10(96, 1);
  EXPECT_EQ(SSR_Q_SetUserTmp(handle, "alice", 3, small.data()), -100);
  EXPECT_EQ(SSR_Q_SetUserTmp(handle, "alice", 3, nullptr), -100);  // before anything else
  EXPECT_EQ(Q_SetUserTmpEx(handle, "alice", 0, 1, small.data()), -3);
  EXPECT_EQ(Sent(wire::CMD_USERTEMP_WRQ) + Sent(87), 0u);
  ASSERT_EQ(SSR_Q_SetUserTmp(handle, "alice", 15, small.data()), 1);
  EXPECT_EQ(StoredBytes(4, 15), small);
  EXPECT_EQ(LastPayload(wire::CMD_USERTEMP_WRQ), (Bytes{4, 0, 15, 96, 0}));  // header only
  const Bytes larger = Version10(600, 2);
  ASSERT_EQ(Q_SetUserTmpEx(handle, "alice", 2, 3, larger.data()), 1);
  const auto ex = sim->FindTemplate(4, 2);
  ASSERT_TRUE(ex);
  EXPECT_EQ(ex->bytes, larger);
  EXPECT_EQ(ex->flag, 3);
  // A version-9 template is no container.
  EXPECT_EQ(SSR_Q_SetUserTmp(handle, "alice", 15, Version9(40).data()), -100);
}

TEST_F(FingerprintsE2E, SetUserTmpExtByIdTextFitsOnePacket) {
  ASSERT_NE(Connect(termsim::Profile::Tft(), {}, {MakeUser(4, "alice")}), nullptr);
  const Bytes tmpl = Version9(40, 1);
  ASSERT_EQ(SSR_Q_SetUserTmpExt(handle, 3, "alice", 6, tmpl.data()), 1);
  const auto stored = sim->FindTemplate(4, 6);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->bytes, Compact(tmpl));
  EXPECT_EQ(stored->flag, 3);
  // 1011 bytes and the 28-byte header would pass a UDP packet.
  ASSERT_EQ(SSR_Q_SetUserTmpExt(handle, 1, "alice", 7, Version9(239, 3).data()), 1);
  EXPECT_LE(StoredBytes(4, 7).size(), 1024u - 28u);
  EXPECT_EQ(SSR_Q_SetUserTmpExt(handle, 1, "a-text-longer-than-24-chars", 7, tmpl.data()), 4);
}

TEST_F(FingerprintsE2E, AppendTakesTheFirstFreeFinger) {
  ASSERT_NE(Connect(Ver9(), {Stored(8, 0, Version9(30))}), nullptr);
  const Bytes tmpl = Version9(44, 4);
  ASSERT_EQ(Q_AppendUserTmp(handle, 8, tmpl.data()), 1);
  EXPECT_EQ(StoredBytes(8, 1), Compact(tmpl));
  const Bytes sent = LastPayload(wire::CMD_APPEND_USERTEMP);
  ASSERT_GE(sent.size(), 13u);
  EXPECT_EQ(sent[2], 255);
  EXPECT_EQ(sent.size(), Compact(tmpl).size() + 13);
}

TEST_F(FingerprintsE2E, RefusedWritesMapTheReason) {
  std::vector<termsim::FingerTemplate> full;
  for (uint8_t f = 0; f < 10; ++f) full.push_back(Stored(8, f, Version9(30, f)));
  ASSERT_NE(Connect(Ver9(), full), nullptr);
  // No finger left: reason 4, which appending does not tell apart.
  EXPECT_EQ(Q_AppendUserTmp(handle, 8, Version9(44).data()), -2);
  EXPECT_EQ(Q_SetUserTmp(handle, 70000, 0, Version9(44).data()), -2);  // no such PIN
  sim->SetCommandRefused(wire::CMD_USERTEMP_WRQ, true);
  EXPECT_LE(Q_SetUserTmp(handle, 8, 0, Version9(44).data()), 0);
}

}  // namespace
}  // namespace fingerprints_test
