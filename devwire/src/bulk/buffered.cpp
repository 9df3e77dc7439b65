#include "bulk/buffered.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>
#include <vector>

#include "bulk/constants.h"
#include "bulk/first_answer.h"
#include "bulk/memory.h"
#include "connection/engine_connection.h"
#include "exchange/exchange.h"
#include "bulk/lzo_block.h"
#include "exchange/line_drain.h"
#include "exchange/reader_channel.h"
#include "exchange/wait_bound.h"
#include "wire/codes.h"
#include "wire/hash.h"
#include "wire/le_bytes.h"

namespace devwire {
namespace {

// The terminal's description of the data it prepared.
struct Prepared {
  bool compressed = false;
  uint32_t stored = 0;  // bytes held by the terminal (compressed size when compressed)
  uint32_t size = 0;    // bytes after decompression
  uint32_t hash = 0;    // data hash of the stored bytes
};

std::optional<Prepared> ParsePrepared(std::span<const uint8_t> reply) {
  wire::ByteReader r(reply);
  Prepared p;
  p.compressed = r.U8() != 0;
  p.stored = r.U32();
  p.size = r.U32();
  p.hash = r.U32();
  if (!r.ok()) return std::nullopt;
  return p;
}

bool OnUsbDirect(const EngineConnection& c) { return c.transport_name.rfind("USBDIRECT", 0) == 0; }

int32_t PlusMs(int32_t timeout_ms, int32_t extra_ms) {
  const int64_t sum = static_cast<int64_t>(timeout_ms) + extra_ms;
  return static_cast<int32_t>(std::min<int64_t>(sum, std::numeric_limits<int32_t>::max()));
}

// Tells the terminal it may drop the prepared data. It goes out after a
// cancel and past the deadline too, with its own time-out.
void FreePrepared(EngineConnection& c, int32_t timeout_ms) {
  const DeadlineExempt release_anyway(c);
  std::array<uint8_t, kFreeReplyArea> area{};
  ExchangeRequest release;
  release.code = wire::CMD_FREE_DATA;
  release.reply = area;
  release.timeout_ms = PlusMs(timeout_ms, OnUsbDirect(c) ? kUsbDirectExtraMs : 0);
  release.keep_armed = true;
  ExchangeFirstAnswer(c, release);
}

// A description that cannot be genuine: plain data that changes size, or
// compressed data bigger than any compressor would make it.
bool Plausible(const Prepared& p) {
  if (!p.compressed) return p.stored == p.size;
  return p.stored <= LzoCompressedBound(p.size);
}

// Reads the prepared bytes into `target` until their data hash agrees, at
// most kBufferedReadPasses times. The bytes read, or 0 (the hash never
// agreed), -2 or -3 (the memory read failed or was cancelled).
int32_t FetchVerified(EngineConnection& c, std::span<uint8_t> target, uint32_t hash,
                      int32_t block_size) {
  int32_t result = 0;
  for (int pass = 0; pass < kBufferedReadPasses; ++pass) {
    if (c.abort_flag == 1) return -2;
    if (DeadlinePassed(c)) return -2;
    const int32_t got =
        ReadMemory(c, wire::CMD_READ_DATA, 0, target, block_size, kBufferedBlockTries, true);
    if (got <= 0) return got;
    if (wire::DataHash(target) == hash) return got;
    result = 0;  // the data changed on its way: read it all again
  }
  return result;
}

// The buffered read with the reader kept out throughout.
int32_t ReadHeld(EngineConnection& c, uint16_t& code, std::span<const uint8_t> params,
                 std::span<uint8_t> buffer, int32_t block_size, int32_t timeout_ms) {
  const uint16_t command = code;
  std::array<uint8_t, 3 + kQueryParamBytes> query{};
  wire::ByteWriter w(query);
  w.U8(1);
  w.U16(command);
  w.Bytes(params.first(std::min(params.size(), kQueryParamBytes)));

  std::array<uint8_t, kQueryReplyArea> area{};
  std::vector<uint8_t> reply;
  ExchangeRequest ask;
  ask.code = wire::CMD_QUERY_DATA;
  ask.data = query;
  ask.reply = area;
  // However long the time-out, the first answer is waited for within the
  // limit, and all the query's attempts within twice that.
  ask.timeout_ms = PlusMs(timeout_ms, kQueryExtraMs + (OnUsbDirect(c) ? kUsbDirectExtraMs : 0));
  ask.keep_armed = true;
  ask.keep_reply = &reply;
  const ExchangeResult ex = ExchangeFirstAnswer(c, ask);

  if (ex.outcome == wire::CMD_DATA) {
    // Small enough to come with the answer.
    const size_t n = std::min(reply.size(), buffer.size());
    std::copy_n(reply.begin(), n, buffer.begin());
    code = wire::CMD_ACK_OK;
    return static_cast<int32_t>(n);
  }
  if (ex.outcome != wire::CMD_ACK_OK) {
    code = ex.outcome;
    return -1;
  }

  const std::optional<Prepared> p = ParsePrepared(reply);
  code = wire::CMD_ACK_OK;
  if (p && p->size == 0 && p->stored == 0) {
    return 0;  // nothing prepared
  }
  if (!p || p->size == 0 || static_cast<int32_t>(p->stored) <= 0 || !Plausible(*p)) {
    FreePrepared(c, timeout_ms);
    code = wire::CMD_ACK_ERROR_DATA;
    return 0;
  }
  if (buffer.size() < p->size) {
    FreePrepared(c, timeout_ms);
    return -100;
  }

  // From the announcement on, the read has its overall deadline.
  DeadlineScope deadline(c);
  // The blocks wait kMemoryBlockTimeoutMs each at most, whatever the
  // caller's time-out.
  deadline.Limit(BulkDeadlineMs(std::min(timeout_ms, kMemoryBlockTimeoutMs), p->stored));

  // Plain data goes straight to its place; compressed data waits in a
  // private area of its stored size until its hash is checked.
  std::vector<uint8_t> packed;
  std::span<uint8_t> target = buffer.first(p->size);
  if (p->compressed) {
    try {
      packed.resize(p->stored);
    } catch (const std::bad_alloc&) {
      FreePrepared(c, timeout_ms);
      code = wire::CMD_ACK_ERROR_DATA;
      return 0;
    }
    target = packed;
  }

  int32_t result = FetchVerified(c, target, p->hash, block_size);
  bool good = result > 0;
  // Out of time, or cancelled: the read failed, whatever the blocks said.
  const bool cut = c.abort_flag == 1 || DeadlinePassed(c);
  if (cut) {
    good = false;
    result = -2;
    // Whatever is still on its way must not meet the next command.
    if (c.abort_flag != 1) {
      const DeadlineExempt drain_anyway(c);
      DrainLine(c, kChunkDrainSilenceMs);
    }
  }
  // Released whatever happened, cancelled or not.
  FreePrepared(c, timeout_ms);

  if (good && p->compressed) {
    const auto produced = LzoDecompress(packed, buffer.first(p->size));
    if (!produced || *produced != p->size) {
      good = false;
      result = 0;
    }
  }
  if (good) return static_cast<int32_t>(p->size);
  code = c.abort_flag == 1 ? static_cast<uint16_t>(wire::CMD_ACK_ERROR)
                           : static_cast<uint16_t>(wire::CMD_ACK_ERROR_DATA);
  return result;
}

}  // namespace

int32_t BufferedRead(EngineConnection& c, uint16_t& code, std::span<const uint8_t> params,
                     std::span<uint8_t> buffer, int32_t block_size, int32_t timeout_ms) {
  const int32_t result = ReadHeld(c, code, params, buffer, block_size, timeout_ms);
  RearmReader(c);
  return result;
}

int32_t ReadDatabase(EngineConnection& c, uint8_t selector, int32_t block_size,
                     std::span<uint8_t> buffer) {
  c.last_error = 0;
  uint16_t code = wire::CMD_DB_RRQ;
  const std::array<uint8_t, 1> params{selector};
  return BufferedRead(c, code, params, buffer, block_size, kReadDbTimeoutMs);
}

}  // namespace devwire
