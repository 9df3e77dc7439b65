// IPv4 sockets on BSD sockets.
#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/event.h"  // kInfinite
#include "platform/wakeup.h"

namespace platform::net {

namespace {

int LastError() { return -SocketErrorFromErrno(errno); }

sockaddr_in ToNative(const SockAddrV4& a) {
  sockaddr_in sin;
  std::memset(&sin, 0, sizeof(sin));
  sin.sin_family = AF_INET;
  sin.sin_port = a.port_be;
  std::memcpy(&sin.sin_addr, a.addr, 4);
  return sin;
}

SockAddrV4 FromNative(const sockaddr_in& sin) {
  SockAddrV4 a;  // zero-initialised, so the padding bytes compare equal
  a.family = AF_INET;
  a.port_be = sin.sin_port;
  std::memcpy(a.addr, &sin.sin_addr, 4);
  return a;
}

int SetIntOption(int fd, int level, int name, int value) {
  if (setsockopt(fd, level, name, &value, sizeof(value)) != 0) return LastError();
  return 0;
}

// poll() on one descriptor; EINTR retried with the time that is left.
// 1 when some of `events` (or an error / hang-up) is reported, 2 when
// `wake_fd` (if not negative) became readable first, 0 on time-out, negated
// error otherwise.
int PollOne(int fd, short events, uint32_t timeout_ms, int wake_fd = -1) {
  if (fd < 0) return -kENotSock;
  using Clock = std::chrono::steady_clock;
  const bool infinite = timeout_ms == kInfinite;
  const auto deadline = Clock::now() + std::chrono::milliseconds(infinite ? 0 : timeout_ms);
  for (;;) {
    int wait_ms = -1;
    if (!infinite) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - Clock::now())
                            .count();
      wait_ms = left <= 0 ? 0 : (left > INT_MAX ? INT_MAX : static_cast<int>(left));
      // Round a sub-millisecond remainder up so that we do not return early.
      if (wait_ms == 0 && deadline > Clock::now()) wait_ms = 1;
    }
    // A negative wake_fd is ignored by poll().
    pollfd p[2] = {{fd, events, 0}, {wake_fd, POLLIN, 0}};
    const int r = poll(p, 2, wait_ms);
    if (r > 0) {
      if (p[0].revents & POLLNVAL) return -kENotSock;
      if (p[0].revents != 0) return 1;
      return 2;
    }
    if (r == 0) {
      if (infinite || Clock::now() >= deadline) return 0;
      continue;
    }
    if (errno != EINTR) return LastError();
  }
}

int SetBlockingFlag(int fd, bool non_blocking) {
  const int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0) return LastError();
  const int wanted = non_blocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  if (wanted != flags && fcntl(fd, F_SETFL, wanted) != 0) return LastError();
  return 0;
}

int ResolveErrorFromGai(int rc) {
  switch (rc) {
    case EAI_NONAME: return -kHostNotFound;
    case EAI_AGAIN: return -kTryAgain;
    case EAI_FAIL: return -kNoRecovery;
    default: return -kNoData;  // EAI_NODATA, EAI_ADDRFAMILY, EAI_SYSTEM, ...
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// SockAddrV4

SockAddrV4 SockAddrV4::Make(const uint8_t ip[4], uint16_t port) {
  SockAddrV4 a;
  a.family = AF_INET;
  a.port_be = htons(port);
  std::memcpy(a.addr, ip, 4);
  return a;
}

SockAddrV4 SockAddrV4::Loopback(uint16_t port) {
  const uint8_t ip[4] = {127, 0, 0, 1};
  return Make(ip, port);
}

SockAddrV4 SockAddrV4::Any(uint16_t port) {
  const uint8_t ip[4] = {0, 0, 0, 0};
  return Make(ip, port);
}

uint16_t SockAddrV4::port() const { return ntohs(port_be); }

std::string SockAddrV4::ToString() const {
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%u.%u.%u.%u:%u", addr[0], addr[1], addr[2], addr[3],
                static_cast<unsigned>(port()));
  return buf;
}

bool SockAddrV4::operator==(const SockAddrV4& other) const {
  return std::memcmp(this, &other, sizeof(SockAddrV4)) == 0;
}

// ---------------------------------------------------------------------------
// Name resolution

int ResolveHostV4(const char* host, uint16_t port, SockAddrV4* out) {
  if (host == nullptr || out == nullptr) return -kEFault;
  in_addr dotted{};
  if (inet_pton(AF_INET, host, &dotted) == 1) {
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(port);
    sin.sin_addr = dotted;
    *out = FromNative(sin);
    return 0;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;  // one entry per address
  addrinfo* list = nullptr;
  const int rc = getaddrinfo(host, nullptr, &hints, &list);
  if (rc != 0) return ResolveErrorFromGai(rc);
  int result = -kNoData;
  for (addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
    if (ai->ai_family != AF_INET || ai->ai_addrlen < sizeof(sockaddr_in)) continue;
    sockaddr_in sin;
    std::memcpy(&sin, ai->ai_addr, sizeof(sin));
    sin.sin_port = htons(port);
    *out = FromNative(sin);
    result = 0;
    break;
  }
  freeaddrinfo(list);
  return result;
}

bool LocalHostNameResolves() {
  char name[256];
  if (gethostname(name, sizeof(name)) != 0) return false;
  name[sizeof(name) - 1] = '\0';
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &list) != 0) return false;
  const bool any = list != nullptr;
  freeaddrinfo(list);
  return any;
}

