#include "links/usb_block.h"

#include "wire/le_bytes.h"
#include "wire/packet.h"

namespace termsim {

namespace {

constexpr uint8_t kMark1 = 0x81;
constexpr uint8_t kMark2 = 0x7E;
constexpr uint8_t kEndMark = 0xFF;
constexpr uint16_t kLongLength = 1530;

size_t BlockSize(size_t length) {
  for (const size_t size : {size_t{512}, size_t{1024}, size_t{1536}}) {
    if (kUsbBlockHeader + length < size) return size;
  }
  return 0;
}

}  // namespace

std::optional<UsbRequest> ParseUsbRequest(std::span<const uint8_t> block, uint8_t device) {
  wire::ByteReader r(block);
  const uint8_t d1 = r.U8();
  const uint8_t d2 = r.U8();
  const uint8_t m1 = r.U8();
  const uint8_t m2 = r.U8();
  const size_t length = r.U16();
  const uint16_t sum = r.U16();
  if (!r.ok() || d1 != device || d2 != device || m1 != kMark1 || m2 != kMark2) return std::nullopt;
  const size_t size = BlockSize(length);
  if (size == 0 || block.size() < kUsbBlockHeader + length + 1) return std::nullopt;
  if (block[kUsbBlockHeader + length] != kEndMark) return std::nullopt;
  std::vector<uint8_t> summed(block.begin(), block.begin() + static_cast<long>(kUsbBlockHeader + length));
  summed[6] = summed[7] = 0;
  if (wire::InternetChecksum(summed) != sum) return std::nullopt;
  UsbRequest request;
  request.packet = block.subspan(kUsbBlockHeader, length);
  request.block_size = size;
  request.used = block.first(kUsbBlockHeader + length + 1);
  return request;
}

std::vector<uint8_t> EncodeUsbAnswer(uint8_t device, std::span<const uint8_t> packet,
                                     const UsbBlockShape& shape) {
  const size_t size = BlockSize(packet.size());
  if (size == 0) return {};
  std::vector<uint8_t> block(size, 0);
  wire::ByteWriter w(block);
  w.U8(device);
  w.U8(device);
  w.U8(kMark1);
  w.U8(kMark2);
  w.U16(static_cast<uint16_t>(packet.size()));
  w.U16(0);
  w.Bytes(packet);
  w.U8(shape.bad_mark ? 0x00 : kEndMark);
  if (shape.zero_code && packet.size() >= 2) block[8] = block[9] = 0;
  const uint16_t sum =
      wire::InternetChecksum(std::span<const uint8_t>(block).first(kUsbBlockHeader + packet.size()));
  block[6] = static_cast<uint8_t>(sum);
  block[7] = static_cast<uint8_t>(sum >> 8);
  if (shape.long_length) {
    block[4] = static_cast<uint8_t>(kLongLength);
    block[5] = static_cast<uint8_t>(kLongLength >> 8);
  }
  return block;
}

}  // namespace termsim
