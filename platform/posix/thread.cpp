// Threads on std::thread.
#include "platform/thread.h"

#include <exception>
#include <system_error>
#include <utility>

namespace platform {

namespace {

// Joins `t` unless it is the calling thread (joining oneself would deadlock
// or throw); then it is detached instead.
void Finish(std::thread& t) {
  if (!t.joinable()) return;
  if (t.get_id() == std::this_thread::get_id()) {
    t.detach();
  } else {
    t.join();
  }
}

}  // namespace

Thread::~Thread() { Finish(thread_); }

Thread& Thread::operator=(Thread&& other) noexcept {
  if (this != &other) {
    Finish(thread_);
    thread_ = std::move(other.thread_);
  }
  return *this;
}

bool Thread::Start(std::function<void()> body) {
  // A previous thread of this object is finished first (joined, or detached
  // when Start is called from that very thread), as the destructor would.
  Finish(thread_);
  try {
    thread_ = std::thread(std::move(body));
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

void Thread::Join() { Finish(thread_); }

void Thread::Detach() {
  if (thread_.joinable()) thread_.detach();
}

bool Thread::IsCurrent() const {
  return thread_.joinable() && thread_.get_id() == std::this_thread::get_id();
}

}  // namespace platform
