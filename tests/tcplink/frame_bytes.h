// Frames and packets as the tests build them.
#pragma once

#include <cstdint>
#include <vector>

#include "wire/le_bytes.h"
#include "wire/packet.h"

namespace tcplinktest {

// A frame header with any length, valid or not.
inline std::vector<uint8_t> FrameHeader(uint32_t length) {
  std::vector<uint8_t> out(8);
  wire::ByteWriter w(out);
  w.U8(0x50);
  w.U8(0x50);
  w.U8(0x82);
  w.U8(0x7D);
  w.U32(length);
  return out;
}

inline std::vector<uint8_t> Framed(const std::vector<uint8_t>& packet) {
  std::vector<uint8_t> out = FrameHeader(static_cast<uint32_t>(packet.size()));
  out.insert(out.end(), packet.begin(), packet.end());
  return out;
}

// An engine packet with a valid checksum.
inline std::vector<uint8_t> Packet(uint16_t code, uint16_t counter,
                                   std::vector<uint8_t> payload = {}) {
  std::vector<uint8_t> out(wire::kHeaderSize + payload.size());
  wire::BuildPacket(code, 0x1234, counter, payload, out);
  return out;
}

inline std::vector<uint8_t> Concat(std::vector<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace tcplinktest
