// Two sessions computing reports at the same time: the calculation keeps
// no state outside its call.
#include <thread>

#include "attendance_e2e_fixture.h"

namespace attendance_e2e {
namespace {

TEST_F(AttendanceE2E, TwoSessionsReportAtOnce) {
  DEVAPI_HANDLE h1 = Connect();
  ASSERT_NE(h1, nullptr);
  DEVAPI_HANDLE h2 = Open();
  ASSERT_NE(h2, nullptr);
  const ReportFiles a(dir / "a"), b(dir / "b");
  SaveAll(h1, a);
  SaveAll(h2, b);
  ASSERT_EQ(Report(h1, a, 2), 1);
  const Bytes alone = ReadFile(a.html);
  for (int round = 0; round < 3; ++round) {
    int32_t r1 = 0, r2 = 0;
    std::thread t1([&] { r1 = Report(h1, a, 2); });
    std::thread t2([&] { r2 = Report(h2, b, 2); });
    t1.join();
    t2.join();
    EXPECT_EQ(r1, 1);
    EXPECT_EQ(r2, 1);
    EXPECT_EQ(ReadFile(a.html), alone);
    EXPECT_EQ(ReadFile(b.html), alone);
  }
}

}  // namespace
}  // namespace attendance_e2e
