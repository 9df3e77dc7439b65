#include "exchange/line_drain.h"

#include <algorithm>

#include "connection/engine_connection.h"
#include "exchange/event_ack.h"
#include "exchange/line_status.h"
#include "platform/tick.h"

namespace devwire {

void DrainLine(EngineConnection& c, uint32_t silence_ms, uint32_t deadline_ms) {
  const uint32_t start = platform::TickCount();
  // The whole receive buffer: whatever the transport can deliver fits.
  auto* area = c.receive_buffer.data();
  const auto size = static_cast<int32_t>(c.receive_buffer.size());
  for (;;) {
    const uint32_t elapsed = platform::TicksSince(start);
    if (elapsed >= deadline_ms) return;
    const uint32_t wait = std::min(silence_ms, deadline_ms - elapsed);
    const int32_t got = c.entry().read(c.transport, area, size, static_cast<int32_t>(wait));
    if (IsLineFailure(got)) {
      RecordLineFailure(c, got);
      return;
    }
    if (got <= 0) return;
  }
}

}  // namespace devwire