// ---------------------------------------------------------------------------
// Socket

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

Socket Socket::Open(Kind kind, int* error) {
  const int type = kind == Kind::kStream ? SOCK_STREAM : SOCK_DGRAM;
  const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    if (error != nullptr) *error = LastError();
    return Socket();
  }
  if (error != nullptr) *error = 0;
  return Socket(fd);
}

void Socket::Close() {
  if (fd_ >= 0) {
    // close() is not retried on EINTR: on Linux the descriptor is gone anyway.
    ::close(fd_);
    fd_ = -1;
  }
}

int Socket::Bind(const SockAddrV4& local) {
  const sockaddr_in sin = ToNative(local);
  if (bind(fd_, reinterpret_cast<const sockaddr*>(&sin), sizeof(sin)) != 0)
    return LastError();
  return 0;
}

int Socket::LocalAddress(SockAddrV4* out) const {
  sockaddr_in sin{};
  socklen_t len = sizeof(sin);
  if (getsockname(fd_, reinterpret_cast<sockaddr*>(&sin), &len) != 0) return LastError();
  if (sin.sin_family != AF_INET) return -kEAfNoSupport;
  if (out != nullptr) *out = FromNative(sin);
  return 0;
}

int Socket::SetReceiveBufferSize(int bytes) {
  return SetIntOption(fd_, SOL_SOCKET, SO_RCVBUF, bytes);
}

int Socket::SetSendBufferSize(int bytes) {
  return SetIntOption(fd_, SOL_SOCKET, SO_SNDBUF, bytes);
}

int Socket::SetBroadcast(bool on) {
  return SetIntOption(fd_, SOL_SOCKET, SO_BROADCAST, on ? 1 : 0);
}

int Socket::GetBroadcast(bool* on) const {
  int value = 0;
  socklen_t len = sizeof(value);
  if (getsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &value, &len) != 0) return LastError();
  if (on != nullptr) *on = value != 0;
  return 0;
}

int Socket::SetReuseAddress(bool on) {
  return SetIntOption(fd_, SOL_SOCKET, SO_REUSEADDR, on ? 1 : 0);
}

int Socket::SetNoDelay(bool on) {
  return SetIntOption(fd_, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0);
}

int Socket::SetNonBlocking(bool on) { return SetBlockingFlag(fd_, on); }

int Socket::SetResetOnClose() {
  linger l{};
  l.l_onoff = 1;
  l.l_linger = 0;
  if (setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof(l)) != 0) return LastError();
  return 0;
}

int Socket::PendingError() const {
  int err = 0;
  socklen_t len = sizeof(err);
  if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return LastError();
  return err == 0 ? 0 : -SocketErrorFromErrno(err);
}

int Socket::Connect(const SockAddrV4& peer, uint32_t timeout_ms) {
  return ConnectWaking(peer, timeout_ms, -1);
}

