#include "bulk/streamed.h"

#include <algorithm>
#include <array>
#include <vector>

#include "bulk/chunk_collect.h"
#include "bulk/chunk_map.h"
#include "bulk/constants.h"
#include "connection/engine_connection.h"
#include "exchange/exchange.h"
#include "exchange/line_drain.h"
#include "exchange/reader_channel.h"
#include "exchange/wait_bound.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace devwire {
namespace {

int AttemptsFor(uint16_t code, bool verify) {
  if (code == kTwoAttemptRead) return 2;
  return verify ? kVerifiedStreamAttempts : 1;
}

// A data set sent inline in the reply. Only a memory read can tell whether
// it is whole: its area is sized to the count it asked for plus the slack.
BulkResult TakeInline(EngineConnection& c, const std::vector<uint8_t>& payload,
                      std::span<uint8_t> buffer) {
  if (buffer.size() != payload.size() + kInlineSlack) {
    DrainLine(c, kInlineDrainSilenceMs);
    return {wire::CMD_DATA, 0};
  }
  std::copy(payload.begin(), payload.end(), buffer.begin());
  return {wire::CMD_ACK_OK, static_cast<int32_t>(payload.size())};
}

}  // namespace

BulkResult StreamedRead(EngineConnection& c, uint16_t code, std::span<const uint8_t> data,
                        std::span<uint8_t> buffer, bool verify, int32_t timeout_ms,
                        bool hold_reader) {
  c.last_error = 0;
  // The command data often sits in the buffer the data set will fill; every
  // attempt sends the same request.
  const std::vector<uint8_t> request(data.begin(), data.end());
  const int attempts = AttemptsFor(code, verify);
  ChunkMap map;
  std::array<uint8_t, kBulkReplyArea> area{};
  std::vector<uint8_t> reply;

  // Set at the first announcement, kept over the attempts.
  DeadlineScope deadline(c);

  BulkResult res{code, 0};
  bool finished = false;
  for (int attempt = 0; attempt < attempts && !finished; ++attempt) {
    if (c.abort_flag == 1) {
      res.outcome = wire::CMD_ACK_ERROR;
      finished = true;
      break;
    }
    if (DeadlinePassed(c)) {
      // Out of time: nothing more is asked.
      res = {wire::CMD_ACK_ERROR_DATA, -2};
      break;
    }
    ExchangeRequest ask;
    ask.code = code;
    ask.data = request;
    ask.reply = area;
    ask.timeout_ms = timeout_ms;
    ask.keep_armed = true;  // the reader stays out while the chunks come in
    ask.keep_reply = &reply;
    const ExchangeResult ex = Exchange(c, ask);

    switch (ex.outcome) {
      case wire::CMD_PREPARE_DATA: {
        if (reply.size() >= 4) {
          deadline.Limit(BulkDeadlineMs(timeout_ms, wire::ByteReader(reply).U32()));
        }
        const ChunkRequest chunks{code, ex.counter, ex.result, verify, timeout_ms};
        res = CollectChunks(c, chunks, reply, map, buffer);
        break;
      }
      case wire::CMD_DATA:
        res = TakeInline(c, reply, buffer);
        break;
      case wire::CMD_ACK_ERROR:
      case kStreamRefused:
        res = {ex.outcome, 0};
        break;
      default:
        res = {wire::CMD_ACK_NO, 0};
        break;
    }
    if (!hold_reader) RearmReader(c);
    finished =
        res.outcome == wire::CMD_ACK_ERROR || (res.outcome == wire::CMD_ACK_OK && res.result >= 0);
  }
  if (!finished && verify && res.outcome == wire::CMD_ACK_OK) res.outcome = wire::CMD_ACK_NO;
  return res;
}

}  // namespace devwire
