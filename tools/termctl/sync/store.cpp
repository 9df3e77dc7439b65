#include "sync/store.h"

#include "moment.h"

namespace termctl::sync {

namespace {

std::string Now() { return FormatMoment(LocalNow()); }

bool Refused(Database& db, const std::string& what, std::string* error) {
  *error = what + " refused by the database: " + db.Error();
  return false;
}

bool UpsertTerminal(Database& db, const TerminalIdentity& identity, const std::string& address,
                    std::string* error) {
  if (!db.Exec("INSERT INTO terminals (serial, address, firmware, last_sync) VALUES (?, ?, ?, ?)"
               " ON CONFLICT (serial) DO UPDATE SET address = excluded.address,"
               " firmware = excluded.firmware, last_sync = excluded.last_sync",
               {identity.serial, address, identity.firmware, Now()})) {
    return Refused(db, "terminal " + identity.serial, error);
  }
  return true;
}

bool InsertPunches(Database& db, const std::string& serial, const std::vector<PunchRow>& punches,
                   int64_t* added, std::string* error) {
  for (const PunchRow& p : punches) {
    if (!db.Exec("INSERT INTO punches (terminal, user_id, time, state, verify_mode, work_code)"
                 " VALUES (?, ?, ?, ?, ?, ?)"
                 " ON CONFLICT (terminal, user_id, time, state) DO NOTHING",
                 {serial, p.user_id, p.time, p.state, p.verify_mode, p.work_code})) {
      return Refused(db,
                     "punch of user " + p.user_id + " at " + p.time + " (state " +
                         std::to_string(p.state) + ")",
                     error);
    }
    *added += db.Changes();
  }
  return true;
}

}  // namespace

bool LastRunSucceeded(Database& db, const std::string& serial) {
  std::vector<DbRow> rows;
  if (!db.Query("SELECT result FROM sync_runs WHERE terminal = ? ORDER BY id DESC LIMIT 1",
                {serial}, &rows) ||
      rows.empty()) {
    return false;
  }
  const auto* result = std::get_if<std::string>(&rows[0][0]);
  return result != nullptr && *result == "ok";
}

bool StoreSnapshot(Database& db, const std::string& address, const Snapshot& snapshot,
                   const std::string& started, StoreCounts* counts, std::string* error) {
  const std::string& serial = snapshot.identity.serial;
  Transaction tx(db);
  if (!tx.Begin()) return Refused(db, "the transaction", error);
  if (!UpsertTerminal(db, snapshot.identity, address, error)) return false;
  for (const UserRow& u : snapshot.users) {
    if (!db.Exec("INSERT INTO users (terminal, pin, user_id, name, privilege, card, enabled)"
                 " VALUES (?, ?, ?, ?, ?, ?, ?)"
                 " ON CONFLICT (terminal, pin) DO UPDATE SET user_id = excluded.user_id,"
                 " name = excluded.name, privilege = excluded.privilege,"
                 " card = excluded.card, enabled = excluded.enabled",
                 {serial, u.pin, u.user_id, u.name, u.privilege, u.card, u.enabled})) {
      return Refused(db, "user " + u.user_id + " (PIN " + std::to_string(u.pin) + ")", error);
    }
    ++counts->users;
  }
  if (!InsertPunches(db, serial, snapshot.punches, &counts->new_punches, error)) return false;
  for (const OpRow& op : snapshot.oplog) {
    if (!db.Exec("INSERT INTO oplog (terminal, admin, operation, time, param1, param2, param3,"
                 " param4) VALUES (?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING",
                 {serial, op.admin, op.operation, op.time, op.params[0], op.params[1],
                  op.params[2], op.params[3]})) {
      return Refused(db,
                     "operation record " + std::to_string(op.operation) + " of admin " +
                         std::to_string(op.admin) + " at " + op.time,
                     error);
    }
    counts->new_oplog += db.Changes();
  }
  if (!db.Exec("INSERT INTO sync_runs (terminal, address, started, ended, users, new_punches,"
               " new_oplog, result) VALUES (?, ?, ?, ?, ?, ?, ?, 'ok')",
               {serial, address, started, Now(), counts->users, counts->new_punches,
                counts->new_oplog})) {
    return Refused(db, "the sync_runs row", error);
  }
  if (!tx.Commit()) return Refused(db, "the commit", error);
  return true;
}

bool StorePunches(Database& db, const TerminalIdentity& identity, const std::string& address,
                  const std::vector<PunchRow>& punches, int64_t* added, std::string* error) {
  Transaction tx(db);
  if (!tx.Begin()) return Refused(db, "the transaction", error);
  if (!UpsertTerminal(db, identity, address, error)) return false;
  if (!InsertPunches(db, identity.serial, punches, added, error)) return false;
  if (!tx.Commit()) return Refused(db, "the commit", error);
  return true;
}

void RecordFailedRun(Database& db, const std::string& serial, const std::string& address,
                     const std::string& started, const std::string& reason) {
  db.Exec("INSERT INTO sync_runs (terminal, address, started, ended, users, new_punches,"
          " new_oplog, result) VALUES (?, ?, ?, ?, 0, 0, 0, ?)",
          {serial.empty() ? DbValue(nullptr) : DbValue(serial), address, started, Now(),
           "failed: " + reason});
}

}  // namespace termctl::sync
