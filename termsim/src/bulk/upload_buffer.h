// Data a host uploads before a command that takes it: announced with its
// total length, then sent in chunks.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace termsim {

class UploadBuffer {
 public:
  // The most a terminal accepts in one upload; bigger announcements are
  // refused before any memory is set aside.
  // The largest is a batch package: a 12-byte head and 86 MiB of entries.
  static constexpr uint32_t kMaxTotal = 12u + 86u * 1024 * 1024;

  // Starts a new upload of `total` bytes, dropping any earlier one. False
  // (and no upload) when `total` is too big.
  bool Prepare(uint32_t total);
  // Appends a chunk. False when no upload is open or the chunk would run
  // past the announced total; nothing is appended then.
  bool Append(std::span<const uint8_t> chunk);
  void Free();

  bool active() const { return active_; }
  bool complete() const { return active_ && data_.size() == total_; }
  const std::vector<uint8_t>& data() const { return data_; }

 private:
  bool active_ = false;
  uint32_t total_ = 0;
  std::vector<uint8_t> data_;
};

}  // namespace termsim
