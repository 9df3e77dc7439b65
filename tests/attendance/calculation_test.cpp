// Grading of single periods: which punch is the check-in and the check-out,
// lateness, early leave, absence and worked time.
#include <bit>
#include <cstring>
#include <optional>

#include "attendance/device_calendar.h"
#include "attendance_inputs_builder.h"

namespace attendance_test {
namespace {

struct PunchAt {
  int day;  // of May 2024 (0: 04-30)
  int hour, minute;
  uint8_t status;
};

struct GradeCase {
  const char* name;
  std::vector<termsim::TimeSlot> slots;
  std::array<uint16_t, 4> words;
  std::vector<PunchAt> punches;
  void (*rule)(termsim::AttendanceRuleFields&);
  size_t period;  // the record checked
  // Expected: check-in and check-out as day/hour/minute (nullopt: none).
  std::optional<PunchAt> checkin, checkout;
  int32_t late, early, woktime;
  uint8_t noin, noout, absent;
};

uint32_t At(const PunchAt& p) {
  return p.day == 0 ? T(2024, 4, 30, p.hour, p.minute) : T(2024, 5, p.day, p.hour, p.minute);
}

const termsim::TimeSlot kDay{1, "Day", 9, 0, 18, 0};

void Plain(termsim::AttendanceRuleFields& r) { r.workday_min = 480; }
void Grace5(termsim::AttendanceRuleFields& r) {
  r.workday_min = 480;
  r.late_grace_min = 5;
  r.early_grace_min = 5;
  r.noout_mode = 1;  // has no effect
}
void Dup10(termsim::AttendanceRuleFields& r) {
  r.workday_min = 480;
  r.dup_minutes = 10;
}
void OtStatus(termsim::AttendanceRuleFields& r) {
  r.workday_min = 480;
  r.ot_status_mode = 1;
}
void LateAbsent(termsim::AttendanceRuleFields& r) {
  r.workday_min = 480;
  r.late_absent_on = 1;
  r.late_absent_min = 30;
}
void CrossDay(termsim::AttendanceRuleFields& r) {
  r.workday_min = 480;
  r.cross_day = 1;
}
void NoWorkday(termsim::AttendanceRuleFields& r) { r.workday_min = 0; }

const GradeCase kCases[] = {
    {"WindowsAfterAnEarlySlot", {{5, "Early", 1, 0, 5, 0}, kDay}, {5, 1, 0, 0},
     {{1, 7, 0, 0}, {1, 22, 29, 1}}, Plain, 1, PunchAt{1, 7, 0, 0}, PunchAt{1, 22, 29, 1},
     0, 0, 15 * 3600 + 29 * 60, 0, 0, 0},
    {"OnTimeInAndOut", {kDay}, {1, 0, 0, 0}, {{1, 8, 58, 0}, {1, 18, 5, 1}}, Plain, 0,
     PunchAt{1, 8, 58, 0}, PunchAt{1, 18, 5, 1}, 0, 0, 32820, 0, 0, 0},
    {"LateWithoutCheckOut", {kDay}, {1, 0, 0, 0}, {{1, 9, 10, 0}}, Grace5, 0,
     PunchAt{1, 9, 10, 0}, std::nullopt, 600, 0, 0, 0, 1, 0},
    {"LateExactlyAtTheGrace", {kDay}, {1, 0, 0, 0}, {{1, 9, 5, 0}, {1, 18, 0, 1}}, Grace5, 0,
     PunchAt{1, 9, 5, 0}, PunchAt{1, 18, 0, 1}, 0, 0, 8 * 3600 + 55 * 60, 0, 0, 0},
    {"LatePastTheAbsentMark", {kDay}, {1, 0, 0, 0}, {{1, 9, 31, 0}, {1, 18, 0, 1}}, LateAbsent,
     0, PunchAt{1, 9, 31, 0}, PunchAt{1, 18, 0, 1}, 0, 0, 0, 0, 0, 1},
    {"EarlyLeave", {kDay}, {1, 0, 0, 0}, {{1, 9, 0, 0}, {1, 17, 30, 1}}, Grace5, 0,
     PunchAt{1, 9, 0, 0}, PunchAt{1, 17, 30, 1}, 0, 1800, 8 * 3600 + 30 * 60, 0, 0, 0},
    {"LastPunchOfABurst", {kDay}, {1, 0, 0, 0},
     {{1, 8, 55, 0}, {1, 17, 50, 0}, {1, 17, 55, 0}, {1, 18, 20, 0}}, Dup10, 0,
     PunchAt{1, 8, 55, 0}, PunchAt{1, 18, 20, 0}, 0, 0, 9 * 3600 + 25 * 60, 0, 0, 0},
    {"PunchAtTheCheckInWindowEnd", {kDay}, {1, 0, 0, 0}, {{1, 13, 29, 0}}, Plain, 0,
     std::nullopt, std::nullopt, 0, 0, 0, 2, 2, 1},
    {"PunchJustInsideTheCheckInWindow", {kDay}, {1, 0, 0, 0}, {{1, 13, 28, 0}}, Plain, 0,
     PunchAt{1, 13, 28, 0}, std::nullopt, 4 * 3600 + 28 * 60, 0, 0, 0, 1, 0},
    {"OvertimeStatusMatchedWithoutTheMode", {kDay}, {1, 0, 0, 0}, {{1, 8, 50, 4}}, Plain, 0,
     PunchAt{1, 8, 50, 4}, std::nullopt, 0, 0, 0, 0, 1, 0},
    {"OvertimeStatusNeverMatchedWithTheMode", {kDay}, {1, 0, 0, 0}, {{1, 8, 50, 4}}, OtStatus,
     0, std::nullopt, std::nullopt, 0, 0, 0, 2, 2, 1},
    {"NightSlotWithoutCrossDay", {{2, "Night", 22, 0, 6, 0}}, {2, 0, 0, 0},
     {{1, 21, 55, 0}, {2, 6, 3, 1}}, Plain, 0, PunchAt{1, 21, 55, 0}, PunchAt{2, 6, 3, 1},
     0, 0, 8 * 3600 + 8 * 60, 0, 0, 0},
    {"NightSlotOnTheLastDayOfApril", {{2, "Night", 22, 0, 6, 0}}, {2, 0, 0, 0},
     {{0, 21, 55, 0}, {1, 6, 3, 1}}, Plain, 0, PunchAt{0, 21, 55, 0}, PunchAt{1, 6, 3, 1},
     0, 0, 0 /* checked below */, 0, 0, 0},
    {"WorkdayMinutesZero", {kDay}, {1, 0, 0, 0}, {{1, 9, 0, 0}, {1, 18, 0, 1}}, NoWorkday, 0,
     PunchAt{1, 9, 0, 0}, PunchAt{1, 18, 0, 1}, 0, 0, 9 * 3600, 0, 0, 0},
    {"OverlappingSlotsSplit", {{3, "Am", 9, 0, 13, 0}, {4, "Pm", 12, 0, 16, 0}}, {3, 4, 0, 0},
     {{1, 9, 0, 0}, {1, 11, 30, 1}, {1, 16, 0, 1}}, Plain, 0, PunchAt{1, 9, 0, 0},
     PunchAt{1, 11, 30, 1}, 0, 5400, 2 * 3600 + 30 * 60, 0, 0, 0},
};

class Grading : public testing::TestWithParam<GradeCase> {};

TEST_P(Grading, OnePeriod) {
  const GradeCase& c = GetParam();
  Inputs in;
  c.rule(in.rule);
  in.slots = c.slots;
  in.AddUser(7, "1007", "Gil", 1, c.words);
  for (const PunchAt& p : c.punches) in.AddPunch(7, At(p), p.status);
  const bool april = std::string(c.name) == "NightSlotOnTheLastDayOfApril";
  const uint32_t day = april ? T(2024, 4, 30) : T(2024, 5, 1);
  const auto out = Calculate(in, 7, day, day);
  const auto periods = Periods(out);
  ASSERT_GT(periods.size(), c.period);
  const auto& r = periods[c.period];
  EXPECT_EQ(r.checkintime, c.checkin ? At(*c.checkin) : 0u);
  EXPECT_EQ(r.checkouttime, c.checkout ? At(*c.checkout) : 0u);
  EXPECT_EQ(r.late, c.late);
  EXPECT_EQ(r.early, c.early);
  if (!april) {
    EXPECT_EQ(r.woktime, c.woktime);
  }
  EXPECT_EQ(r.noin, c.noin);
  EXPECT_EQ(r.noout, c.noout);
  EXPECT_EQ(r.absent, c.absent);
  EXPECT_EQ(r.mustin, 1);
  EXPECT_EQ(r.mustout, 1);
  // Every punch looked at leaves one note.
  EXPECT_EQ(Notes(out).size(), c.punches.size());
  EXPECT_EQ(out.days.size(), 104u);
}

INSTANTIATE_TEST_SUITE_P(Periods, Grading, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Grading, BurstNotesGiveReasons) {
  Inputs in;
  Dup10(in.rule);
  in.slots = {kDay};
  in.AddUser(7, "1007", "Gil", 1, {1, 0, 0, 0});
  for (const auto& [h, m] : {std::pair{8, 55}, {17, 50}, {17, 55}, {18, 20}}) {
    in.AddPunch(7, T(2024, 5, 1, h, m), 0);
  }
  const auto notes = Notes(Calculate(in, 7, T(2024, 5, 1), T(2024, 5, 1)));
  ASSERT_EQ(notes.size(), 4u);
  EXPECT_EQ(notes[0].newtype, 'I');
  EXPECT_EQ(notes[1].time, T(2024, 5, 1, 17, 50));
  EXPECT_EQ(notes[1].newtype, ' ');
  EXPECT_EQ(notes[1].reason, 2);
  EXPECT_EQ(notes[2].newtype, ' ');
  EXPECT_EQ(notes[2].reason, 1);
  EXPECT_EQ(notes[3].newtype, 'O');
  EXPECT_EQ(notes[3].reason, 0);
}

TEST(Grading, OvertimeStatusNoteHasReasonOne) {
  Inputs in;
  OtStatus(in.rule);
  in.slots = {kDay};
  in.AddUser(7, "1007", "Gil", 1, {1, 0, 0, 0});
  in.AddPunch(7, T(2024, 5, 1, 8, 50), 4);
  const auto notes = Notes(Calculate(in, 7, T(2024, 5, 1), T(2024, 5, 1)));
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].type, 'i');
  EXPECT_EQ(notes[0].newtype, ' ');
  EXPECT_EQ(notes[0].reason, 1);
}

