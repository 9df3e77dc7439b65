#include "sim_client.h"

#include <gtest/gtest.h>

#include "wire/codes.h"

namespace simtest {

std::vector<uint8_t> Bytes(const std::string& text, bool nul) {
  std::vector<uint8_t> out(text.begin(), text.end());
  if (nul) out.push_back(0);
  return out;
}

SimClient::SimClient(uint16_t sim_port) : sim_(platform::net::SockAddrV4::Loopback(sim_port)) {
  socket_ = platform::net::Socket::Open(platform::net::Socket::Kind::kDatagram);
  EXPECT_TRUE(socket_.Valid());
  EXPECT_EQ(socket_.Bind(platform::net::SockAddrV4::Loopback(0)), 0);
}

void SimClient::Send(uint16_t code, uint16_t counter, const std::vector<uint8_t>& payload) {
  SendWithId(code, connection_id_, counter, payload);
}

void SimClient::SendWithId(uint16_t code, uint16_t connection_id, uint16_t counter,
                           const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> packet(wire::kHeaderSize + payload.size());
  ASSERT_EQ(wire::BuildPacket(code, connection_id, counter, payload, packet), packet.size());
  SendRaw(packet);
}

void SimClient::SendRaw(const std::vector<uint8_t>& datagram) {
  ASSERT_EQ(socket_.SendTo(datagram, sim_), static_cast<int>(datagram.size()));
}

std::optional<Answer> SimClient::Receive(uint32_t timeout_ms) {
  if (socket_.WaitReadable(timeout_ms) != 1) return std::nullopt;
  std::vector<uint8_t> buf(65536);
  const int n = socket_.RecvFrom(buf, nullptr);
  if (n < 0) return std::nullopt;
  buf.resize(static_cast<size_t>(n));
  Answer a;
  a.raw = buf;
  if (auto view = wire::ParsePacket(buf)) {
    a.header = view->header;
    a.payload.assign(view->payload.begin(), view->payload.end());
    a.checksum_ok = wire::ChecksumValid(buf);
  }
  return a;
}

std::optional<Answer> SimClient::Exchange(uint16_t code, uint16_t counter,
                                          const std::vector<uint8_t>& payload) {
  Send(code, counter, payload);
  return Receive();
}

std::optional<Answer> SimClient::Connect() {
  SendWithId(wire::CMD_CONNECT, 0, 0);
  auto a = Receive();
  if (a) connection_id_ = a->header.connection_id;
  return a;
}

}  // namespace simtest
