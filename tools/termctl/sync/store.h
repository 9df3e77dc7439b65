// Writing what a terminal gave into the database.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sync/database.h"
#include "sync/snapshot.h"

namespace termctl::sync {

struct StoreCounts {
  int64_t users = 0;
  int64_t new_punches = 0;
  int64_t new_oplog = 0;
};

// True when the terminal's last recorded run committed: only then may a
// sync take just the records not taken yet (the terminal forgets a record
// once it was handed out, so a run that failed needs the whole log again).
bool LastRunSucceeded(Database& db, const std::string& serial);

// The whole snapshot in one transaction, with its sync_runs row. False with
// the refused record named in `error`; nothing is then written.
bool StoreSnapshot(Database& db, const std::string& address, const Snapshot& snapshot,
                   const std::string& started, StoreCounts* counts, std::string* error);

// Punches that arrived while watching, in one transaction.
bool StorePunches(Database& db, const TerminalIdentity& identity, const std::string& address,
                  const std::vector<PunchRow>& punches, int64_t* added, std::string* error);

// A sync_runs row for a run that failed (best effort: the database may be
// what failed).
void RecordFailedRun(Database& db, const std::string& serial, const std::string& address,
                     const std::string& started, const std::string& reason);

}  // namespace termctl::sync
