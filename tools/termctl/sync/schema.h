// The tables `termctl sync` writes, created and migrated by the program.
//
//   terminals  serial (key), address, firmware, last_sync
//   users      terminal, pin (the terminal's internal number), user_id (the
//              number or ID text people see), name, privilege, card, enabled;
//              one row per terminal and pin, updated on every sync
//   punches    terminal, user_id, time, state, verify_mode, work_code;
//              unique on terminal, user_id, time and state, so a repeated
//              download adds nothing
//   oplog      terminal, admin, operation, time, param1-4 (unique as a whole)
//   sync_runs  terminal, address, started, ended, counts, result
//   schema_version  the one number below
// Times are texts "YYYY-MM-DD HH:MM:SS" in the terminal's own clock.
#pragma once

#include <string>

#include "sync/database.h"

namespace termctl::sync {

inline constexpr int kSchemaVersion = 1;

// Creates the tables or brings older ones up to kSchemaVersion, in one
// transaction. False with the reason in `error`; a database of a newer
// version is refused.
bool EnsureSchema(Database& db, std::string* error);

}  // namespace termctl::sync
