#include "tcp_transport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <new>
#include <utility>

#include "devoru.h"
#include "platform/debug.h"
#include "platform/tick.h"
#include "wire/le_bytes.h"

namespace tcplink {

namespace net = platform::net;
using platform::TimedLockHolder;

namespace {

constexpr int kReceiveBufferBytes = 262144;
constexpr size_t kFrameBufferBytes = TcpTransport::kMaxPacket + kFrameHeaderSize;  // 66560
// Received bytes are taken in pieces of this size; the frame reader holds
// the frame they belong to.
constexpr size_t kStagingBytes = 16384;
// The terminals need a pause after every frame (each is over 10 bytes).
constexpr uint32_t kPaceMs = 10;
// A read with less time than this left does not start a connect it could
// not finish; it waits out its time instead.
constexpr uint32_t kReadReconnectMinMs = 50;

using Clock = std::chrono::steady_clock;

uint32_t Remaining(uint32_t start, uint32_t timeout_ms) {
  const uint32_t elapsed = platform::TicksSince(start);
  return elapsed >= timeout_ms ? 0 : timeout_ms - elapsed;
}

Clock::time_point After(uint32_t ms) { return Clock::now() + std::chrono::milliseconds(ms); }

void TraceSendResult(int result) {
  if (!platform::DebugOutputEnabled()) return;
  char line[40];
  std::snprintf(line, sizeof(line), "DEVORU_SEND ret=%d\n", result);
  platform::DebugOutput(line);
}

// A reset or aborted connection, or an orderly close (0): the line is
// replaced at once.
bool CallsForReconnect(int32_t error) {
  return error == 0 || error == -net::kEConnReset || error == -net::kEConnAborted;
}

}  // namespace

std::shared_ptr<TcpTransport::Link> TcpTransport::OpenLink(const std::string& host, uint16_t port,
                                                           bool bind_local, uint32_t timeout_ms,
                                                           const net::Wakeup* wakeup,
                                                           int32_t* error) {
  net::SockAddrV4 peer;
  *error = net::ResolveHostV4(host.c_str(), port, &peer);
  if (*error != 0) return nullptr;

  // A stream socket is TCP without asking the system's protocol table,
  // which minimal systems do not have.
  int open_error = 0;
  net::Socket socket = net::Socket::Open(net::Socket::Kind::kStream, &open_error);
  if (!socket.Valid()) {
    *error = open_error;
    return nullptr;
  }
  if (bind_local) {
    *error = socket.Bind(net::SockAddrV4::Any(0));
    if (*error != 0) return nullptr;
  }
  // A bigger queue only helps against bursts; the line works without.
  socket.SetReceiveBufferSize(kReceiveBufferBytes);
  // Each frame is one write and should leave at once.
  socket.SetNoDelay(true);

  *error = wakeup != nullptr ? socket.Connect(peer, timeout_ms, *wakeup)
                             : socket.Connect(peer, timeout_ms);
  if (*error != 0) return nullptr;
  // Waits are done on readiness; no call may block past them.
  *error = socket.SetNonBlocking(true);
  if (*error != 0) return nullptr;

  auto link = std::make_shared<Link>();
  link->socket = std::move(socket);
  return link;
}

std::unique_ptr<TcpTransport> TcpTransport::Open(const char* host, int32_t port, int32_t extra,
                                                 int32_t* error) {
  *error = 0;
  if (host == nullptr || port < 0 || port > 65535) return nullptr;
  const std::string text(host);
  // An explicit bind only where this computer has a usable name; otherwise
  // the connect binds the socket itself. Asked once: the answer may take a
  // name lookup.
  const bool bind_local = net::LocalHostNameResolves();
  std::shared_ptr<Link> link =
      OpenLink(text, static_cast<uint16_t>(port), bind_local, kConnectTimeoutMs, nullptr, error);
  if (!link) return nullptr;
  link->generation = 1;
  try {
    return std::unique_ptr<TcpTransport>(
        new TcpTransport(text, static_cast<uint16_t>(port), extra, bind_local, std::move(link)));
  } catch (const std::bad_alloc&) {
    *error = kErrNoFrameBuffer;
    return nullptr;
  }
}

TcpTransport::TcpTransport(std::string host, uint16_t port, int32_t extra, bool bind_local,
                           std::shared_ptr<Link> link)
    : host_(std::move(host)),
      port_(port),
      extra_(extra),
      bind_local_(bind_local),
      link_(std::move(link)),
      frame_(kFrameBufferBytes),
      staging_(kStagingBytes) {}

TcpTransport::~TcpTransport() {
  closing_.store(true);
  InterruptReads();
  close_wakeup_.Signal();
  // A running read or send notices within one wait; neither may be inside
  // once the handle is gone.
  read_lock_.Lock();
  send_lock_.Lock();
}

void TcpTransport::InterruptReads() {
  reads_blocked_.store(true);
  interrupt_epoch_.fetch_add(1);
  wakeup_.Signal();
  // Through the mutex, so that a read about to wait for a reconnect or for
  // the reconnect spacing cannot miss the notification.
  { std::lock_guard<std::mutex> guard(mu_); }
  changed_.notify_all();
}

bool TcpTransport::Interrupted(uint32_t epoch_at_start) const {
  return closing_.load() || reads_blocked_.load() || interrupt_epoch_.load() != epoch_at_start;
}

bool TcpTransport::PacedLocked() const {
  return have_failure_ && platform::TicksSince(last_failure_tick_) < kReconnectSpacingMs;
}

int32_t TcpTransport::LastErrorLocked() const {
  return last_error_ != 0 ? last_error_ : -net::kENotConn;
}

void TcpTransport::MarkBrokenLocked(uint32_t generation, int32_t error) {
  if (link_->generation != generation) return;
  broken_ = true;
  if (error != 0) last_error_ = error;
}

TcpTransport::Attempt TcpTransport::AttemptLocked(std::unique_lock<std::mutex>& lock,
                                                  uint32_t timeout_ms,
                                                  const net::Wakeup& wakeup) {
  connecting_ = true;
  lock.unlock();
  platform::DebugOutput("tcp reset, connect again\n");
  int32_t error = 0;
  std::shared_ptr<Link> fresh = OpenLink(host_, port_, bind_local_, timeout_ms, &wakeup, &error);
  if (fresh) platform::DebugOutput("tcp reset succ\r\n");
  lock.lock();
  connecting_ = false;
  changed_.notify_all();

  if (fresh) {
    fresh->generation = ++generation_;
    // The old connection closes as soon as no thread uses it any more.
    link_ = std::move(fresh);
    broken_ = false;
    failures_ = 0;
    have_failure_ = false;
    sends_since_read_.store(0);
    // A read waiting on the old connection moves over to the new one.
    wakeup_.Signal();
    return Attempt::kConnected;
  }
  // Cut short by an interrupt, by closing, or by a read's own time: not a
  // verdict on the terminal, so neither counted nor spaced.
  if (error == -net::kEIntr || (error == -net::kETimedOut && timeout_ms < kConnectTimeoutMs)) {
    return Attempt::kCutShort;
  }
  ++failures_;
  have_failure_ = true;
  last_failure_tick_ = platform::TickCount();
  last_error_ = error;
  diagnostic_.store(error);
  return Attempt::kFailed;
}

// ---------------------------------------------------------------------------
// Sending

int32_t TcpTransport::RenewForSend(std::unique_lock<std::mutex>& lock, uint32_t generation) {
  for (;;) {
    if (closing_.load()) return 0;
    if (connecting_) {
      changed_.wait(lock, [this] { return !connecting_ || closing_.load(); });
      continue;
    }
    // Another thread has made a new connection meanwhile: it is used.
    if (link_->generation != generation && !broken_) return 0;
    // Given up, or too soon after a failed attempt: the last error at once.
    if (failures_ >= kReconnectLimit || PacedLocked()) return LastErrorLocked();
    switch (AttemptLocked(lock, kConnectTimeoutMs, close_wakeup_)) {
      case Attempt::kConnected:
        return 0;
      case Attempt::kCutShort:
        return 0;  // closing
      case Attempt::kFailed:
        return LastErrorLocked();
    }
  }
}

TcpTransport::WriteOutcome TcpTransport::WriteFrame(Link& link,
                                                    std::span<const uint8_t> packet) {
  wire::ByteWriter writer(frame_);
  writer.Bytes(kFrameMagic);
  writer.U32(static_cast<uint32_t>(packet.size()));
  writer.Bytes(packet);
  const std::span<const uint8_t> frame = writer.written();

  // One write for the whole frame; more only when the line takes it in
  // parts. A frame is sent whole or the stream is lost.
  size_t done = 0;
  const uint32_t start = platform::TickCount();
  while (done < frame.size()) {
    const int n = link.socket.Send(frame.subspan(done));
    TraceSendResult(n);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n != 0 && n != -net::kEWouldBlock) return {n, true};
    const uint32_t left = Remaining(start, kSendWaitMs);
    if (left == 0) break;
    const int ready = link.socket.WaitWritable(left, close_wakeup_);
    if (ready == 2) break;  // closing
    if (ready < 0) return {ready, true};
  }
  if (done == frame.size()) return {static_cast<int32_t>(done), false};
  diagnostic_.store(kErrFrameNotSent);
  // Nothing left: the stream is intact and the line only slow.
  return {-net::kETimedOut, done != 0};
}

