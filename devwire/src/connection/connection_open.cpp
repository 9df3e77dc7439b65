#include "connection/connection_open.h"

#include <array>
#include <new>

#include "connection/connect_handshake.h"
#include "platform/tick.h"
#include "exchange/reader_channel.h"
#include "exchange/send_command.h"
#include "wire/codes.h"
#include "wire/packet.h"

namespace devwire {
namespace {

constexpr int32_t kExitTimeoutMs = 10;

OpenResult Fail(int32_t error) { return OpenResult{nullptr, error}; }

// A command without data that expects no answer.
void SendUnanswered(EngineConnection& c, uint16_t code) {
  std::array<uint8_t, wire::kHeaderSize> packet{};
  wire::BuildPacket(code, c.connection_id, c.reply_counter, {}, packet);
  c.entry().send(c.transport, packet.data(), static_cast<int32_t>(packet.size()));
  ++c.reply_counter;
}

}  // namespace

OpenResult OpenConnection(const char* plugin_file, const OpenParams& params) {
  std::unique_ptr<TransportBinding> binding = TransportBinding::Load(plugin_file);
  if (!binding) return Fail(DEVWIRE_E_LOAD_PLUGIN);
  return OpenConnection(std::move(binding), params);
}

OpenResult OpenConnection(std::unique_ptr<TransportBinding> binding, const OpenParams& params) {
  // From here on every failure simply drops the record: its destructor stops
  // the reader, closes the transport and unloads the plug-in.
  std::unique_ptr<EngineConnection> c(new (std::nothrow) EngineConnection(std::move(binding)));
  if (!c) return Fail(DEVWIRE_E_NO_MEMORY);

  c->transport_name = c->plugin->QueryName(c.get());
  const TransportSizing sizing = SizingForName(c->transport_name);
  try {
    c->receive_buffer.assign(sizing.buffer_size, 0);
  } catch (const std::bad_alloc&) {
    return Fail(DEVWIRE_E_NO_MEMORY);
  }
  c->receive_length = sizing.receive_length;

  c->event_callback = params.callback;
  c->synchronous = params.callback == nullptr;
  if (!c->plugin->HasRequired()) return Fail(DEVWIRE_E_NO_ENTRY_POINT);

  const uint32_t open_start = platform::TickCount();
  c->transport =
      c->entry().init(params.address != nullptr ? params.address : "", params.p1, params.p2);
  if (c->transport == nullptr) return Fail(DEVWIRE_E_TRANSPORT_OPEN);
  const int32_t connect_timeout = sizing.timeout_from_open
                                      ? ConnectTimeoutAfterOpen(platform::TicksSince(open_start))
                                      : sizing.connect_timeout_ms;

  c->event_context = params.context;
  c->read_request.Set();
  if (!c->synchronous && !StartReader(*c)) return Fail(DEVWIRE_E_READER_THREAD);

  const int32_t error =
      ConnectHandshake(*c, connect_timeout, params.comm_password, params.peer_limit);
  if (error != 0) return Fail(error);
  // Events from now on are acknowledged under the number the terminal gave.
  RearmReader(*c);
  return OpenResult{std::move(c), 0};
}

void CloseConnection(std::unique_ptr<EngineConnection> connection) {
  if (!connection) return;
  // The goodbye is a courtesy: one short attempt, whatever the outcome.
  if (CalledFromReader(*connection)) {
    // From inside the event callback no answer can be read: it goes out
    // unanswered.
    SendUnanswered(*connection, wire::CMD_EXIT);
  } else {
    uint16_t code = wire::CMD_EXIT;
    SendCommand(*connection, code, {}, {}, kExitTimeoutMs);
  }
  QuiesceReader(*connection);
  connection.reset();
}

}  // namespace devwire
