// The terminal's side of a batch package, with hand-made packages: applied
// whole, or refused with nothing changed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/batch_apply.h"
#include "termsim/simulator.h"
#include "wire/le_bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes U16(uint16_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }
Bytes U32(uint32_t v) {
  Bytes out(4);
  wire::ByteWriter(out).U32(v);
  return out;
}
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A 28-byte user record: PIN, privilege, password, name, card, group,
// zones, PIN2.
Bytes Record(uint16_t pin, const std::string& name) {
  Bytes r(28, 0);
  wire::ByteWriter w(r);
  w.U16(pin);
  w.U8(0);
  w.Bytes(Bytes(5, 0));
  Bytes n(8, 0);
  std::copy(name.begin(), name.end(), n.begin());
  w.Bytes(n);
  w.Bytes(Bytes(5, 0));
  w.U8(1);
  w.U16(0);
  w.U32(pin);
  return r;
}
Bytes Write(uint16_t pin, const std::string& name) { return Bytes{2} + Record(pin, name); }
Bytes Delete(uint16_t pin) { return Bytes{0} + U16(pin) + Bytes(26, 0); }
Bytes Op(uint8_t code, uint16_t pin, uint8_t finger, int32_t offset) {
  return Bytes{code} + U16(pin) + Bytes{finger} + U32(static_cast<uint32_t>(offset));
}
Bytes Data(const Bytes& tmpl) { return U16(static_cast<uint16_t>(tmpl.size())) + tmpl; }
Bytes Package(const Bytes& users, const Bytes& ops, const Bytes& data) {
  return U32(static_cast<uint32_t>(users.size())) + U32(static_cast<uint32_t>(ops.size())) +
         U32(static_cast<uint32_t>(data.size())) + users + ops + data;
}

class SimBatch : public ::testing::Test {
 protected:
  SimBatch() : users(termsim::Profile::Ver660()), templates(termsim::Profile::Ver660()) {
    termsim::User u;
    u.pin = 7;
    u.pin2 = 7;
    u.name = "Old";
    users.SetUsers({u});
    templates.SetTemplates({{7, 1, 1, Bytes(40, 0x11)}});
    // As the terminal wires them: a user's templates go with the user.
    users.SetListeners({[this](uint16_t pin) { templates.UserRemoved(pin); }, {}});
  }
  bool Apply(const Bytes& package, bool by_text = false) {
    return termsim::ApplyBatchPackage(package, termsim::UserRecordLayout::kExtended, by_text,
                                      users, templates);
  }
  termsim::UserCommands users;
  termsim::TemplateCommands templates;
};

TEST_F(SimBatch, AppliesUsersThenOperationsInOrder) {
  const Bytes t1(60, 0x21), t2(70, 0x22);
  const Bytes data = Data(t1) + Data(t2);
  const Bytes ops = Op(1, 9, 0x30, 0) + Op(1, 7, 1, 62) + Op(2, 9, 2, 62) + Op(0, 8, 255, -1) +
                    Op(0, 9, 5, -1);
  ASSERT_TRUE(Apply(Package(Write(9, "New") + Delete(8) + Write(7, "Renamed"), ops, data)));
  ASSERT_EQ(users.Users().size(), 2u);
  EXPECT_EQ(users.FindUser(7)->name, "Renamed");
  EXPECT_EQ(users.FindUser(9)->name, "New");
  // Finger in the low nibble, flag in the high one (0 means 1).
  EXPECT_EQ(templates.Find(9, 0)->flag, 3);
  EXPECT_EQ(templates.Find(9, 0)->bytes, t1);
  EXPECT_EQ(templates.Find(9, 2)->flag, 1);
  EXPECT_EQ(templates.Find(9, 2)->bytes, t2);
  EXPECT_EQ(templates.Find(7, 1)->bytes, Bytes(40, 0x11));  // code 1 keeps it
}

TEST_F(SimBatch, DeletingAUserTakesItsTemplates) {
  ASSERT_TRUE(Apply(Package(Delete(7), {}, {})));
  EXPECT_TRUE(users.Users().empty());
  EXPECT_TRUE(templates.Templates().empty());
}

TEST_F(SimBatch, IdTextOperationsFindUsersOfThePackage) {
  Bytes op(30, 0);
  op[0] = 2;
  const std::string id = "9";  // the new user's PIN2, as this terminal names it
  std::copy(id.begin(), id.end(), op.begin() + 1);
  op[25] = 4;
  Bytes missing = op;
  missing[1] = 'x';
  ASSERT_TRUE(Apply(Package(Write(9, "New"), missing + op, Data(Bytes(60, 0x33))), true));
  EXPECT_EQ(templates.Find(9, 4)->bytes, Bytes(60, 0x33));
  EXPECT_EQ(templates.Templates().size(), 2u);
}

struct BadPackage {
  const char* name;
  Bytes package;
};

std::vector<BadPackage> BadPackages() {
  const Bytes data = Data(Bytes(60, 1));
  const Bytes good_ops = Op(1, 9, 0, 0);
  Bytes short_head = Package(Write(9, "A"), {}, {});
  short_head[0] += 1;
  return {
      {"CountsDoNotAddUp", short_head},
      {"TrailingBytes", Package(Write(9, "A"), {}, {}) + Bytes{0}},
      {"HeadCut", Bytes{0, 0, 0}},
      {"UserEntryCut", Package(Bytes{2} + Bytes(20, 1), {}, {})},
      {"UnknownUserCode", Package(Bytes{3} + Record(9, "A"), {}, {})},
      {"UserPin0", Package(Write(0, "A"), {}, {})},
      {"UserPin65535", Package(Delete(65535), {}, {})},
      {"OperationCut", Package({}, Op(1, 9, 0, 0) + Bytes{0, 1}, data)},
      {"UnknownOperationCode", Package({}, Op(5, 9, 0, 0), data)},
      {"OperationPin0", Package({}, Op(1, 0, 0, 0), data)},
      {"OperationPin65535", Package({}, Op(0, 65535, 255, -1), {})},
      {"OffsetOutsideTheData", Package({}, Op(1, 9, 0, 100), data)},
      {"OffsetInsideAnEntry", Package({}, Op(1, 9, 0, 2), data)},
      {"NegativeOffsetForAnAddition", Package({}, Op(1, 9, 0, -1), data)},
      {"DeletionWithAnOffset", Package({}, Op(0, 9, 1, 0), data)},
      {"ZeroLengthTemplate", Package({}, good_ops, Data({}))},
      {"TemplateEntryCut", Package({}, good_ops, U16(61) + Bytes(60, 1))},
  };
}

class SimBatchRefuses : public SimBatch, public ::testing::WithParamInterface<BadPackage> {};

TEST_P(SimBatchRefuses, ThePackageWholeWithNothingChanged) {
  // A valid change rides along: it must not be applied either.
  const auto users_before = users.Users();
  const auto templates_before = templates.Templates();
  EXPECT_FALSE(Apply(GetParam().package));
  EXPECT_EQ(users.Users(), users_before);
  EXPECT_EQ(templates.Templates(), templates_before);
}

INSTANTIATE_TEST_SUITE_P(Packages, SimBatchRefuses, ::testing::ValuesIn(BadPackages()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