TEST(Grading, SplitRetypesThePunch) {
  Inputs in;
  Plain(in.rule);
  in.slots = {{3, "Am", 9, 0, 13, 0}, {4, "Pm", 12, 0, 16, 0}};
  in.AddUser(7, "1007", "Gil", 1, {3, 4, 0, 0});
  in.AddPunch(7, T(2024, 5, 1, 9, 0), 0);
  in.AddPunch(7, T(2024, 5, 1, 11, 30), 1);
  in.AddPunch(7, T(2024, 5, 1, 16, 0), 1);
  const auto notes = Notes(Calculate(in, 7, T(2024, 5, 1), T(2024, 5, 1)));
  ASSERT_EQ(notes.size(), 3u);
  // 11:30 lies in the next check-in's window: retyped, yet the check-out.
  EXPECT_EQ(notes[1].type, 'I');
  EXPECT_EQ(notes[1].newtype, 'O');
}

TEST(Grading, NightSlotBelongsToItsEndDayWithCrossDay) {
  for (const bool cross : {false, true}) {
    Inputs in;
    if (cross) CrossDay(in.rule); else Plain(in.rule);
    in.slots = {{2, "Night", 22, 0, 6, 0}};
    in.AddUser(7, "1007", "Gil", 1, {2, 0, 0, 0});
    in.AddPunch(7, T(2024, 4, 30, 21, 55), 0);
    in.AddPunch(7, T(2024, 5, 1, 6, 3), 1);
    const auto periods = Periods(Calculate(in, 7, T(2024, 4, 30), T(2024, 4, 30)));
    ASSERT_EQ(periods.size(), 1u);
    // 04-30 is followed by 05-01: the end and the check-out lie there.
    EXPECT_EQ(periods[0].endtime, T(2024, 5, 1, 6, 0));
    EXPECT_EQ(periods[0].checkouttime, T(2024, 5, 1, 6, 3));
    EXPECT_EQ(periods[0].woktime, 8 * 3600 + 8 * 60);
    EXPECT_EQ(periods[0].attdate, cross ? T(2024, 5, 1) : T(2024, 4, 30));
  }
}

