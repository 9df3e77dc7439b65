#include "sync/watch.h"

#include <chrono>
#include <cstdio>
#include <memory>

#include "sync/store.h"
#include "terminal_io.h"

namespace termctl::sync {

namespace {

// Attendance events; the others (keys, doors, alarms) bring no records.
constexpr uint16_t kAttendanceEvent = 1;

}  // namespace

EventInbox::EventInbox(size_t terminals) : pending_(terminals, false), sources_(terminals) {
  for (size_t i = 0; i < terminals; ++i) sources_[i] = Source{this, i};
}

EventRoute EventInbox::RouteFor(size_t terminal) {
  return EventRoute{&EventInbox::OnEvent, &sources_.at(terminal)};
}

void EventInbox::OnEvent(void* context, uint16_t kind, int32_t, const uint8_t*) {
  if (kind != kAttendanceEvent || context == nullptr) return;
  const auto* source = static_cast<const Source*>(context);
  EventInbox& inbox = *source->inbox;
  {
    std::lock_guard<std::mutex> lock(inbox.mu_);
    if (inbox.pending_[source->terminal]) return;
    inbox.pending_[source->terminal] = true;
    inbox.order_.push_back(source->terminal);
  }
  inbox.ready_.notify_one();
}

std::vector<size_t> EventInbox::Wait(int ms) {
  std::unique_lock<std::mutex> lock(mu_);
  ready_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !order_.empty(); });
  std::vector<size_t> due(order_.begin(), order_.end());
  order_.clear();
  for (const size_t i : due) pending_[i] = false;
  return due;
}

bool Watch(std::vector<WatchedTerminal>& terminals, EventInbox& inbox, const SyncOptions& options,
           long long seconds) {
  std::string error;
  std::unique_ptr<Database> db = OpenDatabase(options.db, &error);
  if (!db) {
    std::fprintf(stderr, "termctl: sync: %s: %s\n", DisplayDbUrl(options.db).c_str(),
                 error.c_str());
    return false;
  }
  bool all_ok = true;
  size_t live = 0;
  for (WatchedTerminal& t : terminals) {
    if (t.handle == nullptr) continue;
    ++live;
    // Every bit: the terminal sends whatever it has.
    const int r = Q_RegEvent(t.handle, -1);
    if (r != 1) {
      std::fprintf(stderr, "termctl: sync: %s: %s\n", FormatAddress(t.address).c_str(),
                   CallFailure(t.handle, "Q_RegEvent", r).c_str());
      all_ok = false;
    }
  }
  std::fprintf(stderr, "termctl: sync: watching %zu terminal(s) for punches (Ctrl-C to stop)\n",
               live);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!Interrupted() && (seconds == 0 || std::chrono::steady_clock::now() < end)) {
    for (const size_t i : inbox.Wait(200)) {
      WatchedTerminal& t = terminals[i];
      const std::string where = FormatAddress(t.address);
      bool new_only = LastRunSucceeded(*db, t.identity.serial);
      std::vector<PunchRow> punches;
      int64_t added = 0;
      if (!ReadPunches(t.handle, t.identity, &new_only, &punches, &error) ||
          !StorePunches(*db, t.identity, where, punches, &added, &error)) {
        // The next sync must take the whole log again.
        RecordFailedRun(*db, t.identity.serial, where, "", error);
        std::fprintf(stderr, "termctl: sync: %s: %s\n", where.c_str(), error.c_str());
        all_ok = false;
        continue;
      }
      if (added > 0) {
        std::printf("%s (serial %s): %lld new punches\n", where.c_str(), t.identity.serial.c_str(),
                    static_cast<long long>(added));
        std::fflush(stdout);
      }
    }
  }
  return all_ok;
}

}  // namespace termctl::sync
