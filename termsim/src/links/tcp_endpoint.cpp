#include "links/tcp_endpoint.h"

#include <algorithm>

#include "platform/tick.h"
#include "links/tcp_frame.h"
#include "wire/codes.h"
#include "wire/packet.h"

namespace termsim {

namespace net = platform::net;

namespace {

// What one receive takes at most.
constexpr size_t kReadBytes = 65536;
constexpr int kBacklog = 16;
// What an oversized frame announces: far beyond any packet.
constexpr uint32_t kOversizeLength = 0x00100000;

bool IsDataPacket(std::span<const uint8_t> packet) {
  const auto view = wire::ParsePacket(packet);
  return view && view->header.code == wire::CMD_DATA;
}

}  // namespace

bool TcpEndpoint::Start(const std::string& address, uint16_t port, Handler handler) {
  std::lock_guard control(control_mu_);
  if (running()) return false;
  address_ = address;
  port_ = port;
  handler_ = std::move(handler);
  stopping_ = false;
  accepted_ = 0;
  if (!Listen()) return false;
  running_ = true;
  // Faults set before the start still hold.
  if (plan_.refuse()) StopListening();
  return true;
}

void TcpEndpoint::Stop() {
  std::lock_guard control(control_mu_);
  stopping_ = true;
  StopListening();
  DropAll();
  running_ = false;
}

bool TcpEndpoint::Listen() {
  net::SockAddrV4 local;
  if (net::ResolveHostV4(address_.c_str(), port_, &local) != 0) return false;
  net::Socket socket = net::Socket::Open(net::Socket::Kind::kStream);
  if (!socket.Valid()) return false;
  // Listening again on the port must not wait for old connections to time out.
  if (socket.SetReuseAddress(true) != 0 || socket.Bind(local) != 0 ||
      socket.Listen(kBacklog) != 0)
    return false;
  net::SockAddrV4 bound;
  if (socket.LocalAddress(&bound) != 0) return false;
  listener_ = std::move(socket);
  port_ = bound.port();
  accept_stop_ = false;
  accept_wakeup_.Drain();
  if (!accept_thread_.Start([this] { AcceptLoop(); })) {
    listener_.Close();
    return false;
  }
  return true;
}

void TcpEndpoint::StopListening() {
  accept_stop_ = true;
  accept_wakeup_.Signal();
  accept_thread_.Join();
  listener_.Close();
}

void TcpEndpoint::SetFaults(const StreamFaults& faults) {
  std::lock_guard control(control_mu_);
  const bool was_refusing = plan_.refuse();
  plan_.Set(faults);
  if (!running()) return;
  if (faults.refuse && !was_refusing) {
    StopListening();
    DropAll();
  } else if (!faults.refuse && was_refusing) {
    Listen();
  }
}

bool TcpEndpoint::ResumeListening() {
  std::lock_guard control(control_mu_);
  if (!running()) return false;
  plan_.set_refuse(false);
  if (accept_thread_.Running()) return true;
  return Listen();
}

void TcpEndpoint::AcceptLoop() {
  while (!accept_stop_) {
    Reap();
    const int ready = listener_.WaitReadable(kPollMs, accept_wakeup_);
    if (ready == 2) {
      accept_wakeup_.Drain();
      continue;
    }
    if (ready < 0) platform::SleepMs(kPollMs);  // do not spin on a broken socket
    if (ready != 1) continue;
    net::SockAddrV4 from;
    net::Socket socket = listener_.Accept(&from);
    if (!socket.Valid()) continue;
    ++accepted_;
    // Each frame leaves as it is written, and writes never block the writer
    // beyond its own time limit.
    if (socket.SetNoDelay(true) != 0 || socket.SetNonBlocking(true) != 0) continue;

    auto c = std::make_shared<Connection>();
    c->address = from;
    c->socket = std::move(socket);
    {
      std::lock_guard lock(mu_);
      if (connections_.size() >= kMaxConnections) continue;  // closed as it goes
      c->number = next_number_++;
      connections_[c->number] = c;
    }
    if (!c->thread.Start([this, raw = c.get()] { Serve(raw); })) {
      std::lock_guard lock(mu_);
      connections_.erase(c->number);
    }
  }
}

void TcpEndpoint::Serve(Connection* c) {
  const Peer peer = Peer::Tcp(c->number, c->address);
  FrameSplitter splitter;
  std::vector<uint8_t> buffer(kReadBytes);
  std::vector<uint8_t> packet;
  while (!stopping_ && !c->closing) {
    FlushHeldIfDue(*c);
    const int ready = c->socket.WaitReadable(kPollMs, c->wakeup);
    if (ready == 2) {
      c->wakeup.Drain();
      continue;
    }
    if (ready < 0) break;
    if (ready == 0) continue;
    const int got = c->socket.Recv(buffer);
    if (got == -net::kEWouldBlock) continue;
    if (got <= 0) break;  // the host closed, or the connection broke
    splitter.Feed(std::span<const uint8_t>(buffer).first(static_cast<size_t>(got)));
    while (!c->closing) {
      const FrameSplitter::Status status = splitter.Next(&packet);
      if (status == FrameSplitter::Status::kNeedMore) break;
      if (status != FrameSplitter::Status::kPacket) {
        Drop(*c, false);  // not framed as a host frames: nothing more is read
        break;
      }
      handler_(packet, peer);
    }
  }
  {
    // Writers finish (or give up) first; the socket is closed only here.
    std::lock_guard write(c->write_mu);
    c->closing = true;
    c->held.clear();
    if (c->reset) c->socket.SetResetOnClose();
    c->socket.Close();
  }
  c->done = true;
}

void TcpEndpoint::Reap() {
  std::vector<std::shared_ptr<Connection>> ended;
  {
    std::lock_guard lock(mu_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      if (it->second->done) {
        ended.push_back(it->second);
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (const auto& c : ended) c->thread.Join();
}

void TcpEndpoint::DropAll() {
  std::vector<std::shared_ptr<Connection>> all;
  {
    std::lock_guard lock(mu_);
    for (const auto& [number, c] : connections_) all.push_back(c);
    connections_.clear();
  }
  for (const auto& c : all) Drop(*c, false);
  for (const auto& c : all) c->thread.Join();
}

std::shared_ptr<TcpEndpoint::Connection> TcpEndpoint::Find(const Peer& peer) const {
  if (peer.link != Link::kTcp) return nullptr;
  std::lock_guard lock(mu_);
  const auto it = connections_.find(peer.connection);
  return it == connections_.end() ? nullptr : it->second;
}

void TcpEndpoint::Drop(Connection& c, bool reset) {
  if (reset) c.reset = true;
  c.closing = true;
  c.wakeup.Signal();
}

bool TcpEndpoint::CutAfterRequest(const Peer& from) {
  if (from.link != Link::kTcp) return false;
  const StreamFaultPlan::Cut cut = plan_.OnRequest();
  if (cut == StreamFaultPlan::Cut::kNone) return false;
  if (const auto c = Find(from)) Drop(*c, cut == StreamFaultPlan::Cut::kReset);
  return true;
}

void TcpEndpoint::AppendFrame(std::span<const uint8_t> packet, std::vector<uint8_t>& out) {
  const StreamFaultPlan::FrameShape shape = plan_.NextFrame();
  const auto length = static_cast<uint32_t>(packet.size());
  auto header = FrameHeader(shape.oversize ? kOversizeLength : length);
  if (shape.bad_magic) header[3] ^= 0x03;  // one byte off: 50 50 82 7E
  out.insert(out.end(), header.begin(), header.end());
  out.insert(out.end(), packet.begin(), packet.end());
}

bool TcpEndpoint::Send(const Peer& to, std::span<const uint8_t> packet, bool hold) {
  const std::vector<uint8_t> one(packet.begin(), packet.end());
  return Send(to, std::span<const std::vector<uint8_t>>(&one, 1), hold);
}

bool TcpEndpoint::Send(const Peer& to, std::span<const std::vector<uint8_t>> packets, bool hold) {
  const auto c = Find(to);
  if (c == nullptr) return false;
  const StreamFaultPlan::Writing writing = plan_.writing();
  std::lock_guard write(c->write_mu);
  if (c->closing || !c->socket.Valid()) return false;

  bool cut = false;  // a reset falls due after one of these data packets
  if (writing.coalesce) {
    if (c->held.empty()) c->held_since = platform::TickCount();
    for (const auto& packet : packets) {
      AppendFrame(packet, c->held);
      if (IsDataPacket(packet) && plan_.OnDataPacket()) {
        cut = true;
        break;
      }
    }
    if (hold && !cut) return true;
    const bool written = WriteBytes(*c, c->held, writing);
    c->held.clear();
    if (cut) Drop(*c, true);
    return written && !cut;
  }

  // Frames held while coalescing was on go first.
  if (!c->held.empty()) {
    const bool written = WriteBytes(*c, c->held, writing);
    c->held.clear();
    if (!written) return false;
  }
  std::vector<uint8_t> frame;
  for (const auto& packet : packets) {
    frame.clear();
    AppendFrame(packet, frame);
    if (!WriteBytes(*c, frame, writing)) return false;
    if (IsDataPacket(packet) && plan_.OnDataPacket()) {
      Drop(*c, true);
      return false;
    }
  }
  return true;
}

bool TcpEndpoint::WriteBytes(Connection& c, std::span<const uint8_t> bytes,
                             const StreamFaultPlan::Writing& writing) {
  const size_t piece = writing.split_bytes > 0 ? writing.split_bytes : bytes.size();
  uint32_t progress = platform::TickCount();
  size_t offset = 0;
  while (offset < bytes.size()) {
    if (offset > 0 && writing.split_bytes > 0) platform::SleepMs(writing.split_pause_ms);
    const auto part = bytes.subspan(offset, std::min(piece, bytes.size() - offset));
    size_t done = 0;
    while (done < part.size()) {
      if (stopping_ || c.closing) return false;
      const int sent = c.socket.Send(part.subspan(done));
      if (sent > 0) {
        done += static_cast<size_t>(sent);
        progress = platform::TickCount();
        continue;
      }
      if (sent != -net::kEWouldBlock && sent != 0) {
        Drop(c, false);
        return false;
      }
      if (platform::TicksSince(progress) > kStalledWriteMs) {
        Drop(c, false);
        return false;
      }
      c.socket.WaitWritable(kPollMs);
    }
    offset += part.size();
  }
  return true;
}

void TcpEndpoint::FlushHeldIfDue(Connection& c) {
  std::lock_guard write(c.write_mu);
  if (c.held.empty() || platform::TicksSince(c.held_since) < kHoldMs) return;
  WriteBytes(c, c.held, plan_.writing());
  c.held.clear();
}

}  // namespace termsim