TEST(Grading, WorkdayIsWholeDaysOfTheSlot) {
  Inputs in;
  Plain(in.rule);
  in.slots = {{3, "Four", 8, 0, 12, 0}, {1, "Nine", 13, 0, 22, 0}};
  in.AddUser(7, "1007", "Gil", 1, {3, 1, 0, 0});
  in.AddPunch(7, T(2024, 5, 1, 8, 0), 0);
  auto out = Calculate(in, 7, T(2024, 5, 1), T(2024, 5, 1));
  const auto periods = Periods(out);
  ASSERT_EQ(periods.size(), 2u);
  EXPECT_EQ(periods[0].workday, 0.0f);
  EXPECT_EQ(periods[1].workday, 1.0f);
  // workday 1.0 is stored as 00 00 80 3F.
  const uint8_t one[4] = {0x00, 0x00, 0x80, 0x3F};
  EXPECT_EQ(std::memcmp(out.periods.data() + 60 + 40, one, 4), 0);
}

TEST(Grading, AbsentDayWhilePunchingOnOthers) {
  Inputs in;
  Plain(in.rule);
  in.slots = {kDay};
  in.AddUser(7, "1007", "Gil", 1, {1, 0, 0, 0});
  in.AddPunch(7, T(2024, 5, 2, 9, 0), 0);
  in.AddPunch(7, T(2024, 5, 2, 18, 0), 1);
  const auto out = Calculate(in, 7, T(2024, 5, 1), T(2024, 5, 2));
  const auto periods = Periods(out);
  ASSERT_EQ(periods.size(), 2u);
  EXPECT_EQ(periods[0].absent, 1);
  EXPECT_EQ(periods[0].noin, 2);
  EXPECT_EQ(periods[0].noout, 2);
  wire::ByteReader r(std::span(out.days).subspan(44, 4));
  EXPECT_EQ(r.U32(), 1u);  // absent count
}

