// One terminal's sync: connect, read, store in one transaction, and clear
// the terminal's log afterwards when asked.
#pragma once

#include <cstdint>
#include <string>

#include "address.h"
#include "devapi.h"
#include "sync/database.h"
#include "sync/snapshot.h"

namespace termctl::sync {

struct SyncOptions {
  DbUrl db;
  int32_t password = 0;
  bool clear_after = false;
};

// Where a kept connection's pushed events go (see watch.h).
struct EventRoute {
  DEVAPI_EVENT_CALLBACK callback = nullptr;
  void* context = nullptr;
};

struct SyncOutcome {
  bool ok = false;
  std::string message;  // one line for people: counts, or what failed
  // Kept open when the caller gave an event route and the sync succeeded.
  DEVAPI_HANDLE handle = nullptr;
  TerminalIdentity identity;
};

SyncOutcome SyncTerminal(const Address& address, const SyncOptions& options,
                         const EventRoute* keep);

}  // namespace termctl::sync
