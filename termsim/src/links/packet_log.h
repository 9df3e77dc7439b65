// Every packet the terminal received, for tests to inspect.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <vector>

#include "termsim/simulator.h"

namespace termsim {

class PacketLog {
 public:
  // Oldest entries are forgotten beyond this, so a long-running simulator
  // does not grow without end.
  static constexpr size_t kMaxEntries = 100000;

  // Records a packet that took `wire_size` bytes on the wire; one shorter
  // than a header is kept raw, with zero header fields and a failed checksum.
  void Record(std::span<const uint8_t> datagram, size_t wire_size);

  std::vector<ReceivedPacket> All() const;
  size_t Count(uint16_t code) const;
  size_t Size() const;
  void Clear();

 private:
  mutable std::mutex mu_;
  std::deque<ReceivedPacket> entries_;
};

}  // namespace termsim
