#include "exchange/send_command.h"

#include <algorithm>
#include <string>

#include "connection/engine_connection.h"
#include "exchange/exchange.h"
#include "connection/option_cache.h"
#include "platform/tick.h"
#include "wire/codes.h"

namespace devwire {
namespace {

// Commands that change the terminal's state and must never be sent twice.
bool NeverRepeated(uint16_t code) {
  return code == wire::CMD_APPEND_USER || code == wire::CMD_APPEND_USERTEMP ||
         (code >= wire::CMD_EXIT && code <= 1007);
}

bool UsesFreeSizesCache(const EngineConnection& c) { return c.free_sizes_cache_off == 0; }

// Copies cached bytes out as an accepted reply would: the whole buffer zeroed,
// then as much as fits.
void CopyOut(std::span<const uint8_t> cached, std::span<uint8_t> reply) {
  std::fill(reply.begin(), reply.end(), 0);
  std::copy_n(cached.begin(), std::min(cached.size(), reply.size()), reply.begin());
}

// Text is always terminated inside the caller's buffer, cut if need be.
void CopyTextOut(const std::string& text, std::span<uint8_t> reply) {
  std::fill(reply.begin(), reply.end(), 0);
  if (reply.empty()) return;
  const size_t n = std::min(text.size(), reply.size() - 1);
  std::copy_n(text.begin(), n, reply.begin());
}

// Text of a reply payload: up to its first NUL, never past its length.
std::string TextOf(std::span<const uint8_t> bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  return std::string(bytes.begin(), end);
}

// A cached answer, when the engine has one; the outcome goes into `code`.
bool AnswerFromCache(EngineConnection& c, uint16_t& code, std::span<const uint8_t> data,
                     std::span<uint8_t> reply) {
  if (code == wire::CMD_GET_FREE_SIZES && c.last_command == wire::CMD_GET_FREE_SIZES &&
      c.free_sizes_cached && UsesFreeSizesCache(c)) {
    CopyOut(c.free_sizes_cache, reply);
    code = wire::CMD_ACK_OK;
    return true;
  }
  if (code == wire::kFirmwareVersion && c.firmware_version_text) {
    CopyTextOut(*c.firmware_version_text, reply);
    code = wire::CMD_ACK_OK;
    return true;
  }
  if (code == wire::CMD_OPTIONS_RRQ) return AnswerOptionRead(c, code, data, reply);
  return false;
}

// How much of the caller's buffer a cached answer filled: the 200-byte
// command-50 record, or a terminated text.
size_t CachedAnswerBytes(uint16_t command, std::span<const uint8_t> reply) {
  if (command == wire::CMD_GET_FREE_SIZES) return std::min<size_t>(200, reply.size());
  const auto end = std::find(reply.begin(), reply.end(), uint8_t{0});
  return std::min<size_t>(static_cast<size_t>(end - reply.begin()) + 1, reply.size());
}

// Fills the caches from an accepted reply.
void RememberReply(EngineConnection& c, uint16_t command, const std::vector<uint8_t>& payload) {
  if (command == wire::kFirmwareVersion && !c.firmware_version_text) {
    c.firmware_version_text = TextOf(payload);
  }
  if (command == wire::CMD_GET_FREE_SIZES && UsesFreeSizesCache(c)) {
    c.free_sizes_cache.fill(0);
    std::copy_n(payload.begin(), std::min(payload.size(), c.free_sizes_cache.size()),
                c.free_sizes_cache.begin());
    c.free_sizes_cached = true;
  }
}

}  // namespace

int32_t SendCommand(EngineConnection& c, uint16_t& code, std::span<const uint8_t> data,
                    std::span<uint8_t> reply, int32_t timeout_ms,
                    std::vector<uint8_t>* keep_reply) {
  c.last_error = 0;
  c.last_reply_bytes = -1;
  const uint16_t command = code;
  if (AnswerFromCache(c, code, data, reply)) {
    c.last_reply_bytes = static_cast<int32_t>(CachedAnswerBytes(command, reply));
    return 0;
  }

  // Taken before the reply overwrites the buffer it shares with the data.
  std::string option_write;
  if (IsOptionWrite(command)) option_write = TextOf(data);
  const int tries = (timeout_ms != 0 && command != kNoExtraWaitCommand) ? 2 : 1;

  const bool fills_cache = command == wire::kFirmwareVersion ||
                           (command == wire::CMD_GET_FREE_SIZES && UsesFreeSizesCache(c));
  std::vector<uint8_t> payload;
  ExchangeRequest request;
  request.code = command;
  request.data = data;
  request.reply = reply;
  request.timeout_ms = timeout_ms;
  request.keep_reply = (keep_reply != nullptr || fills_cache) ? &payload : nullptr;

  uint16_t outcome = command;
  int32_t result = 0;
  for (int attempt = 1; attempt <= tries; ++attempt) {
    // Releasing commands go out even after a cancel, so the terminal drops
    // what it prepared.
    if (CancelBlocks(c, command)) {
      outcome = wire::CMD_ACK_ERROR;
      break;
    }
    payload.clear();  // only the deciding reply is kept
    const ExchangeResult ex = Exchange(c, request);
    outcome = ex.outcome;
    result = ex.result;
    c.last_reply_bytes =
        ex.reply_length < 0 ? -1
                            : static_cast<int32_t>(std::min<size_t>(ex.reply_length, reply.size()));
    if (outcome == wire::CMD_ACK_REPEAT && reply.empty()) {
      outcome = wire::CMD_ACK_OK;  // the terminal had it already
      break;
    }
    if (NeverRepeated(command)) break;
    const bool worth_again = outcome == wire::CMD_ACK_NO || outcome == wire::CMD_ACK_ERROR_DATA ||
                             outcome == wire::CMD_ACK_ERROR_CMD || outcome == wire::CMD_ACK_REPEAT;
    if (!worth_again || command == wire::CMD_CONNECT || attempt == tries) break;
    platform::SleepMs(kTryPauseMs);
  }

  c.last_command = command;
  if (command == wire::CMD_GET_FREE_SIZES) c.free_sizes_cached = false;
  if (outcome == wire::CMD_ACK_OK) {
    RememberReply(c, command, payload);
    // The version is text: it reaches the caller terminated, as the cached one does.
    if (command == wire::kFirmwareVersion) CopyTextOut(*c.firmware_version_text, reply);
  }
  code = command == wire::CMD_EXIT ? static_cast<uint16_t>(wire::CMD_ACK_OK) : outcome;
  if (IsOptionWrite(command) && outcome == wire::CMD_ACK_OK) {
    ApplyOptionWrite(c, option_write);
  }
  if (keep_reply != nullptr) *keep_reply = std::move(payload);
  return result;
}

}  // namespace devwire
