#include "links/fault_injector.h"

#include "wire/codes.h"

namespace termsim {

namespace {

// Takes one from a countdown; true when it was still running.
bool Take(int& counter) {
  if (counter <= 0) return false;
  --counter;
  return true;
}

}  // namespace

void FaultInjector::Set(const Faults& faults) {
  std::lock_guard<std::mutex> lock(mu_);
  faults_ = faults;
  rng_.seed(faults.seed);
}

Faults FaultInjector::Get() const {
  std::lock_guard<std::mutex> lock(mu_);
  return faults_;
}

bool FaultInjector::Silent() const {
  std::lock_guard<std::mutex> lock(mu_);
  return faults_.silent;
}

bool FaultInjector::TakeRetry() {
  std::lock_guard<std::mutex> lock(mu_);
  return Take(faults_.retry_replies);
}

ReplyFate FaultInjector::NextReplyFate() {
  std::lock_guard<std::mutex> lock(mu_);
  ReplyFate fate;
  if (Take(faults_.drop_replies)) {
    fate.drop = true;
    return fate;
  }
  if (faults_.drop_ratio > 0.0) {
    std::uniform_real_distribution<double> coin(0.0, 1.0);
    if (coin(rng_) < faults_.drop_ratio) {
      fate.drop = true;
      return fate;
    }
  }
  if (Take(faults_.duplicate_replies)) fate.copies = 2;
  if (Take(faults_.late_replies)) fate.delay_ms = faults_.late_ms;
  if (Take(faults_.corrupt_replies)) fate.corrupt_checksum = true;
  if (Take(faults_.stale_replies)) fate.counter_back = kStaleDistance;
  return fate;
}

bool FaultInjector::Unanswered(uint16_t command) const {
  std::lock_guard<std::mutex> lock(mu_);
  return faults_.unanswered_command != 0 && faults_.unanswered_command == command;
}

void FaultInjector::ShapePayload(uint16_t command, uint16_t reply_code,
                                 std::vector<uint8_t>& payload) const {
  std::lock_guard<std::mutex> lock(mu_);
  if (faults_.short_reply_command == 0 || faults_.short_reply_command != command) return;
  if (reply_code != wire::CMD_ACK_OK) return;
  payload.resize(faults_.short_reply_bytes, 0);
}

uint32_t FaultInjector::EventPeriodMs() const {
  std::lock_guard<std::mutex> lock(mu_);
  return faults_.event_every_ms;
}

}  // namespace termsim
