#include "termsim_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string_view>

namespace termsimtest {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

TermsimProcess::TermsimProcess(const std::vector<std::string>& args) {
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0) return;
  if (pipe(err_pipe) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    return;
  }
  std::vector<std::string> all = {TERMSIM_BINARY};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out_pipe[1], STDOUT_FILENO);
    dup2(err_pipe[1], STDERR_FILENO);
    close(out_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[0]);
    close(err_pipe[1]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  out_fd_ = out_pipe[0];
  err_fd_ = err_pipe[0];
}

TermsimProcess::~TermsimProcess() {
  Stop();
  if (out_fd_ >= 0) close(out_fd_);
  if (err_fd_ >= 0) close(err_fd_);
}

void TermsimProcess::Pump(int timeout_ms) {
  pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  if (poll(fds, 2, timeout_ms) <= 0) return;
  std::string* sinks[2] = {&out_, &err_};
  int* fd_of[2] = {&out_fd_, &err_fd_};
  for (int i = 0; i < 2; ++i) {
    if (fds[i].revents == 0 || *fd_of[i] < 0) continue;
    char buf[4096];
    const ssize_t n = read(*fd_of[i], buf, sizeof buf);
    if (n > 0) {
      sinks[i]->append(buf, static_cast<size_t>(n));
    } else {
      close(*fd_of[i]);
      *fd_of[i] = -1;  // poll skips negative descriptors
    }
  }
}

uint16_t TermsimProcess::WaitListening(int timeout_ms, const std::string& link) {
  const std::string listening = "listening on " + link + " ";
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (true) {
    // "termsim: listening on udp ADDR:PORT\n"
    const size_t at = out_.find(listening);
    const size_t end = at == std::string::npos ? at : out_.find('\n', at);
    if (end != std::string::npos) {
      const size_t colon = out_.rfind(':', end);
      return static_cast<uint16_t>(std::atoi(out_.substr(colon + 1, end - colon - 1).c_str()));
    }
    if (out_fd_ < 0 || RemainingMs(deadline) == 0) return 0;
    Pump(RemainingMs(deadline));
  }
}

bool TermsimProcess::WaitOutput(const std::string& text, int timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (out_.find(text) == std::string::npos) {
    if (out_fd_ < 0 || RemainingMs(deadline) == 0) return false;
    Pump(RemainingMs(deadline));
  }
  return true;
}

int TermsimProcess::Reap(bool wait) {
  if (status_ != -2 || pid_ <= 0) return status_;
  int status = 0;
  if (waitpid(pid_, &status, wait ? 0 : WNOHANG) != pid_) return -2;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return status_;
}

int TermsimProcess::WaitExit(int timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (RemainingMs(deadline) > 0) {
    if (out_fd_ >= 0 || err_fd_ >= 0) {
      Pump(20);
    } else {
      usleep(20 * 1000);
    }
    if (Reap(false) != -2) {
      while (out_fd_ >= 0 || err_fd_ >= 0) Pump(100);
      return status_;
    }
  }
  Stop();
  return -1;
}

int TermsimProcess::Stop() {
  if (pid_ <= 0) return -1;
  if (Reap(false) == -2) {
    kill(pid_, SIGTERM);
    Reap(true);
  }
  while (out_fd_ >= 0 || err_fd_ >= 0) Pump(100);
  return status_;
}

}  // namespace termsimtest