int Socket::Connect(const SockAddrV4& peer, uint32_t timeout_ms, const Wakeup& wakeup) {
  return ConnectWaking(peer, timeout_ms, wakeup.fd());
}

int Socket::ConnectWaking(const SockAddrV4& peer, uint32_t timeout_ms, int wake_fd) {
  if (fd_ < 0) return -kENotSock;
  int rc = SetBlockingFlag(fd_, true);
  if (rc != 0) return rc;
  const sockaddr_in sin = ToNative(peer);
  int result = 0;
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&sin), sizeof(sin)) != 0) {
    const int err = errno;
    if (err == EINPROGRESS || err == EINTR) {
      const int w = PollOne(fd_, POLLOUT, timeout_ms, wake_fd);
      if (w == 0) {
        result = -kETimedOut;
      } else if (w == 2) {
        result = -kEIntr;
      } else if (w < 0) {
        result = w;
      } else {
        result = PendingError();
      }
    } else {
      result = -SocketErrorFromErrno(err);
    }
  }
  rc = SetBlockingFlag(fd_, false);
  return result != 0 ? result : rc;
}

int Socket::Listen(int backlog) {
  if (::listen(fd_, backlog) != 0) return LastError();
  return 0;
}

Socket Socket::Accept(SockAddrV4* peer, int* error) {
  sockaddr_in sin{};
  for (;;) {
    socklen_t len = sizeof(sin);
    const int fd = accept4(fd_, reinterpret_cast<sockaddr*>(&sin), &len, SOCK_CLOEXEC);
    if (fd >= 0) {
      if (peer != nullptr) *peer = FromNative(sin);
      if (error != nullptr) *error = 0;
      return Socket(fd);
    }
    if (errno == EINTR) continue;
    if (error != nullptr) *error = LastError();
    return Socket();
  }
}

int Socket::WaitReadable(uint32_t timeout_ms) const {
  return PollOne(fd_, POLLIN, timeout_ms);
}

int Socket::WaitReadable(uint32_t timeout_ms, const Wakeup& wakeup) const {
  return PollOne(fd_, POLLIN, timeout_ms, wakeup.fd());
}

int Socket::WaitWritable(uint32_t timeout_ms) const {
  return PollOne(fd_, POLLOUT, timeout_ms);
}

int Socket::WaitWritable(uint32_t timeout_ms, const Wakeup& wakeup) const {
  return PollOne(fd_, POLLOUT, timeout_ms, wakeup.fd());
}

int Socket::SendTo(std::span<const uint8_t> bytes, const SockAddrV4& to) {
  const sockaddr_in sin = ToNative(to);
  for (;;) {
    const ssize_t n = ::sendto(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr*>(&sin), sizeof(sin));
    if (n >= 0) return static_cast<int>(n);
    if (errno != EINTR) return LastError();
  }
}

int Socket::RecvFrom(std::span<uint8_t> buffer, SockAddrV4* from) {
  for (;;) {
    sockaddr_in sin{};
    socklen_t len = sizeof(sin);
    // MSG_TRUNC: the result is the datagram's real length, so that a datagram
    // larger than the buffer can be reported as the traditional library does
    // (the buffer holds its beginning, the result is −kEMsgSize).
    const ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_TRUNC,
                                 reinterpret_cast<sockaddr*>(&sin), &len);
    if (n >= 0) {
      if (from != nullptr) {
        *from = sin.sin_family == AF_INET ? FromNative(sin) : SockAddrV4();
      }
      if (static_cast<size_t>(n) > buffer.size()) return -kEMsgSize;
      return static_cast<int>(n);
    }
    if (errno != EINTR) return LastError();
  }
}

int Socket::Send(std::span<const uint8_t> bytes) {
  for (;;) {
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n >= 0) return static_cast<int>(n);
    if (errno != EINTR) return LastError();
  }
}

int Socket::Recv(std::span<uint8_t> buffer) {
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
    if (n >= 0) return static_cast<int>(n);
    if (errno != EINTR) return LastError();
  }
}

int Socket::ShutdownBoth() {
  if (::shutdown(fd_, SHUT_RDWR) != 0) return LastError();
  return 0;
}

}  // namespace platform::net
