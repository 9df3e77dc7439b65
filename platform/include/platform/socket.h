// IPv4 datagram and stream sockets.
//
// Every failure is reported as the negated socket error number of the
// terminal SDK's traditional socket library (reset connection −10054,
// aborted −10053, would block −10035, timed out −10060, host not found
// −11001 ...), so that callers can keep the protocol engine's rules for the
// range −10004 to −11004 unchanged.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace platform::net {

class Wakeup;  // platform/wakeup.h

// Socket error numbers (positive; results carry them negated).
enum SocketError : int {
  kEIntr = 10004,
  kEBadF = 10009,
  kEAcces = 10013,
  kEFault = 10014,
  kEInval = 10022,
  kEMFile = 10024,
  kEWouldBlock = 10035,
  kEInProgress = 10036,
  kEAlready = 10037,
  kENotSock = 10038,
  kEDestAddrReq = 10039,
  kEMsgSize = 10040,
  kEProtoType = 10041,
  kENoProtoOpt = 10042,
  kEProtoNoSupport = 10043,
  kEOpNotSupp = 10045,
  kEAfNoSupport = 10047,
  kEAddrInUse = 10048,
  kEAddrNotAvail = 10049,
  kENetDown = 10050,
  kENetUnreach = 10051,
  kENetReset = 10052,
  kEConnAborted = 10053,
  kEConnReset = 10054,
  kENoBufs = 10055,
  kEIsConn = 10056,
  kENotConn = 10057,
  kEShutdown = 10058,
  kETimedOut = 10060,
  kEConnRefused = 10061,
  kELoop = 10062,
  kENameTooLong = 10063,
  kEHostDown = 10064,
  kEHostUnreach = 10065,
  kHostNotFound = 11001,
  kTryAgain = 11002,
  kNoRecovery = 11003,
  kNoData = 11004,
};

// Positive socket error number for a POSIX errno value.
int SocketErrorFromErrno(int err);

// True for a negated socket error number (−10004 .. −11004).
constexpr bool IsSocketFailure(int result) {
  return result <= -10004 && result >= -11004;
}

// An IPv4 socket address laid out as the 16-byte sockaddr_in of the
// traditional socket library: family, port (network order), address, zeros.
// Two addresses are equal when all 16 bytes are.
struct SockAddrV4 {
  uint16_t family = 0;
  uint16_t port_be = 0;
  uint8_t addr[4] = {0, 0, 0, 0};
  uint8_t zero[8] = {0, 0, 0, 0, 0, 0, 0, 0};

  static SockAddrV4 Make(const uint8_t ip[4], uint16_t port);
  static SockAddrV4 Loopback(uint16_t port);
  static SockAddrV4 Any(uint16_t port);
  uint16_t port() const;
  std::string ToString() const;  // "a.b.c.d:port"
  bool operator==(const SockAddrV4& other) const;
};
static_assert(sizeof(SockAddrV4) == 16);

// Resolves a host name or dotted address (a dotted address resolves to
// itself) to its first IPv4 address, with `port`. 0, or a negated error.
int ResolveHostV4(const char* host, uint16_t port, SockAddrV4* out);

// True when this computer's own host name resolves to at least one address.
bool LocalHostNameResolves();

class Socket {
 public:
  enum class Kind { kDatagram, kStream };

  Socket() = default;
  ~Socket() { Close(); }
  Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // An IPv4 socket; check Valid(). On failure `error` (if given) gets the
  // negated error.
  static Socket Open(Kind kind, int* error = nullptr);

  bool Valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void Close();

  // All int results below: 0 (or a count) on success, a negated socket
  // error on failure.
  int Bind(const SockAddrV4& local);
  int LocalAddress(SockAddrV4* out) const;
  int SetReceiveBufferSize(int bytes);
  int SetSendBufferSize(int bytes);
  int SetBroadcast(bool on);
  int GetBroadcast(bool* on) const;
  int SetReuseAddress(bool on);
  int SetNoDelay(bool on);
  int SetNonBlocking(bool on);
  // Close with a reset instead of an orderly shutdown (SO_LINGER 0).
  int SetResetOnClose();
  // Pending error of the socket (SO_ERROR), negated; 0 when none.
  int PendingError() const;

  // Non-blocking connect that waits up to `timeout_ms` for the outcome;
  // −10060 on time-out. The outcome is the socket's pending error once the
  // wait ends (a refused connect gives −10061). The socket is left in
  // blocking mode.
  int Connect(const SockAddrV4& peer, uint32_t timeout_ms);
  // As Connect, but a signal of `wakeup` (also one already pending) ends
  // the wait at once with −10004 (interrupted); the signal is left pending.
  // A connect cut short leaves the socket unusable: close it.
  int Connect(const SockAddrV4& peer, uint32_t timeout_ms, const Wakeup& wakeup);
  int Listen(int backlog);
  Socket Accept(SockAddrV4* peer, int* error = nullptr);

  // 1 readable (or writable), 0 time-out, negative error.
  int WaitReadable(uint32_t timeout_ms) const;
  // As WaitReadable, but also 2 as soon as `wakeup` is signalled (its
  // signal is left pending; see Wakeup::Drain).
  int WaitReadable(uint32_t timeout_ms, const Wakeup& wakeup) const;
  int WaitWritable(uint32_t timeout_ms) const;
  // As WaitWritable, but also 2 as soon as `wakeup` is signalled.
  int WaitWritable(uint32_t timeout_ms, const Wakeup& wakeup) const;

  int SendTo(std::span<const uint8_t> bytes, const SockAddrV4& to);
  int RecvFrom(std::span<uint8_t> buffer, SockAddrV4* from);
  // Stream I/O. Send never raises SIGPIPE. Recv returns 0 on orderly close.
  int Send(std::span<const uint8_t> bytes);
  int Recv(std::span<uint8_t> buffer);
  int ShutdownBoth();

 private:
  explicit Socket(int fd) : fd_(fd) {}
  // The connect behind both Connect forms; `wake_fd` -1 when none.
  int ConnectWaking(const SockAddrV4& peer, uint32_t timeout_ms, int wake_fd);
  int fd_ = -1;
};

}  // namespace platform::net
