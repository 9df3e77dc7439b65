#include "wire/packet.h"

#include "wire/le_bytes.h"

namespace wire {

uint16_t InternetChecksum(std::span<const uint8_t> bytes) {
  uint32_t sum = 0;
  size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) sum += static_cast<uint32_t>(bytes[i] | (bytes[i + 1] << 8));
  if (i < bytes.size()) sum += bytes[i];
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

uint16_t PacketChecksum(std::span<const uint8_t> packet) {
  if (packet.size() < kHeaderSize) return 0;
  // Same as summing with the field zeroed: leave those two bytes out.
  uint32_t sum = static_cast<uint32_t>(packet[0] | (packet[1] << 8));
  auto rest = packet.subspan(4);
  size_t i = 0;
  for (; i + 1 < rest.size(); i += 2) sum += static_cast<uint32_t>(rest[i] | (rest[i + 1] << 8));
  if (i < rest.size()) sum += rest[i];
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

size_t BuildPacket(uint16_t code, uint16_t connection_id, uint16_t reply_counter,
                   std::span<const uint8_t> payload, std::span<uint8_t> out) {
  ByteWriter w(out);
  w.U16(code);
  w.U16(0);
  w.U16(connection_id);
  w.U16(reply_counter);
  w.Bytes(payload);
  if (!w.ok()) return 0;
  SealPacket(w.written());
  return w.size();
}

void SealPacket(std::span<uint8_t> packet) {
  if (packet.size() < kHeaderSize) return;
  StoreU16(packet.subspan<2, 2>(), PacketChecksum(packet));
}

std::optional<PacketView> ParsePacket(std::span<const uint8_t> packet) {
  if (packet.size() < kHeaderSize) return std::nullopt;
  ByteReader r(packet);
  PacketView v;
  v.header.code = r.U16();
  v.header.checksum = r.U16();
  v.header.connection_id = r.U16();
  v.header.reply_counter = r.U16();
  v.payload = r.rest();
  return v;
}

bool ChecksumValid(std::span<const uint8_t> packet) {
  if (packet.size() < kHeaderSize) return false;
  return LoadU16(packet.subspan<2, 2>()) == PacketChecksum(packet);
}

}  // namespace wire