int32_t TcpTransport::Send(std::span<const uint8_t> packet) {
  if (packet.empty() || packet.size() > kMaxPacket) return 0;
  TimedLockHolder hold(send_lock_, kLockWaitMs);
  if (!hold.owns()) {
    diagnostic_.store(kErrLockTimeout);
    return 0;
  }
  // A send means an answer is due: reading is allowed again.
  reads_blocked_.store(false);

  std::shared_ptr<Link> link;
  {
    std::unique_lock<std::mutex> lock(mu_);
    if (closing_.load()) return 0;
    // A line known to be gone is replaced before anything goes out; so is
    // one that took several frames without a word back. The frame then goes
    // out on the new connection.
    bool renew = broken_;
    if (sends_since_read_.load() >= kUnansweredLimit) {
      sends_since_read_.store(0);
      renew = true;
    }
    if (renew) {
      const int32_t r = RenewForSend(lock, link_->generation);
      if (r != 0 || closing_.load()) return r;
    }
    link = link_;
  }

  const WriteOutcome out = WriteFrame(*link, packet);
  if (out.result > 0) {
    sends_since_read_.fetch_add(1);
    platform::SleepMs(kPaceMs);
    return out.result;
  }
  diagnostic_.store(out.result);
  if (!out.stream_broken) return out.result;

  // The stream is lost: a new connection, and the engine sends again.
  std::unique_lock<std::mutex> lock(mu_);
  MarkBrokenLocked(link->generation, out.result);
  const int32_t r = RenewForSend(lock, link->generation);
  if (r != 0) return r;
  return closing_.load() ? 0 : DEVORU_RECONNECTED;
}

