#include "links/udp_endpoint.h"

#include <vector>

#include "platform/tick.h"

namespace termsim {

namespace net = platform::net;

namespace {

// Big enough for any UDP datagram, so none arrives cut.
constexpr size_t kReceiveBytes = 65536;

}  // namespace

bool UdpEndpoint::Start(const std::string& address, uint16_t port, Handler handler, bool shared) {
  if (running()) return false;
  net::SockAddrV4 local;
  if (net::ResolveHostV4(address.c_str(), port, &local) != 0) return false;
  net::Socket socket = net::Socket::Open(net::Socket::Kind::kDatagram);
  if (!socket.Valid()) return false;
  if (shared && socket.SetReuseAddress(true) != 0) return false;
  if (socket.Bind(local) != 0) return false;
  net::SockAddrV4 bound;
  if (socket.LocalAddress(&bound) != 0) return false;

  socket_ = std::move(socket);
  port_ = bound.port();
  handler_ = std::move(handler);
  stopping_ = false;
  {
    std::lock_guard<std::mutex> lock(client_mu_);
    last_client_.reset();
  }
  if (!thread_.Start([this] { Run(); })) {
    socket_.Close();
    return false;
  }
  running_ = true;
  return true;
}

void UdpEndpoint::Stop() {
  running_ = false;
  stopping_ = true;
  thread_.Join();
  socket_.Close();
}

uint16_t UdpEndpoint::port() const { return port_; }

bool UdpEndpoint::SendTo(std::span<const uint8_t> datagram, const net::SockAddrV4& to) {
  return socket_.SendTo(datagram, to) == static_cast<int>(datagram.size());
}

bool UdpEndpoint::SendToLastClient(std::span<const uint8_t> datagram) {
  std::optional<net::SockAddrV4> to;
  {
    std::lock_guard<std::mutex> lock(client_mu_);
    to = last_client_;
  }
  return to && running() && SendTo(datagram, *to);
}

void UdpEndpoint::Run() {
  std::vector<uint8_t> buffer(kReceiveBytes);
  while (!stopping_) {
    const int ready = socket_.WaitReadable(kPollMs);
    if (ready < 0) platform::SleepMs(kPollMs);  // do not spin on a broken socket
    if (ready <= 0) continue;
    net::SockAddrV4 from;
    const int got = socket_.RecvFrom(buffer, &from);
    if (got < 0) continue;  // e.g. an ICMP error for an earlier reply
    {
      std::lock_guard<std::mutex> lock(client_mu_);
      last_client_ = from;
    }
    handler_(std::span<const uint8_t>(buffer).first(static_cast<size_t>(got)), from);
  }
}

}  // namespace termsim
