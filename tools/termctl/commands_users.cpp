// The user table: list, show, add, delete. Terminals with numbered users
// take the narrow calls here; colour-screen terminals name users by ID text
// (users_by_id_text.cpp).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "terminal_io.h"
#include "users_by_id_text.h"

namespace termctl {

namespace {

struct UserRow {
  int32_t pin = 0;
  char name[32] = {};
  int32_t privilege = 0;
  int32_t enabled = 0;
  char password[16] = {};
  uint8_t card[8] = {};
  int32_t pin2 = 0;
  int32_t group = 0;
  int32_t time_zones[4] = {};
};

// The card number is the first four of the five card bytes, little-endian.
long long CardNumber(const uint8_t* card) {
  return static_cast<long long>(card[0]) | static_cast<long long>(card[1]) << 8 |
         static_cast<long long>(card[2]) << 16 | static_cast<long long>(card[3]) << 24;
}

Record ToRecord(const UserRow& u) {
  return {Number("pin", u.pin),
          Number("pin2", u.pin2),
          Text("name", u.name),
          Number("privilege", u.privilege),
          Number("enabled", u.enabled),
          Number("group", u.group),
          Number("card", CardNumber(u.card)),
          Text("password_set", u.password[0] != 0 ? "yes" : "no")};
}

int ListUsers(Context& ctx, Format format) {
  return ListUserTable(ctx, format, "Q_GetUserInfo", [&](Record* record) {
    UserRow u;
    const int g = Q_GetUserInfo(ctx.handle, &u.pin, u.name, &u.privilege, &u.enabled, u.password,
                                u.card, &u.pin2, &u.group, u.time_zones);
    if (g == 1) *record = ToRecord(u);
    return g;
  });
}

std::optional<int32_t> PinWord(const std::string& command, const std::vector<std::string>& w) {
  if (w.size() != 2) return std::nullopt;
  const auto pin = ParseInt(w[1]);
  if (!pin || *pin < 1 || *pin > 65534) return std::nullopt;
  (void)command;
  return static_cast<int32_t>(*pin);
}

int ShowUser(Context& ctx, int32_t pin, Format format) {
  UserRow u;
  const int r = Q_QueryUserInfo(ctx.handle, pin, u.name, &u.privilege, &u.enabled, u.password,
                                u.card, &u.pin2, &u.group, u.time_zones);
  if (r == 0) {
    std::fprintf(stderr, "termctl: users: no user with PIN %d\n", pin);
    return kFailed;
  }
  if (r != 1) return Fail(ctx, "Q_QueryUserInfo", r);
  u.pin = pin;
  WriteRecords(stdout, {ToRecord(u)}, format);
  return kOk;
}

int AddUser(Context& ctx, int32_t pin) {
  const Invocation& inv = ctx.inv;
  if (!inv.Has("name")) return Usage("users", "add needs --name NAME");
  const std::string name = inv.Get("name");
  const std::string password = inv.Get("pin-password");
  if (name.size() > 8) return Usage("users", "--name takes at most 8 characters");
  if (password.size() > 5) return Usage("users", "--pin-password takes at most 5 characters");
  const auto privilege = ParseInt(inv.Get("privilege", "0"));
  const auto card = ParseInt(inv.Get("card", "0"));
  const auto pin2 = ParseInt(inv.Get("pin2", std::to_string(pin)));
  const auto group = ParseInt(inv.Get("group", "1"));
  if (!privilege || *privilege < 0 || *privilege > 15) return Usage("users", "bad --privilege");
  if (!card || *card < 0 || *card > 0xFFFFFFFFLL) return Usage("users", "bad --card");
  if (!pin2 || *pin2 < 1 || *pin2 > 0x7FFFFFFF) return Usage("users", "bad --pin2");
  if (!group || *group < 0 || *group > 99) return Usage("users", "bad --group");
  uint8_t card_bytes[5] = {};
  for (int i = 0; i < 4; ++i) card_bytes[i] = static_cast<uint8_t>(*card >> (8 * i));
  const int32_t follow_group[4] = {-1, 0, 0, 0};
  const int r = Q_SetUserInfo(ctx.handle, pin, name.c_str(), static_cast<int32_t>(*privilege), 1,
                              password.c_str(), card_bytes, static_cast<int32_t>(*pin2),
                              static_cast<int32_t>(*group), follow_group);
  if (r != 1) return Fail(ctx, "Q_SetUserInfo", r);
  std::printf("user %d written\n", pin);
  return kOk;
}

int DeleteUser(Context& ctx, int32_t pin) {
  // Q_DelUser takes the number people see on terminals with wide user
  // numbers (PIN width above 5), so look that up first.
  const int r0 = Q_ReadUserInfo(ctx.handle);
  if (r0 < 0) return Fail(ctx, "Q_ReadUserInfo", r0);
  const int32_t pin2 = Q_GetUserPIN2(ctx.handle, pin);
  if (pin2 == -1 || r0 == 0) {
    std::fprintf(stderr, "termctl: users: no user with PIN %d\n", pin);
    return kFailed;
  }
  int32_t width = 5;
  Q_GetPINWidth(ctx.handle, &width);
  const int32_t number = (width > 5 && pin2 > 0) ? pin2 : pin;
  // Never let the library map the number to somebody else.
  if (number != pin && Q_GetUserID(ctx.handle, number) != pin) {
    std::fprintf(stderr,
                 "termctl: users: PIN2 %d of user %d does not map back to its PIN "
                 "(Q_GetUserID); nothing deleted\n",
                 number, pin);
    return kFailed;
  }
  const int r = Q_DelUser(ctx.handle, number);
  if (r == 0) {
    std::fprintf(stderr, "termctl: users: Q_DelUser: user with PIN %d not deleted\n", pin);
    return kFailed;
  }
  if (r != 1) return Fail(ctx, "Q_DelUser", r);
  std::printf("user %d deleted\n", pin);
  return kOk;
}

}  // namespace

int CmdUsers(Context& ctx) {
  Format format;
  if (!FormatOption(ctx, &format)) return kUsage;
  const auto& w = ctx.inv.words;
  const bool id_texts = KeepsIdTextUsers(ctx);
  if (w.empty() || (w.size() == 1 && w[0] == "list")) {
    return id_texts ? ListIdTextUsers(ctx, format) : ListUsers(ctx, format);
  }
  const std::string& verb = w[0];
  if (verb != "show" && verb != "add" && verb != "delete") {
    return Usage("users", "unknown word '" + verb + "' (show, add, delete)");
  }
  if (id_texts) {
    // This terminal names its users by ID text.
    if (w.size() != 2 || !ValidIdText(w[1])) {
      return Usage("users", verb + " needs one user ID (1-24 characters)");
    }
    if (verb == "show") return ShowIdTextUser(ctx, w[1], format);
    if (verb == "add") return AddIdTextUser(ctx, w[1]);
    return DeleteIdTextUser(ctx, w[1]);
  }
  const auto pin = PinWord(verb, w);
  if (!pin) return Usage("users", verb + " needs one PIN (1-65534)");
  if (verb == "show") return ShowUser(ctx, *pin, format);
  if (verb == "add") return AddUser(ctx, *pin);
  return DeleteUser(ctx, *pin);
}

}  // namespace termctl
