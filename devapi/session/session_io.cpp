#include "session/session_io.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "session/session_util.h"

namespace devapi {

uint32_t Reply::Word(size_t index) const {
  const size_t at = index * 4;
  if (at + 4 > bytes.size()) return 0;
  return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
         (static_cast<uint32_t>(bytes[at + 2]) << 16) |
         (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

std::string Reply::Text() const {
  const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  return std::string(bytes.begin(), end);
}

Reply SendCommand(DeviceSession& session, uint16_t command, std::span<const uint8_t> data,
                  size_t reply_size, int32_t timeout_ms) {
  Reply reply;
  reply.code = command;
  const size_t reply_cap = std::min<size_t>(reply_size, INT32_MAX);
  const size_t data_len = std::min<size_t>(data.size(), INT32_MAX);
  // One zeroed buffer holds the request going out and the reply coming back.
  std::vector<uint8_t> buffer(std::max<size_t>({reply_cap, data_len, 1}), 0);
  if (data_len > 0) std::memcpy(buffer.data(), data.data(), data_len);
  reply.result =
      DEVWIRE_SENDCMD(session.engine, &reply.code, buffer.data(), static_cast<int32_t>(reply_cap),
                      static_cast<int32_t>(data_len), timeout_ms);
  buffer.resize(reply_cap);
  const int32_t arrived = DEVWIRE_REPLYLENGTH(session.engine);
  reply.length = arrived > 0 ? std::min<size_t>(static_cast<size_t>(arrived), reply_cap) : 0;
  // The request bytes are not a reply: a failed exchange hands back zeros.
  if (reply.code != kAckOk && data_len > 0) {
    std::fill(buffer.begin(), buffer.begin() + std::min(data_len, reply_cap), 0);
  }
  reply.bytes = std::move(buffer);
  return reply;
}

int32_t AddTimeout(int32_t timeout_ms, int32_t extra_ms) {
  const int64_t sum = static_cast<int64_t>(timeout_ms) + extra_ms;
  return static_cast<int32_t>(std::clamp<int64_t>(sum, 0, INT32_MAX));
}

OptionValue ReadOption(DeviceSession& session, std::string_view name, size_t reply_size,
                       int32_t timeout_ms) {
  OptionValue out;
  if (!OptionNameFits(name, reply_size)) {
    out.code = kAckErrorCmd;
    return out;
  }
  std::vector<uint8_t> request(name.begin(), name.end());
  request.push_back(0);
  const Reply reply = SendCommand(session, kCmdOptionsRead, request, reply_size, timeout_ms);
  out.code = reply.code;
  if (!reply.ok()) return out;
  // Only a terminated reply that starts with "name=" carries a value.
  const auto end = std::find(reply.bytes.begin(), reply.bytes.end(), uint8_t{0});
  if (end == reply.bytes.end()) return out;
  const std::string text(reply.bytes.begin(), end);
  if (text.size() < name.size() + 1 || text.compare(0, name.size(), name) != 0 ||
      text[name.size()] != '=') {
    return out;
  }
  out.value = text.substr(name.size() + 1);
  return out;
}

int32_t WriteOptionText(DeviceSession& session, uint16_t command, std::string_view request) {
  if (request.size() + 1 > kOptionWriteRoom) return 4;
  std::vector<uint8_t> data(request.begin(), request.end());
  data.push_back(0);
  const Reply reply = SendCommand(session, command, data, kOptionWriteRoom, session.cmd_timeout_ms);
  return reply.ok() ? 1 : -2;
}

int32_t WriteOption(DeviceSession& session, uint16_t command, std::string_view name,
                    std::string_view value, bool may_scramble) {
  if (name.empty()) return 4;
  // Refuse before scrambling: the scrambled text is more than twice as long.
  if (name.size() + 1 + value.size() + 1 > kOptionWriteRoom) return 4;
  std::string request(name);
  request.push_back('=');
  const bool scramble = may_scramble && name[0] == '~' && session.has_os_option == 0;
  if (scramble) {
    if (name.size() + 1 + 2 * (value.size() + 1) + 1 > kOptionWriteRoom) return 4;
    request += ScrambleValue(value, ScrambleKey());
  } else {
    request += value;
  }
  return WriteOptionText(session, command, request);
}

}  // namespace devapi
