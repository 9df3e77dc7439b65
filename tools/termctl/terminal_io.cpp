#include "terminal_io.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace termctl {

namespace {
volatile std::sig_atomic_t g_interrupted = 0;
void OnSignal(int) { g_interrupted = 1; }
}  // namespace

ProgressNote::ProgressNote(const std::string& what) {
  if (isatty(STDERR_FILENO) == 1) {
    std::fprintf(stderr, "%s...", what.c_str());
    std::fflush(stderr);
    shown_ = true;
  }
}

ProgressNote::~ProgressNote() { Done(); }

void ProgressNote::Done() {
  if (!shown_) return;
  // Erase the note so it does not mix with the output that follows.
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  shown_ = false;
}

void CatchInterrupts() {
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return g_interrupted != 0; }

}  // namespace termctl
