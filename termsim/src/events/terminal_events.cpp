#include "events/terminal_events.h"

#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace termsim {
namespace {

std::string OptionOf(const Profile& profile, const std::string& name) {
  const auto it = profile.options.find(name);
  return it != profile.options.end() ? it->second : std::string();
}

}  // namespace

TerminalEvents::TerminalEvents(const Profile& profile)
    : log_(termsim::RealtimeRecordSize(profile.firmware, OptionOf(profile, "~Platform"))) {}

bool TerminalEvents::Handle(const Session& session, const wire::PacketView& request,
                            size_t max_payload, Reply& reply) {
  const uint16_t code = request.header.code;
  if (code != wire::kEventPacket && code != kRealtimeLogPoll) return false;
  std::lock_guard lock(mu_);
  if (code == kRealtimeLogPoll) {
    log_.AnswerPoll(request.payload, poll_count_excess_, reply, max_payload);
    return true;
  }
  wire::ByteReader r(request.payload);
  const uint32_t mask = r.U32();
  if (!r.ok()) {
    reply.code = wire::CMD_ACK_ERROR;
    return true;
  }
  if (registrations_.size() >= kMaxRegistrations && !registrations_.contains(session.id)) {
    registrations_.erase(registrations_.begin());
  }
  registrations_[session.id] = Registration{session.client, mask};
  last_mask_ = mask;
  reply.code = wire::CMD_ACK_OK;
  return true;
}

void TerminalEvents::Follow(uint16_t session_id, const Peer& client) {
  std::lock_guard lock(mu_);
  const auto it = registrations_.find(session_id);
  if (it != registrations_.end()) it->second.client = client;
}

void TerminalEvents::Forget(uint16_t session_id) {
  std::lock_guard lock(mu_);
  registrations_.erase(session_id);
}

std::vector<EventTarget> TerminalEvents::TargetsFor(uint16_t kind) const {
  std::lock_guard lock(mu_);
  std::vector<EventTarget> targets;
  for (const auto& [id, registration] : registrations_) {
    if ((registration.mask & EventMaskBit(kind)) != 0) {
      targets.push_back(EventTarget{registration.client, id});
    }
  }
  return targets;
}

uint32_t TerminalEvents::LastMask() const {
  std::lock_guard lock(mu_);
  return last_mask_;
}

void TerminalEvents::AddRealtimeRecord(uint16_t code, std::span<const uint8_t> payload) {
  std::lock_guard lock(mu_);
  log_.Add(code, payload);
}

size_t TerminalEvents::RealtimeRecordSize() const { return log_.record_size(); }

RealtimePollCounts TerminalEvents::RealtimeCounts() const {
  std::lock_guard lock(mu_);
  return log_.counts();
}

void TerminalEvents::SetPollCountExcess(uint32_t excess) {
  std::lock_guard lock(mu_);
  poll_count_excess_ = excess;
}

}  // namespace termsim
