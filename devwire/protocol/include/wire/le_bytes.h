// Bounded little-endian reader and writer for every wire record.
//
// A ByteReader never reads past the bytes it was given: a read that does not
// fit marks the reader as failed and yields zeros, so a decoder can read a
// whole record and check ok() once. A ByteWriter likewise never writes past
// its span.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace wire {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool ok() const { return ok_; }
  size_t position() const { return pos_; }
  size_t remaining() const { return bytes_.size() - pos_; }
  std::span<const uint8_t> rest() const { return bytes_.subspan(pos_); }

  uint8_t U8() {
    uint8_t v = 0;
    Take(&v, 1);
    return v;
  }
  uint16_t U16() {
    uint8_t b[2] = {0, 0};
    Take(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
  }
  uint32_t U32() {
    uint8_t b[4] = {0, 0, 0, 0};
    Take(b, 4);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
  }
  int16_t I16() { return static_cast<int16_t>(U16()); }
  int32_t I32() { return static_cast<int32_t>(U32()); }

  // Copies exactly out.size() bytes, or fails (out zeroed).
  bool Bytes(std::span<uint8_t> out) { return Take(out.data(), out.size()); }

  // A view of the next n bytes; empty and failed when fewer remain.
  std::span<const uint8_t> View(size_t n) {
    if (!ok_ || n > remaining()) {
      ok_ = false;
      return {};
    }
    auto v = bytes_.subspan(pos_, n);
    pos_ += n;
    return v;
  }

  // A fixed-width text field of n bytes: the text up to its first NUL, or
  // all n bytes when it has none.
  std::string_view FixedText(size_t n) {
    auto v = View(n);
    size_t len = 0;
    while (len < v.size() && v[len] != 0) ++len;
    return {reinterpret_cast<const char*>(v.data()), len};
  }

  bool Skip(size_t n) {
    View(n);
    return ok_;
  }

 private:
  bool Take(void* out, size_t n) {
    if (!ok_ || n > remaining()) {
      ok_ = false;
      if (n) std::memset(out, 0, n);
      return false;
    }
    if (n) std::memcpy(out, bytes_.data() + pos_, n);
    pos_ += n;
    return true;
  }

  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  bool ok_ = true;
};

class ByteWriter {
 public:
  explicit ByteWriter(std::span<uint8_t> out) : out_(out) {}

  bool ok() const { return ok_; }
  size_t size() const { return pos_; }
  size_t remaining() const { return out_.size() - pos_; }
  std::span<uint8_t> written() const { return out_.first(pos_); }

  void U8(uint8_t v) { Put(&v, 1); }
  void U16(uint16_t v) {
    uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    Put(b, 2);
  }
  void U32(uint32_t v) {
    uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                    static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    Put(b, 4);
  }
  void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void Bytes(std::span<const uint8_t> v) { Put(v.data(), v.size()); }
  // Text padded with NULs (or cut) to exactly n bytes; the last byte is
  // always NUL when n > 0.
  void FixedText(std::string_view text, size_t n) {
    if (!ok_ || n > remaining()) {
      ok_ = false;
      return;
    }
    size_t len = n ? std::min(text.size(), n - 1) : 0;
    std::memcpy(out_.data() + pos_, text.data(), len);
    std::memset(out_.data() + pos_ + len, 0, n - len);
    pos_ += n;
  }
  // Overwrites a 16-bit value at an earlier position.
  void PatchU16(size_t at, uint16_t v) {
    if (at + 2 > pos_) {
      ok_ = false;
      return;
    }
    out_[at] = static_cast<uint8_t>(v);
    out_[at + 1] = static_cast<uint8_t>(v >> 8);
  }

 private:
  void Put(const void* v, size_t n) {
    if (!ok_ || n > remaining()) {
      ok_ = false;
      return;
    }
    if (n) std::memcpy(out_.data() + pos_, v, n);
    pos_ += n;
  }

  std::span<uint8_t> out_;
  size_t pos_ = 0;
  bool ok_ = true;
};

// Single-value helpers for places that patch one field.
inline uint16_t LoadU16(std::span<const uint8_t, 2> b) {
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}
inline void StoreU16(std::span<uint8_t, 2> b, uint16_t v) {
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace wire
