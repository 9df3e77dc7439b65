// Fixed sizes, waits and codes of the bulk reads.
#pragma once

#include <cstddef>
#include <cstdint>

#include "devwire.h"

namespace devwire {

// Reply areas the bulk reads hand to the exchange.
inline constexpr size_t kBulkReplyArea = 1032;   // streamed, piecewise and large-block commands
inline constexpr size_t kQueryReplyArea = 1048;  // CMD_QUERY_DATA
inline constexpr size_t kFreeReplyArea = 1024;   // CMD_FREE_DATA

// The largest packet any transport delivers: 65536 payload bytes and the header.
inline constexpr size_t kMaxPacketSize = 65544;

// A memory read answered inline is accepted only when the caller's area is
// exactly the reply length plus this much; memory reads size their area so.
inline constexpr size_t kInlineSlack = 1024;

// Commands of the piecewise large read.
inline constexpr uint16_t kReadLargeBlock = 2018;
inline constexpr uint16_t kFreeLargeBlocks = 2019;
// A streamed read of this command is tried twice.
inline constexpr uint16_t kTwoAttemptRead = 10000;
// Refusals of a streamed read that end it with nothing.
inline constexpr uint16_t kStreamRefused = 4981;
// Refusals of a buffered read that make the dispatch report nothing.
inline constexpr uint16_t kBufferedRefusedA = 4989;
inline constexpr uint16_t kBufferedRefusedB = 4991;

// Waits, in milliseconds.
inline constexpr uint32_t kInlineDrainSilenceMs = 100;    // after an unwanted inline reply
inline constexpr uint32_t kOversizeDrainSilenceMs = 200;  // after a total too big for the buffer
inline constexpr uint32_t kChunkDrainSilenceMs = 100;     // after a failed chunk collection
inline constexpr uint32_t kLargeDrainSilenceMs =
    500;  // after a failed large block or piecewise read
inline constexpr uint32_t kTrailingPacketWaitMs = 200;  // trailing packets on "USBDIRECT"
inline constexpr int kTrailingPackets = 6;
inline constexpr int32_t kMemoryBlockTimeoutMs = 32000;  // one memory block
inline constexpr int32_t kLargeBlockTimeoutMs = 100000;  // one large block of a piecewise read
inline constexpr uint32_t kSilentReadPauseMs = 10;       // between silent large-block reads
inline constexpr int32_t kUsbDirectExtraMs = 100000;     // added on "USBDIRECT" transports
inline constexpr int32_t kQueryExtraMs = 4;              // added to the query's time-out
inline constexpr int32_t kReadDbTimeoutMs = 1000;

// Attempts and tries.
inline constexpr int kVerifiedStreamAttempts = 6;
inline constexpr int kBufferedReadPasses = 5;  // whole reads when the data hash disagrees
inline constexpr int kBufferedBlockTries = 5;  // tries per memory block of a buffered read
inline constexpr int kMemoryRetryBudget = 10;  // failed 1024-byte blocks in a row
inline constexpr int kLargeBlockTries = 3;

// Sizes.
inline constexpr int32_t kDefaultBlockSize = 8192;
inline constexpr int32_t kSmallestDispatchBlock = 496;  // below this the dispatch uses the default
inline constexpr int32_t kSmallestMemoryBlock = 1024;
inline constexpr int32_t kMemoryBlockShrink = 8;
inline constexpr size_t kLargeBlockArea = 409600;  // one large block at most
inline constexpr uint32_t kLargeBlockUnits = 200;  // units per large block
inline constexpr size_t kQueryParamBytes = 8;

// The environment variable that may shorten DEVWIRE_FIRST_ANSWER_LIMIT_MS
// (for tests), and how many such waits all attempts of a query may take.
inline constexpr char kFirstAnswerLimitVariable[] = "TERMKIT_FIRST_ANSWER_LIMIT_MS";
inline constexpr uint64_t kQueryDeadlineAnswers =
    DEVWIRE_QUERY_DEADLINE_MS / DEVWIRE_FIRST_ANSWER_LIMIT_MS;

// The overall deadline of a read with time-out `timeout_ms` once `bytes`
// are announced (devwire.h).
inline constexpr uint64_t BulkDeadlineMs(int32_t timeout_ms, uint64_t bytes) {
  const uint64_t t = timeout_ms > 0 ? static_cast<uint64_t>(timeout_ms) : 0;
  return DEVWIRE_BULK_DEADLINE_BASE_MS + DEVWIRE_BULK_DEADLINE_TIMEOUTS * t +
         bytes * 1000 / DEVWIRE_BULK_FLOOR_BYTES_PER_S;
}

}  // namespace devwire
