#include "demo_terminal.h"

#include "termsim/attendance.h"
#include "termsim/demo_data.h"
#include "termsim/live_punches.h"
#include "termsim/simulator.h"

namespace termctl {

DemoTerminal::DemoTerminal() = default;
DemoTerminal::~DemoTerminal() {
  // The punches stop before the terminal goes.
  punches_.reset();
}

bool DemoTerminal::Start(bool shifts) {
  if (shifts) {
    sim_ = std::make_unique<termsim::Simulator>(termsim::Profile::Tft());
    termsim::ShiftData data = termsim::GenerateShifts(20, 31, {2024, 5, 1, 0, 0, 0}, 25);
    sim_->SetUsers(data.users);
    sim_->SetAttendanceLog(data.log);
    sim_->SetAttendanceTables(data.tables);
    return sim_->StartUdp("127.0.0.1", 0);
  }
  sim_ = std::make_unique<termsim::Simulator>(termsim::DemoProfile());
  termsim::LoadDemoData(*sim_);
  if (!sim_->StartUdp("127.0.0.1", 0)) return false;
  // Somebody punches now and then, so `events` and `sync --watch` show
  // something.
  punches_ = std::make_unique<termsim::LivePunches>();
  punches_->Start(*sim_, termsim::kDemoPunchEveryMs);
  return true;
}

uint16_t DemoTerminal::port() const { return sim_ ? sim_->udp_port() : 0; }

}  // namespace termctl
