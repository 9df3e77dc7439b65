// The terminal's UDP socket and the thread that receives on it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "platform/socket.h"
#include "platform/thread.h"

namespace termsim {

class UdpEndpoint {
 public:
  using Handler =
      std::function<void(std::span<const uint8_t> datagram, const platform::net::SockAddrV4& from)>;

  ~UdpEndpoint() { Stop(); }

  // Binds address:port (0: any free port) and starts receiving; every
  // datagram goes to `handler` on the receive thread. `shared` lets other
  // sockets bind the same address and port (all of them receive broadcasts
  // to it). False on failure.
  bool Start(const std::string& address, uint16_t port, Handler handler, bool shared = false);
  void Stop();
  bool running() const { return running_.load(); }
  uint16_t port() const;

  bool SendTo(std::span<const uint8_t> datagram, const platform::net::SockAddrV4& to);
  // To whoever sent the last datagram; false when nobody has yet.
  bool SendToLastClient(std::span<const uint8_t> datagram);

 private:
  void Run();

  // How often the receive loop looks at the stop flag.
  static constexpr uint32_t kPollMs = 50;

  platform::net::Socket socket_;
  platform::Thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> running_{false};
  Handler handler_;
  uint16_t port_ = 0;
  mutable std::mutex client_mu_;
  std::optional<platform::net::SockAddrV4> last_client_;
};

}  // namespace termsim
