#include "udp_transport.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/tick.h"
#include "wire/le_bytes.h"

namespace comms {

namespace net = platform::net;
using platform::TimedLockHolder;

namespace {

// The terminals drop datagrams that follow each other too closely; a pause
// after every real packet keeps them in step.
constexpr int kPacedSendAbove = 10;
constexpr uint32_t kPaceMs = 10;

constexpr int kReceiveBufferBytes = 262144;

// Largest UDP payload; the scratch buffer holds any datagram whole.
constexpr size_t kMaxDatagram = 65536;

// Packets begin with an 8-byte header; anything shorter is noise.
constexpr size_t kMinPacket = 8;

// Code of the packets a terminal sends on its own (real-time events).
constexpr uint16_t kEventCode = 500;

bool SameEndpoint(const net::SockAddrV4& a, const net::SockAddrV4& b) {
  return a.family == b.family && a.port_be == b.port_be &&
         std::memcmp(a.addr, b.addr, sizeof(a.addr)) == 0;
}

}  // namespace

std::unique_ptr<UdpTransport> UdpTransport::Open(const char* host, int32_t port) {
  if (host == nullptr || port < 0 || port > 65535) return nullptr;

  net::Socket socket = net::Socket::Open(net::Socket::Kind::kDatagram);
  if (!socket.Valid()) return nullptr;

  net::SockAddrV4 peer;
  if (net::ResolveHostV4(host, static_cast<uint16_t>(port), &peer) != 0) return nullptr;

  // An explicit bind only where this computer has a usable name; otherwise
  // the first send binds the socket implicitly.
  if (net::LocalHostNameResolves() && socket.Bind(net::SockAddrV4::Any(0)) != 0) return nullptr;

  // A bigger queue is only a help against bursts; the socket works without.
  socket.SetReceiveBufferSize(kReceiveBufferBytes);
  if (port == kBroadcastPort && socket.SetBroadcast(true) != 0) return nullptr;

  return std::unique_ptr<UdpTransport>(new (std::nothrow) UdpTransport(std::move(socket), peer));
}

UdpTransport::UdpTransport(net::Socket socket, const net::SockAddrV4& peer)
    : socket_(std::move(socket)), peer_(peer), scratch_(kMaxDatagram) {}

UdpTransport::~UdpTransport() {
  InterruptReads();
  // A running read notices the interrupt within one slice; a send finishes
  // on its own. Neither may touch the socket once it is closed.
  read_lock_.Lock();
  send_lock_.Lock();
}

int32_t UdpTransport::Send(std::span<const uint8_t> bytes) {
  TimedLockHolder lock(send_lock_, kLockWaitMs);
  if (!lock.owns()) return 0;

  // A send means an answer is due: reading is allowed again.
  reads_blocked_.store(false);
  const int sent = socket_.SendTo(bytes, peer_);
  if (sent > kPacedSendAbove) platform::SleepMs(kPaceMs);
  return sent;
}

void UdpTransport::InterruptReads() {
  reads_blocked_.store(true);
  interrupt_epoch_.fetch_add(1);
  wakeup_.Signal();
}

bool UdpTransport::Interrupted(uint32_t epoch_at_start) const {
  return reads_blocked_.load() || interrupt_epoch_.load() != epoch_at_start;
}

// Short packets are noise. Event packets are taken only from the terminal
// this handle talks to (others on the network may send their own); replies
// are taken from any sender, as a terminal may answer from another address.
// A datagram that does not fit the caller's buffer cannot be delivered whole
// and is dropped rather than cut.
bool UdpTransport::Deliverable(std::span<const uint8_t> datagram, const net::SockAddrV4& from,
                               size_t room, bool discard) const {
  if (datagram.size() < kMinPacket) return false;
  wire::ByteReader header(datagram);
  if (header.U16() == kEventCode && !SameEndpoint(from, peer_)) return false;
  return discard || datagram.size() <= room;
}

int32_t UdpTransport::Read(std::span<uint8_t> out, uint32_t timeout_ms) {
  // Taken before the lock wait: an interrupt meant for this read counts even
  // when it comes while the read is still queuing for the lock.
  const uint32_t epoch = interrupt_epoch_.load();
  TimedLockHolder lock(read_lock_, kLockWaitMs);
  if (!lock.owns()) return 0;

  // A signal left from an earlier interrupt must not cut this read short;
  // one that comes from now on bumps the epoch as well.
  wakeup_.Drain();
  const bool discard = out.empty();
  const uint32_t start = platform::TickCount();
  for (;;) {
    if (Interrupted(epoch)) return 0;
    const uint32_t elapsed = platform::TicksSince(start);
    const uint32_t left = elapsed >= timeout_ms ? 0 : timeout_ms - elapsed;
    const uint32_t slice = std::min(left, kReadSliceMs);

    const int ready = socket_.WaitReadable(slice, wakeup_);
    if (ready < 0) return ready;
    if (ready == 2) {
      // Woken: an interrupt ends the read at the top of the loop; a stale
      // signal is taken and the wait goes on.
      wakeup_.Drain();
      if (left == 0) return 0;
      continue;
    }
    if (ready > 0) {
      net::SockAddrV4 from;
      const int got = socket_.RecvFrom(scratch_, &from);
      if (got < 0 && got != -net::kEMsgSize) return got;
      if (got >= 0) {
        const auto datagram = std::span<const uint8_t>(scratch_).first(static_cast<size_t>(got));
        if (Deliverable(datagram, from, out.size(), discard)) {
          if (!discard) std::copy(datagram.begin(), datagram.end(), out.begin());
          return got;
        }
      }
      // Dropped: wait on for the rest of the time-out, but no longer, even
      // when more unwanted datagrams keep coming.
      if (left == 0) return 0;
      continue;
    }
    if (slice == left) return 0;
  }
}

}  // namespace comms
