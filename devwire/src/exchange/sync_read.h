// Reading a reply inside the exchange, for a connection without a reader
// thread.
#pragma once

#include <cstdint>

namespace devwire {

struct EngineConnection;

enum class SyncRead {
  kNothing,            // nothing usable arrived (silence, a line failure, a runt or bad packet)
  kReply,              // receive_buffer holds a reply; reply_length is its payload length
  kStale,              // a reply older than the command last sent was dropped
  kEventAcknowledged,  // an event packet arrived and was acknowledged
};

// Reads one packet with `timeout_ms`. `sent_counter` is the sequence number
// of the command that waits for its reply; a `cancellable` wait ends early
// on a cancel.
SyncRead ReadReplySynchronously(EngineConnection& connection, int32_t timeout_ms,
                                uint16_t sent_counter, bool cancellable);

}  // namespace devwire
