// Bounds on the engine's waits: the overall deadline of a bulk read, and a
// cancel (DEVWIRE_SetOperate with 1) that cuts every cancellable wait short.
//
// Waits for the reader thread, and reads of transports that cannot be
// interrupted, are cut into slices of kCancelSliceMs so that a cancel from
// another thread is seen within one slice; other reads are interrupted
// through the transport.
#pragma once

#include <cstdint>
#include <optional>

namespace devwire {

struct EngineConnection;

// A cancelled or bounded wait notices within this long.
inline constexpr uint32_t kCancelSliceMs = 50;

// The deadline of one bulk read, from its construction to its end. Scopes
// nest: an inner read never extends the deadline of the read it serves.
class DeadlineScope {
 public:
  explicit DeadlineScope(EngineConnection& connection);
  ~DeadlineScope();
  DeadlineScope(const DeadlineScope&) = delete;
  DeadlineScope& operator=(const DeadlineScope&) = delete;

  // The read must be done `ms` from now, unless an earlier deadline holds.
  void Limit(uint64_t ms);

 private:
  EngineConnection& c_;
  bool had_ = false;
  uint32_t saved_ = 0;
};

// Lifts the deadline for what must go out after it passed: releasing the
// terminal's prepared data, with its own time-out.
class DeadlineExempt {
 public:
  explicit DeadlineExempt(EngineConnection& connection);
  ~DeadlineExempt();
  DeadlineExempt(const DeadlineExempt&) = delete;
  DeadlineExempt& operator=(const DeadlineExempt&) = delete;

 private:
  EngineConnection& c_;
  bool had_ = false;
};

// Milliseconds left of the deadline in force (0 once it passed); nullopt
// when none is.
std::optional<uint32_t> DeadlineLeft(const EngineConnection& connection);
bool DeadlinePassed(const EngineConnection& connection);

// `wait_ms` (negative as 0) shortened to what is left of the deadline.
int64_t WithinDeadline(const EngineConnection& connection, int64_t wait_ms);

// True when the wait of a `cancellable` operation is to end now.
bool CutShort(const EngineConnection& connection, bool cancellable);

// One transport read of up to `timeout_ms`, shortened to the deadline and
// ended early by a cancel (when `cancellable`): through DEVORU_TERMINALREAD
// where the transport has it, else by reading in slices. Returns what the
// transport returned; 0 when nothing came in time.
int32_t BoundedRead(EngineConnection& connection, uint8_t* buffer, int32_t size, int32_t timeout_ms,
                    bool cancellable);

// From the cancelling thread: ends a cancellable read running on the
// connection's calling thread.
void InterruptDirectRead(EngineConnection& connection);

// Sleeps `ms`, ended early like a read.
void BoundedSleep(EngineConnection& connection, uint32_t ms, bool cancellable);

}  // namespace devwire
