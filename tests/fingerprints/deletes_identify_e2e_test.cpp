// Deleting templates and identifying a template (command 1011).
#include "fingerprints_fixture.h"
#include "wire/codes.h"

namespace fingerprints_test {
namespace {

Bytes Compact(const Bytes& tmpl) {
  Bytes out(templates::kCompactMaxBytes);
  out.resize(templates::ReEncodeTemplate(tmpl, out));
  return out;
}

TEST_F(FingerprintsE2E, DeletesByNumberAndByIdText) {
  ASSERT_NE(
      Connect(termsim::Profile::Tft(),
              {Stored(4, 1, Version9(30)), Stored(4, 2, Version9(31)), Stored(4, 3, Version9(32))},
              {MakeUser(4, "alice")}),
      nullptr);
  EXPECT_EQ(Q_DelUserTmp(handle, 4, 1), 1);
  EXPECT_FALSE(sim->FindTemplate(4, 1));
  EXPECT_EQ(Q_DelUserTmp(handle, 4, 1), 0);  // nothing left to delete
  EXPECT_EQ(SSR_Q_DelUserTmp(handle, "alice", 2), 1);
  EXPECT_FALSE(sim->FindTemplate(4, 2));
  EXPECT_EQ(SSR_Q_DelUserTmpExt(handle, "alice", 3), 1);
  EXPECT_FALSE(sim->FindTemplate(4, 3));
  EXPECT_EQ(SSR_Q_DelUserTmpExt(handle, "alice", 3), 0);
  Bytes request = LastPayload(134);
  ASSERT_EQ(request.size(), 25u);
  EXPECT_EQ(request[24], 3);
  EXPECT_EQ(Q_DelUserTmp(handle, 4, -1), 4);
}

TEST_F(FingerprintsE2E, DeletingAnUnknownNumberSendsNothing) {
  ASSERT_NE(Connect(Ver9(), {Stored(4, 1, Version9(30))}), nullptr);
  EXPECT_EQ(Q_DelUserTmp(handle, 70000, 1), 0);
  EXPECT_EQ(Sent(19), 0u);
  EXPECT_TRUE(sim->FindTemplate(4, 1));
}

TEST_F(FingerprintsE2E, IdentifyMatchAndNoMatch) {
  const Bytes tmpl = Version9(40, 6);
  ASSERT_NE(Connect(Ver9(), {Stored(21, 0, Compact(tmpl))}), nullptr);
  int32_t pin = -1;
  ASSERT_EQ(Q_TestUserTmp(handle, &pin, tmpl.data()), 1);
  EXPECT_EQ(pin, 21);
  EXPECT_EQ(LastPayload(1011), Compact(tmpl));
  pin = -1;
  EXPECT_EQ(Q_TestUserTmp(handle, &pin, Version9(40, 7).data()), 0);
  sim->SetIdentifyAnswer(256);  // a PIN whose low byte is 0 is still a match
  ASSERT_EQ(Q_TestUserTmp(handle, &pin, tmpl.data()), 1);
  EXPECT_EQ(pin, 256);
}

TEST_F(FingerprintsE2E, IdentifyRefusesUnreadableTemplatesAndEmptyReplies) {
  ASSERT_NE(Connect(Ver9(), {}), nullptr);
  int32_t pin = -1;
  const Bytes junk(64, 0x5A);
  EXPECT_EQ(Q_TestUserTmp(handle, &pin, junk.data()), 4);
  EXPECT_EQ(Sent(1011), 0u);
  // Accepted, but too short to name anybody: a failure, not "no match",
  // and the output stays. The 2 bytes of the PIN are what it needs.
  sim->SetIdentifyAnswer(21);
  for (uint32_t bytes : {0u, 1u}) {
    termsim::Faults short_reply;
    short_reply.short_reply_command = 1011;
    short_reply.short_reply_bytes = bytes;
    sim->SetFaults(short_reply);
    EXPECT_EQ(Q_TestUserTmp(handle, &pin, Version9(40).data()), -2) << bytes << " bytes";
    EXPECT_EQ(pin, -1);
  }
  termsim::Faults just_enough;
  just_enough.short_reply_command = 1011;
  just_enough.short_reply_bytes = 2;
  sim->SetFaults(just_enough);
  EXPECT_EQ(Q_TestUserTmp(handle, &pin, Version9(40).data()), 1);
  EXPECT_EQ(pin, 21);
}

}  // namespace
}  // namespace fingerprints_test
