// The built-in terminal: a simulator on a loopback port, loaded with a
// seeded demo data set, for trying termctl without hardware.
#pragma once

#include <cstdint>
#include <memory>

namespace termsim {
class Simulator;
class LivePunches;
}

namespace termctl {

class DemoTerminal {
 public:
  DemoTerminal();
  ~DemoTerminal();
  // Starts listening on 127.0.0.1 (a free port). False on failure. With
  // `shifts`: a colour-screen terminal with a month of shift data and its
  // attendance rule, departments and time slots.
  bool Start(bool shifts = false);
  uint16_t port() const;

 private:
  std::unique_ptr<termsim::Simulator> sim_;
  std::unique_ptr<termsim::LivePunches> punches_;  // declared after: goes first
};

}  // namespace termctl
