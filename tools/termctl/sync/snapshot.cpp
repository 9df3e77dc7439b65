#include "sync/snapshot.h"

#include "moment.h"

namespace termctl::sync {

namespace {

bool Failed(DEVAPI_HANDLE h, const char* call, int result, std::string* error) {
  *error = CallFailure(h, call, result);
  return false;
}

std::string TimeText(int32_t y, int32_t mo, int32_t d, int32_t hh, int32_t mi, int32_t s) {
  return FormatMoment({y, mo, d, hh, mi, s});
}

// The card number is the first four of the five card bytes, little-endian.
int64_t CardNumber(const uint8_t* card) {
  return static_cast<int64_t>(card[0]) | static_cast<int64_t>(card[1]) << 8 |
         static_cast<int64_t>(card[2]) << 16 | static_cast<int64_t>(card[3]) << 24;
}

bool ReadUsers(DEVAPI_HANDLE h, const TerminalIdentity& identity, std::vector<UserRow>* users,
               std::string* error) {
  int32_t width = 5;
  Q_GetPINWidth(h, &width);  // the ID texts come only once the width is known
  const int r = Q_ReadUserInfo(h);
  if (r < 0) return Failed(h, "Q_ReadUserInfo", r, error);
  if (r == 0) return true;
  for (;;) {
    UserRow u;
    int32_t pin = 0, privilege = 0, enabled = 0, group = 0, tz[4] = {};
    int g;
    if (identity.id_texts) {
      char id[25] = {}, name[25] = {}, password[9] = {};
      int32_t card = 0;
      g = SSR_Q_GetUserInfo(h, &pin, id, name, &privilege, &enabled, password, &card, &group, tz);
      if (g != 1) {
        if (g == 0) return true;
        return Failed(h, "SSR_Q_GetUserInfo", g, error);
      }
      u.user_id = id;
      u.name = name;
      u.card = static_cast<uint32_t>(card);
    } else {
      char name[9] = {}, password[6] = {};
      uint8_t card[5] = {};
      int32_t pin2 = 0;
      g = Q_GetUserInfo(h, &pin, name, &privilege, &enabled, password, card, &pin2, &group, tz);
      if (g != 1) {
        if (g == 0) return true;
        return Failed(h, "Q_GetUserInfo", g, error);
      }
      // The log names users by PIN2 on wide terminals, by PIN elsewhere.
      u.user_id = std::to_string(width > 5 && pin2 > 0 ? pin2 : pin);
      u.name = name;
      u.card = CardNumber(card);
    }
    u.pin = pin;
    u.privilege = privilege;
    u.enabled = enabled;
    users->push_back(std::move(u));
  }
}

bool ReadOpLog(DEVAPI_HANDLE h, std::vector<OpRow>* oplog, std::string* error) {
  const int r = Q_ReadOpLog(h, 0);
  if (r < 0) return Failed(h, "Q_ReadOpLog", r, error);
  while (r == 1) {
    OpRow op;
    int32_t admin = 0, code = 0, y = 0, mo = 0, d = 0, hh = 0, mi = 0, s = 0, params[4] = {};
    const int g = Q_GetOpLog(h, &admin, &code, params, &y, &mo, &d, &hh, &mi, &s);
    if (g == 0) break;
    if (g != 1) return Failed(h, "Q_GetOpLog", g, error);
    op.admin = admin;
    op.operation = code;
    op.time = TimeText(y, mo, d, hh, mi, s);
    for (int i = 0; i < 4; ++i) op.params[i] = params[i];
    oplog->push_back(std::move(op));
  }
  return true;
}

}  // namespace

std::string CallFailure(DEVAPI_HANDLE h, const char* call, int result) {
  return std::string(call) + " gave " + std::to_string(result) + " (Q_LastError " +
         std::to_string(Q_LastError(h)) + ")";
}

bool ReadIdentity(DEVAPI_HANDLE h, TerminalIdentity* identity, std::string* error) {
  char serial[200] = {};
  const int s = Q_GetSerialNumber(h, serial);
  if (s != 1 || serial[0] == '\0') return Failed(h, "Q_GetSerialNumber", s, error);
  char firmware[64] = {};
  const int f = Q_GetFirmwareVersion(h, firmware);
  if (f != 1) return Failed(h, "Q_GetFirmwareVersion", f, error);
  int32_t tft = 0;
  identity->serial = serial;
  identity->firmware = firmware;
  identity->id_texts = Q_IsTFTMachine(h, &tft) == 1 && tft == 1;
  return true;
}

bool ReadPunches(DEVAPI_HANDLE h, const TerminalIdentity& identity, bool* new_only,
                 std::vector<PunchRow>* punches, std::string* error) {
  int r = -2;
  if (*new_only) r = Q_ReadLog(h, 1);
  // Older firmware keeps no new-record mark: take the whole log, the
  // database skips what it has.
  if (r < 0) {
    *new_only = false;
    r = Q_ReadLog(h, 0);
  }
  if (r < 0) return Failed(h, "Q_ReadLog", r, error);
  int32_t width = 5;
  if (identity.id_texts) Q_GetPINWidth(h, &width);
  while (r == 1) {
    PunchRow p;
    int32_t user = 0, y = 0, mo = 0, d = 0, hh = 0, mi = 0, s = 0, work = 0, reserved = 0;
    uint8_t verify = 0, state = 0;
    int g;
    if (identity.id_texts) {
      char id[25] = {};
      g = Q_SSR_GetLog(h, id, &verify, &state, &y, &mo, &d, &hh, &mi, &s, &work);
      // The ID text comes zero-padded to the terminal's width.
      p.user_id = id;
    } else {
      g = Q_GetExtLog(h, &user, &verify, &state, &y, &mo, &d, &hh, &mi, &s, &work, &reserved);
      p.user_id = std::to_string(user);
    }
    if (g == 0) break;
    if (g != 1) return Failed(h, identity.id_texts ? "Q_SSR_GetLog" : "Q_GetExtLog", g, error);
    p.time = TimeText(y, mo, d, hh, mi, s);
    p.state = state;
    p.verify_mode = verify;
    p.work_code = std::to_string(work);
    punches->push_back(std::move(p));
  }
  return true;
}

bool ReadSnapshot(DEVAPI_HANDLE h, const TerminalIdentity& identity, bool new_only,
                  Snapshot* snapshot, std::string* error) {
  snapshot->identity = identity;
  if (!ReadUsers(h, snapshot->identity, &snapshot->users, error)) return false;
  snapshot->new_only = new_only;
  if (!ReadPunches(h, snapshot->identity, &snapshot->new_only, &snapshot->punches, error)) {
    return false;
  }
  return ReadOpLog(h, &snapshot->oplog, error);
}

}  // namespace termctl::sync
