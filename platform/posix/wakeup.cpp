// The wake-up as a non-blocking pipe: a signal is a byte in it, a wait
// watches its read end.
#include "platform/wakeup.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace platform::net {

Wakeup::Wakeup() {
  int fds[2];
  if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return;
  read_fd_ = fds[0];
  write_fd_ = fds[1];
}

Wakeup::~Wakeup() {
  if (read_fd_ >= 0) close(read_fd_);
  if (write_fd_ >= 0) close(write_fd_);
}

void Wakeup::Signal() const {
  if (write_fd_ < 0) return;
  const char byte = 1;
  // A full pipe already holds a pending signal: nothing is lost.
  while (write(write_fd_, &byte, 1) < 0 && errno == EINTR) {
  }
}

void Wakeup::Drain() const {
  if (read_fd_ < 0) return;
  std::array<char, 64> bytes;
  for (;;) {
    const ssize_t n = read(read_fd_, bytes.data(), bytes.size());
    if (n > 0) continue;
    if (n < 0 && errno == EINTR) continue;
    return;  // empty (EAGAIN) or closed
  }
}

}  // namespace platform::net
