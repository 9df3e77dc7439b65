// A terminal on USB that spoils its blocks, or loses, delays or damages its
// replies: each command still ends with the right answer.
#include <functional>
#include <vector>

#include "usb_fixture.h"
#include "wire/codes.h"

namespace usbtest {
namespace {

constexpr uint16_t kGetTime = 201;  // the terminal's clock

TEST_F(UsbE2E, SpoiltBlocksAndLostRepliesAreRecovered) {
  ASSERT_NE(Connect(), nullptr);
  // Short waits keep each recovery quick: a resend follows a second of
  // silence.
  ASSERT_EQ(Q_SetCommuTimeOut(handle, 1), 1);
  struct Case {
    const char* what;
    std::function<void(termsim::Simulator&)> arm;
    size_t sends;  // times the command went to the terminal
  };
  const auto usb = [](auto set) {
    return [set](termsim::Simulator& s) {
      termsim::UsbFaults f;
      set(f);
      s.SetUsbFaults(f);
    };
  };
  const auto reply = [](auto set) {
    return [set](termsim::Simulator& s) {
      termsim::Faults f;
      set(f);
      s.SetFaults(f);
    };
  };
  const std::vector<Case> cases = {
      {"end mark missing", usb([](auto& f) { f.bad_mark = 1; }), 2},
      {"length 1530", usb([](auto& f) { f.long_length = 1; }), 2},
      {"code 0", usb([](auto& f) { f.zero_code = 1; }), 2},
      // The host polls past the half-written block and takes the whole one.
      {"torn block", usb([](auto& f) { f.torn = 1; }), 1},
      {"dropped reply", reply([](auto& f) { f.drop_replies = 1; }), 2},
      {"late reply", reply([](auto& f) {
         f.late_replies = 1;
         f.late_ms = 1300;
       }), 2},
      // A damaged packet is sent again at once.
      {"corrupt reply", reply([](auto& f) { f.corrupt_replies = 1; }), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const size_t before = sim->CountReceived(kGetTime);
    c.arm(*sim);
    int32_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    EXPECT_EQ(Q_GetTime(handle, &y, &mo, &d, &h, &mi, &s), 1);
    EXPECT_EQ(y, 2024);
    EXPECT_EQ(mi, 30);
    EXPECT_EQ(sim->CountReceived(kGetTime) - before, c.sends);
    // Whatever is still due (a late copy) lands before the next case.
    std::this_thread::sleep_for(std::chrono::milliseconds(c.sends > 1 ? 400 : 0));
  }
}

}  // namespace
}  // namespace usbtest
