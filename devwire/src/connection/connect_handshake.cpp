#include "connection/connect_handshake.h"

#include <array>
#include <limits>
#include <string_view>
#include <vector>

#include "devwire.h"
#include "connection/engine_connection.h"
#include "platform/tick.h"
#include "exchange/send_command.h"
#include "wire/auth.h"
#include "wire/codes.h"

namespace devwire {
namespace {

constexpr std::string_view kPeerLimitKey = "~MaxP2PConnCnt";

// Decimal digits at the start of `s`, saturated; 0 when there are none.
int32_t LeadingDecimal(std::string_view s) {
  int64_t value = 0;
  for (char ch : s) {
    if (ch < '0' || ch > '9') break;
    value = std::min<int64_t>(value * 10 + (ch - '0'), std::numeric_limits<int32_t>::max());
  }
  return static_cast<int32_t>(value);
}

}  // namespace

int32_t ParsePeerLimit(std::span<const uint8_t> bytes) {
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  text = text.substr(0, text.find('\0'));
  size_t line = 0;
  while (line < text.size()) {
    std::string_view rest = text.substr(line);
    if (rest.substr(0, kPeerLimitKey.size()) == kPeerLimitKey) {
      rest.remove_prefix(kPeerLimitKey.size());
      if (!rest.empty() && rest.front() == '=') return LeadingDecimal(rest.substr(1));
    }
    const size_t feed = text.find('\n', line);
    if (feed == std::string_view::npos) break;
    line = feed + 1;
  }
  return -1;
}

int32_t ConnectHandshake(EngineConnection& c, int32_t connect_timeout_ms, uint32_t comm_password,
                         int32_t* peer_limit) {
  std::array<uint8_t, kConnectReplySize> reply{};
  std::vector<uint8_t> reply_text;
  uint16_t code = wire::CMD_CONNECT;
  int32_t result = SendCommand(c, code, {}, reply, connect_timeout_ms, &reply_text);

  int32_t error = 0;
  if (code == wire::kPeerRefused) {
    // Too many peers on a peer-to-peer line; the terminal says how many fit.
    if (c.transport_name.rfind("P4P", 0) == 0 && peer_limit != nullptr) {
      *peer_limit = ParsePeerLimit(reply_text);
    }
    return DEVWIRE_E_PEER_LIMIT;
  }
  if (code == wire::CMD_ACK_OK) {
    c.connection_id = static_cast<uint16_t>(result);
    c.reply_counter = 1;
  } else if (code == wire::CMD_ACK_UNAUTH) {
    error = DEVWIRE_E_AUTH_REFUSED;
    c.connection_id = static_cast<uint16_t>(result);
    c.reply_counter = 1;
    const auto key = wire::MakeAuthKey(comm_password, c.connection_id,
                                       static_cast<uint8_t>(platform::TickCount()));
    std::array<uint8_t, 4> auth_reply{};
    code = wire::CMD_AUTH;
    result = SendCommand(c, code, key, auth_reply, kAuthTimeoutMs);
  } else {
    error = c.modem_mode ? DEVWIRE_E_MODEM : DEVWIRE_E_CONNECT_REFUSED;
  }

  if (result == -2) return DEVWIRE_E_NO_REPLY;
  if (code == wire::CMD_ACK_OK) return 0;
  return error;
}

}  // namespace devwire
