#include "terminal_io.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <utility>

namespace termctl {

namespace {
// Downloads quicker than this pass without a note.
constexpr std::chrono::seconds kNoteDelay{1};

volatile std::sig_atomic_t g_interrupted = 0;
void OnSignal(int) { g_interrupted = 1; }
}  // namespace

ProgressNote::ProgressNote(std::string what) : what_(std::move(what)) {
  if (isatty(STDERR_FILENO) == 1) waiter_ = std::thread(&ProgressNote::ShowWhenSlow, this);
}

ProgressNote::~ProgressNote() { Done(); }

void ProgressNote::ShowWhenSlow() {
  std::unique_lock<std::mutex> lock(mu_);
  if (cv_.wait_for(lock, kNoteDelay, [this] { return done_; })) return;
  std::fprintf(stderr, "%s...", what_.c_str());
  std::fflush(stderr);
  shown_ = true;
}

void ProgressNote::Done() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    done_ = true;
  }
  cv_.notify_all();
  if (waiter_.joinable()) waiter_.join();
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
