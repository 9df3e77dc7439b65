#include "bulk/chunk_collect.h"

#include <algorithm>
#include <optional>
#include <string>

#include "bulk/chunk_map.h"
#include "bulk/constants.h"
#include "devwire.h"
#include "connection/engine_connection.h"
#include "exchange/event_ack.h"
#include "exchange/line_drain.h"
#include "exchange/line_status.h"
#include "exchange/wait_bound.h"
#include "platform/debug.h"
#include "platform/tick.h"
#include "trace.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"
#include "wire/packet.h"

namespace devwire {
namespace {

bool OnUsbDirect(const EngineConnection& c) { return c.transport_name.rfind("USBDIRECT", 0) == 0; }

// Some transports deliver a few packets after the data; they are read off
// so the next command does not meet them.
void SkipTrailingPackets(EngineConnection& c, uint16_t command) {
  const size_t capacity =
      std::min(c.receive_buffer.size(), static_cast<size_t>(c.receive_length.load()));
  for (int i = 0; i < kTrailingPackets; ++i) {
    const int32_t got = c.entry().read(c.transport, c.receive_buffer.data(),
                                       static_cast<int32_t>(capacity), kTrailingPacketWaitMs);
    RecordLineFailure(c, got);
    if (got < static_cast<int32_t>(wire::kHeaderSize)) return;
    const auto view = wire::ParsePacket(std::span<const uint8_t>(c.receive_buffer)
                                            .first(std::min(static_cast<size_t>(got), capacity)));
    if (view && view->header.code == command) return;
  }
}

// The state of one attempt's collection.
class Collector {
 public:
  Collector(EngineConnection& c, const ChunkRequest& req, ChunkMap& map, std::span<uint8_t> buffer)
      : c_(c), req_(req), map_(map), buffer_(buffer) {}

  BulkResult Run();

 private:
  enum class Step { kGoOn, kDone };

  Step Take(std::span<const uint8_t> packet);
  Step Fail(uint16_t outcome, int32_t result, int32_t error, bool drain);

  EngineConnection& c_;
  const ChunkRequest& req_;
  ChunkMap& map_;
  std::span<uint8_t> buffer_;

