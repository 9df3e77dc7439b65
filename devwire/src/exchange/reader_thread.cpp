#include "exchange/reader_thread.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <new>
#include <span>
#include <vector>

#include "devwire.h"
#include "connection/engine_connection.h"
#include "exchange/event_ack.h"
#include "exchange/line_status.h"
#include "platform/tick.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"
#include "wire/packet.h"

namespace devwire {
namespace {

// A turn waits this long to be allowed to read before it looks again.
constexpr std::chrono::milliseconds kArmWait{200};
// The read time-out between commands.
constexpr int32_t kIdleReadMs = 1000;
// After a line failure that no exchange waits for, the next read waits a
// little, so a dead line is not hammered.
constexpr uint32_t kLineFailurePauseMs = 100;
// A read that comes back empty at once (the transport was told to stop
// reading until its next send) is not repeated straight away either.
constexpr uint32_t kQuickReadMs = 2;
constexpr uint32_t kEmptyReadPauseMs = 20;

// The reader state of the thread running this code, if it is a reader.
thread_local const ReaderState* t_reader_state = nullptr;

class Reader {
 public:
  Reader(EngineConnection& connection, std::shared_ptr<ReaderState> state, uint64_t generation)
      : c_(connection),
        state_(std::move(state)),
        generation_(generation),
        buffer_(connection.receive_buffer.size()) {}

  void Run() {
    t_reader_state = state_.get();
    while (Turn()) {
    }
    std::lock_guard lock(state_->mu);
    state_->exited.insert(generation_);
    state_->changed.notify_all();
  }

 private:
  using Lock = std::unique_lock<std::mutex>;

  struct ReadPlan {
    DEVORU_READ_FN read = nullptr;
    DEVORU_HANDLE transport = nullptr;
    size_t capacity = 0;
    int32_t timeout_ms = 0;
  };

  // Still the connection's reader, and the connection still open.
  bool Current() const { return !state_->stopping && state_->generation == generation_; }

  // One turn: wait to be allowed to read, read one packet, act on it.
  // False when the reader must end. (A dial-up line that is being set up
  // reads modem answers instead of packets; that turn belongs to the serial
  // line support and is not taken here.)
  bool Turn() {
    ReadPlan plan;
    {
      Lock lock(state_->mu);
      if (!Current()) return false;
      if (!state_->armed) {
        state_->changed.wait_for(lock, kArmWait, [this] { return !Current() || state_->armed; });
        return true;
      }
      plan.read = c_.entry().read;
      plan.transport = c_.transport;
      plan.capacity = std::min(buffer_.size(), static_cast<size_t>(c_.receive_length.load()));
      const int32_t timeout = c_.read_timeout.load();
      plan.timeout_ms = timeout > 0 ? timeout : kIdleReadMs;
      state_->in_read = true;
      state_->read_timeout_ms = plan.timeout_ms;
      c_.reader_idle.Reset();
    }

    const uint32_t start = platform::TickCount();
    const int32_t got = plan.read(plan.transport, buffer_.data(),
                                  static_cast<int32_t>(plan.capacity), plan.timeout_ms);
    const uint32_t took = platform::TicksSince(start);

    Lock lock(state_->mu);
    // Retired while inside the read: a newer reader owns everything now.
    if (state_->generation != generation_) return false;
    state_->in_read = false;
    c_.reader_idle.Set();
    state_->changed.notify_all();
    if (state_->stopping) return false;
    return Act(lock, got, took, plan.capacity);
  }

  bool Act(Lock& lock, int32_t got, uint32_t took, size_t capacity) {
    if (IsLineFailure(got)) {
      RecordLineFailure(c_, got);
      if (!WakeExchange(kLineFailureMarker)) Pause(lock, kLineFailurePauseMs);
      return true;
    }
    if (got <= 0) {
      if (took < kQuickReadMs) Pause(lock, kEmptyReadPauseMs);
      return true;
    }
    // A runt cannot carry a header; a count beyond the buffer means a broken
    // transport. Neither is looked at any further.
    if (static_cast<size_t>(got) < wire::kHeaderSize || static_cast<size_t>(got) > capacity) {
      return true;
    }
    const auto packet = std::span<const uint8_t>(buffer_).first(static_cast<size_t>(got));
    if (!wire::ChecksumValid(packet)) {
      c_.last_error = DEVWIRE_E_BAD_CHECKSUM;
      WakeExchange(kBadPacketMarker);
      return true;
    }
    const wire::PacketView view = *wire::ParsePacket(packet);
    if (view.header.code == wire::kEventPacket) return DeliverEvent(lock, view);
    HandReply(view, packet);
    return true;
  }

