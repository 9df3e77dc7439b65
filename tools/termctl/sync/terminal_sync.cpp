#include "sync/terminal_sync.h"

#include <memory>

#include "connect.h"
#include "moment.h"
#include "sync/store.h"

namespace termctl::sync {

namespace {

// Closes the connection unless it is handed on.
struct HandleGuard {
  DEVAPI_HANDLE h = nullptr;
  ~HandleGuard() {
    if (h != nullptr) Q_Close(h);
  }
  DEVAPI_HANDLE Release() {
    DEVAPI_HANDLE out = h;
    h = nullptr;
    return out;
  }
};

// While the log is read, stored and cleared, nobody may punch: a record
// made between the download and the clearing would be lost.
struct DisabledWhile {
  DEVAPI_HANDLE h = nullptr;
  ~DisabledWhile() {
    if (h != nullptr) Q_EnableDevice(h);
  }
};

// Events nobody watches. A connection with a callback has a reader thread,
// which spares every exchange the pause a connection that reads for itself
// takes before each read.
void IgnoreEvent(void*, uint16_t, int32_t, const uint8_t*) {}

}  // namespace

SyncOutcome SyncTerminal(const Address& address, const SyncOptions& options,
                         const EventRoute* keep) {
  SyncOutcome out;
  const std::string where = FormatAddress(address);
  const std::string started = FormatMoment(LocalNow());
  std::string error;
  auto fail = [&](const std::string& reason) {
    out.message = where + ": " + reason;
    return out;
  };

  std::unique_ptr<Database> db = OpenDatabase(options.db, &error);
  if (!db) return fail(DisplayDbUrl(options.db) + ": " + error);

  HandleGuard conn;
  conn.h = ConnectTerminal(address, options.password, keep ? keep->callback : IgnoreEvent,
                           keep ? keep->context : nullptr, &error);
  if (conn.h == nullptr) return fail(error);
  if (!ReadIdentity(conn.h, &out.identity, &error)) return fail(error);

  DisabledWhile disabled;
  if (options.clear_after) {
    const int r = Q_DisableDevice(conn.h, 0);
    if (r != 1) return fail(CallFailure(conn.h, "Q_DisableDevice", r));
    disabled.h = conn.h;
  }
  Snapshot snapshot;
  const bool new_only = LastRunSucceeded(*db, out.identity.serial);
  if (!ReadSnapshot(conn.h, out.identity, new_only, &snapshot, &error)) {
    RecordFailedRun(*db, out.identity.serial, where, started, error);
    return fail(error);
  }
  StoreCounts counts;
  if (!StoreSnapshot(*db, where, snapshot, started, &counts, &error)) {
    RecordFailedRun(*db, out.identity.serial, where, started, error);
    return fail(error + "; nothing stored" +
                (options.clear_after ? ", the terminal's log was not cleared" : ""));
  }
  out.message = where + " (serial " + out.identity.serial + "): " +
                std::to_string(counts.users) + " users, " + std::to_string(counts.new_punches) +
                " new punches of " + std::to_string(snapshot.punches.size()) +
                (snapshot.new_only ? " new" : "") + " read, " +
                std::to_string(counts.new_oplog) + " new operation records";
  if (options.clear_after) {
    const int c = Q_ClearLogData(conn.h);
    if (c != 1) return fail("stored, but " + CallFailure(conn.h, "Q_ClearLogData", c));
    out.message += "; the terminal's log was cleared";
  }
  out.ok = true;
  if (keep != nullptr) out.handle = conn.Release();
  return out;
}

}  // namespace termctl::sync
