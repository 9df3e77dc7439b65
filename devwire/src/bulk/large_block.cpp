#include "bulk/large_block.h"

#include <algorithm>
#include <array>
#include <vector>

#include "bulk/constants.h"
#include "devwire.h"
#include "connection/engine_connection.h"
#include "exchange/event_ack.h"
#include "exchange/exchange.h"
#include "exchange/line_drain.h"
#include "exchange/line_status.h"
#include "platform/tick.h"
#include "exchange/reader_channel.h"
#include "exchange/wait_bound.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"
#include "wire/packet.h"

namespace devwire {
namespace {

// Appends the block's CMD_DATA packets to `block` until CMD_ACK_OK ends it.
// False when anything else happens first: a damaged packet, more data than
// announced, another code, a line failure, a cancel, or the time-out passing
// as a whole.
bool ReceiveBlock(EngineConnection& c, std::span<uint8_t> block, int32_t timeout_ms,
                  size_t& appended) {
  // Large enough for the biggest packet of any transport, whatever the
  // connection's own receive buffer is.
  std::vector<uint8_t> packet(kMaxPacketSize);
  const uint32_t start = platform::TickCount();
  const uint32_t limit = static_cast<uint32_t>(std::max(timeout_ms, 0));
  while (c.abort_flag != 1 && !DeadlinePassed(c)) {
    const uint32_t elapsed = platform::TicksSince(start);
    if (elapsed >= limit) return false;
    const int32_t got = BoundedRead(c, packet.data(), static_cast<int32_t>(packet.size()),
                                    static_cast<int32_t>(limit - elapsed), true);
    if (IsLineFailure(got)) {
      RecordLineFailure(c, got);
      return false;
    }
    if (got <= 0) {
      BoundedSleep(c, kSilentReadPauseMs, true);
      continue;
    }
    if (got < static_cast<int32_t>(wire::kHeaderSize) || static_cast<size_t>(got) > packet.size()) {
      continue;
    }
    const auto bytes = std::span<const uint8_t>(packet).first(static_cast<size_t>(got));
    const wire::PacketView view = *wire::ParsePacket(bytes);
    if (view.header.code == wire::CMD_ACK_OK) return true;
    if (view.header.code != wire::CMD_DATA) return false;
    if (!wire::ChecksumValid(bytes)) {
      c.last_error = DEVWIRE_E_BAD_CHECKSUM;
      return false;
    }
    if (view.payload.size() > block.size() - appended) return false;
    std::copy(view.payload.begin(), view.payload.end(),
              block.begin() + static_cast<ptrdiff_t>(appended));
    appended += view.payload.size();
  }
  return false;
}

// The block itself, the reader kept out.
int32_t ReadBlockHeld(EngineConnection& c, std::span<uint8_t> out, uint32_t start, uint32_t count,
                      int32_t timeout_ms) {
  out = out.first(std::min(out.size(), kLargeBlockArea));
  std::array<uint8_t, 8> request{};
  wire::ByteWriter w(request);
  w.U32(start);
  w.U32(count);

  std::array<uint8_t, kBulkReplyArea> area{};
  std::vector<uint8_t> reply;
  ExchangeRequest ask;
  ask.code = kReadLargeBlock;
  ask.data = request;
  ask.reply = area;
  ask.timeout_ms = timeout_ms;
  ask.keep_armed = true;  // the block's packets are read here, not by the reader
  ask.keep_reply = &reply;
  DeadlineScope deadline(c);
  const ExchangeResult ex = Exchange(c, ask);

  if (ex.outcome == wire::CMD_PREPARE_DATA) {
    wire::ByteReader r(reply);
    const uint32_t size = r.U32();
    const uint16_t checksum = r.U16();
    if (r.ok()) deadline.Limit(BulkDeadlineMs(timeout_ms, size));
    if (r.ok() && size <= out.size()) {
      const std::span<uint8_t> block = out.first(size);
      size_t appended = 0;
      if (ReceiveBlock(c, block, timeout_ms, appended) && appended == size) {
        if (wire::InternetChecksum(block) == checksum) return static_cast<int32_t>(size);
        c.last_error = DEVWIRE_E_BAD_CHECKSUM;
      }
    }
  }
  // A cancelled block is left to the release that follows it.
  if (c.abort_flag != 1) DrainLine(c, kLargeDrainSilenceMs);
  return -1;
}

}  // namespace

int32_t ReadLargeBlock(EngineConnection& c, std::span<uint8_t> out, uint32_t start, uint32_t count,
                       int32_t timeout_ms, bool hold_reader) {
  c.last_error = 0;
  const int32_t result = ReadBlockHeld(c, out, start, count, timeout_ms);
  if (!hold_reader) RearmReader(c);
  return result;
}

}  // namespace devwire
