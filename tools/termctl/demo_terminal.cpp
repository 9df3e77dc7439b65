#include "demo_terminal.h"

#include <vector>

#include "termsim/logs.h"
#include "termsim/simulator.h"

namespace termctl {

namespace {

// The data set is fixed by its seeds, so every run shows the same people.
constexpr uint32_t kUserCount = 36;
constexpr uint32_t kUserSeed = 2024;
constexpr uint32_t kPunches = 1400;
constexpr uint32_t kDays = 60;
constexpr uint32_t kAdmins = 2;
constexpr uint32_t kOperations = 6;

// Word positions of the storage counters the terminal answers.
constexpr int kUsersWord = 4;
constexpr int kRecordsWord = 8;
constexpr int kOperationsWord = 10;
constexpr int kAdministratorsWord = 12;

}  // namespace

DemoTerminal::DemoTerminal() = default;
DemoTerminal::~DemoTerminal() = default;

bool DemoTerminal::Start() {
  termsim::Profile profile = termsim::Profile::Ver660();
  // The clock stands just after the last day of punches.
  profile.clock = termsim::DateTime{2024, 3, 1, 9, 15, 0};
  sim_ = std::make_unique<termsim::Simulator>(profile);

  std::vector<termsim::User> users = termsim::GenerateUsers(kUserCount, kUserSeed);
  termsim::AttendanceGeneration g;
  g.users = kUserCount;
  g.punches = kPunches;
  g.days = kDays;
  g.seed = 7;
  g.start = termsim::PackTime({2024, 1, 1, 0, 0, 0});
  std::vector<termsim::AttendanceRecord> punches = termsim::GenerateAttendance(g);
  // This terminal's records name people by the number they see (PIN2).
  for (auto& p : punches) {
    if (p.user >= 1 && p.user <= users.size()) {
      p.user = users[p.user - 1].pin2;
      p.user_id = std::to_string(p.user);
    }
  }
  termsim::OpLogGeneration o;
  o.admins = kAdmins;
  o.count = kOperations;
  o.days = kDays;
  o.seed = 3;
  o.start = g.start;
  std::vector<termsim::OpLogRecord> operations = termsim::GenerateOpLog(o);

  sim_->SetUsers(users);
  sim_->SetStorageWord(kUsersWord, static_cast<uint32_t>(users.size()));
  sim_->SetStorageWord(kRecordsWord, static_cast<uint32_t>(punches.size()));
  sim_->SetStorageWord(kOperationsWord, static_cast<uint32_t>(operations.size()));
  sim_->SetStorageWord(kAdministratorsWord, kAdmins);
  sim_->SetAttendanceLog(std::move(punches));
  sim_->SetOpLog(std::move(operations));
  return sim_->StartUdp("127.0.0.1", 0);
}

uint16_t DemoTerminal::port() const { return sim_ ? sim_->udp_port() : 0; }

}  // namespace termctl
