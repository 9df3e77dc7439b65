#include "exchange/sync_read.h"

#include <algorithm>
#include <span>

#include "devwire.h"
#include "connection/engine_connection.h"
#include "exchange/event_ack.h"
#include "exchange/wait_bound.h"
#include "wire/codes.h"
#include "wire/packet.h"

namespace devwire {

SyncRead ReadReplySynchronously(EngineConnection& connection, int32_t timeout_ms,
                                uint16_t sent_counter, bool cancellable) {
  connection.reply_length = -1;
  const size_t capacity = std::min(connection.receive_buffer.size(),
                                   static_cast<size_t>(connection.receive_length.load()));
  std::span<uint8_t> buffer(connection.receive_buffer.data(), capacity);
  std::fill(buffer.begin(), buffer.end(), 0);

  const int32_t got = BoundedRead(connection, buffer.data(), static_cast<int32_t>(buffer.size()),
                                  timeout_ms, cancellable);
  RecordLineFailure(connection, got);
  // A runt cannot carry a header; a count beyond the buffer means a broken
  // transport. Neither is read any further.
  if (got < static_cast<int32_t>(wire::kHeaderSize) || static_cast<size_t>(got) > buffer.size()) {
    return SyncRead::kNothing;
  }
  const auto packet = buffer.first(static_cast<size_t>(got));
  if (!wire::ChecksumValid(packet)) {
    connection.last_error = DEVWIRE_E_BAD_CHECKSUM;
    return SyncRead::kNothing;
  }
  const wire::PacketView view = *wire::ParsePacket(packet);
  if (view.header.code == wire::kEventPacket) {
    // There is no callback to deliver it to; acknowledge it all the same.
    AcknowledgeEvent(connection, view.header.reply_counter);
    return SyncRead::kEventAcknowledged;
  }
  if (wire::CounterOlder(view.header.reply_counter, sent_counter)) {
    connection.last_error = DEVWIRE_E_STALE_REPLY;
    return SyncRead::kStale;
  }
  connection.reply_length = static_cast<int32_t>(view.payload.size());
  return SyncRead::kReply;
}

}  // namespace devwire
