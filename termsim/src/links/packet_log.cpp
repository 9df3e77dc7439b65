#include "links/packet_log.h"

#include <algorithm>

#include "wire/packet.h"

namespace termsim {

void PacketLog::Record(std::span<const uint8_t> datagram, size_t wire_size) {
  ReceivedPacket p;
  p.raw.assign(datagram.begin(), datagram.end());
  p.wire_size = wire_size;
  if (auto view = wire::ParsePacket(datagram)) {
    p.code = view->header.code;
    p.checksum = view->header.checksum;
    p.connection_id = view->header.connection_id;
    p.reply_counter = view->header.reply_counter;
    p.checksum_ok = wire::ChecksumValid(datagram);
    p.payload.assign(view->payload.begin(), view->payload.end());
  }
  std::lock_guard<std::mutex> lock(mu_);
  if (entries_.size() >= kMaxEntries) entries_.pop_front();
  entries_.push_back(std::move(p));
}

std::vector<ReceivedPacket> PacketLog::All() const {
  std::lock_guard<std::mutex> lock(mu_);
  return {entries_.begin(), entries_.end()};
}

size_t PacketLog::Count(uint16_t code) const {
  std::lock_guard<std::mutex> lock(mu_);
  return static_cast<size_t>(
      std::count_if(entries_.begin(), entries_.end(), [code](const ReceivedPacket& p) {
        return p.raw.size() >= wire::kHeaderSize && p.code == code;
      }));
}

size_t PacketLog::Size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return entries_.size();
}

void PacketLog::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  entries_.clear();
}

}  // namespace termsim
