// Silences this process's standard output for a while: a library call's
// diagnostic lines are then not shown to the person at the console.
#pragma once

namespace platform {

class QuietOutput {
 public:
  QuietOutput();   // standard output goes nowhere from now on
  ~QuietOutput();  // and back to where it went before
  QuietOutput(const QuietOutput&) = delete;
  QuietOutput& operator=(const QuietOutput&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace platform
