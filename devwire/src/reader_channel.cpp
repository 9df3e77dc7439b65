#include "reader_channel.h"

#include <algorithm>

#include "engine_connection.h"
#include "line_status.h"
#include "platform/event.h"

namespace devwire {
namespace {

constexpr uint32_t kReaderLeaveReadMs = 5000;  // a transport read ends well within this
constexpr uint32_t kReaderQuiesceMs = 6000;

uint32_t ClampWait(int64_t ms) {
  return static_cast<uint32_t>(std::clamp<int64_t>(ms, 0, platform::kInfinite - 1));
}

}  // namespace

bool StartReader(EngineConnection& connection) {
  // This build reads only synchronously; a connection that needs a reader
  // thread cannot be opened.
  return false;
}

void DisarmReader(EngineConnection& connection, int32_t timeout_ms) {
  connection.reply_ready.Reset();
  connection.read_request.Reset();
  if (connection.entry().terminal_read != nullptr) {
    connection.entry().terminal_read(connection.transport);
    connection.reader_idle.Wait(kReaderLeaveReadMs);
  }
  connection.read_timeout = timeout_ms;
}

WaitVerdict AwaitReply(EngineConnection& connection, int64_t wait_ms) {
  connection.read_request.Set();
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
  if (!connection.synchronous) connection.read_request.Set();
}

void QuiesceReader(EngineConnection& connection) {
  if (connection.entry().terminal_read != nullptr && connection.transport != nullptr) {
    connection.entry().terminal_read(connection.transport);
    connection.reader_idle.Wait(kReaderQuiesceMs);
  }
}

void StopReader(EngineConnection& connection) {
  connection.stop_reader.Set();
  if (connection.reader_thread.Running()) connection.reader_thread.Join();
}

}  // namespace devwire
