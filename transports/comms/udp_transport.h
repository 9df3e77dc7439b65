// One UDP conversation with one terminal: a datagram socket, the terminal's
// address, and the bookkeeping that lets one thread send while another reads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/socket.h"
#include "platform/wakeup.h"
#include "platform/timed_lock.h"

namespace comms {

class UdpTransport {
 public:
  // Port that selects a broadcast-capable socket (the device search).
  static constexpr int32_t kBroadcastPort = 65535;
  // How long a send or read waits for its own lock before giving up with 0.
  static constexpr uint32_t kLockWaitMs = 1000;
  // Longest stretch a read waits on the socket before it looks at the
  // interrupt flags again (an interrupt also wakes it at once, where the
  // system gives a wake-up).
  static constexpr uint32_t kReadSliceMs = 100;

  // Opens a socket towards host:port. Null when the port is out of range,
  // the host does not resolve or the socket cannot be set up.
  static std::unique_ptr<UdpTransport> Open(const char* host, int32_t port);

  // Interrupts a running read and waits until no send or read is inside.
  ~UdpTransport();

  UdpTransport(const UdpTransport&) = delete;
  UdpTransport& operator=(const UdpTransport&) = delete;

  // One datagram to the terminal. Bytes sent, 0 when the socket stayed busy,
  // or a negated socket error.
  int32_t Send(std::span<const uint8_t> bytes);

  // One datagram from the socket into `out`; an empty `out` reads and
  // discards. Its length, 0 when nothing usable came within `timeout_ms` or
  // the read was interrupted, or a negated socket error.
  int32_t Read(std::span<uint8_t> out, uint32_t timeout_ms);

  // Ends a running read at once (at the latest within one slice); later
  // reads return 0 at once until the next Send.
  void InterruptReads();

 private:
  UdpTransport(platform::net::Socket socket, const platform::net::SockAddrV4& peer);

  bool Interrupted(uint32_t epoch_at_start) const;
  // Whether a received datagram is handed to the reader; see the .cpp.
  bool Deliverable(std::span<const uint8_t> datagram, const platform::net::SockAddrV4& from,
                   size_t room, bool discard) const;

  platform::net::Socket socket_;
  const platform::net::SockAddrV4 peer_;

  // Separate locks: sendto and recvfrom on one socket may run side by side,
  // so a send never waits for a read's time-out. Each lock only keeps two
  // sends (or two reads) of this handle from interleaving.
  platform::TimedLock send_lock_;
  platform::TimedLock read_lock_;

  // Set by InterruptReads, cleared by Send.
  std::atomic<bool> reads_blocked_{false};
  // Bumped by InterruptReads, so a read that was running at that moment ends
  // even when a Send clears reads_blocked_ before the read looks again.
  std::atomic<uint32_t> interrupt_epoch_{0};
  // Signalled by InterruptReads, so a read waiting on the socket looks at
  // the flags above at once instead of at the end of its slice.
  platform::net::Wakeup wakeup_;

  // Whole datagrams land here first, so that an oversized one can be told
  // apart and nothing beyond the caller's size is ever written. Guarded by
  // read_lock_.
  std::vector<uint8_t> scratch_;
};

}  // namespace comms
