// One TCP conversation with one terminal: the connection, the framing of
// every packet, and the repairs of a connection the terminal closed, reset
// or left unanswered.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "platform/timed_lock.h"
#include "platform/wakeup.h"
#include "tcp_frame_reader.h"

namespace tcplink {

// This transport's own error codes, kept per handle for diagnosis.
enum TransportError : int32_t {
  kErrNoFrameBuffer = -12002,
  kErrSocketLibrary = -12003,  // the socket library is not the version asked for
  kErrNoTcpProtocol = -12004,  // kept for its number; the protocol is not looked up
  kErrLockTimeout = -12005,
  kErrFrameNotSent = -12006,
  kErrReadTimedOut = -12007,
  kErrNoData = -12008,
};

class TcpTransport {
 public:
  // How long a send or read waits for its own lock before giving up with 0.
  static constexpr uint32_t kLockWaitMs = 1000;
  static constexpr uint32_t kConnectTimeoutMs = 4000;
  // Longest read time-out honoured.
  static constexpr uint32_t kMaxReadTimeoutMs = 60000;
  // How long a send waits for the line to take the whole frame.
  static constexpr uint32_t kSendWaitMs = 5000;
  // Failed reconnects after which the line is given up.
  static constexpr int kReconnectLimit = 5;
  // Least time between two failed reconnects.
  static constexpr uint32_t kReconnectSpacingMs = 1000;
  // Frames sent without any frame header coming back after which the next
  // send opens a new connection first.
  static constexpr int kUnansweredLimit = 4;
  // Largest packet a send takes (a frame buffer of 66560 bytes).
  static constexpr size_t kMaxPacket = 66552;

  // Connects to host:port within kConnectTimeoutMs. Null on failure, with
  // `*error` the negated socket error (−10061 refused, −10060 no answer).
  // `extra` is kept as given. The host text is kept whole for reconnects.
  static std::unique_ptr<TcpTransport> Open(const char* host, int32_t port, int32_t extra,
                                            int32_t* error);

  // Ends running reads and sends and waits until none is inside.
  ~TcpTransport();

  TcpTransport(const TcpTransport&) = delete;
  TcpTransport& operator=(const TcpTransport&) = delete;

  // One packet as one frame. The frame's byte count; −309 when the line had
  // to be replaced and the packet must be sent again; 0 when the handle was
  // busy; a negated socket error when the line is gone and cannot be
  // replaced now.
  int32_t Send(std::span<const uint8_t> packet);

  // One packet into `out`. Its length; 0 when no whole packet came within
  // `timeout_ms` (a partial frame is kept for the next read), when the read
  // was interrupted, or when the packet was larger than `out` (it is then
  // dropped); −309 when the read replaced a closed or reset line; a negated
  // socket error when the line is gone.
  int32_t Read(std::span<uint8_t> out, uint32_t timeout_ms);

  // Ends a running read at once; later reads return 0 at once until the
  // next Send. Other handles are not touched.
  void InterruptReads();

 private:
  // One connection. Shared by the threads using it; the socket closes when
  // the last of them lets go, so a replaced connection is never closed
  // under a thread that is still inside a call on it.
  struct Link {
    platform::net::Socket socket;
    uint32_t generation = 0;
  };

  enum class Attempt { kConnected, kCutShort, kFailed };

  // A new connection, or null with `*error` set. `wakeup` (may be null)
  // cuts the connect short.
  static std::shared_ptr<Link> OpenLink(const std::string& host, uint16_t port, bool bind_local,
                                        uint32_t timeout_ms, const platform::net::Wakeup* wakeup,
                                        int32_t* error);

  TcpTransport(std::string host, uint16_t port, int32_t extra, bool bind_local,
               std::shared_ptr<Link> link);

  bool Interrupted(uint32_t epoch_at_start) const;

  // With mu_ held and no attempt running: one reconnect, mu_ released while
  // it connects.
  Attempt AttemptLocked(std::unique_lock<std::mutex>& lock, uint32_t timeout_ms,
                        const platform::net::Wakeup& wakeup);
  // With mu_ held: records that connection `generation` failed with `error`
  // (0 for a close by the peer), unless it has been replaced already.
  void MarkBrokenLocked(uint32_t generation, int32_t error);
  bool PacedLocked() const;
  int32_t LastErrorLocked() const;

  // Send side, with mu_ held: replaces connection `generation` unless
  // another thread has done so. 0 when there is a usable connection, else
  // what the send answers.
  int32_t RenewForSend(std::unique_lock<std::mutex>& lock, uint32_t generation);
  struct WriteOutcome {
    int32_t result;       // frame bytes, or a negated error
    bool stream_broken;   // part of a frame (or an error) left the stream unusable
  };
  WriteOutcome WriteFrame(Link& link, std::span<const uint8_t> packet);

  // Read side, under read_lock_. The packet of a whole frame if one can be
  // cut from what was received (-1 when none).
  int32_t TakeFrame(std::span<uint8_t> out);
  // Repairs connection `generation` for a read: −309 when a new one was
  // made, kSwapped when another thread replaced it, 0 when the read's time
  // ran out or it was interrupted, the last socket error once the line is
  // given up.
  static constexpr int32_t kSwapped = 1;
  int32_t RepairForRead(uint32_t generation, uint32_t start, uint32_t timeout_ms,
                        uint32_t epoch);

  const std::string host_;
  const uint16_t port_;
  const int32_t extra_;  // the third open argument, kept as the terminal tools keep it
  const bool bind_local_;

  // Guards the fields below it up to the locks.
  std::mutex mu_;
  std::condition_variable changed_;  // a reconnect ended, an interrupt, closing
  std::shared_ptr<Link> link_;
  uint32_t generation_ = 1;
  bool broken_ = false;       // link_ is known to be closed or reset
  bool connecting_ = false;   // a reconnect is running (one at a time)
  int failures_ = 0;          // failed reconnects since the last success
  bool have_failure_ = false;
  uint32_t last_failure_tick_ = 0;
  int32_t last_error_ = 0;    // last socket error of a line failure or reconnect

  // Separate locks: one thread's send never waits for another's read. Each
  // only keeps two sends (or two reads) of this handle from interleaving.
  platform::TimedLock send_lock_;
  platform::TimedLock read_lock_;

  std::atomic<bool> closing_{false};
  // Set by InterruptReads, cleared by Send.
  std::atomic<bool> reads_blocked_{false};
  // Bumped by InterruptReads, so a read running at that moment ends even
  // when a Send clears reads_blocked_ before the read looks again.
  std::atomic<uint32_t> interrupt_epoch_{0};
  // Frames sent since a frame header last arrived.
  std::atomic<int> sends_since_read_{0};
  // Last transport error (codes above or a negated socket error); only for
  // diagnosis.
  std::atomic<int32_t> diagnostic_{0};

  // Wakes a read waiting on its socket or in a connect: an interrupt, or a
  // connection replaced by the send side.
  platform::net::Wakeup wakeup_;
  // Wakes a send waiting for writability or in a connect: closing.
  platform::net::Wakeup close_wakeup_;

  // Send side, under send_lock_.
  std::vector<uint8_t> frame_;

  // Read side, under read_lock_: the frame being cut and the received bytes
  // not yet fed to it, both from connection parsed_generation_.
  TcpFrameReader frames_;
  uint32_t headers_taken_ = 0;
  std::vector<uint8_t> staging_;
  size_t staged_begin_ = 0;
  size_t staged_end_ = 0;
  uint32_t parsed_generation_ = 0;
};

}  // namespace tcplink
