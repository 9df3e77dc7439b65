// Punches a simulated terminal makes on its own: real calendar arithmetic
// and the attendance event's layout.
#include "termsim/live_punches.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

using termsim::DateTime;

TEST(LivePunches, AddSecondsFollowsTheCalendar) {
  struct Case {
    DateTime from;
    int64_t seconds;
    DateTime to;
  };
  const Case cases[] = {
      {{2024, 3, 1, 9, 15, 0}, 3, {2024, 3, 1, 9, 15, 3}},
      {{2024, 4, 30, 23, 59, 59}, 1, {2024, 5, 1, 0, 0, 0}},   // no 31 April
      {{2024, 2, 28, 23, 59, 58}, 3, {2024, 2, 29, 0, 0, 1}},  // leap year
      {{2023, 2, 28, 23, 59, 59}, 1, {2023, 3, 1, 0, 0, 0}},
      {{2099, 12, 31, 23, 59, 59}, 1, {2100, 1, 1, 0, 0, 0}},
      {{2024, 1, 1, 0, 0, 0}, 86400 * 366, {2025, 1, 1, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(termsim::AddSeconds(c.from, c.seconds), c.to) << c.from.year << "-" << c.from.month;
  }
}

TEST(LivePunches, EventCarriesTheRecord) {
  termsim::AttendanceRecord r;
  r.user = 123456789;
  r.verify_mode = 1;
  r.att_state = 1;
  r.time = termsim::PackTime({2024, 5, 6, 17, 2, 33});
  std::vector<uint8_t> expected(32, 0);
  const char digits[] = "123456789";
  for (int i = 0; i < 9; ++i) expected[i] = static_cast<uint8_t>(digits[i]);
  expected[24] = 1;
  expected[25] = 1;
  const uint8_t when[6] = {24, 5, 6, 17, 2, 33};
  for (int i = 0; i < 6; ++i) expected[26 + i] = when[i];
  EXPECT_EQ(termsim::AttendanceEventPayload(r), expected);

  // An ID text goes as it is, cut at 24 characters.
  r.user_id = std::string(30, 'x');
  const std::vector<uint8_t> text = termsim::AttendanceEventPayload(r);
  EXPECT_EQ(std::vector<uint8_t>(text.begin(), text.begin() + 24), std::vector<uint8_t>(24, 'x'));
  EXPECT_EQ(text[24], 1);
}

// Nobody listening, nobody punches: what hosts read stays as it was.
TEST(LivePunches, QuietWithoutListeners) {
  termsim::Simulator sim(termsim::Profile::Ver660());
  sim.SetUsers(termsim::GenerateUsers(3, 1));
  termsim::LivePunches punches;
  ASSERT_TRUE(punches.Start(sim, 10));
  const uint32_t clock = sim.ClockPacked();
  for (int i = 0; i < 20 && sim.AttendanceLog().empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  punches.Stop();
  EXPECT_TRUE(sim.AttendanceLog().empty());
  EXPECT_EQ(sim.ClockPacked(), clock);
  EXPECT_EQ(punches.count(), 0u);

  termsim::Simulator empty(termsim::Profile::Ver660());
  EXPECT_FALSE(punches.Start(empty, 10));
}

}  // namespace
