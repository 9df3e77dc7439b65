#include "usb_block.h"

#include <algorithm>

#include "wire/le_bytes.h"
#include "wire/packet.h"

namespace usblink {

size_t BlockSizeFor(size_t length) {
  for (const size_t size : {size_t{512}, size_t{1024}, size_t{1536}}) {
    if (kBlockHeader + length < size) return size;
  }
  return 0;
}

size_t EncodeBlock(uint8_t device, std::span<const uint8_t> packet, std::span<uint8_t> out) {
  const size_t size = BlockSizeFor(packet.size());
  if (size == 0 || out.size() < kBlockArea) return 0;
  std::fill(out.begin(), out.begin() + kBlockArea, uint8_t{0});
  wire::ByteWriter w(out.first(size));
  w.U8(device);
  w.U8(device);
  w.U8(kMark1);
  w.U8(kMark2);
  w.U16(static_cast<uint16_t>(packet.size()));
  w.U16(0);
  w.Bytes(packet);
  w.U8(kEndMark);
  const uint16_t sum = wire::InternetChecksum(out.first(kBlockHeader + packet.size()));
  out[6] = static_cast<uint8_t>(sum);
  out[7] = static_cast<uint8_t>(sum >> 8);
  return size;
}

std::optional<std::span<const uint8_t>> DecodeAnswer(std::span<const uint8_t> block) {
  wire::ByteReader r(block);
  r.Skip(4);
  const size_t length = r.U16();
  if (!r.ok() || length < kMinPacket || length > kMaxPacket) return std::nullopt;
  // 8 + length + 1 bytes must be there: the packet and its end mark.
  if (block.size() < kBlockHeader + length + 1) return std::nullopt;
  if (block[kBlockHeader + length] != kEndMark) return std::nullopt;
  const auto packet = block.subspan(kBlockHeader, length);
  if (packet[0] == 0 && packet[1] == 0) return std::nullopt;  // no code: not an answer
  return packet;
}

}  // namespace usblink
