// The demo data set. Every part of it is fixed by its seeds, so every run
// shows the same people and the same punches.
#include "termsim/demo_data.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "store/storage_counts.h"
#include "termsim/access.h"
#include "termsim/extras.h"
#include "termsim/files.h"
#include "termsim/logs.h"

namespace termsim {

namespace {

constexpr uint32_t kUserCount = 36;
constexpr uint32_t kUserSeed = 2024;
constexpr uint32_t kPunches = 1400;
constexpr uint32_t kPunchSeed = 7;
constexpr uint32_t kDays = 60;
constexpr uint32_t kAdmins = 2;
constexpr uint32_t kOperations = 6;
constexpr uint32_t kOperationSeed = 3;
constexpr DateTime kFirstDay{2024, 1, 1, 0, 0, 0};
constexpr DateTime kClock{2024, 3, 1, 9, 15, 0};

}  // namespace

Profile DemoProfile() {
  Profile profile = Profile::Ver660();
  profile.clock = kClock;
  return profile;
}

void LoadDemoData(Simulator& sim) {
  std::vector<User> users = GenerateUsers(kUserCount, kUserSeed);
  AttendanceGeneration g;
  g.users = kUserCount;
  g.punches = kPunches;
  g.days = kDays;
  g.seed = kPunchSeed;
  g.start = PackTime(kFirstDay);
  std::vector<AttendanceRecord> punches = GenerateAttendance(g);
  // This terminal's records name people by the number they see (PIN2).
  for (AttendanceRecord& p : punches) {
    if (p.user >= 1 && p.user <= users.size()) {
      p.user = users[p.user - 1].pin2;
      p.user_id = std::to_string(p.user);
    }
  }
  OpLogGeneration o;
  o.admins = kAdmins;
  o.count = kOperations;
  o.days = kDays;
  o.seed = kOperationSeed;
  o.start = g.start;
  std::vector<OpLogRecord> operations = GenerateOpLog(o);

  SetStoredUsers(sim, static_cast<uint32_t>(users.size()));
  SetStoredRecords(sim, static_cast<uint32_t>(punches.size()));
  SetStoredOperations(sim, static_cast<uint32_t>(operations.size()));
  sim.SetStorageWord(kStoredAdministratorsWord, kAdmins);
  sim.SetUsers(std::move(users));
  sim.SetAttendanceLog(std::move(punches));
  sim.SetOpLog(std::move(operations));

  // A working day's bells, two work codes and the in and out keys.
  ExtrasData extras;
  const uint16_t bell_times[] = {800, 1200, 1300, 1700};
  for (uint32_t i = 0; i < std::size(bell_times); ++i) {
    Bell b;
    b.number = i + 1;
    b.time = bell_times[i];
    extras.bells[{b.number, 0}] = b;
  }
  extras.work_codes[1] = 101;
  extras.work_codes[2] = 205;
  for (uint8_t key = 1; key <= 2; ++key) {
    ShortKeyEntry k;
    k.number = key;
    k.function = 1;
    k.state = static_cast<uint8_t>(key - 1);
    extras.short_keys[key] = k;
  }
  sim.SetExtras(std::move(extras));

  // Office hours on weekdays, New Year's Day, and a welcome for the first user.
  AccessData access;
  std::array<uint8_t, 28> office{};
  for (size_t day = 1; day <= 5; ++day) {
    office[4 * day] = 8;
    office[4 * day + 2] = 18;
  }
  access.zones[1] = office;
  access.holidays[1].dates = {1, 1, 1, 1};
  access.messages[1] = ShortMessage{253, 60, PackTime(DateTime{2024, 1, 15, 8, 0, 0}), "Welcome"};
  access.links.insert({1, 1});
  sim.SetAccessData(std::move(access));

  // A notice to read back, and two photos of the first morning.
  FilesData files;
  const std::string notice = "Welcome to the demo terminal.\n";
  files.files["notice.txt"] = std::vector<uint8_t>(notice.begin(), notice.end());
  for (uint32_t i = 0; i < 2; ++i) {
    Photo p;
    p.name = "2024010108" + std::to_string(10 + i) + "00-" + std::to_string(i + 1);
    p.time = PackTime({2024, 1, 1, 8, static_cast<int>(10 + i), 0});
    p.selector = 1;
    p.bytes.assign(1200 + 100 * i, static_cast<uint8_t>(0x40 + i));
    files.photos.push_back(std::move(p));
  }
  sim.SetFiles(std::move(files));
}

}  // namespace termsim