  // Hands a reply to the waiting exchange when it is the one it waits for.
  void HandReply(const wire::PacketView& view, std::span<const uint8_t> packet) {
    // Nobody waits: a late duplicate of a command already answered. It is
    // dropped and reading goes on, so events keep flowing.
    if (!state_->awaited) return;
    if (wire::CounterOlder(view.header.reply_counter, *state_->awaited)) {
      c_.last_error = DEVWIRE_E_STALE_REPLY;
      return;
    }
    // Our buffer is never larger than receive_buffer.
    std::copy(packet.begin(), packet.end(), c_.receive_buffer.begin());
    c_.reply_length = static_cast<int32_t>(view.payload.size());
    Settle();
  }

  // Wakes a waiting exchange without a reply: it goes on to its next
  // attempt at once. False when no exchange waits.
  bool WakeExchange(uint16_t marker) {
    if (!state_->awaited) return false;
    wire::ByteWriter(c_.receive_buffer).U16(marker);
    Settle();
    return true;
  }

  // The waiting exchange has what it waited for; the reader holds still
  // until the exchange lets it read again.
  void Settle() {
    state_->armed = false;
    state_->awaited.reset();
    c_.read_request.Reset();
    c_.reply_ready.Set();
    state_->changed.notify_all();
  }

  // Waits up to `ms`, or until the exchange side arms or disarms.
  void Pause(Lock& lock, uint32_t ms) {
    const uint64_t seen = state_->arm_changes;
    state_->changed.wait_for(lock, std::chrono::milliseconds(ms),
                             [&] { return !Current() || state_->arm_changes != seen; });
  }

  // Delivers an event once and acknowledges it every time it comes, so the
  // terminal stops resending it.
  bool DeliverEvent(Lock& lock, const wire::PacketView& view) {
    const uint16_t counter = view.header.reply_counter;
    const uint16_t last = state_->last_event_counter;
    // A terminal that does not number its events sends 0 every time; those
    // are always delivered.
    const bool deliver = c_.event_callback != nullptr && (counter != last || last == 0);
    if (deliver) state_->last_event_counter = counter;
    const uint16_t ack_id = state_->ack_connection_id;
    lock.unlock();

    if (deliver) {
      c_.event_callback(c_.event_context, view.header.connection_id,
                        static_cast<int32_t>(view.payload.size()), view.payload.data());
    }

    lock.lock();
    // The callback may have closed the connection; then none of it may be
    // touched any more.
    if (!Current()) return false;
    lock.unlock();
    const int32_t sent = Acknowledge(ack_id, counter);
    lock.lock();
    if (!Current()) return false;
    if (IsLineFailure(sent)) {
      RecordLineFailure(c_, sent);
      if (!WakeExchange(kLineFailureMarker)) Pause(lock, kLineFailurePauseMs);
    }
    return true;
  }

  int32_t Acknowledge(uint16_t connection_id, uint16_t event_counter) {
    std::array<uint8_t, wire::kHeaderSize> ack{};
    wire::BuildPacket(wire::CMD_ACK_OK, connection_id, event_counter, {}, ack);
    return c_.entry().send(c_.transport, ack.data(), static_cast<int32_t>(ack.size()));
  }

  EngineConnection& c_;
  const std::shared_ptr<ReaderState> state_;  // outlives the connection if need be
  const uint64_t generation_;
  std::vector<uint8_t> buffer_;  // the reader's own: nothing else writes it
};

}  // namespace

bool LaunchReader(EngineConnection& connection) {
  ReaderState& state = *connection.reader;
  try {
    auto reader = std::make_shared<Reader>(connection, connection.reader, state.generation);
    return state.current.Start([reader] { reader->Run(); });
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool OnReaderThread(const EngineConnection& connection) {
  return connection.reader != nullptr && t_reader_state == connection.reader.get();
}

}  // namespace devwire
