// The reader thread of a connection opened with an event callback: it owns
// all reading between commands, delivers and acknowledges the terminal's
// event packets, and hands the awaited reply to the waiting exchange.
//
// Everything the reader shares with the exchange sits in one ReaderState
// under one mutex. The connection's four events are kept in step with it
// (read_request: armed; reader_idle: not inside a read; reply_ready: a reply
// or a failure marker waits in receive_buffer; stop_reader: stopping), so
// they still show the state, but every decision is taken under the mutex:
// no reply can be handed over while an exchange rearranges the state.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "platform/thread.h"

namespace devwire {

struct EngineConnection;

// Written into the code word of receive_buffer when the reader wakes the
// waiting exchange without a reply; reply_length stays -1.
inline constexpr uint16_t kLineFailureMarker = 65229;  // -307
inline constexpr uint16_t kBadPacketMarker = 65226;    // -310

struct RetiredReader {
  uint64_t generation = 0;
  platform::Thread thread;
};

struct ReaderState {
  std::mutex mu;
  std::condition_variable changed;  // signalled on every change below

  bool armed = false;           // the reader may read
  bool in_read = false;         // the current reader is inside DEVORU_READ
  int32_t read_timeout_ms = 0;  // time-out of that read
  bool stopping = false;        // the connection is closing
  uint64_t arm_changes = 0;     // counts every arming and disarming by the exchange side

  // The sequence number the waiting exchange expects; none while no
  // exchange waits. Only a reply not older than it is handed over.
  std::optional<uint16_t> awaited;

  // The connection number that event acknowledgements carry, published by
  // the exchange side, which owns it.
  uint16_t ack_connection_id = 0;
  // Counter of the last event delivered on this connection; 0 while none.
  uint16_t last_event_counter = 0;

  // Each reader started for the connection gets the next number. A reader
  // whose number is no longer `generation` has been retired: it ends as soon
  // as its transport read returns, and touches nothing else.
  uint64_t generation = 0;
  platform::Thread current;
  std::vector<RetiredReader> retired;
  std::set<uint64_t> exited;  // generations of readers that have ended
};

// Starts a reader of the state's current generation into `state.current`.
// The caller holds state.mu. False when no thread could be started.
bool LaunchReader(EngineConnection& connection);

// True when the calling thread is a reader of this connection, that is, the
// call comes from inside its event callback.
bool OnReaderThread(const EngineConnection& connection);

}  // namespace devwire
