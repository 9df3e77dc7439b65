#include "links/delayed_sender.h"

namespace termsim {

bool DelayedSender::Start(SendFn send) {
  Stop();
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = false;
    send_ = std::move(send);
  }
  return thread_.Start([this] { Run(); });
}

void DelayedSender::Post(uint32_t delay_ms, std::vector<uint8_t> datagram, const Peer& to) {
  std::lock_guard<std::mutex> lock(mu_);
  if (stopping_) return;
  queue_.push(
      Item{Clock::now() + std::chrono::milliseconds(delay_ms), ++posts_, std::move(datagram), to});
  wake_.notify_one();
}

void DelayedSender::Stop() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = true;
    wake_.notify_one();
  }
  thread_.Join();
  std::lock_guard<std::mutex> lock(mu_);
  queue_ = {};
}

void DelayedSender::Run() {
  std::unique_lock<std::mutex> lock(mu_);
  while (!stopping_) {
    if (queue_.empty()) {
      wake_.wait(lock);
      continue;
    }
    // A copy: while the lock is released a Post may grow the queue and move
    // the item the wait would otherwise still be looking at.
    const Clock::time_point due = queue_.top().due;
    if (Clock::now() < due) {
      wake_.wait_until(lock, due);
      continue;
    }
    Item item = queue_.top();
    queue_.pop();
    lock.unlock();
    send_(item.datagram, item.to);
    lock.lock();
  }
}

}  // namespace termsim
