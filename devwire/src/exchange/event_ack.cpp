#include "exchange/event_ack.h"

#include <array>

#include "connection/engine_connection.h"
#include "exchange/line_status.h"
#include "wire/codes.h"
#include "wire/packet.h"

namespace devwire {

int32_t AcknowledgeEvent(EngineConnection& connection, uint16_t event_counter) {
  std::array<uint8_t, wire::kHeaderSize> ack{};
  wire::BuildPacket(wire::CMD_ACK_OK, connection.connection_id, event_counter, {}, ack);
  const int32_t sent =
      connection.entry().send(connection.transport, ack.data(), static_cast<int32_t>(ack.size()));
  RecordLineFailure(connection, sent);
  return sent;
}

void RecordLineFailure(EngineConnection& connection, int32_t result) {
  if (!IsLineFailure(result)) return;
  connection.connect_status = result;
  connection.attempt_line_failure = result;
}

}  // namespace devwire
