#include "bulk/upload.h"

#include <algorithm>
#include <array>
#include <limits>

#include "connection/engine_connection.h"
#include "exchange/exchange.h"
#include "platform/tick.h"
#include "exchange/reader_channel.h"
#include "exchange/send_command.h"
#include "wire/codes.h"
#include "wire/hash.h"
#include "wire/le_bytes.h"
#include "wire/packet.h"

namespace devwire {
namespace {

bool ChunkAccepted(uint16_t outcome) {
  return outcome == wire::CMD_ACK_DATA || outcome == wire::CMD_ACK_OK ||
         outcome == wire::CMD_ACK_REPEAT;
}

int32_t SaturatingTimes(int32_t value, int32_t factor) {
  const int64_t product = static_cast<int64_t>(value) * factor;
  return static_cast<int32_t>(std::min<int64_t>(product, std::numeric_limits<int32_t>::max()));
}

// The reply time-out for the next chunks, from the average time per chunk so
// far; never below the floor of the line.
int32_t AdaptPacing(const EngineConnection& c, uint32_t elapsed_ms, uint32_t chunks_done,
                    int32_t caller_timeout_ms) {
  const uint64_t average = elapsed_ms / chunks_done;
  const uint64_t blended = (average + static_cast<uint32_t>(c.data_pacing) + 300) / 2;
  const bool serial = c.transport_name.rfind("RS232", 0) == 0;
  const int64_t floor = serial ? caller_timeout_ms : kMinPacingMs;
  const int64_t pacing = std::max<int64_t>(static_cast<int64_t>(blended), floor);
  return static_cast<int32_t>(std::min<int64_t>(pacing, std::numeric_limits<int32_t>::max()));
}

// Sends one chunk, resending it with its own sequence number until the
// terminal takes it. False when the upload must stop.
bool SendChunk(EngineConnection& c, std::span<const uint8_t> chunk, uint32_t start_tick,
               uint32_t& chunks_done, int32_t caller_timeout_ms) {
  // Every send of this chunk carries the number of its first send, so the
  // terminal recognises a resend and never takes it for the next chunk.
  const uint16_t counter = c.reply_counter;
  for (int send = 1; send <= kSendsPerChunk; ++send) {
    if (c.abort_flag == 1) return false;
    int32_t wait_timeouts = 0;
    ExchangeRequest request;
    request.code = wire::CMD_DATA;
    request.data = chunk;
    request.timeout_ms = c.data_pacing;
    request.keep_armed = true;
    request.wait_timeouts = &wait_timeouts;
    request.counter = counter;
    const ExchangeResult ex = Exchange(c, request);
    if (wait_timeouts > 0) {
      c.data_pacing = std::min(c.data_pacing, std::numeric_limits<int32_t>::max() - kPacingStepMs) +
                      kPacingStepMs;
      if (c.data_pacing >= kPacingLimitMs && ex.outcome == wire::CMD_ACK_NO) return false;
    }
    if (ChunkAccepted(ex.outcome)) {
      ++chunks_done;
      if (chunks_done % 10 == 1) {
        c.data_pacing =
            AdaptPacing(c, platform::TicksSince(start_tick), chunks_done, caller_timeout_ms);
      }
      return true;
    }
  }
  return false;
}

}  // namespace

bool SendData(EngineConnection& c, std::span<const uint8_t> data, int32_t timeout_ms) {
  c.last_error = 0;
  c.data_pacing = timeout_ms;
  const uint32_t start = platform::TickCount();

  std::array<uint8_t, 4> total{};
  wire::ByteWriter(total).U32(static_cast<uint32_t>(data.size()));
  std::array<uint8_t, 16> prepared{};
  uint16_t code = wire::CMD_PREPARE_DATA;
  SendCommand(c, code, total, prepared, timeout_ms);

  size_t sent = 0;
  if (code == wire::CMD_ACK_OK && !data.empty()) {
    const size_t chunk_size = static_cast<size_t>(c.receive_length.load()) - wire::kHeaderSize;
    uint32_t chunks_done = 0;
    while (sent < data.size()) {
      const auto chunk = data.subspan(sent, std::min(chunk_size, data.size() - sent));
      if (!SendChunk(c, chunk, start, chunks_done, timeout_ms)) break;
      sent += chunk.size();
    }
  }
  RearmReader(c);
  return code == wire::CMD_ACK_OK && sent == data.size();
}

int32_t SendCommandWithData(EngineConnection& c, uint16_t& code, std::span<const uint8_t> data,
                            std::span<const uint8_t> params, int32_t timeout_ms) {
  c.last_error = 0;
  const uint32_t hash = wire::DataHash(data);
  if (!SendData(c, data, timeout_ms)) {
    code = wire::CMD_ACK_NO;
    return 0;
  }

  // The terminal checks what it received against our hash, when it can.
  std::array<uint8_t, 4> their_hash{};
  uint16_t check = wire::kDataChecksum;
  SendCommand(c, check, {}, their_hash, timeout_ms);
  if (check == wire::CMD_ACK_OK) {
    if (wire::ByteReader(their_hash).U32() != hash) return 0;
  } else if (check != wire::CMD_ACK_UNKNOWN) {
    return 0;
  }

  uint16_t take = code;
  int32_t result = SendCommand(c, take, params, {}, SaturatingTimes(timeout_ms, 4));
  if (take != wire::CMD_ACK_OK && take != wire::CMD_ACK_REPEAT) {
    code = take;
    return result;
  }

  for (int i = 0; i < 2; ++i) {
    uint16_t release = wire::CMD_FREE_DATA;
    result = SendCommand(c, release, {}, {}, kFreeDataTimeoutMs);
    if (release == wire::CMD_ACK_OK) break;
  }
  code = wire::CMD_ACK_OK;
  return result;
}

}  // namespace devwire
