// Opening and closing engine connections.
#pragma once

#include <cstdint>
#include <memory>

#include "devwire.h"
#include "connection/engine_connection.h"
#include "connection/transport_binding.h"

namespace devwire {

struct OpenParams {
  const char* address = "";
  int32_t p1 = 0;
  int32_t p2 = 0;
  DEVWIRE_EVENT_CALLBACK callback = nullptr;
  void* context = nullptr;
  uint32_t comm_password = 0;
  int32_t* peer_limit = nullptr;
};

struct OpenResult {
  std::unique_ptr<EngineConnection> connection;  // null on failure
  int32_t error = 0;                             // DEVWIRE_E_*, 0 on success
};

// Loads the plug-in file and opens a connection over it.
OpenResult OpenConnection(const char* plugin_file, const OpenParams& params);

// Opens a connection over an already bound transport.
OpenResult OpenConnection(std::unique_ptr<TransportBinding> binding, const OpenParams& params);

// Says goodbye to the terminal and releases everything.
void CloseConnection(std::unique_ptr<EngineConnection> connection);

}  // namespace devwire
