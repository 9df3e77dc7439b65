// A raw TCP peer on 127.0.0.1 standing in for a terminal: it accepts the
// plug-in's connections and reads and writes bytes as a test tells it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/socket.h"

namespace tcplinktest {

// One accepted connection.
class PeerConnection {
 public:
  PeerConnection() = default;
  explicit PeerConnection(platform::net::Socket socket) : socket_(std::move(socket)) {}
  bool Valid() const { return socket_.Valid(); }

  // Writes all of `bytes` in one call (loopback takes it whole).
  bool Write(const std::vector<uint8_t>& bytes);
  // Exactly `n` bytes, or fewer when the time ran out or the line closed.
  std::vector<uint8_t> ReadExact(size_t n, uint32_t timeout_ms);
  // One frame's packet; empty when none came in time.
  std::vector<uint8_t> ReadFrame(uint32_t timeout_ms);
  // True when the plug-in sent nothing within `timeout_ms`.
  bool Silent(uint32_t timeout_ms);
  void Close() { socket_.Close(); }
  // Closes with a reset instead of an orderly close.
  void Reset();

 private:
  platform::net::Socket socket_;
};

class TcpPeer {
 public:
  // Listens on 127.0.0.1 with a system-chosen port (or `port`).
  explicit TcpPeer(uint16_t port = 0, int backlog = 8);
  uint16_t port() const { return address_.port(); }
  const platform::net::SockAddrV4& address() const { return address_; }

  // The next connection, or an invalid one when none came in time.
  PeerConnection Accept(uint32_t timeout_ms = 2000);
  // Stops listening: later connects are refused.
  void StopListening() { listener_.Close(); }

 private:
  platform::net::Socket listener_;
  platform::net::SockAddrV4 address_;
};

// A port with nothing listening on it.
uint16_t ClosedPort();

}  // namespace tcplinktest
