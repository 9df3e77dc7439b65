// A wake-up a socket wait can be cut short by: one thread waits for its
// socket with Socket::WaitReadable(timeout, &wakeup) while another calls
// Signal() to end that wait at once instead of at its time-out.
//
// A signal stays pending until Drain() takes it, so a Signal() that comes
// just before the wait begins still ends it.
#pragma once

namespace platform::net {

class Wakeup {
 public:
  Wakeup();
  ~Wakeup();
  Wakeup(const Wakeup&) = delete;
  Wakeup& operator=(const Wakeup&) = delete;

  // False when the system gave no means for it; waits then run to their
  // time-out as if never signalled.
  bool Valid() const { return read_fd_ >= 0; }

  // Ends the current or next wait. Safe from any thread, never blocks.
  void Signal() const;
  // Takes pending signals, so the next wait blocks again.
  void Drain() const;

  // The descriptor a wait watches (-1 when not valid).
  int fd() const { return read_fd_; }

 private:
  int read_fd_ = -1;
  int write_fd_ = -1;
};

}  // namespace platform::net
