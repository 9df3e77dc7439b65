// Calls that read fixed fields from a reply, against a terminal that
// accepts the command (CMD_ACK_OK) but sends fewer bytes than the fields
// need: each fails with -2 and leaves its outputs as they were, instead of
// reporting zeros from the empty reply area. With exactly the bytes needed
// it succeeds, which shows where the line is.
#include <array>
#include <cctype>
#include <functional>
#include <ostream>
#include <string>

#include "users_fixture.h"

namespace users_test {
namespace {

// A sentinel no reply decodes to by accident.
constexpr int32_t kUntouched = 0x5A5A5A5A;
using Outputs = std::array<int32_t, 6>;

struct ShortReplyCase {
  const char* call;
  bool tft;
  uint16_t command;
  uint32_t needed;  // payload bytes of the fields the call reads
  std::function<int32_t(DEVAPI_HANDLE, Outputs&)> run;
  bool has_outputs = true;
};

void PrintTo(const ShortReplyCase& c, std::ostream* os) {
  *os << c.call << ", command " << c.command << ", " << c.needed << " bytes needed";
}

termsim::User OwnZones(uint16_t pin) {
  auto u = MakeUser(pin, pin);
  u.tz_mode = 1;
  u.time_zones = {3, 4, 0};  // two zones: the count and two words
  return u;
}

const ShortReplyCase kCases[] = {
    {"Q_GetUserGroup", false, 21, 4,
     [](DEVAPI_HANDLE h, Outputs& o) { return Q_GetUserGroup(h, 3, &o[0]); }},
    {"Q_GetUserTZs", false, 23, 12,
     [](DEVAPI_HANDLE h, Outputs& o) { return Q_GetUserTZs(h, 3, &o[0], &o[4]); }},
    {"Q_GetUserTZs (colour screen)", true, 23, 8,
     [](DEVAPI_HANDLE h, Outputs& o) { return Q_GetUserTZs(h, 3, &o[0], &o[4]); }},
    {"Q_GetUserInfoEx", false, 80, 3,
     [](DEVAPI_HANDLE h, Outputs& o) { return Q_GetUserInfoEx(h, 3, 0, &o[0]); }},
    {"Q_GetTime", false, 201, 4,
     [](DEVAPI_HANDLE h, Outputs& o) {
       return Q_GetTime(h, &o[0], &o[1], &o[2], &o[3], &o[4], &o[5]);
     }},
    {"Q_GetDoorState", false, 75, 1,
     [](DEVAPI_HANDLE h, Outputs& o) { return Q_GetDoorState(h, &o[0]); }},
    {"Q_GetPINWidth", false, 69, 1,
     [](DEVAPI_HANDLE h, Outputs& o) { return Q_GetPINWidth(h, &o[0]); }},
    {"Q_GetDeviceInfo(-6)", false, 14, 4,
     [](DEVAPI_HANDLE h, Outputs& o) {
       o[0] = 0x5A5A5A03;  // its low byte goes out as the request
       const int32_t before = o[0];
       const int32_t r = Q_GetDeviceInfo(h, -6, &o[0]);
       if (r != 1 && o[0] == before) o[0] = kUntouched;
       return r;
     }},
    {"Q_ReadRTLog", false, 90, 4, [](DEVAPI_HANDLE h, Outputs&) { return Q_ReadRTLog(h); }, false},
};

class ShortReplies : public UsersE2E, public ::testing::WithParamInterface<ShortReplyCase> {
 protected:
  int32_t RunWith(uint32_t bytes, Outputs& out) {
    const ShortReplyCase& c = GetParam();
    termsim::Faults f;
    f.short_reply_command = c.command;
    f.short_reply_bytes = bytes;
    sim->SetFaults(f);
    out.fill(kUntouched);
    return c.run(handle, out);
  }
};

TEST_P(ShortReplies, FailWithTheOutputsUntouched) {
  const ShortReplyCase& c = GetParam();
  ASSERT_NE(Connect(c.tft ? termsim::Profile::Tft() : termsim::Profile::Ver660(),
                    {c.tft ? MakeUser(7, 0, "T", "3") : OwnZones(3)}),
            nullptr);
  if (!c.tft) AskPinWidth();
  Outputs out{};
  for (uint32_t bytes : {0u, c.needed - 1}) {
    EXPECT_EQ(RunWith(bytes, out), -2) << c.call << " with " << bytes << " bytes";
    if (c.has_outputs) {
      for (int32_t v : out) EXPECT_EQ(v, kUntouched) << c.call << " with " << bytes << " bytes";
    }
  }
  EXPECT_EQ(RunWith(c.needed, out), 1) << c.call << " with the " << c.needed << " bytes needed";
}

INSTANTIATE_TEST_SUITE_P(FixedLayouts, ShortReplies, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                           std::string name;
                           for (const char* p = info.param.call; *p != '\0'; ++p) {
                             if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                           }
                           return name + (info.param.tft ? "Tft" : "");
                         });

}  // namespace
}  // namespace users_test
