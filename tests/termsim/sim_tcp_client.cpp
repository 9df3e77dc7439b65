#include "sim_tcp_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace simtest {

namespace net = platform::net;

namespace {

using Clock = std::chrono::steady_clock;

uint32_t MsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<uint32_t>(left) : 0;
}

}  // namespace

std::vector<uint8_t> Frame(const std::vector<uint8_t>& packet) {
  std::vector<uint8_t> frame(8 + packet.size());
  wire::ByteWriter w(frame);
  w.Bytes(std::vector<uint8_t>{0x50, 0x50, 0x82, 0x7D});
  w.U32(static_cast<uint32_t>(packet.size()));
  w.Bytes(packet);
  return frame;
}

std::vector<uint8_t> Packet(uint16_t code, uint16_t connection_id, uint16_t counter,
                            const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> packet(wire::kHeaderSize + payload.size());
  wire::BuildPacket(code, connection_id, counter, payload, packet);
  return packet;
}

SimTcpClient::SimTcpClient(uint16_t sim_port) {
  socket_ = net::Socket::Open(net::Socket::Kind::kStream);
  EXPECT_TRUE(socket_.Valid());
  connect_result_ = socket_.Connect(net::SockAddrV4::Loopback(sim_port), 2000);
  if (connect_result_ == 0) socket_.SetNoDelay(true);
}

void SimTcpClient::Send(uint16_t code, uint16_t counter, const std::vector<uint8_t>& payload) {
  SendWithId(code, connection_id_, counter, payload);
}

void SimTcpClient::SendWithId(uint16_t code, uint16_t connection_id, uint16_t counter,
                              const std::vector<uint8_t>& payload) {
  SendBytes(Frame(Packet(code, connection_id, counter, payload)));
}

void SimTcpClient::SendBytes(const std::vector<uint8_t>& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const int n = socket_.Send(std::span<const uint8_t>(bytes).subspan(sent));
    ASSERT_GT(n, 0) << "send failed";
    sent += static_cast<size_t>(n);
  }
}

int SimTcpClient::ReadSome(uint32_t timeout_ms) {
  const int ready = socket_.WaitReadable(timeout_ms);
  if (ready == 0) return -net::kETimedOut;
  if (ready < 0) return ready;
  std::vector<uint8_t> buf(1 << 20);
  const int n = socket_.Recv(buf);
  if (n > 0) {
    reads_.push_back(static_cast<size_t>(n));
    pending_.insert(pending_.end(), buf.begin(), buf.begin() + n);
  }
  return n;
}

std::optional<Answer> SimTcpClient::Receive(uint32_t timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (pending_.size() >= 8) {
      wire::ByteReader r(pending_);
      r.Skip(4);
      const uint32_t length = r.U32();
      if (length > 65544) return std::nullopt;  // not a frame this test can take apart
      if (pending_.size() >= 8 + length) {
        last_header_.assign(pending_.begin(), pending_.begin() + 8);
        std::vector<uint8_t> packet(pending_.begin() + 8, pending_.begin() + 8 + length);
        pending_.erase(pending_.begin(), pending_.begin() + 8 + length);
        Answer a;
        a.raw = packet;
        if (auto view = wire::ParsePacket(packet)) {
          a.header = view->header;
          a.payload.assign(view->payload.begin(), view->payload.end());
          a.checksum_ok = wire::ChecksumValid(packet);
        }
        return a;
      }
    }
    const uint32_t left = MsLeft(deadline);
    if (left == 0) return std::nullopt;
    const int n = ReadSome(left);
    if (n == 0 || (n < 0 && n != -net::kETimedOut)) return std::nullopt;  // closed or broken
  }
}

std::optional<Answer> SimTcpClient::Exchange(uint16_t code, uint16_t counter,
                                             const std::vector<uint8_t>& payload) {
  Send(code, counter, payload);
  return Receive();
}

std::optional<Answer> SimTcpClient::Connect() {
  SendWithId(wire::CMD_CONNECT, 0, 0);
  auto a = Receive();
  if (a) connection_id_ = a->header.connection_id;
  return a;
}

bool SimTcpClient::Collect(size_t bytes, uint32_t timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (pending_.size() < bytes) {
    const uint32_t left = MsLeft(deadline);
    if (left == 0 || ReadSome(left) <= 0) break;
  }
  return pending_.size() >= bytes;
}

int SimTcpClient::WaitClosed(uint32_t timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const uint32_t left = MsLeft(deadline);
    if (left == 0) return 1;
    const int n = ReadSome(left);
    if (n == 0) return 0;
    if (n == -net::kETimedOut) return 1;
    if (n < 0) return n;
  }
}

}  // namespace simtest
