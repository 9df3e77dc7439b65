// Pushing events to registered hosts: each event goes out as a packet with
// code 500, the event kind in the connection field and the terminal's own
// event counter as the sequence number, and goes out again until the host
// acknowledges it (CMD_ACK_OK with that counter) or the resends run out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

#include "links/peer.h"
#include "platform/socket.h"
#include "platform/thread.h"
#include "events/terminal_events.h"
#include "termsim/simulator.h"

namespace termsim {

class EventPusher {
 public:
  using SendFn = std::function<void(std::span<const uint8_t> packet, const Peer& to)>;
  // A sender that reaches hosts by their UDP address alone.
  using AddressSendFn =
      std::function<void(std::span<const uint8_t> datagram, const platform::net::SockAddrV4& to)>;

  ~EventPusher() { Stop(); }

  bool Start(SendFn send);
  bool Start(AddressSendFn send);
  // Ends the resend thread; unacknowledged events are forgotten.
  void Stop();

  void SetSettings(const EventSettings& settings);
  EventSettings settings() const;

  // Sends one event to every target under the next counter; returns it.
  uint16_t Push(const std::vector<EventTarget>& targets, uint16_t kind,
                std::span<const uint8_t> payload);
  // An acknowledgement for event `counter` from `from`.
  void Acknowledge(const Peer& from, uint16_t counter);
  // The session's packets now come from `to`: its pending events are resent
  // there.
  void Follow(uint16_t session_id, const Peer& to);

  EventPushCounts counts() const;

 private:
  using Clock = std::chrono::steady_clock;
  struct Pending {
    Peer to;
    uint16_t session_id = 0;
    uint16_t counter = 0;
    std::vector<uint8_t> datagram;
    Clock::time_point due;
    int resends_left = 0;
  };

  void Run();

  mutable std::mutex mu_;
  std::condition_variable wake_;
  std::vector<Pending> pending_;
  EventSettings settings_;
  EventPushCounts counts_;
  uint16_t next_counter_ = 1;
  bool stopping_ = true;  // until Start
  SendFn send_;
  platform::Thread thread_;
};

}  // namespace termsim
