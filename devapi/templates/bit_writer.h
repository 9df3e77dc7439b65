// Bounded writer of bit fields packed least-significant bit first, the
// counterpart of BitReader for the encoders. Bits beyond `width` in a value
// are dropped; a write that does not fit marks the writer failed.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace templates {

class BitWriter {
 public:
  // The span is cleared so that fields can be OR-ed into place.
  explicit BitWriter(std::span<uint8_t> out) : out_(out) {
    std::fill(out_.begin(), out_.end(), uint8_t{0});
  }

  bool ok() const { return ok_; }

  void Bits(uint32_t value, unsigned width) {
    if (!ok_ || width > 32 || width > out_.size() * 8 - bit_pos_) {
      ok_ = false;
      return;
    }
    unsigned done = 0;
    while (done < width) {
      const size_t byte = bit_pos_ / 8;
      const unsigned offset = bit_pos_ % 8;
      const unsigned take = std::min(8 - offset, width - done);
      const uint32_t chunk = (value >> done) & ((1u << take) - 1);
      out_[byte] = static_cast<uint8_t>(out_[byte] | (chunk << offset));
      done += take;
      bit_pos_ += take;
    }
  }

 private:
  std::span<uint8_t> out_;
  size_t bit_pos_ = 0;
  bool ok_ = true;
};

}  // namespace templates
