#include "exchange/exchange.h"

#include <algorithm>
#include <mutex>

#include "connection/engine_connection.h"
#include "exchange/event_ack.h"
#include "platform/tick.h"
#include "exchange/reader_channel.h"
#include "exchange/sync_read.h"
#include "exchange/wait_bound.h"
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

// The commands a cancel does not stop: they release what the terminal holds.
bool Cancellable(uint16_t code) { return code != wire::CMD_FREE_DATA && code != kFreeLargeBlock; }

// Reader-thread mode: wait for the reader to hand over a reply. The wait is
// cut into slices so that a cancel or a bulk deadline ends it early.
WaitVerdict AwaitSliced(EngineConnection& c, uint16_t code, int64_t wait_ms) {
  const uint32_t start = platform::TickCount();
  const int64_t limit = WithinDeadline(c, wait_ms);
  // The first slice arms the reader; the later ones only wait on.
  int64_t slice = std::min<int64_t>(limit, kCancelSliceMs);
  WaitVerdict verdict = AwaitReply(c, slice);
  for (;;) {
    if (verdict != WaitVerdict::kNextAttempt || CutShort(c, Cancellable(code))) return verdict;
    const int64_t left = limit - static_cast<int64_t>(platform::TicksSince(start));
    if (left <= 0) return verdict;
    slice = std::min<int64_t>(left, kCancelSliceMs);
    verdict = c.reply_ready.Wait(static_cast<uint32_t>(slice))
                  ? WaitVerdict::kReplyReady
                  : ClassifyWaitTimeout(c.attempt_line_failure);
  }
}

Arrival AwaitFromReader(EngineConnection& c, const ExchangeRequest& req, int32_t extra_wait_ms) {
  switch (AwaitSliced(c, req.code, static_cast<int64_t>(req.timeout_ms) + extra_wait_ms)) {
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

// Synchronous mode: read for ourselves after a short pause, for `wait_ms`.
Arrival ReadForSelf(EngineConnection& c, const ExchangeRequest& req, uint16_t counter,
                    int32_t wait_ms) {
  platform::SleepMs(kSyncReadPauseMs);
  switch (ReadReplySynchronously(c, wait_ms, counter, Cancellable(req.code))) {
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
  // When the running attempt began, and how long it may wait: reading on
  // past an event only uses up what is left of it.
  uint32_t attempt_start = 0;
  int32_t attempt_wait_ms = req.timeout_ms;
  int32_t read_wait_ms = req.timeout_ms;
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
    // A bulk read past its deadline sends nothing more: the attempt ends as
    // a time-out would.
    if (DeadlinePassed(c)) break;
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
    if (send) {
      attempt_start = platform::TickCount();
      attempt_wait_ms = static_cast<int32_t>(WithinDeadline(c, req.timeout_ms));
      read_wait_ms = attempt_wait_ms;
    }
    send = true;

    const Arrival arrival = c.synchronous ? ReadForSelf(c, req, res.counter, read_wait_ms)
                                          : AwaitFromReader(c, req, plan.extra_wait_ms);
    switch (arrival) {
      case Arrival::kReply:
        break;
      case Arrival::kNothing:
        continue;
      case Arrival::kReadAgain: {
        // An event read past does not use up the attempt, nor does it lengthen
        // it: the reply may still come within what is left of its time-out.
        // (A time-out of 0 polls: what is queued behind the event is read
        // with 0 as well.)
        const int64_t left =
            static_cast<int64_t>(attempt_wait_ms) - platform::TicksSince(attempt_start);
        const bool polling = attempt_wait_ms == 0;
        if ((polling || left > 0) && extra_reads++ < kMaxExtraReads) {
          send = false;
          read_wait_ms = polling ? 0 : static_cast<int32_t>(left);
          --attempt;
        }
        continue;
      }
      case Arrival::kRestartReadAgain:
        if (extra_reads++ < kMaxExtraReads && restarts < kMaxAttemptRestarts) {
          ++restarts;
          send = false;
          attempt = -1;
          // The attempts start over, each with its whole time-out.
          attempt_start = platform::TickCount();
          read_wait_ms = attempt_wait_ms;
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
