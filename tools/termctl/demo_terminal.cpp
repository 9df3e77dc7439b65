#include "demo_terminal.h"

#include "termsim/attendance.h"
#include "termsim/demo_data.h"
#include "termsim/simulator.h"

namespace termctl {

DemoTerminal::DemoTerminal() = default;
DemoTerminal::~DemoTerminal() = default;

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
  return sim_->StartUdp("127.0.0.1", 0);
}

uint16_t DemoTerminal::port() const { return sim_ ? sim_->udp_port() : 0; }

}  // namespace termctl
