// The largest packet the terminal sends a host, by the link it is reached
// on: what the host's engine reads at most on that link.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "links/peer.h"

namespace termsim {

// UDP datagrams carry 1024 payload bytes behind the header.
inline constexpr size_t kUdpPacketLimit = 1032;
// A USB block carries an engine packet of up to 1032 bytes as the host
// reads it.
inline constexpr size_t kUsbPacketLimit = 1032;
// A TCP frame carries a packet of up to 65536 payload bytes.
inline constexpr size_t kTcpPacketLimit = 65544;
// Hosts shrink their receive length for these platforms on TCP ("~Platform"
// containing "AK3750", and "3750WIFI" below that).
inline constexpr size_t kAk3750PacketLimit = 512;
inline constexpr size_t kWifi3750PacketLimit = 4000;

// The packet limit on `link` for a terminal whose "~Platform" is `platform`.
// On TCP a non-zero `max_packet` (the profile setting) replaces what the
// platform implies, held within a header and one byte and kTcpPacketLimit;
// UDP and USB always keep their packet size.
size_t PacketLimit(Link link, const std::string& platform, uint32_t max_packet);

}  // namespace termsim
