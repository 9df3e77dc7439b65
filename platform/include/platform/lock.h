// Critical sections: recursive locks, re-entrant on the owning thread.
#pragma once

#include <mutex>

namespace platform {

class CriticalSection {
 public:
  CriticalSection() = default;
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter() { mu_.lock(); }
  bool TryEnter() { return mu_.try_lock(); }
  void Leave() { mu_.unlock(); }

  // BasicLockable, so std::lock_guard / std::unique_lock work.
  void lock() { Enter(); }
  void unlock() { Leave(); }

 private:
  std::recursive_mutex mu_;
};

using CriticalSectionGuard = std::lock_guard<CriticalSection>;

}  // namespace platform
