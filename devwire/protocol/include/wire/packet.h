// The command packet: an 8-byte little-endian header (code, checksum,
// connection number, sequence number) followed by the payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace wire {

inline constexpr size_t kHeaderSize = 8;

struct PacketHeader {
  uint16_t code = 0;
  uint16_t checksum = 0;
  uint16_t connection_id = 0;  // event packets: the event kind
  uint16_t reply_counter = 0;  // sequence number
};

struct PacketView {
  PacketHeader header;
  std::span<const uint8_t> payload;
};

// Internet checksum (one's complement of the folded sum of little-endian
// 16-bit words, a trailing odd byte added as is) over `bytes`.
uint16_t InternetChecksum(std::span<const uint8_t> bytes);

// Checksum of a whole packet as if its checksum field (bytes 2-3) were 0.
// `packet` must hold at least the header.
uint16_t PacketChecksum(std::span<const uint8_t> packet);

// Writes header and payload into `out` with a correct checksum. Returns the
// packet size, or 0 when `out` is too small.
size_t BuildPacket(uint16_t code, uint16_t connection_id, uint16_t reply_counter,
                   std::span<const uint8_t> payload, std::span<uint8_t> out);

// Recomputes and stores the checksum of a packet built or changed in place.
void SealPacket(std::span<uint8_t> packet);

// Splits a received packet. Nothing for fewer than 8 bytes.
std::optional<PacketView> ParsePacket(std::span<const uint8_t> packet);

// True when the stored checksum matches the contents.
bool ChecksumValid(std::span<const uint8_t> packet);

// Sequence numbers wrap at 16 bits: `a` is older than `b` when the signed
// distance from b to a is negative.
constexpr bool CounterOlder(uint16_t a, uint16_t b) {
  return static_cast<int16_t>(static_cast<uint16_t>(a - b)) < 0;
}

}  // namespace wire
