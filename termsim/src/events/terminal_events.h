// The terminal's real-time events on the command side: hosts registering
// for pushed events (command 500 with a 32-bit mask) and polling the
// real-time log (command 90). Locks for itself.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <vector>

#include "links/peer.h"
#include "events/realtime_log.h"
#include "commands/reply.h"
#include "commands/session_table.h"
#include "termsim/simulator.h"
#include "wire/packet.h"

namespace termsim {

// A host to push an event to.
struct EventTarget {
  Peer client;
  uint16_t session_id = 0;
};

class TerminalEvents {
 public:
  explicit TerminalEvents(const Profile& profile);

  // True when the command is answered here; `reply` then holds the answer.
  // `max_payload` bounds an answer on the link the command came by.
  bool Handle(const Session& session, const wire::PacketView& request, size_t max_payload,
              Reply& reply);
  // The session's packets now come from `client`: its events go there.
  void Follow(uint16_t session_id, const Peer& client);
  // The session ended: its registration goes with it.
  void Forget(uint16_t session_id);

  // Hosts registered for events of `kind`.
  std::vector<EventTarget> TargetsFor(uint16_t kind) const;
  uint32_t LastMask() const;

  void AddRealtimeRecord(uint16_t code, std::span<const uint8_t> payload);
  size_t RealtimeRecordSize() const;
  RealtimePollCounts RealtimeCounts() const;
  void SetPollCountExcess(uint32_t excess);

 private:
  struct Registration {
    Peer client;
    uint32_t mask = 0;
  };

  // Sessions remembered at most; the terminal keeps no more conversations.
  static constexpr size_t kMaxRegistrations = SessionTable::kMaxSessions;

  mutable std::mutex mu_;
  std::map<uint16_t, Registration> registrations_;
  uint32_t last_mask_ = 0;
  RealtimeLog log_;
  uint32_t poll_count_excess_ = 0;
};

}  // namespace termsim
