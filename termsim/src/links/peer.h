// Who a packet came from and where its answer goes: the link it travels by
// and, on that link, the host's address (UDP) or its connection (TCP); on
// USB there is one host, behind the drive file.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/socket.h"

namespace termsim {

enum class Link { kUdp, kTcp, kUsb };

struct Peer {
  Link link = Link::kUdp;
  platform::net::SockAddrV4 address;  // on TCP: the connection's remote end
  uint64_t connection = 0;            // TCP: the endpoint's connection number (from 1)

  Peer() = default;
  // An address alone names a host on UDP, where every datagram carries it.
  Peer(const platform::net::SockAddrV4& udp_address) : address(udp_address) {}  // NOLINT
  // The one host behind the drive file.
  static Peer Usb() {
    Peer p;
    p.link = Link::kUsb;
    return p;
  }
  static Peer Tcp(uint64_t connection, const platform::net::SockAddrV4& address) {
    Peer p(address);
    p.link = Link::kTcp;
    p.connection = connection;
    return p;
  }

  // UDP hosts are their address and port; a TCP host is its connection (a
  // reconnected host is a new peer even from the same address).
  friend bool operator==(const Peer& a, const Peer& b) {
    if (a.link != b.link) return false;
    if (a.link == Link::kTcp) return a.connection == b.connection;
    if (a.link == Link::kUsb) return true;
    return a.address.port_be == b.address.port_be &&
           std::memcmp(a.address.addr, b.address.addr, sizeof(a.address.addr)) == 0;
  }
};

}  // namespace termsim