  size_t taken_ = 0;
  bool bad_seen_ = false;
  bool drain_ = false;
  std::optional<BulkResult> stop_;
};

Collector::Step Collector::Fail(uint16_t outcome, int32_t result, int32_t error, bool drain) {
  if (error != 0) c_.last_error = error;
  stop_ = BulkResult{outcome, result};
  drain_ = drain;
  return Step::kDone;
}

// One packet of this request's stream. Nothing from the terminal is trusted:
// the index must name a chunk of the announced data set and the payload
// must be exactly that chunk's length, so a chunk never lands outside the
// buffer or on a neighbour.
Collector::Step Collector::Take(std::span<const uint8_t> packet) {
  const wire::PacketView view = *wire::ParsePacket(packet);
  const size_t index = view.header.connection_id;
  const size_t length = view.payload.size();
  if (index >= map_.count() || map_.Offset(index) + length > map_.total()) {
    return Fail(wire::CMD_ACK_ERROR_DATA, -3, DEVWIRE_E_CHUNK_OUTSIDE, true);
  }
  const bool intact = length == map_.Length(index) && (!req_.verify || wire::ChecksumValid(packet));
  // An intact repeat of a chunk already in place is harmless and does not
  // use up the attempt's packets; everything else does.
  if (!(intact && map_.Marked(index))) ++taken_;
  if (!intact) {
    bad_seen_ = true;
    // Nothing else is outstanding: no later packet can make the data whole.
    if (!map_.Marked(index) && map_.OnlyMissing(index)) {
      return Fail(wire::CMD_ACK_ERROR_DATA, -2, DEVWIRE_E_LAST_CHUNK_BAD, true);
    }
    return Step::kGoOn;
  }
  // A chunk already in place stays as it is: a repeat is harmless.
  if (!map_.Marked(index)) {
    std::copy(view.payload.begin(), view.payload.end(),
              buffer_.begin() + static_cast<ptrdiff_t>(map_.Offset(index)));
    map_.Mark(index);
  }
  const bool last = index + 1 == map_.count();
  if (last && (!req_.verify || map_.Complete())) return Step::kDone;
  return Step::kGoOn;
}

BulkResult Collector::Run() {
  const uint32_t t3 = static_cast<uint32_t>(std::max(req_.timeout_ms / 3, 1));
  const size_t capacity =
      std::min(c_.receive_buffer.size(), static_cast<size_t>(c_.receive_length.load()));
  uint32_t last_arrival = platform::TickCount();
  uint64_t silent_in_row = 0;

  // Repeats are bounded too, so a terminal cannot keep the loop going with
  // the same chunk.
  const uint64_t most_packets = 4 * static_cast<uint64_t>(map_.count()) + 16;
  uint64_t packets = 0;
  while (taken_ < map_.count() + 1 && packets < most_packets) {
    if (c_.abort_flag == 1) {
      Fail(wire::CMD_ACK_ERROR, -2, 0, false);
      break;
    }
    if (DeadlinePassed(c_)) {
      // The read's overall deadline: whatever still comes is drained.
      Fail(wire::CMD_ACK_ERROR_DATA, -2, 0, true);
      break;
    }
    if (platform::TicksSince(last_arrival) > t3) {
      Fail(wire::CMD_ACK_NO, -3, 0, false);
      break;
    }
    const int32_t got = BoundedRead(c_, c_.receive_buffer.data(), static_cast<int32_t>(capacity),
                                    static_cast<int32_t>(t3), true);
    if (IsLineFailure(got)) {
      // The line broke (e.g. a TCP link that reconnected): nothing more of
      // this stream can come, so the attempt ends now as a time-out would,
      // instead of waiting for the chunks to stop.
      RecordLineFailure(c_, got);
      Fail(wire::CMD_ACK_NO, -3, 0, false);
      break;
    }
    if (got <= 0) {
      ++silent_in_row;
      if (req_.exchange_result > 0 && map_.Complete()) {
        stop_ = BulkResult{wire::CMD_ACK_OK, static_cast<int32_t>(map_.total())};
        break;
      }
      if (silent_in_row * t3 > static_cast<uint64_t>(std::max(req_.timeout_ms, 0))) {
        Fail(wire::CMD_ACK_ERROR_DATA, -4, DEVWIRE_E_TOO_MANY_SILENT, false);
        break;
      }
      continue;
    }
    silent_in_row = 0;
    // A runt, or a count the buffer cannot have held, is no packet.
    if (got < static_cast<int32_t>(wire::kHeaderSize) || static_cast<size_t>(got) > capacity) {
      continue;
    }
    const auto packet = std::span<const uint8_t>(c_.receive_buffer).first(static_cast<size_t>(got));
    if (wire::ParsePacket(packet)->header.reply_counter != req_.counter) continue;  // not ours
    last_arrival = platform::TickCount();
    ++packets;
    if (Take(packet) == Step::kDone) break;
  }

  BulkResult res;
  if (stop_) {
    res = *stop_;
  } else if (map_.Complete()) {
    res = {wire::CMD_ACK_OK, static_cast<int32_t>(map_.total())};
  } else if (bad_seen_) {
    c_.last_error = DEVWIRE_E_BAD_CHUNK;
    res = {wire::CMD_ACK_ERROR_DATA, -2};
    drain_ = true;
  } else {
    res = {wire::CMD_ACK_ERROR_DATA, -5};
    drain_ = true;
  }
  // Chunks that arrived intact in earlier attempts complete the data too.
  if (res.outcome != wire::CMD_ACK_OK && req_.verify && map_.Complete()) {
    res = {wire::CMD_ACK_OK, static_cast<int32_t>(map_.total())};
  }
  if (res.outcome != wire::CMD_ACK_OK && platform::DebugOutputEnabled()) {
    const std::string line = "chunks of " + wire::CodeName(req_.command) + ": " +
                             std::to_string(map_.marked()) + " of " + std::to_string(map_.count()) +
                             " in place, " + std::to_string(packets) + " packets, result " +
                             std::to_string(res.result);
    TraceLine(line.c_str());
  }
  if (res.outcome != wire::CMD_ACK_OK && drain_) DrainLine(c_, kChunkDrainSilenceMs);
  if (res.outcome == wire::CMD_ACK_OK && req_.verify && OnUsbDirect(c_)) {
    SkipTrailingPackets(c_, req_.command);
  }
  return res;
}

}  // namespace

BulkResult CollectChunks(EngineConnection& c, const ChunkRequest& req,
                         std::span<const uint8_t> announcement, ChunkMap& map,
                         std::span<uint8_t> buffer) {
  wire::ByteReader r(announcement);
  const uint32_t total = r.U32();
  const uint32_t chunk = r.U32();
  if (!r.ok() || chunk == 0) {
    // No chunk can be placed by such an announcement.
    c.last_error = DEVWIRE_E_CHUNK_OUTSIDE;
    DrainLine(c, kChunkDrainSilenceMs);
    return {wire::CMD_ACK_ERROR_DATA, -3};
  }
  if (map.sized() && !map.Describes(total, chunk)) c.last_error = DEVWIRE_E_TOTAL_CHANGED;
  if (total > buffer.size()) {
    DrainLine(c, kOversizeDrainSilenceMs);
    c.last_error = DEVWIRE_E_BUFFER_TOO_SMALL;
    return {wire::CMD_ACK_ERROR_DATA, 0};
  }
  // Sized from the announced chunk count, which the buffer bounds.
  if (!map.Describes(total, chunk)) map.Reset(total, chunk);
  // An empty data set has no chunks to wait for.
  if (map.count() == 0) return {wire::CMD_ACK_OK, 0};
  return Collector(c, req, map, buffer).Run();
}

}  // namespace devwire
