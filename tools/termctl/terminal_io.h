// The few operating-system services a command-line tool needs: whether
// stderr is a terminal (for progress notes) and Ctrl-C handling.
#pragma once

#include <string>

namespace termctl {

// Tells a person on a terminal that a download is running; silent when
// stderr goes to a file or pipe, so scripts see clean output.
class ProgressNote {
 public:
  explicit ProgressNote(const std::string& what);
  ~ProgressNote();
  void Done();

 private:
  bool shown_ = false;
};

// Installs SIGINT/SIGTERM handlers that only set a flag.
void CatchInterrupts();
bool Interrupted();

}  // namespace termctl
