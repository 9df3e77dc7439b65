// Runs the built termsim program as a child process: started with its
// arguments, its stdout and stderr captured, stopped by SIGTERM.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace termsimtest {

class TermsimProcess {
 public:
  explicit TermsimProcess(const std::vector<std::string>& args);
  ~TermsimProcess();
  TermsimProcess(const TermsimProcess&) = delete;
  TermsimProcess& operator=(const TermsimProcess&) = delete;

  // Waits for the "listening on LINK ADDR:PORT" line (LINK "udp" or "tcp");
  // the port, or 0 when the program ended (or said nothing) first.
  uint16_t WaitListening(int timeout_ms = 10000, const std::string& link = "udp");
  // Waits until the program has written `text` to stdout; false when it
  // ended (or the time ran out) first.
  bool WaitOutput(const std::string& text, int timeout_ms = 10000);
  // Waits for the program to end by itself; its exit status, or -1 when it
  // was still running after the time-out (it is then stopped).
  int WaitExit(int timeout_ms = 10000);
  // Stops the program (SIGTERM) and returns its exit status.
  int Stop();

  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }

 private:
  // Reads what is ready on both pipes, waiting up to `timeout_ms`.
  void Pump(int timeout_ms);
  int Reap(bool wait);

  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  int status_ = -2;  // -2: not reaped yet
  std::string out_;
  std::string err_;
};

}  // namespace termsimtest
