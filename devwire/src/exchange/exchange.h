// One exchange: one command packet out, one reply back, with the attempts,
// time-outs and stale-reply rules of the protocol.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace devwire {

struct EngineConnection;

// Waits of the exchange, in milliseconds.
inline constexpr uint32_t kSyncReadPauseMs = 50;     // before each synchronous read
inline constexpr uint32_t kRetryPauseMs = 200;       // after CMD_ACK_RETRY
inline constexpr int32_t kReaderExtraWaitMs = 5000;  // added to a reader-thread wait
// The attempt count starts over at most this often per exchange (transport
// reconnected, stale reply), so a broken line cannot hold an exchange forever.
inline constexpr int kMaxAttemptRestarts = 3;
// Event packets and stale replies read past while waiting, per exchange.
inline constexpr int kMaxExtraReads = 16;

// Commands with fixed rules.
inline constexpr uint16_t kNoExtraWaitCommand = 14;  // tried once, waits without the extra
inline constexpr uint16_t kFreeLargeBlock = 2019;    // allowed while cancelled

struct ExchangeRequest {
  uint16_t code = 0;
  std::span<const uint8_t> data;  // command data
  std::span<uint8_t> reply;       // the caller's reply buffer; its size counts as given
  int32_t timeout_ms = 0;
  bool keep_armed = false;           // leave the reader disarmed afterwards
  int32_t* wait_timeouts = nullptr;  // counts reply waits that timed out
  // The sequence number to send, when a resend must repeat an earlier one.
  std::optional<uint16_t> counter;
  // Receives the whole reply payload, however large the reply buffer.
  std::vector<uint8_t>* keep_reply = nullptr;
};

struct ExchangeResult {
  uint16_t outcome = 0;       // for the code slot
  int32_t result = 0;         // reply's connection word, 0, -1 (not sent) or -2 (no reply)
  uint16_t counter = 0;       // sequence number the command carried
  int32_t reply_length = -1;  // payload length of the deciding reply
};

ExchangeResult Exchange(EngineConnection& connection, const ExchangeRequest& request);

// True while cancelling blocks the command.
bool CancelBlocks(const EngineConnection& connection, uint16_t code);

}  // namespace devwire
