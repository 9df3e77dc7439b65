// A bare TCP client that speaks to the simulator frame by frame, and sees
// the raw byte stream: how the bytes came in reads, closes and resets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "sim_client.h"
#include "wire/packet.h"

namespace simtest {

// The frame a host puts around `packet`: 50 50 82 7D, the length, the packet.
std::vector<uint8_t> Frame(const std::vector<uint8_t>& packet);
// A packet with a good checksum.
std::vector<uint8_t> Packet(uint16_t code, uint16_t connection_id, uint16_t counter,
                            const std::vector<uint8_t>& payload = {});

class SimTcpClient {
 public:
  // Connects to the simulator's TCP port on loopback; see connect_result().
  explicit SimTcpClient(uint16_t sim_port);

  bool connected() const { return connect_result_ == 0; }
  int connect_result() const { return connect_result_; }

  // One packet in its frame; the connection number defaults to the one
  // learnt at Connect.
  void Send(uint16_t code, uint16_t counter, const std::vector<uint8_t>& payload = {});
  void SendWithId(uint16_t code, uint16_t connection_id, uint16_t counter,
                  const std::vector<uint8_t>& payload = {});
  // Bytes as they are, in one write.
  void SendBytes(const std::vector<uint8_t>& bytes);

  // The next frame's packet within `timeout_ms`, reassembled from as many
  // reads as it takes; nothing when none came whole (or the frame was bad).
  std::optional<Answer> Receive(uint32_t timeout_ms = 1000);
  std::optional<Answer> Exchange(uint16_t code, uint16_t counter,
                                 const std::vector<uint8_t>& payload = {});
  // CMD_CONNECT with counter 0; remembers the connection number.
  std::optional<Answer> Connect();
  uint16_t connection_id() const { return connection_id_; }
  void set_connection_id(uint16_t id) { connection_id_ = id; }

  // The frame header of the last frame Receive took apart.
  const std::vector<uint8_t>& last_frame_header() const { return last_header_; }
  // Sizes of the reads since the last ClearReads.
  const std::vector<size_t>& reads() const { return reads_; }
  void ClearReads() { reads_.clear(); }
  // Bytes received and not yet taken apart.
  size_t pending_bytes() const { return pending_.size(); }
  const std::vector<uint8_t>& pending() const { return pending_; }
  // Reads what comes within `timeout_ms` into pending() (at least `bytes`
  // of it unless the time runs out); true when it is there.
  bool Collect(size_t bytes, uint32_t timeout_ms = 1000);
  void DropPending() { pending_.clear(); }

  // Reads (and keeps) what comes until the simulator ends the connection:
  // 0 after an orderly close, the negated socket error (−10054 for a reset),
  // or 1 when it is still open after `timeout_ms`.
  int WaitClosed(uint32_t timeout_ms = 2000);

 private:
  // One read into pending_; its result (0: closed, < 0: error, −10060: nothing in time).
  int ReadSome(uint32_t timeout_ms);

  platform::net::Socket socket_;
  int connect_result_ = -1;
  uint16_t connection_id_ = 0;
  std::vector<uint8_t> pending_;
  std::vector<uint8_t> last_header_;
  std::vector<size_t> reads_;
};

}  // namespace simtest
