// Packets a terminal sends right after a reply: the chunks of a streamed
// data set or the data of a large block.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace termsim {

struct Trailer {
  std::vector<std::vector<uint8_t>> packets;
  // The terminal paces itself: this many packets back to back, then a pause,
  // so a host's socket queue is not flooded.
  uint32_t burst_packets = 16;
  uint32_t burst_pause_ms = 1;
};

// Sends the packets in order through `send`, pausing between bursts.
void SendTrailer(const Trailer& trailer, const std::function<void(std::span<const uint8_t>)>& send);

}  // namespace termsim
