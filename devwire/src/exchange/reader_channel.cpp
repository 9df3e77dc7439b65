#include "exchange/reader_channel.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "connection/engine_connection.h"
#include "exchange/line_status.h"
#include "platform/event.h"
#include "exchange/reader_thread.h"
#include "trace.h"

namespace devwire {
namespace {

using Lock = std::unique_lock<std::mutex>;

constexpr uint32_t kReaderLeaveReadMs = 5000;  // a transport read ends well within this
constexpr uint32_t kReaderQuiesceMs = 6000;
// Replaced readers still inside their read. Beyond this many a stuck reader
// is waited for instead of replaced again.
constexpr size_t kMaxRetiredReaders = 4;

uint32_t ClampWait(int64_t ms) {
  return static_cast<uint32_t>(std::clamp<int64_t>(ms, 0, platform::kInfinite - 1));
}

// The exchange side changes what the reader may do; the reader notices at
// once, whatever it waits for.
void Disarm(EngineConnection& c, ReaderState& s) {
  s.armed = false;
  ++s.arm_changes;
  c.read_request.Reset();
  s.changed.notify_all();
}

void Arm(EngineConnection& c, ReaderState& s) {
  s.armed = true;
  ++s.arm_changes;
  s.ack_connection_id = c.connection_id;
  c.read_request.Set();
  s.changed.notify_all();
}

// Joins replaced readers that have ended since.
void ReapRetired(ReaderState& s) {
  for (auto it = s.retired.begin(); it != s.retired.end();) {
    if (s.exited.erase(it->generation) != 0) {
      it->thread.Join();  // it has left its loop; only the return is left
      it = s.retired.erase(it);
    } else {
      ++it;
    }
  }
}

// A reader that stays inside a transport read is left to finish that read
// alone: it is retired (it ends when the read returns, touching nothing
// else) and a new reader takes over the connection.
void ReplaceStuckReader(EngineConnection& c, ReaderState& s) {
  ReapRetired(s);
  if (s.retired.size() >= kMaxRetiredReaders) return;
  s.retired.push_back(RetiredReader{s.generation, std::move(s.current)});
  ++s.generation;
  s.in_read = false;
  c.reader_idle.Set();
  s.changed.notify_all();
  TraceLine(LaunchReader(c) ? "reader replaced" : "reader could not be replaced");
}

// Takes the reader out of a transport read: the transport is asked to end
// the read, then the reader is given `wait_ms` to leave it.
void LeaveRead(EngineConnection& c, Lock& lock, uint32_t wait_ms, bool replace_stuck) {
  ReaderState& s = *c.reader;
  if (!s.in_read) return;
  if (c.entry().terminal_read != nullptr) {
    lock.unlock();
    c.entry().terminal_read(c.transport);
    lock.lock();
  }
  if (s.changed.wait_for(lock, std::chrono::milliseconds(wait_ms), [&] { return !s.in_read; })) {
    return;
  }
  if (replace_stuck) ReplaceStuckReader(c, s);
}

}  // namespace

bool StartReader(EngineConnection& connection) {
  try {
    connection.reader = std::make_shared<ReaderState>();
  } catch (const std::bad_alloc&) {
    return false;
  }
  ReaderState& s = *connection.reader;
  std::lock_guard lock(s.mu);
  s.armed = connection.read_request.IsSet();
  return LaunchReader(connection);
}

void DisarmReader(EngineConnection& connection, int32_t timeout_ms, uint16_t awaited) {
  ReaderState& s = *connection.reader;
  Lock lock(s.mu);
  Disarm(connection, s);
  connection.reply_ready.Reset();
  s.awaited = awaited;
  // Without DEVORU_TERMINALREAD the reader cannot be interrupted: it is only
  // held back at its next turn. A read it is running may still bring the
  // reply, which it hands over by its sequence number like any other.
  if (connection.entry().terminal_read != nullptr) {
    LeaveRead(connection, lock, kReaderLeaveReadMs, true);
  }
  connection.read_timeout = timeout_ms;
}

WaitVerdict AwaitReply(EngineConnection& connection, int64_t wait_ms) {
  {
    ReaderState& s = *connection.reader;
    std::lock_guard lock(s.mu);
    // Unless the reply (or a failure) has been handed over already.
    if (s.awaited) Arm(connection, s);
  }
  if (connection.reply_ready.Wait(ClampWait(wait_ms))) return WaitVerdict::kReplyReady;
  return ClassifyWaitTimeout(connection.attempt_line_failure);
}

WaitVerdict ClassifyWaitTimeout(int32_t attempt_line_failure) {
  if (IsSocketFailure(attempt_line_failure) || attempt_line_failure == DEVORU_LINE_LOST) {
    return WaitVerdict::kStop;
  }
  if (attempt_line_failure == DEVORU_RECONNECTED) return WaitVerdict::kRestart;
  return WaitVerdict::kNextAttempt;
}

void RearmReader(EngineConnection& connection) {
  if (connection.synchronous || !connection.reader) return;
  ReaderState& s = *connection.reader;
  std::lock_guard lock(s.mu);
  s.awaited.reset();
  connection.read_timeout = 0;  // idle reads, not the last command's time-out
  Arm(connection, s);
}

void HoldReader(EngineConnection& connection) {
  if (connection.synchronous || !connection.reader) return;
  ReaderState& s = *connection.reader;
  Lock lock(s.mu);
  Disarm(connection, s);
  s.awaited.reset();
  // A read that cannot be interrupted is waited out.
  const uint32_t wait = connection.entry().terminal_read != nullptr
                            ? kReaderLeaveReadMs
                            : ClampWait(int64_t{s.read_timeout_ms} + kReaderLeaveReadMs);
  LeaveRead(connection, lock, wait, true);
}

void QuiesceReader(EngineConnection& connection) {
  if (!connection.reader) return;
  ReaderState& s = *connection.reader;
  Lock lock(s.mu);
  Disarm(connection, s);
  s.awaited.reset();
  if (connection.entry().terminal_read != nullptr && connection.transport != nullptr) {
    LeaveRead(connection, lock, kReaderQuiesceMs, false);
  }
}

void StopReader(EngineConnection& connection) {
  if (!connection.reader) return;
  ReaderState& s = *connection.reader;
  std::vector<platform::Thread> threads;
  {
    std::lock_guard lock(s.mu);
    s.stopping = true;
    s.armed = false;
    s.awaited.reset();
    connection.read_request.Reset();
    connection.stop_reader.Set();
    s.changed.notify_all();
    threads.push_back(std::move(s.current));
    for (RetiredReader& r : s.retired) threads.push_back(std::move(r.thread));
    s.retired.clear();
  }
  // Closed from inside the event callback, the current reader is the calling
  // thread: Join lets it go instead. It sees `stopping` when the callback
  // returns and ends without touching the connection again.
  for (platform::Thread& t : threads) t.Join();
}

bool CalledFromReader(const EngineConnection& connection) { return OnReaderThread(connection); }

}  // namespace devwire
