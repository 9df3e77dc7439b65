#include "events/event_push.h"

#include <algorithm>

#include "commands/reply.h"
#include "wire/codes.h"
#include "wire/packet.h"

namespace termsim {

bool EventPusher::Start(SendFn send) {
  {
    std::lock_guard lock(mu_);
    if (!stopping_) return false;
    stopping_ = false;
    send_ = std::move(send);
  }
  if (thread_.Start([this] { Run(); })) return true;
  std::lock_guard lock(mu_);
  stopping_ = true;
  return false;
}

bool EventPusher::Start(AddressSendFn send) {
  return Start(SendFn([send = std::move(send)](std::span<const uint8_t> packet, const Peer& to) {
    send(packet, to.address);
  }));
}

void EventPusher::Stop() {
  {
    std::lock_guard lock(mu_);
    stopping_ = true;
    pending_.clear();
  }
  wake_.notify_all();
  thread_.Join();
}

void EventPusher::SetSettings(const EventSettings& settings) {
  std::lock_guard lock(mu_);
  settings_ = settings;
}

EventSettings EventPusher::settings() const {
  std::lock_guard lock(mu_);
  return settings_;
}

uint16_t EventPusher::Push(const std::vector<EventTarget>& targets, uint16_t kind,
                           std::span<const uint8_t> payload) {
  const auto body = payload.first(std::min(payload.size(), kMaxPayload));
  std::vector<uint8_t> datagram(wire::kHeaderSize + body.size());
  SendFn send;
  uint16_t counter = 0;
  {
    std::lock_guard lock(mu_);
    counter = next_counter_;
    // 0 would tell a host that this terminal does not number its events.
    next_counter_ = next_counter_ == 0xFFFF ? 1 : static_cast<uint16_t>(next_counter_ + 1);
    wire::BuildPacket(wire::kEventPacket, kind, counter, body, datagram);
    if (stopping_) return counter;
    for (const EventTarget& target : targets) {
      pending_.push_back(Pending{target.client, target.session_id, counter, datagram,
                                 Clock::now() + std::chrono::milliseconds(settings_.resend_ms),
                                 settings_.max_resends});
    }
    counts_.sent += targets.size();
    send = send_;
  }
  wake_.notify_all();
  for (const EventTarget& target : targets) send(datagram, target.client);
  return counter;
}

void EventPusher::Acknowledge(const Peer& from, uint16_t counter) {
  std::lock_guard lock(mu_);
  const auto it = std::find_if(pending_.begin(), pending_.end(), [&](const Pending& p) {
    return p.counter == counter && p.to == from;
  });
  if (it == pending_.end()) return;  // a late or repeated acknowledgement
  if (settings_.missed_acks > 0) {
    --settings_.missed_acks;
    ++counts_.missed;
    return;
  }
  pending_.erase(it);
  ++counts_.acknowledged;
}

void EventPusher::Follow(uint16_t session_id, const Peer& to) {
  std::lock_guard lock(mu_);
  for (Pending& p : pending_) {
    if (p.session_id == session_id) p.to = to;
  }
}

EventPushCounts EventPusher::counts() const {
  std::lock_guard lock(mu_);
  EventPushCounts counts = counts_;
  counts.pending = pending_.size();
  return counts;
}

void EventPusher::Run() {
  std::unique_lock lock(mu_);
  while (!stopping_) {
    // Any change (a push, an acknowledgement, a stop) wakes us to look again.
    if (pending_.empty()) {
      wake_.wait(lock);
      continue;
    }
    const Clock::time_point due =
        std::min_element(pending_.begin(), pending_.end(), [](const Pending& a, const Pending& b) {
          return a.due < b.due;
        })->due;
    if (Clock::now() < due) {
      wake_.wait_until(lock, due);
      continue;
    }

    // Everything due goes out again; what has used up its resends is dropped.
    const auto now = Clock::now();
    std::vector<Pending> resend;
    for (auto it = pending_.begin(); it != pending_.end();) {
      if (it->due > now) {
        ++it;
        continue;
      }
      if (it->resends_left <= 0) {
        it = pending_.erase(it);
        continue;
      }
      --it->resends_left;
      it->due = now + std::chrono::milliseconds(settings_.resend_ms);
      resend.push_back(*it);
      ++it;
    }
    counts_.sent += resend.size();
    counts_.resent += resend.size();
    const SendFn send = send_;
    lock.unlock();
    for (const Pending& p : resend) send(p.datagram, p.to);
    lock.lock();
  }
}

}  // namespace termsim
