#include "links/packet_limit.h"

#include <algorithm>

#include "wire/packet.h"

namespace termsim {

size_t PacketLimit(Link link, const std::string& platform, uint32_t max_packet) {
  if (link == Link::kUdp) return kUdpPacketLimit;
  if (link == Link::kUsb) return kUsbPacketLimit;
  if (max_packet != 0) {
    return std::clamp<size_t>(max_packet, wire::kHeaderSize + 1, kTcpPacketLimit);
  }
  // "3750WIFI" first: its platform text may hold "AK3750" as well.
  if (platform.find("3750WIFI") != std::string::npos) return kWifi3750PacketLimit;
  if (platform.find("AK3750") != std::string::npos) return kAk3750PacketLimit;
  return kTcpPacketLimit;
}

}  // namespace termsim
