// Acknowledging the event packets a terminal sends on its own.
#pragma once

#include <cstdint>

namespace devwire {

struct EngineConnection;

// Answers an event packet with CMD_ACK_OK carrying the connection's number
// and the event's own sequence number, so the terminal stops resending it.
// A line failure of the send is recorded. Returns the send's result.
int32_t AcknowledgeEvent(EngineConnection& connection, uint16_t event_counter);

// Records a transport result in connect_status (and for the running
// attempt) when it is a line failure.
void RecordLineFailure(EngineConnection& connection, int32_t result);

}  // namespace devwire