// ---------------------------------------------------------------------------
// Reading

int32_t TcpTransport::TakeFrame(std::span<uint8_t> out) {
  while (!frames_.Ready() && staged_begin_ < staged_end_) {
    staged_begin_ += frames_.Feed(
        std::span<const uint8_t>(staging_).subspan(staged_begin_, staged_end_ - staged_begin_));
  }
  if (frames_.headers_seen() != headers_taken_) {
    // The terminal answers: the line is alive.
    headers_taken_ = frames_.headers_seen();
    sends_since_read_.store(0);
    platform::DebugOutput("###################read head\n");
  }
  if (!frames_.Ready()) return -1;
  const std::span<const uint8_t> packet = frames_.Packet();
  int32_t result = 0;
  // A packet the caller has no room for is dropped whole, never cut.
  if (packet.size() <= out.size()) {
    std::copy(packet.begin(), packet.end(), out.begin());
    result = static_cast<int32_t>(packet.size());
  }
  frames_.Release();
  return result;
}

int32_t TcpTransport::RepairForRead(uint32_t generation, uint32_t start, uint32_t timeout_ms,
                                    uint32_t epoch) {
  std::unique_lock<std::mutex> lock(mu_);
  const auto replaced = [&] { return link_->generation != generation; };
  const auto deadline = After(Remaining(start, timeout_ms));
  for (;;) {
    if (Interrupted(epoch)) return 0;
    if (replaced()) return kSwapped;
    if (failures_ >= kReconnectLimit) return LastErrorLocked();
    const uint32_t left = Remaining(start, timeout_ms);
    if (left == 0) return 0;
    if (connecting_) {
      changed_.wait_until(lock, deadline, [&] { return !connecting_ || Interrupted(epoch); });
      continue;
    }
    if (PacedLocked()) {
      // The read waits out the spacing (or its own time) and tries again.
      const uint32_t spacing_left =
          kReconnectSpacingMs - std::min(kReconnectSpacingMs,
                                         platform::TicksSince(last_failure_tick_));
      changed_.wait_until(lock, std::min(deadline, After(spacing_left)),
                          [&] { return Interrupted(epoch) || replaced(); });
      continue;
    }
    if (left < kReadReconnectMinMs) {
      changed_.wait_until(lock, deadline, [&] { return Interrupted(epoch) || replaced(); });
      continue;
    }
    // A signal taken here is one this read has seen: an interrupt shows in
    // the flags, looked at once more before the connect.
    wakeup_.Drain();
    if (Interrupted(epoch)) return 0;
    switch (AttemptLocked(lock, std::min(kConnectTimeoutMs, left), wakeup_)) {
      case Attempt::kConnected:
        return DEVORU_RECONNECTED;
      case Attempt::kCutShort:
        // The line stays broken; the next send reconnects first.
        return 0;
      case Attempt::kFailed:
        continue;
    }
  }
}

