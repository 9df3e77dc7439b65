#include "bulk/piecewise.h"

#include <algorithm>
#include <array>
#include <vector>

#include "bulk/constants.h"
#include "bulk/first_answer.h"
#include "bulk/large_block.h"
#include "connection/engine_connection.h"
#include "exchange/exchange.h"
#include "exchange/line_drain.h"
#include "exchange/reader_channel.h"
#include "exchange/wait_bound.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace devwire {
namespace {

// Command 2019: the terminal drops what it prepared. It goes out even after
// a cancel.
void ReleaseBlocks(EngineConnection& c, int32_t timeout_ms) {
  const DeadlineExempt release_anyway(c);
  std::array<uint8_t, kBulkReplyArea> area{};
  ExchangeRequest release;
  release.code = kFreeLargeBlocks;
  release.reply = area;
  release.timeout_ms = timeout_ms;
  release.keep_armed = true;
  ExchangeFirstAnswer(c, release);
}

// One range with its tries; the block's size, or -1.
int32_t ReadRange(EngineConnection& c, std::span<uint8_t> scratch, uint32_t offset, uint32_t n) {
  int32_t got = -1;
  for (int t = 0; t < kLargeBlockTries && got < 0 && c.abort_flag != 1; ++t) {
    got = ReadLargeBlock(c, scratch, offset, n, kLargeBlockTimeoutMs, true);
  }
  return got;
}

}  // namespace

BulkResult PiecewiseRead(EngineConnection& c, uint16_t code, std::span<uint8_t> buffer,
                         int32_t timeout_ms) {
  c.last_error = 0;
  std::array<uint8_t, kBulkReplyArea> area{};
  std::vector<uint8_t> reply;
  ExchangeRequest ask;
  ask.code = code;
  ask.reply = area;
  ask.timeout_ms = timeout_ms;
  ask.keep_armed = true;
  ask.keep_reply = &reply;
  // The count comes once the terminal has prepared its records; the
  // caller's time-out may be hours long.
  const ExchangeResult ex = ExchangeFirstAnswer(c, ask);
  if (ex.outcome != wire::CMD_ACK_OK) {
    RearmReader(c);
    // A terminal that answers, but not OK, has nothing to give; no answer at
    // all is a failure.
    const bool answered = ex.reply_length >= 0 && ex.result >= 0;
    if (answered) return {wire::CMD_ACK_OK, 0};
    return {ex.outcome, -1};
  }

  wire::ByteReader r(reply);
  const uint32_t count = r.U32();
  // Every unit takes at least a byte: a count the buffer cannot hold is
  // refused before any range is asked.
  bool failed = !r.ok() || count > buffer.size();
  bool cancelled = false;
  size_t appended = 0;
  std::vector<uint8_t> scratch;
  if (!failed && count > 0) scratch.resize(kLargeBlockArea);
  for (uint32_t offset = 0; !failed && offset < count;) {
    if (c.abort_flag == 1) {
      cancelled = true;
      break;
    }
    const uint32_t n = std::min(count - offset, kLargeBlockUnits);
    const int32_t got = ReadRange(c, scratch, offset, n);
    if (got < 0) {
      cancelled = c.abort_flag == 1;
      failed = !cancelled;
      break;
    }
    // Units asked and none given: the terminal cannot deliver what it
    // counted, and asking on would never reach the end.
    if (got == 0) {
      failed = true;
      break;
    }
    // A buffer full before the count is reached cannot hold the data.
    if (static_cast<size_t>(got) > buffer.size() - appended) {
      failed = true;
      break;
    }
    std::copy_n(scratch.begin(), got, buffer.begin() + static_cast<ptrdiff_t>(appended));
    appended += static_cast<size_t>(got);
    offset += n;
  }
  ReleaseBlocks(c, timeout_ms);

  BulkResult res{wire::CMD_ACK_OK, static_cast<int32_t>(appended)};
  if (cancelled) {
    res = {wire::CMD_ACK_ERROR, -1};
  } else if (failed) {
    DrainLine(c, kLargeDrainSilenceMs);
    res = {wire::CMD_ACK_ERROR_DATA, -1};
  }
  RearmReader(c);
  return res;
}

}  // namespace devwire
