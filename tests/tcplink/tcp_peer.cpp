#include "tcp_peer.h"

#include <gtest/gtest.h>

#include "frame_bytes.h"
#include "platform/tick.h"

namespace tcplinktest {

namespace net = platform::net;

bool PeerConnection::Write(const std::vector<uint8_t>& bytes) {
  return socket_.Send(bytes) == static_cast<int>(bytes.size());
}

std::vector<uint8_t> PeerConnection::ReadExact(size_t n, uint32_t timeout_ms) {
  std::vector<uint8_t> out(n);
  size_t got = 0;
  const uint32_t start = platform::TickCount();
  while (got < n) {
    const uint32_t spent = platform::TicksSince(start);
    if (spent >= timeout_ms) break;
    if (socket_.WaitReadable(timeout_ms - spent) != 1) break;
    const int r = socket_.Recv(std::span<uint8_t>(out).subspan(got));
    if (r <= 0) break;
    got += static_cast<size_t>(r);
  }
  out.resize(got);
  return out;
}

std::vector<uint8_t> PeerConnection::ReadFrame(uint32_t timeout_ms) {
  const std::vector<uint8_t> header = ReadExact(8, timeout_ms);
  if (header.size() != 8) return {};
  wire::ByteReader r(header);
  EXPECT_EQ(r.U32(), 0x7D825050u) << "frame magic";
  const uint32_t length = r.U32();
  EXPECT_LE(length, 66552u);
  return ReadExact(length, timeout_ms);
}

bool PeerConnection::Silent(uint32_t timeout_ms) { return socket_.WaitReadable(timeout_ms) == 0; }

void PeerConnection::Reset() {
  socket_.SetResetOnClose();
  socket_.Close();
}

TcpPeer::TcpPeer(uint16_t port, int backlog) {
  listener_ = net::Socket::Open(net::Socket::Kind::kStream);
  EXPECT_TRUE(listener_.Valid());
  // So that a test can listen on the same port again while connections of
  // the earlier listener linger.
  listener_.SetReuseAddress(true);
  EXPECT_EQ(listener_.Bind(net::SockAddrV4::Loopback(port)), 0);
  EXPECT_EQ(listener_.Listen(backlog), 0);
  EXPECT_EQ(listener_.LocalAddress(&address_), 0);
}

PeerConnection TcpPeer::Accept(uint32_t timeout_ms) {
  if (listener_.WaitReadable(timeout_ms) != 1) return PeerConnection();
  net::Socket s = listener_.Accept(nullptr);
  s.SetNoDelay(true);
  return PeerConnection(std::move(s));
}

uint16_t ClosedPort() {
  net::Socket probe = net::Socket::Open(net::Socket::Kind::kStream);
  EXPECT_EQ(probe.Bind(net::SockAddrV4::Loopback(0)), 0);
  net::SockAddrV4 where;
  EXPECT_EQ(probe.LocalAddress(&where), 0);
  return where.port();
}

}  // namespace tcplinktest
