// Append-only byte buffer that either owns growable storage or wraps memory
// the caller lends it (which it never grows or frees).
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "strtable/detail/pod_array.h"

namespace strtable {

class ByteBuffer {
 public:
  // Growth beyond the missing bytes, so that many small appends do not each
  // reallocate.
  static constexpr int32_t kMinGrowth = 10240;

  // Wraps caller memory (borrowed: never grown, never freed). Memory beyond
  // 2^31 - 1 bytes is not used. Null when the record cannot be allocated.
  static std::unique_ptr<ByteBuffer> WrapBuffer(std::span<uint8_t> memory);
  // A buffer owning `size` new bytes; null for a negative size or no memory.
  static std::unique_ptr<ByteBuffer> CreateBuffer(int32_t size);
  // Frees owned storage and the record; null is fine.
  static void DestroyBuffer(std::unique_ptr<ByteBuffer> buffer);

  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  ~ByteBuffer();

  // Bytes that can still be written without growing.
  int32_t BufferRemaining() const { return capacity_ - used_; }

  // Copies as many bytes as fit; returns the number copied.
  int32_t AppendClamped(std::span<const uint8_t> bytes);

  // Copies all bytes, growing owned storage to capacity + max(missing, 10240)
  // when needed. Returns the length, or 0 with nothing copied when the buffer
  // is borrowed, the memory cannot be had, or the size would pass 2^31 - 1.
  int32_t AppendGrowing(std::span<const uint8_t> bytes);

  // The bytes written so far. Invalidated when the buffer grows.
  std::span<const uint8_t> Written() const { return storage_.first(static_cast<size_t>(used_)); }
  int32_t Size() const { return used_; }
  int32_t Capacity() const { return capacity_; }
  bool IsBorrowed() const { return borrowed_; }

 private:
  ByteBuffer() = default;

  detail::PodArray<uint8_t> owned_;  // empty when borrowed
  std::span<uint8_t> storage_;       // capacity_ bytes, owned or borrowed
  int32_t capacity_ = 0;
  int32_t used_ = 0;
  bool borrowed_ = false;
};

}  // namespace strtable
