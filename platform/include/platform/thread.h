// Threads: start and join. There is no forced kill; a thread that must be
// abandoned is detached after the caller has made sure (through its own
// shared state) that it will no longer touch anything the caller owns.
#pragma once

#include <functional>
#include <memory>
#include <thread>

namespace platform {

class Thread {
 public:
  Thread() = default;
  ~Thread();  // joins a thread that is still joinable
  Thread(Thread&&) noexcept = default;
  Thread& operator=(Thread&&) noexcept;
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts `body` on a new thread. False when the thread cannot be created.
  bool Start(std::function<void()> body);
  bool Running() const { return thread_.joinable(); }
  void Join();
  // Lets the thread run on alone; the Thread object forgets it.
  void Detach();
  bool IsCurrent() const;

 private:
  std::thread thread_;
};

}  // namespace platform
