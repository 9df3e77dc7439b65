// Opening, ending and refusing batches; the users a batch creates; full and
// mixed batches.
#include "batch_fixture.h"
#include "platform/debug.h"
#include "users/batch/batch_streams.h"

namespace batch_test {
namespace {

const uint8_t kNoCard[5] = {};

termsim::User WideUser(uint16_t pin, uint32_t pin2) {
  termsim::User u = MakeUser(pin);
  u.pin2 = pin2;
  return u;
}

TEST_F(BatchE2E, FirmwareBelow511RefusesAndWritesGoOutAtOnce) {
  termsim::Profile p = Wide();
  p.firmware = "Ver 5.10 Jan 01 2005";
  ASSERT_NE(Connect(p), nullptr);
  EXPECT_EQ(Q_BeginBatchUpdate(handle, 0), -100);
  EXPECT_EQ(Q_SetUserInfo(handle, 12, "Al", 0, 1, "1", kNoCard, 12, 1, nullptr), 1);
  EXPECT_EQ(sim->CountReceived(wire::CMD_USER_WRQ), 1u);
  EXPECT_EQ(Q_BatchUpdate(handle), -100);
  EXPECT_EQ(sim->CountReceived(kAnnounce), 0u);
}

TEST_F(BatchE2E, ColourScreenWithVersion10TemplatesNeeds660) {
  termsim::Profile p = termsim::Profile::Tft();  // "~QXFPVersion" 10
  p.firmware = "Ver 6.50 Mar 15 2010";
  ASSERT_NE(Connect(p), nullptr);
  EXPECT_EQ(Q_BeginBatchUpdate(handle, 0), -100);
  EXPECT_FALSE(Batch().active);
}

TEST_F(BatchE2E, NullHandle) {
  EXPECT_EQ(Q_BeginBatchUpdate(nullptr, 0), -1);
  EXPECT_EQ(Q_BatchUpdate(nullptr), -1);
  EXPECT_EQ(Q_CancelBatchUpdate(nullptr), -1);
}

TEST_F(BatchE2E, AnEmptyBatchUploadsTwelveZeroBytes) {
  ASSERT_NE(Connect(Wide()), nullptr);
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  EXPECT_EQ(Q_BatchUpdate(handle), 1);
  EXPECT_EQ(sim->LastStoredUpload(), Bytes(12, 0));
  EXPECT_EQ(Q_BatchUpdate(handle), -100);  // the batch is over
}

TEST_F(BatchE2E, ANewUsersPin2IsFoundAgainInTheSameBatch) {
  ASSERT_NE(Connect(Wide(), {WideUser(1, 1001)}), nullptr);
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  ASSERT_EQ(Q_SetUserInfo(handle, 0, "A", 0, 1, "1", kNoCard, 5000, 1, nullptr), 1);
  ASSERT_EQ(Q_SetUserInfo(handle, 0, "B", 0, 1, "1", kNoCard, 5000, 1, nullptr), 1);
  // Two entries for one PIN; the list of new users holds it once.
  ASSERT_EQ(Batch().user_entries.size(), 58u);
  EXPECT_EQ(wire::ByteReader(std::span(Batch().user_entries).subspan(1)).U16(),
            wire::ByteReader(std::span(Batch().user_entries).subspan(30)).U16());
  EXPECT_EQ(Batch().new_users.size(), 4u + 28u);
  // A second new user never gets the first one's PIN.
  ASSERT_EQ(Q_SetUserInfo(handle, 0, "C", 0, 1, "1", kNoCard, 70000, 1, nullptr), 1);
  EXPECT_NE(wire::ByteReader(std::span(Batch().user_entries).subspan(59)).U16(), 5000);
  ASSERT_EQ(Q_BatchUpdate(handle), 1);
  const auto users = sim->Users();
  ASSERT_EQ(users.size(), 3u);
  EXPECT_EQ(sim->FindUser(5000)->name, "B");
  EXPECT_EQ(sim->StorageWord(4), 3u);
}

TEST_F(BatchE2E, DelUserAppendsAUserEntryAndATemplateDeletion) {
  ASSERT_NE(Connect(Wide(), {WideUser(7, 7007)}, {Stored(7, 1, Version9(12))}), nullptr);
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  ASSERT_EQ(Q_DelUser(handle, 7007), 1);
  EXPECT_EQ(Batch().user_entries.size(), 29u);
  EXPECT_EQ(Batch().template_ops, (Bytes{0, 7, 0, 255, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(sim->CountReceived(wire::CMD_DELETE_USER), 0u);
}

TEST_F(BatchE2E, ARefusedDisableEndsTheBatchWithNothingUploaded) {
  ASSERT_NE(Connect(Wide()), nullptr);
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  ASSERT_EQ(Q_SetUserInfo(handle, 3, "A", 0, 1, "1", kNoCard, 3, 1, nullptr), 1);
  sim->SetCommandRefused(wire::CMD_DISABLEDEVICE, true);
  EXPECT_EQ(Q_BatchUpdate(handle), 0);
  EXPECT_EQ(sim->CountReceived(wire::CMD_PREPARE_DATA), 0u);
  EXPECT_EQ(sim->CountReceived(wire::kTakeUploadedData), 0u);
  EXPECT_FALSE(Batch().active);
  EXPECT_TRUE(Batch().user_entries.empty());
  EXPECT_EQ(Q_BatchUpdate(handle), -100);
}

TEST_F(BatchE2E, ASecondBeginStartsOver) {
  ASSERT_NE(Connect(Wide()), nullptr);
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  ASSERT_EQ(Q_SetUserInfo(handle, 3, "A", 0, 1, "1", kNoCard, 3, 1, nullptr), 1);
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  ASSERT_EQ(Q_BatchUpdate(handle), 1);
  EXPECT_EQ(sim->LastStoredUpload(), Bytes(12, 0));
  EXPECT_TRUE(sim->Users().empty());
}

TEST_F(BatchE2E, CancelSendsNothingAndLeavesTheTerminalAsItWas) {
  ASSERT_NE(Connect(Wide(), {WideUser(7, 7007)}, {Stored(7, 1, Version9(12))}), nullptr);
  const auto users = sim->Users();
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  ASSERT_EQ(Q_DelUser(handle, 7007), 1);
  ASSERT_EQ(Q_SetUserTmp(handle, 7007, 2, Version9(20).data()), 1);
  sim->ClearReceived();
  EXPECT_EQ(Q_CancelBatchUpdate(handle), 1);
  EXPECT_EQ(sim->ReceivedCount(), 0u);
  EXPECT_EQ(sim->Users(), users);
  EXPECT_EQ(sim->Templates().size(), 1u);
  EXPECT_TRUE(sim->DeviceEnabled());
  EXPECT_EQ(Q_BatchUpdate(handle), -100);
  // After the batch the calls talk to the terminal again.
  EXPECT_EQ(Q_DelUser(handle, 7007), 1);
  EXPECT_TRUE(sim->Users().empty());
}

TEST_F(BatchE2E, TheTerminalsRefusalGivesMinus2WithItsTablesUnchanged) {
  // This terminal reads 30-byte operations: one 8-byte operation is cut.
  termsim::Profile p = Wide();
  p.batch_ops = termsim::Profile::BatchOps::kIdText;
  ASSERT_NE(Connect(p, {WideUser(7, 7007)}, {Stored(7, 1, Version9(12))}), nullptr);
  const auto users = sim->Users();
  const auto templates = sim->Templates();
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  ASSERT_EQ(Q_SetUserInfo(handle, 9, "N", 0, 1, "1", kNoCard, 9, 1, nullptr), 1);
  ASSERT_EQ(Q_DelUserTmp(handle, 7007, 1), 1);
  EXPECT_EQ(Q_BatchUpdate(handle), -2);
  EXPECT_EQ(sim->CountReceived(kReload), 0u);
  EXPECT_EQ(sim->Users(), users);
  EXPECT_EQ(sim->Templates(), templates);
  EXPECT_FALSE(Batch().active);
}

TEST_F(BatchE2E, AUserCreatedInTheBatchGetsItsTemplates) {
  ASSERT_NE(Connect(Wide(), {WideUser(1, 1001)}), nullptr);
  const Bytes tmpl = Version9(20, 7);
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  ASSERT_EQ(Q_SetUserInfo(handle, 0, "New", 0, 1, "1", kNoCard, 90001, 1, nullptr), 1);
  ASSERT_EQ(Q_SetUserTmp(handle, 90001, 0, tmpl.data()), 1);
  ASSERT_EQ(Q_SetUserTmpEx(handle, "90001", 1, 3, tmpl.data()), 1);
  ASSERT_EQ(Q_BatchUpdate(handle), 1);
  const auto users = sim->Users();
  ASSERT_EQ(users.size(), 2u);
  const termsim::User& created = users[0].pin2 == 90001 ? users[0] : users[1];
  ASSERT_EQ(created.pin2, 90001u);
  ASSERT_TRUE(sim->FindTemplate(created.pin, 0).has_value());
  EXPECT_EQ(sim->FindTemplate(created.pin, 1)->flag, 3);
  EXPECT_EQ(sim->StorageWord(6), 2u);
}

TEST_F(BatchE2E, TwoHundredUsersWithTemplatesArriveIntact) {
  ASSERT_NE(Connect(Wide()), nullptr);
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  for (int i = 1; i <= 200; ++i) {
    const std::string name = "N" + std::to_string(i);
    ASSERT_EQ(Q_SetUserInfo(handle, 0, name.c_str(), 0, 1, "1", kNoCard, 100000 + i, i % 16,
                            nullptr),
              1);
    ASSERT_EQ(Q_SetUserTmp(handle, 100000 + i, i % 10, Version9(10 + i % 30, i).data()), 1);
  }
  ASSERT_EQ(Q_BatchUpdate(handle), 1);
  const Package p = StoredPackage();
  ASSERT_TRUE(p.whole);
  ASSERT_EQ(p.users.size(), 200u * 29);
  ASSERT_EQ(p.ops.size(), 200u * 8);

  const auto users = sim->Users();
  ASSERT_EQ(users.size(), 200u);
  const auto templates = sim->Templates();
  ASSERT_EQ(templates.size(), 200u);
  for (size_t i = 0; i < 200; ++i) {
    // Entry i of each stream: the user, then its template at the offset.
    wire::ByteReader entry(std::span(p.users).subspan(i * 29 + 1, 28));
    const uint16_t pin = entry.U16();
    const auto user = sim->FindUser(pin);
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->pin2, 100001u + i);
    EXPECT_EQ(user->name, "N" + std::to_string(i + 1));
    wire::ByteReader op(std::span(p.ops).subspan(i * 8, 8));
    op.U8();
    EXPECT_EQ(op.U16(), pin);
    const uint8_t finger = op.U8();
    const auto offset = static_cast<size_t>(op.I32());
    const size_t length = wire::ByteReader(std::span(p.data).subspan(offset)).U16();
    const auto stored = sim->FindTemplate(pin, finger);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->bytes, Bytes(p.data.begin() + static_cast<ptrdiff_t>(offset) + 2,
                                   p.data.begin() + static_cast<ptrdiff_t>(offset + 2 + length)));
  }
  EXPECT_EQ(sim->StorageWord(4), 200u);
  EXPECT_EQ(sim->StorageWord(6), 200u);
}

TEST_F(BatchE2E, MixingFormsGives4AndAppendsNothing) {
  ASSERT_NE(Connect(Colour(), {MakeUser(5, "alice")}), nullptr);
  const Bytes tmpl = Version9(20);
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  ASSERT_EQ(SSR_Q_SetUserTmp(handle, "alice", 1, tmpl.data()), 1);
  const Bytes ops = Batch().template_ops;
  const size_t data = Batch().template_data.size();
  EXPECT_EQ(SSR_Q_SetUserTmpExt(handle, 0, "alice", 2, tmpl.data()), 4);
  EXPECT_EQ(SSR_Q_DelUserTmpExt(handle, "alice", 2), 4);
  EXPECT_EQ(SSR_Q_DelUserExt(handle, "alice"), 4);
  EXPECT_EQ(Batch().template_ops, ops);
  EXPECT_EQ(Batch().template_data.size(), data);
  EXPECT_TRUE(Batch().user_entries.empty());

  // User entries: colour-screen records, then a 28-byte one.
  ASSERT_EQ(SSR_Q_SetUserInfo(handle, "bob", "Bob", 0, 1, "1", nullptr, 1, nullptr), 1);
  EXPECT_EQ(Q_SetUserInfo(handle, 9, "N", 0, 1, "1", kNoCard, 9, 1, nullptr), 4);
  EXPECT_EQ(Batch().user_entries.size(), 73u);
}

TEST_F(BatchE2E, UnknownIdTextsAppendNothing) {
  ASSERT_NE(Connect(Colour(), {MakeUser(5, "alice")}), nullptr);
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  EXPECT_EQ(SSR_Q_DelUser(handle, "nobody"), 0);
  EXPECT_EQ(SSR_Q_DelUserExt(handle, "nobody"), 0);
  EXPECT_EQ(SSR_Q_SetUserTmp(handle, "nobody", 1, Version9(20).data()), 0);
  EXPECT_EQ(SSR_Q_DelUserTmp(handle, "nobody", 1), 0);
  EXPECT_TRUE(Batch().user_entries.empty());
  EXPECT_TRUE(Batch().template_ops.empty());
  EXPECT_TRUE(Batch().template_data.empty());
  // Wrong arguments are refused by the calls' own checks.
  EXPECT_EQ(Q_SetUserTmp(handle, 5, 300, Version9(20).data()), 4);
  EXPECT_EQ(SSR_Q_SetUserInfo(handle, "", "x", 0, 1, "1", nullptr, 1, nullptr), 4);
  EXPECT_TRUE(Batch().template_ops.empty());
}

// Every buffer a call touches is checked before anything is appended.
TEST_F(BatchE2E, AFullBufferGivesMinus4AndKeepsWhatItHolds) {
  ASSERT_NE(Connect(Wide(), {WideUser(7, 7007)}), nullptr);
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  Batch().template_ops.resize(users::kBatchOpsCap - 4);
  EXPECT_EQ(Q_DelUser(handle, 7007), -4);
  EXPECT_TRUE(Batch().user_entries.empty());
  EXPECT_EQ(Q_SetUserTmp(handle, 7007, 1, Version9(20).data()), -4);
  EXPECT_TRUE(Batch().template_data.empty());
  EXPECT_EQ(Batch().template_ops.size(), users::kBatchOpsCap - 4);
  Batch().template_ops.resize(users::kBatchOpsCap - 8);
  EXPECT_EQ(Q_DelUserTmp(handle, 7007, 1), 1);  // exactly to the cap
  EXPECT_EQ(Batch().template_ops.size(), users::kBatchOpsCap);

  Batch().user_entries.resize(users::kBatchUserEntriesCap - 28);
  EXPECT_EQ(Q_SetUserInfo(handle, 9, "N", 0, 1, "1", kNoCard, 9, 1, nullptr), -4);
  EXPECT_EQ(Batch().user_entries.size(), users::kBatchUserEntriesCap - 28);
  EXPECT_EQ(sim->CountReceived(wire::CMD_PREPARE_DATA), 0u);
  EXPECT_EQ(Q_CancelBatchUpdate(handle), 1);
}

TEST_F(BatchE2E, BeginWritesItsTraceLine) {
  if (!platform::DebugOutputEnabled()) GTEST_SKIP() << "run with TERMKIT_TRACE";
  testing::internal::CaptureStderr();
  Q_BeginBatchUpdate(nullptr, 3);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Q_BeginBatchUpdate flag=3\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace batch_test
