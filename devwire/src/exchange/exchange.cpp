#include "exchange/exchange.h"

#include <algorithm>
#include <mutex>

#include "connection/engine_connection.h"
#include "exchange/event_ack.h"
#include "platform/tick.h"
#include "exchange/reader_channel.h"
#include "exchange/sync_read.h"
#include "trace.h"
#include "wire/codes.h"
#include "wire/packet.h"

namespace devwire {
namespace {

struct AttemptPlan {
  int attempts;
  int32_t extra_wait_ms;
};

AttemptPlan PlanAttempts(uint16_t code, size_t reply_size, int32_t timeout_ms) {
  AttemptPlan plan{reply_size > 0 ? 4 : 2, kReaderExtraWaitMs};
  if (code == wire::CMD_CONNECT || code == kNoExtraWaitCommand) {
    plan.attempts = 2;
    plan.extra_wait_ms = 0;
  }
  if (code == wire::CMD_EXIT || code == wire::CMD_OPTIONS_RRQ) plan.attempts = 1;
  if (timeout_ms == 0) plan.attempts = 1;
  return plan;
}

enum class Arrival { kReply, kNothing, kReadAgain, kRestartReadAgain, kStop, kRestart };

// Reader-thread mode: wait for the reader to hand over a reply.
Arrival AwaitFromReader(EngineConnection& c, const ExchangeRequest& req, int32_t extra_wait_ms) {
  switch (AwaitReply(c, static_cast<int64_t>(req.timeout_ms) + extra_wait_ms)) {
    case WaitVerdict::kReplyReady:
      return c.reply_length >= 0 ? Arrival::kReply : Arrival::kNothing;
    case WaitVerdict::kStop:
      return Arrival::kStop;
    case WaitVerdict::kRestart:
      return Arrival::kRestart;
    case WaitVerdict::kNextAttempt:
      if (req.wait_timeouts != nullptr) ++*req.wait_timeouts;
      return Arrival::kNothing;
  }
  return Arrival::kNothing;
}

// Synchronous mode: read for ourselves after a short pause.
Arrival ReadForSelf(EngineConnection& c, const ExchangeRequest& req, uint16_t counter) {
  platform::SleepMs(kSyncReadPauseMs);
  switch (ReadReplySynchronously(c, req.timeout_ms, counter)) {
    case SyncRead::kReply:
      return Arrival::kReply;
    case SyncRead::kStale:
      return Arrival::kRestartReadAgain;
    case SyncRead::kEventAcknowledged:
      return Arrival::kReadAgain;
    case SyncRead::kNothing:
      return Arrival::kNothing;
  }
  return Arrival::kNothing;
}

}  // namespace

bool CancelBlocks(const EngineConnection& connection, uint16_t code) {
  return connection.abort_flag == 1 && code != wire::CMD_FREE_DATA && code != kFreeLargeBlock;
}

ExchangeResult Exchange(EngineConnection& c, const ExchangeRequest& req) {
  ExchangeResult res;
  res.outcome = req.code;
  if (CancelBlocks(c, req.code)) {
    res.outcome = wire::CMD_ACK_ERROR;
    return res;
  }
  if (req.data.size() + wire::kHeaderSize > static_cast<size_t>(c.receive_length.load())) {
    res.outcome = wire::CMD_ACK_ERROR_CMD;
    return res;
  }
  if (!c.synchronous && CalledFromReader(c)) {
    // From inside the event callback: the reply would have to be read by the
    // very thread that is waiting for it.
    res.outcome = wire::CMD_ACK_ERROR_CMD;
    res.result = -1;
    return res;
  }
  std::lock_guard guard(c.exchange_lock);

  // Built once: every attempt sends the same bytes, so a late reply to an
  // earlier attempt answers this command too.
  res.counter = req.counter.value_or(c.reply_counter);
  std::vector<uint8_t> packet(req.data.size() + wire::kHeaderSize);
  wire::BuildPacket(req.code, c.connection_id, res.counter, req.data, packet);
  const AttemptPlan plan = PlanAttempts(req.code, req.reply.size(), req.timeout_ms);

  int restarts = 0;
  int extra_reads = 0;
  bool send = true;
  bool last_send_failed = false;
  bool decided = false;
  for (int attempt = 0; attempt < plan.attempts && !decided; ++attempt) {
    if (CancelBlocks(c, req.code)) {
      res.outcome = wire::CMD_ACK_ERROR;
      res.result = 0;
      decided = true;
      break;
    }
    if (!c.synchronous) DisarmReader(c, req.timeout_ms, res.counter);
    c.reply_length = -1;
    c.attempt_line_failure = 0;

    if (send) {
      const int32_t sent =
          c.entry().send(c.transport, packet.data(), static_cast<int32_t>(packet.size()));
      if (sent == DEVORU_RECONNECTED && restarts < kMaxAttemptRestarts) {
        // The transport has a new line; the packet goes out again.
        ++restarts;
        attempt = -1;
        last_send_failed = true;
        continue;
      }
      if (sent <= 0) {
        RecordLineFailure(c, sent);
        res.outcome = wire::CMD_ACK_ERROR_CMD;
        res.result = -1;
        last_send_failed = true;
        continue;
      }
      last_send_failed = false;
      c.reply_counter = static_cast<uint16_t>(res.counter + 1);
    }
    send = true;

    const Arrival arrival = c.synchronous ? ReadForSelf(c, req, res.counter)
                                          : AwaitFromReader(c, req, plan.extra_wait_ms);
    switch (arrival) {
      case Arrival::kReply:
        break;
      case Arrival::kNothing:
        continue;
      case Arrival::kReadAgain:
        // An event read past does not use up the attempt.
        if (extra_reads++ < kMaxExtraReads) {
          send = false;
          --attempt;
        }
        continue;
      case Arrival::kRestartReadAgain:
        if (extra_reads++ < kMaxExtraReads && restarts < kMaxAttemptRestarts) {
          ++restarts;
          send = false;
          attempt = -1;
        }
        continue;
      case Arrival::kStop:
        // The line is gone: the code slot keeps the command code.
        res.outcome = req.code;
        res.result = -2;
        decided = true;
        continue;
      case Arrival::kRestart:
        if (restarts < kMaxAttemptRestarts) {
          ++restarts;
          attempt = -1;
        }
        continue;
    }

    // A reply: copy it out, bounded by both its length and the caller's buffer.
    const size_t length = std::min(static_cast<size_t>(c.reply_length.load()),
                                   c.receive_buffer.size() - wire::kHeaderSize);
    const std::span<const uint8_t> whole(c.receive_buffer.data(), wire::kHeaderSize + length);
    const wire::PacketView reply = *wire::ParsePacket(whole);
    const uint16_t code = reply.header.code;
    if (code == wire::CMD_ACK_OK) std::fill(req.reply.begin(), req.reply.end(), 0);
    const size_t copied = std::min(length, req.reply.size());
    std::copy_n(reply.payload.begin(), copied, req.reply.begin());
    if (req.keep_reply != nullptr)
      req.keep_reply->assign(reply.payload.begin(), reply.payload.end());
    res.reply_length = static_cast<int32_t>(length);
    if (code != wire::CMD_ACK_OK) c.last_error = -static_cast<int32_t>(code);

    if (code == wire::CMD_ACK_RETRY) {
      platform::SleepMs(kRetryPauseMs);
      c.last_error = -static_cast<int32_t>(wire::CMD_ACK_RETRY);
      continue;
    }
    res.outcome = code;
    res.result = reply.header.connection_id;
    decided = true;
  }

  if (!decided) {
    if (last_send_failed) {
      res.outcome = wire::CMD_ACK_ERROR_CMD;
      res.result = -1;
    } else {
      res.outcome = wire::CMD_ACK_NO;
      res.result = -2;
    }
  }
  if (!c.synchronous) {
    if (req.keep_armed) {
      HoldReader(c);
    } else {
      RearmReader(c);
    }
  }
  c.read_timeout = 0;
  TraceExchange(req.code, res.outcome, res.result);
  return res;
}

}  // namespace devwire
