// The few operating-system services a command-line tool needs: whether
// stderr is a terminal (for progress notes) and Ctrl-C handling.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace termctl {

// Tells a person on a terminal that a download is running, once it has
// taken longer than a second; silent for quick downloads and when stderr
// goes to a file or pipe, so scripts see clean output.
class ProgressNote {
 public:
  explicit ProgressNote(std::string what);
  ~ProgressNote();
  ProgressNote(const ProgressNote&) = delete;
  ProgressNote& operator=(const ProgressNote&) = delete;
  // Ends the note (erasing it when it was shown); call before writing
  // anything else to stderr or stdout.
  void Done();

 private:
  void ShowWhenSlow();

  const std::string what_;
  std::mutex mu_;
  std::condition_variable cv_;
  bool done_ = false;
  bool shown_ = false;
  std::thread waiter_;
};

// Installs SIGINT/SIGTERM handlers that only set a flag.
void CatchInterrupts();
bool Interrupted();

}  // namespace termctl
