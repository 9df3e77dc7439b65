// The exchange's side of the reader thread: starting and stopping the
// reader, taking it out of a transport read before a send, and waiting for
// the reply it hands over. A connection in synchronous mode has no reader and
// uses none of this except StopReader, which then has nothing to do.
//
// The reader and its event callback: the callback runs on the reader thread.
// While it runs, nothing is read on that connection, so a callback must
// return promptly and hand longer work to another thread. A command on the
// same connection from inside the callback fails at once with
// CMD_ACK_ERROR_CMD; closing the connection from inside it is allowed. A
// close from another thread waits for a running callback to return.
#pragma once

#include <cstdint>

namespace devwire {

struct EngineConnection;

// Starts the connection's reader thread. False when it could not be started.
bool StartReader(EngineConnection& connection);

// Before a send: the reader leaves any transport read and stays out of the
// transport until AwaitReply arms it again. From now on a reply carrying
// `awaited` (or a later number) is handed to the exchange; older ones are
// dropped. A reader that does not leave its read in time is replaced.
void DisarmReader(EngineConnection& connection, int32_t timeout_ms, uint16_t awaited);

// What became of one wait for a reply.
enum class WaitVerdict {
  kReplyReady,   // the reader handed over a reply or woke the exchange
  kStop,         // the line failed during this attempt: end the exchange
  kRestart,      // the transport reconnected during this attempt: start the attempts over
  kNextAttempt,  // plain time-out
};

// Arms the reader and waits up to `wait_ms` for it to hand over a reply.
WaitVerdict AwaitReply(EngineConnection& connection, int64_t wait_ms);

// The verdict for a wait that timed out, from the line failure recorded
// during the same attempt (0 when none).
WaitVerdict ClassifyWaitTimeout(int32_t attempt_line_failure);

// Lets the reader listen for events again between commands.
void RearmReader(EngineConnection& connection);

// After an exchange that leaves the reader disarmed: the reader is out of
// the transport and stays out until RearmReader, so the caller may read the
// transport itself.
void HoldReader(EngineConnection& connection);

// At close: interrupts a running transport read and waits for the reader to
// become idle.
void QuiesceReader(EngineConnection& connection);

// Ends the reader thread and waits for it. Safe to call more than once.
void StopReader(EngineConnection& connection);

// True when the call comes from inside this connection's event callback.
bool CalledFromReader(const EngineConnection& connection);

}  // namespace devwire