TEST(Grading, NoPunchesOrNoSlotsWriteNothing) {
  Inputs in;
  Plain(in.rule);
  in.slots = {kDay};
  in.AddUser(7, "1007", "Gil", 1, {1, 0, 0, 0});
  in.AddUser(8, "1008", "Hal", 1, {0, 0, 0, 0});
  in.AddUser(9, "1009", "Ivo", 1, {9, 1, 0, 0});  // slot 9 is missing: the day ends
  in.AddPunch(8, T(2024, 5, 1, 9, 0), 0);
  in.AddPunch(9, T(2024, 5, 1, 9, 0), 0);
  for (const uint16_t pin : {7, 8, 9}) {
    const auto out = Calculate(in, pin, T(2024, 5, 1), T(2024, 5, 1));
    EXPECT_TRUE(out.periods.empty() && out.punches.empty() && out.days.empty()) << pin;
  }
}

TEST(Grading, ManyPunchesAreAllExamined) {
  Inputs in;
  Plain(in.rule);
  in.slots = {kDay};
  in.AddUser(7, "1007", "Gil", 1, {1, 0, 0, 0});
  for (int i = 0; i < 1500; ++i) in.AddPunch(7, T(2024, 5, 1 + i % 30, 6, 0) + i * 37 % 50000, i % 2);
  const auto out = Calculate(in, 7, T(2024, 5, 1), T(2024, 5, 31));
  EXPECT_EQ(Notes(out).size(), 1500u);
  EXPECT_EQ(Periods(out).size(), 31u);
}

TEST(Grading, PhantomDaysHaveNoPeriods) {
  Inputs in;
  Plain(in.rule);
  in.slots = {kDay};
  in.AddUser(7, "1007", "Gil", 1, {1, 0, 0, 0});
  in.AddPunch(7, T(2024, 4, 29, 9, 0), 0);
  // 04-29 to 05-02 in device days: 29, 30, (31 does not exist), 1, 2.
  const auto periods = Periods(Calculate(in, 7, T(2024, 4, 29, 13, 0), T(2024, 5, 2)));
  ASSERT_EQ(periods.size(), 4u);
  for (const auto& p : periods) EXPECT_NE(attendance::DateOf(p.starttime).day, 31);
  EXPECT_EQ(periods[0].starttime, T(2024, 4, 29, 9, 0));  // the day's start, not 13:00
}

TEST(Calendar, PacksMomentsModulo100) {
  EXPECT_EQ(attendance::PackMoment(2010, 5, 15, 0, 0, 0), 333331200);
  EXPECT_EQ(attendance::PackMoment(10, 5, 15, 0, 0, 0), 333331200);
  EXPECT_EQ(attendance::PlaceOnCalendar(T(2024, 5, 1), -1800), T(2024, 4, 30, 23, 30));
  EXPECT_EQ(attendance::PlaceOnCalendar(T(2024, 2, 29), 86400 + 3600), T(2024, 3, 1, 1, 0));
  EXPECT_EQ(attendance::PlaceOnCalendar(T(2023, 2, 28), 86400), T(2023, 3, 1));
}

}  // namespace
}  // namespace attendance_test
