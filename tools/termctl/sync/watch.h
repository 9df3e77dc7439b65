// `termctl sync --watch`: after the first sync the connections stay open,
// registered for pushed events; every attendance event makes that terminal's
// new records go into the database at once.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

#include "address.h"
#include "sync/terminal_sync.h"

namespace termctl::sync {

// Events cross from the engines' reader threads to the watching thread
// here; the callback only notes which terminal spoke.
class EventInbox {
 public:
  struct Source {
    EventInbox* inbox = nullptr;
    size_t terminal = 0;
  };

  explicit EventInbox(size_t terminals);
  // The route for terminal i's connection; stable for the inbox's life.
  EventRoute RouteFor(size_t terminal);
  // Waits up to `ms` for terminals with pending attendance events.
  std::vector<size_t> Wait(int ms);

 private:
  static void OnEvent(void* context, uint16_t kind, int32_t length, const uint8_t* payload);

  std::mutex mu_;
  std::condition_variable ready_;
  std::vector<bool> pending_;
  std::deque<size_t> order_;
  std::vector<Source> sources_;
};

struct WatchedTerminal {
  Address address;
  DEVAPI_HANDLE handle = nullptr;
  TerminalIdentity identity;
};

// Stores pushed punches until interrupted or `seconds` have passed (0:
// until interrupted). `terminals` is indexed as the inbox; those without a
// handle (their first sync failed) are left alone. False when any terminal's records could not be
// stored; the others go on.
bool Watch(std::vector<WatchedTerminal>& terminals, EventInbox& inbox, const SyncOptions& options,
           long long seconds);

}  // namespace termctl::sync
