#include "users/privilege.h"

#include <gtest/gtest.h>

namespace {

using users::DecodePrivilege;
using users::EnabledOf;
using users::EncodePrivilege;
using users::PrivilegeCoding;

struct Coded {
  int32_t level;
  uint8_t standard;
  uint8_t platform;
};

constexpr Coded kLevels[] = {{0, 0, 0}, {1, 2, 4}, {2, 6, 8}, {3, 14, 14}, {4, 10, 10}};

TEST(PrivilegeTest, EnabledLevelsInBothCodingsRoundTrip) {
  for (const Coded& c : kLevels) {
    SCOPED_TRACE(c.level);
    EXPECT_EQ(EncodePrivilege(PrivilegeCoding::kStandard, c.level, 1), c.standard);
    EXPECT_EQ(EncodePrivilege(PrivilegeCoding::kPlatform, c.level, 1), c.platform);
    EXPECT_EQ(DecodePrivilege(PrivilegeCoding::kStandard, c.standard), c.level);
    EXPECT_EQ(DecodePrivilege(PrivilegeCoding::kPlatform, c.platform), c.level);
    EXPECT_EQ(EnabledOf(c.standard), 1);
    EXPECT_EQ(EnabledOf(c.platform), 1);
  }
}

TEST(PrivilegeTest, DisabledUsersKeepTheirLevelOnlyInTheStandardCoding) {
  for (const Coded& c : kLevels) {
    SCOPED_TRACE(c.level);
    const uint8_t standard = EncodePrivilege(PrivilegeCoding::kStandard, c.level, 0);
    EXPECT_EQ(standard, c.standard | 1);
    EXPECT_EQ(DecodePrivilege(PrivilegeCoding::kStandard, standard), c.level);
    EXPECT_EQ(EnabledOf(standard), 0);
    // The platform coding has one byte for every disabled user.
    const uint8_t platform = EncodePrivilege(PrivilegeCoding::kPlatform, c.level, 0);
    EXPECT_EQ(platform, 1);
    EXPECT_EQ(DecodePrivilege(PrivilegeCoding::kPlatform, platform), 0);
    EXPECT_EQ(EnabledOf(platform), 0);
  }
}

TEST(PrivilegeTest, LevelTwoDisabledIsByteSevenOrOne) {
  EXPECT_EQ(EncodePrivilege(PrivilegeCoding::kStandard, 2, 0), 7);
  EXPECT_EQ(EncodePrivilege(PrivilegeCoding::kPlatform, 2, 0), 1);
  EXPECT_EQ(DecodePrivilege(PrivilegeCoding::kStandard, 7), 2);
  EXPECT_EQ(EnabledOf(7), 0);
}

TEST(PrivilegeTest, BytesOutsideTheTablesPassThrough) {
  EXPECT_EQ(EncodePrivilege(PrivilegeCoding::kStandard, 20, 1), 20);
  EXPECT_EQ(EncodePrivilege(PrivilegeCoding::kPlatform, 20, 1), 20);
  EXPECT_EQ(DecodePrivilege(PrivilegeCoding::kStandard, 255), -1);
  EXPECT_EQ(DecodePrivilege(PrivilegeCoding::kStandard, 4), 4);  // 4 >> 1 = 2: no level
  EXPECT_EQ(DecodePrivilege(PrivilegeCoding::kStandard, 20), 20);
  EXPECT_EQ(DecodePrivilege(PrivilegeCoding::kPlatform, 2), 2);
  EXPECT_EQ(DecodePrivilege(PrivilegeCoding::kPlatform, 255), 255);
}

TEST(PrivilegeTest, RawOrRvmSessionsUseThePlatformCoding) {
  devapi::DeviceSession s;
  EXPECT_EQ(users::CodingOf(s), PrivilegeCoding::kStandard);
  s.privilege_raw = 1;
  EXPECT_EQ(users::CodingOf(s), PrivilegeCoding::kPlatform);
  s.privilege_raw = 0;
  s.is_rvm_platform = 1;
  EXPECT_EQ(users::CodingOf(s), PrivilegeCoding::kPlatform);
}

}  // namespace
