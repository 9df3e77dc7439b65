// The terminal's TCP side: a listener and its connections, each served on
// its own thread. Every packet travels in a frame (tcp_frame.h); frames are
// reassembled across reads, and a connection that sends a bad frame is
// dropped. Writes go out whole, one frame (or one coalesced batch) at a
// time, shaped by the stream faults.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "links/peer.h"
#include "platform/socket.h"
#include "platform/thread.h"
#include "platform/wakeup.h"
#include "links/stream_fault_plan.h"

namespace termsim {

class TcpEndpoint {
 public:
  using Handler = std::function<void(std::span<const uint8_t> packet, const Peer& from)>;

  ~TcpEndpoint() { Stop(); }

  // Listens on address:port (0: any free port); every packet goes to
  // `handler` on its connection's thread. False on failure.
  bool Start(const std::string& address, uint16_t port, Handler handler);
  void Stop();
  bool running() const { return running_.load(); }
  uint16_t port() const { return port_; }

  // Stream faults. Refusing stops listening and drops every connection;
  // faults that no longer refuse listen again.
  void SetFaults(const StreamFaults& faults);
  StreamFaults faults() const { return plan_.Get(); }
  // Listens again on the same port after a refusal. False when it cannot.
  bool ResumeListening();
  bool coalescing() const { return plan_.writing().coalesce; }

  // A request arrived from `from`: true when the stream faults cut its
  // connection now (the request is then left unanswered).
  bool CutAfterRequest(const Peer& from);

  // Writes `packets`, each in its frame, to the connection of `to`. While
  // coalescing they go out in one write with whatever waits for that
  // connection, or, with `hold`, wait for the next write (at most kHoldMs).
  // False when the connection is gone or breaks.
  bool Send(const Peer& to, std::span<const std::vector<uint8_t>> packets, bool hold = false);
  bool Send(const Peer& to, std::span<const uint8_t> packet, bool hold = false);

  // Connections accepted since Start.
  size_t accepted() const { return accepted_.load(); }

 private:
  struct Connection {
    uint64_t number = 0;
    platform::net::SockAddrV4 address;
    platform::net::Socket socket;  // closed only by the connection's thread
    platform::net::Wakeup wakeup;  // cuts the thread's wait short for a close
    std::atomic<bool> closing{false};
    std::atomic<bool> reset{false};  // close with a reset instead of an orderly close
    std::atomic<bool> done{false};   // the thread has ended
    std::mutex write_mu;             // one write at a time; the socket's close
    std::vector<uint8_t> held;       // coalesced frames not yet written
    uint32_t held_since = 0;
    platform::Thread thread;
  };

  // How often waits look at the stop and close flags.
  static constexpr uint32_t kPollMs = 50;
  // Coalesced frames wait at most this long for company.
  static constexpr uint32_t kHoldMs = 100;
  // A host that takes nothing for this long loses its connection.
  static constexpr uint32_t kStalledWriteMs = 5000;
  // Connections served at once; more are closed as they come.
  static constexpr size_t kMaxConnections = 64;

  bool Listen();
  void StopListening();
  void AcceptLoop();
  void Serve(Connection* c);
  // Reaps connections whose thread has ended.
  void Reap();
  // Drops every connection and waits until their threads have ended.
  void DropAll();
  std::shared_ptr<Connection> Find(const Peer& peer) const;
  // Asks the connection's thread to close it.
  void Drop(Connection& c, bool reset);
  // Appends the frame for `packet` as the faults shape it.
  void AppendFrame(std::span<const uint8_t> packet, std::vector<uint8_t>& out);
  // Writes all of `bytes` (write_mu held), `split` bytes at a time when set.
  bool WriteBytes(Connection& c, std::span<const uint8_t> bytes,
                  const StreamFaultPlan::Writing& writing);
  void FlushHeldIfDue(Connection& c);

  std::string address_;
  uint16_t port_ = 0;
  Handler handler_;
  StreamFaultPlan plan_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<size_t> accepted_{0};

  std::mutex control_mu_;  // Start, Stop, refusing and listening again
  platform::net::Socket listener_;
  platform::Thread accept_thread_;
  platform::net::Wakeup accept_wakeup_;
  std::atomic<bool> accept_stop_{false};

  mutable std::mutex mu_;  // the connection table
  std::map<uint64_t, std::shared_ptr<Connection>> connections_;
  uint64_t next_number_ = 1;
};

}  // namespace termsim
