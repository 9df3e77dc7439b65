// What each of the collecting calls appends, read back from the package the
// terminal stored, and the exchange that carries it.
#include <algorithm>
#include <functional>

#include "batch_fixture.h"

namespace batch_test {
namespace {

Bytes PinOp(uint8_t code, uint16_t pin, uint8_t finger, int32_t offset) {
  Bytes out(8);
  wire::ByteWriter w(out);
  w.U8(code);
  w.U16(pin);
  w.U8(finger);
  w.I32(offset);
  return out;
}

Bytes IdOp(uint8_t code, const std::string& id, uint8_t finger, int32_t offset) {
  Bytes out(30, 0);
  out[0] = code;
  std::copy(id.begin(), id.end(), out.begin() + 1);
  wire::ByteWriter w(std::span<uint8_t>(out).subspan(25));
  w.U8(finger);
  w.I32(offset);
  return out;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

constexpr uint16_t kPin = 7;
constexpr int32_t kPin2 = 7007;
constexpr uint16_t kTftPin = 5;
const std::string kId = "alice";

struct CallCase {
  const char* name;
  bool colour;
  termsim::Profile::BatchOps ops_form;
  std::function<int32_t(DEVAPI_HANDLE, const uint8_t*)> call;
  Bytes users_prefix;  // the user entries begin so
  size_t users_size;
  Bytes ops;
  // The template the operation adds: {pin, finger, flag} on the terminal.
  bool adds = false;
  uint16_t tmpl_pin = 0;
  uint8_t tmpl_finger = 0;
  uint8_t tmpl_flag = 1;
};

std::vector<CallCase> Cases() {
  using Ops = termsim::Profile::BatchOps;
  const uint8_t card[5] = {1, 2, 3, 4, 0};
  return {
      {"SetUserInfo", false, Ops::kPin,
       [card](DEVAPI_HANDLE h, const uint8_t*) {
         return Q_SetUserInfo(h, 0, "Ann", 0, 1, "123", card, 9009, 1, nullptr);
       },
       {2, 0x31, 0x23}, 29, {}},  // a new user: PIN 9009, free
      {"SSR_SetUserInfo", true, Ops::kPin,
       [](DEVAPI_HANDLE h, const uint8_t*) {
         const int32_t card = 77;
         return SSR_Q_SetUserInfo(h, "bob", "Bob", 0, 1, "pw", &card, 1, nullptr);
       },
       {2, 1, 0}, 73, {}},
      {"DelUser", false, Ops::kPin, [](DEVAPI_HANDLE h, const uint8_t*) { return Q_DelUser(h, kPin2); },
       Concat({0, kPin, 0}, Bytes(26, 0)), 29, PinOp(0, kPin, 255, -1)},
      {"SSR_DelUser", true, Ops::kPin,
       [](DEVAPI_HANDLE h, const uint8_t*) { return SSR_Q_DelUser(h, kId.c_str()); },
       {0, kTftPin, 0, 0, 0}, 5, PinOp(0, kTftPin, 255, -1)},
      {"SSR_DelUserExt", true, Ops::kIdText,
       [](DEVAPI_HANDLE h, const uint8_t*) { return SSR_Q_DelUserExt(h, kId.c_str()); },
       {0, kTftPin, 0, 0, 0}, 5, IdOp(0, kId, 255, -1)},
      {"SetUserTmp", false, Ops::kPin,
       [](DEVAPI_HANDLE h, const uint8_t* t) { return Q_SetUserTmp(h, kPin2, 3, t); }, {}, 0,
       PinOp(1, kPin, 3, 0), true, kPin, 3, 1},
      {"SSR_SetUserTmp", true, Ops::kPin,
       [](DEVAPI_HANDLE h, const uint8_t* t) { return SSR_Q_SetUserTmp(h, kId.c_str(), 4, t); }, {},
       0, PinOp(1, kTftPin, 4, 0), true, kTftPin, 4, 1},
      {"SetUserTmpEx", false, Ops::kPin,
       [](DEVAPI_HANDLE h, const uint8_t* t) { return Q_SetUserTmpEx(h, "7007", 2, 3, t); }, {}, 0,
       PinOp(1, kPin, 0x32, 0), true, kPin, 2, 3},
      {"SSR_SetUserTmpExt", true, Ops::kIdText,
       [](DEVAPI_HANDLE h, const uint8_t* t) { return SSR_Q_SetUserTmpExt(h, 1, kId.c_str(), 6, t); },
       {}, 0, IdOp(1, kId, 6, 0), true, kTftPin, 6, 1},
      {"DelUserTmp", false, Ops::kPin,
       [](DEVAPI_HANDLE h, const uint8_t*) { return Q_DelUserTmp(h, kPin2, 3); }, {}, 0,
       PinOp(0, kPin, 3, -1)},
      {"SSR_DelUserTmp", true, Ops::kPin,
       [](DEVAPI_HANDLE h, const uint8_t*) { return SSR_Q_DelUserTmp(h, kId.c_str(), 4); }, {}, 0,
       PinOp(0, kTftPin, 4, -1)},
      {"SSR_DelUserTmpExt", true, Ops::kIdText,
       [](DEVAPI_HANDLE h, const uint8_t*) { return SSR_Q_DelUserTmpExt(h, kId.c_str(), 6); }, {},
       0, IdOp(0, kId, 6, -1)},
  };
}

class CollectingCalls : public BatchE2E, public ::testing::WithParamInterface<CallCase> {};

TEST_P(CollectingCalls, AppendTheirEntryAndTheTerminalAppliesIt) {
  const CallCase& c = GetParam();
  termsim::User user = c.colour ? MakeUser(kTftPin, kId) : MakeUser(kPin);
  if (!c.colour) user.pin2 = kPin2;
  const Bytes tmpl = Version9(20, 3);
  const std::vector<termsim::FingerTemplate> preloaded = {Stored(user.pin, 3, Version9(12, 1)),
                                                          Stored(user.pin, 4, Version9(12, 2)),
                                                          Stored(user.pin, 6, Version9(12, 4))};
  ASSERT_NE(Connect(c.colour ? Colour(c.ops_form) : Wide(), {user}, preloaded), nullptr);
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  sim->ClearReceived();
  ASSERT_EQ(c.call(handle, tmpl.data()), 1);
  // Collected only: no write or deletion went out.
  for (uint16_t code : {8, 10, 18, 19, 87, 132, 133, 134}) EXPECT_EQ(sim->CountReceived(code), 0u);

  sim->ClearReceived();
  ASSERT_EQ(Q_BatchUpdate(handle), 1);
  const Package p = StoredPackage();
  ASSERT_TRUE(p.whole);
  EXPECT_EQ(p.users.size(), c.users_size);
  ASSERT_GE(p.users.size(), c.users_prefix.size());
  EXPECT_EQ(Bytes(p.users.begin(), p.users.begin() + c.users_prefix.size()), c.users_prefix);
  EXPECT_EQ(p.ops, c.ops);
  EXPECT_EQ(sim->LastUploadParameters(), (Bytes{12, 0, 0, 0, 0, 0, 8, 0}));

  if (c.adds) {
    ASSERT_GE(p.data.size(), 2u);
    const size_t length = wire::ByteReader(p.data).U16();
    ASSERT_EQ(length + 2, p.data.size());
    const auto stored = sim->FindTemplate(c.tmpl_pin, c.tmpl_finger);
    ASSERT_TRUE(stored.has_value());
    // Code 1 keeps a template the finger holds.
    const auto held = std::find_if(preloaded.begin(), preloaded.end(),
                                   [&](const auto& t) { return t.finger == c.tmpl_finger; });
    if (held != preloaded.end()) {
      EXPECT_EQ(stored->bytes, held->bytes);
    } else {
      EXPECT_EQ(stored->bytes, Bytes(p.data.begin() + 2, p.data.end()));
      EXPECT_EQ(stored->flag, c.tmpl_flag);
    }
  } else {
    EXPECT_TRUE(p.data.empty());
  }

  // 2222, 1003, the upload, 110, 1013: and nothing after (the terminal is
  // left disabled).
  const auto codes = Codes();
  ASSERT_GE(codes.size(), 6u);
  EXPECT_EQ(codes[0], kAnnounce);
  EXPECT_EQ(codes[1], wire::CMD_DISABLEDEVICE);
  EXPECT_EQ(codes[2], wire::CMD_PREPARE_DATA);
  for (size_t i = 3; i + 2 < codes.size(); ++i) EXPECT_EQ(codes[i], wire::CMD_DATA);
  EXPECT_EQ(codes[codes.size() - 2], wire::kTakeUploadedData);
  EXPECT_EQ(codes.back(), kReload);
  EXPECT_FALSE(sim->DeviceEnabled());
}

INSTANTIATE_TEST_SUITE_P(Calls, CollectingCalls, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// What the calls describe is what the terminal then holds.
TEST_F(BatchE2E, DeletionsAndWritesLandOnTheTerminal) {
  termsim::User gone = MakeUser(kPin);
  gone.pin2 = kPin2;
  ASSERT_NE(Connect(Wide(), {gone}, {Stored(kPin, 3, Version9(12, 1))}), nullptr);
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  ASSERT_EQ(Q_DelUser(handle, kPin2), 1);
  const uint8_t card[5] = {};
  ASSERT_EQ(Q_SetUserInfo(handle, 0, "Neo", 0, 1, "1", card, 4242, 2, nullptr), 1);
  ASSERT_EQ(Q_BatchUpdate(handle), 1);
  const auto users = sim->Users();
  ASSERT_EQ(users.size(), 1u);
  EXPECT_EQ(users[0].pin2, 4242u);
  EXPECT_EQ(users[0].name, "Neo");
  EXPECT_TRUE(sim->Templates().empty());
}

// Begun with flag 1, template additions replace what a finger holds.
TEST_F(BatchE2E, OverwriteFlagGivesCodeTwoAndReplaces) {
  termsim::User u = MakeUser(kPin);
  u.pin2 = kPin2;
  ASSERT_NE(Connect(Wide(), {u}, {Stored(kPin, 3, Version9(12, 1))}), nullptr);
  const Bytes tmpl = Version9(20, 5);
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 1), 1);
  ASSERT_EQ(Q_SetUserTmp(handle, kPin2, 3, tmpl.data()), 1);
  ASSERT_EQ(Q_BatchUpdate(handle), 1);
  const Package p = StoredPackage();
  EXPECT_EQ(p.ops, PinOp(2, kPin, 3, 0));
  EXPECT_EQ(sim->FindTemplate(kPin, 3)->bytes, Bytes(p.data.begin() + 2, p.data.end()));

  // Without the flag the stored template stays.
  const Bytes before = sim->FindTemplate(kPin, 3)->bytes;
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  ASSERT_EQ(Q_SetUserTmp(handle, kPin2, 3, Version9(25, 6).data()), 1);
  ASSERT_EQ(Q_BatchUpdate(handle), 1);
  EXPECT_EQ(StoredPackage().ops, PinOp(1, kPin, 3, 0));
  EXPECT_EQ(sim->FindTemplate(kPin, 3)->bytes, before);
}

}  // namespace
}  // namespace batch_test
