// A bare UDP client that speaks to the simulator packet by packet.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "wire/packet.h"

namespace simtest {

struct Answer {
  wire::PacketHeader header;
  std::vector<uint8_t> payload;
  std::vector<uint8_t> raw;
  bool checksum_ok = false;
};

std::vector<uint8_t> Bytes(const std::string& text, bool nul = true);

class SimClient {
 public:
  explicit SimClient(uint16_t sim_port);

  // Sends one packet; the connection number defaults to the one learnt at
  // Connect.
  void Send(uint16_t code, uint16_t counter, const std::vector<uint8_t>& payload = {});
  void SendWithId(uint16_t code, uint16_t connection_id, uint16_t counter,
                  const std::vector<uint8_t>& payload = {});
  void SendRaw(const std::vector<uint8_t>& datagram);

  // The next datagram within `timeout_ms`; nothing when none came.
  std::optional<Answer> Receive(uint32_t timeout_ms = 1000);
  // Send, then the next datagram.
  std::optional<Answer> Exchange(uint16_t code, uint16_t counter,
                                 const std::vector<uint8_t>& payload = {});

  // CMD_CONNECT with counter 0; remembers the connection number.
  std::optional<Answer> Connect();
  uint16_t connection_id() const { return connection_id_; }

 private:
  platform::net::Socket socket_;
  platform::net::SockAddrV4 sim_;
  uint16_t connection_id_ = 0;
};

}  // namespace simtest
