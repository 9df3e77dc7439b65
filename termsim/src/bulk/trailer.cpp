#include "bulk/trailer.h"

#include "platform/tick.h"

namespace termsim {

void SendTrailer(const Trailer& trailer,
                 const std::function<void(std::span<const uint8_t>)>& send) {
  uint32_t in_burst = 0;
  for (const auto& packet : trailer.packets) {
    if (trailer.burst_packets > 0 && in_burst == trailer.burst_packets) {
      platform::SleepMs(trailer.burst_pause_ms);
      in_burst = 0;
    }
    send(packet);
    ++in_burst;
  }
}

}  // namespace termsim