int32_t TcpTransport::Read(std::span<uint8_t> out, uint32_t timeout_ms) {
  timeout_ms = std::min(timeout_ms, kMaxReadTimeoutMs);
  // Taken before the lock wait: an interrupt meant for this read counts even
  // when it comes while the read is still queuing for the lock.
  const uint32_t epoch = interrupt_epoch_.load();
  const uint32_t start = platform::TickCount();
  TimedLockHolder hold(read_lock_, std::min(kLockWaitMs, timeout_ms));
  if (!hold.owns()) {
    diagnostic_.store(kErrLockTimeout);
    return 0;
  }
  // A signal left from an earlier interrupt or reconnect must not cut this
  // read short; one that matters from now on shows in the flags as well.
  wakeup_.Drain();

  bool first_wait = true;
  for (;;) {
    if (Interrupted(epoch)) return 0;
    std::shared_ptr<Link> link;
    bool broken = false;
    {
      std::lock_guard<std::mutex> lock(mu_);
      link = link_;
      broken = broken_;
    }
    if (link->generation != parsed_generation_) {
      // A new connection: what was received on the old one is meaningless.
      frames_.Reset();
      staged_begin_ = staged_end_ = 0;
      parsed_generation_ = link->generation;
    }
    const int32_t whole = TakeFrame(out);
    if (whole >= 0) return whole;

    if (broken) {
      const int32_t r = RepairForRead(link->generation, start, timeout_ms, epoch);
      if (r == kSwapped) continue;
      return r;
    }

    // Once the time is up only what is already there is taken, so neither
    // a trickle nor a flood holds the read past its time-out.
    const uint32_t left = Remaining(start, timeout_ms);
    if (left == 0 && !first_wait) {
      diagnostic_.store(kErrReadTimedOut);
      return 0;
    }
    first_wait = false;
    const int ready = link->socket.WaitReadable(left, wakeup_);
    if (ready == 2) {
      // An interrupt ends the read at the top of the loop; a new connection
      // is picked up there; a stale signal is taken and the wait goes on.
      wakeup_.Drain();
      continue;
    }
    if (ready == 0) {
      diagnostic_.store(kErrNoData);
      continue;
    }
    int got = ready < 0 ? ready : link->socket.Recv(staging_);
    if (got == -net::kEWouldBlock || got == -net::kEIntr) continue;
    if (got > 0) {
      staged_begin_ = 0;
      staged_end_ = static_cast<size_t>(got);
      continue;
    }
    // Closed by the peer (0) or failed: the line is gone.
    diagnostic_.store(got);
    {
      std::lock_guard<std::mutex> lock(mu_);
      MarkBrokenLocked(link->generation, got);
    }
    // A close or a reset is repaired at once (next turn); any other failure
    // is reported, and the next send or read repairs it.
    if (!CallsForReconnect(got)) return got;
  }
}

}  // namespace tcplink
