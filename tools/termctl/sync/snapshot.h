// What one sync takes from a terminal: its identity, users, punches and
// operation records, read through devapi.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "devapi.h"

namespace termctl::sync {

struct UserRow {
  int64_t pin = 0;      // the terminal's internal number
  std::string user_id;  // the number people see (PIN2 on wide terminals), or the ID text
  std::string name;
  int64_t privilege = 0;
  int64_t card = 0;
  int64_t enabled = 0;
};

struct PunchRow {
  std::string user_id;  // as in UserRow::user_id
  std::string time;     // "YYYY-MM-DD HH:MM:SS"
  int64_t state = 0;
  int64_t verify_mode = 0;
  std::string work_code;
};

struct OpRow {
  int64_t admin = 0;
  int64_t operation = 0;
  std::string time;
  int64_t params[4] = {};
};

struct TerminalIdentity {
  std::string serial;
  std::string firmware;
  bool id_texts = false;  // users named by ID text (colour-screen terminals)
};

struct Snapshot {
  TerminalIdentity identity;
  std::vector<UserRow> users;
  std::vector<PunchRow> punches;
  std::vector<OpRow> oplog;
  bool new_only = false;  // punches are the records not taken yet, not the whole log
};

// Reads the serial number, firmware and kind. False with the reason in `error`.
bool ReadIdentity(DEVAPI_HANDLE h, TerminalIdentity* identity, std::string* error);

// Reads the attendance records: only those not taken yet when `new_only`
// and the terminal can tell (falling back to the whole log), else all.
// `*new_only` says what was read.
bool ReadPunches(DEVAPI_HANDLE h, const TerminalIdentity& identity, bool* new_only,
                 std::vector<PunchRow>* punches, std::string* error);

// Users, punches and operation records of the terminal `identity` names.
bool ReadSnapshot(DEVAPI_HANDLE h, const TerminalIdentity& identity, bool new_only,
                  Snapshot* snapshot, std::string* error);

// "Q_ReadLog gave -2 (Q_LastError -10054)".
std::string CallFailure(DEVAPI_HANDLE h, const char* call, int result);

}  // namespace termctl::sync
