// Opening a connection to a terminal by its address.
#pragma once

#include <string>

#include "address.h"
#include "devapi.h"

namespace termctl {

// Connects with the given event callback (null for none). Null on failure,
// with a sentence for people in `reason` (which call failed, its last
// error, and what is the likely cause).
DEVAPI_HANDLE ConnectTerminal(const Address& address, int32_t password,
                              DEVAPI_EVENT_CALLBACK callback, void* context,
                              std::string* reason);

}  // namespace termctl
