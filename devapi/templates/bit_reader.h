// Bounded reader of bit fields packed least-significant bit first, the way
// the template records pack coordinates, kinds and angles into bytes.
//
// Like wire::ByteReader it never reads past its span: a read that does not
// fit marks the reader failed and yields 0, so a record can be read whole and
// checked once.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace templates {

class BitReader {
 public:
  explicit BitReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool ok() const { return ok_; }
  size_t bits_left() const { return bytes_.size() * 8 - bit_pos_; }

  // The next `width` bits (at most 32) as an unsigned value.
  uint32_t Bits(unsigned width) {
    if (!ok_ || width > 32 || width > bits_left()) {
      ok_ = false;
      return 0;
    }
    uint32_t value = 0;
    unsigned filled = 0;
    while (filled < width) {
      const size_t byte = bit_pos_ / 8;
      const unsigned offset = bit_pos_ % 8;
      const unsigned take = std::min(8 - offset, width - filled);
      const uint32_t chunk = (bytes_[byte] >> offset) & ((1u << take) - 1);
      value |= chunk << filled;
      filled += take;
      bit_pos_ += take;
    }
    return value;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t bit_pos_ = 0;
  bool ok_ = true;
};

}  // namespace templates
