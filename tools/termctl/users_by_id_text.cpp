#include "users_by_id_text.h"

#include <cstdio>
#include <vector>

#include "terminal_io.h"

namespace termctl {

namespace {

constexpr size_t kIdTextMax = 24;
constexpr size_t kNameMax = 24;
constexpr size_t kPasswordMax = 8;

// Buffers as the SSR_ calls fill them: ID text and name 25 bytes, password 9.
struct IdTextUserRow {
  int32_t pin = 0;
  char id[kIdTextMax + 1] = {};
  char name[kNameMax + 1] = {};
  int32_t privilege = 0;
  int32_t enabled = 0;
  char password[kPasswordMax + 1] = {};
  int32_t card = 0;
  int32_t group = 0;
  int32_t tz_words[4] = {};
};

Record ToRecord(const IdTextUserRow& u) {
  return {Number("pin", u.pin),
          Text("id", u.id),
          Text("name", u.name),
          Number("privilege", u.privilege),
          Number("enabled", u.enabled),
          Number("group", u.group),
          Number("card", static_cast<long long>(static_cast<uint32_t>(u.card))),
          Text("password_set", u.password[0] != 0 ? "yes" : "no")};
}

}  // namespace

bool KeepsIdTextUsers(const Context& ctx) {
  int32_t is_tft = 0;
  return Q_IsTFTMachine(ctx.handle, &is_tft) == 1 && is_tft == 1;
}

bool ValidIdText(const std::string& id) {
  if (id.empty() || id.size() > kIdTextMax) return false;
  for (const char c : id) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

int ListIdTextUsers(Context& ctx, Format format) {
  // The library hands out ID texts only once the user-number width was asked
  // for, and cuts them to it.
  int32_t width = 0;
  Q_GetPINWidth(ctx.handle, &width);
  return ListUserTable(ctx, format, "SSR_Q_GetUserInfo", [&](Record* record) {
    IdTextUserRow u;
    const int g = SSR_Q_GetUserInfo(ctx.handle, &u.pin, u.id, u.name, &u.privilege, &u.enabled,
                                    u.password, &u.card, &u.group, u.tz_words);
    if (g == 1) *record = ToRecord(u);
    return g;
  });
}

int ShowIdTextUser(Context& ctx, const std::string& id, Format format) {
  IdTextUserRow u;
  const int r = SSR_Q_QueryUserInfo(ctx.handle, id.c_str(), u.name, &u.privilege, &u.enabled,
                                    u.password, &u.card, &u.group, u.tz_words, &u.pin);
  if (r == 0) {
    std::fprintf(stderr, "termctl: users: no user with ID \"%s\"\n", id.c_str());
    return kFailed;
  }
  if (r != 1) return Fail(ctx, "SSR_Q_QueryUserInfo", r);
  std::snprintf(u.id, sizeof u.id, "%s", id.c_str());
  WriteRecords(stdout, {ToRecord(u)}, format);
  return kOk;
}

int AddIdTextUser(Context& ctx, const std::string& id) {
  const Invocation& inv = ctx.inv;
  if (!inv.Has("name")) return Usage("users", "add needs --name NAME");
  if (inv.Has("pin2")) return Usage("users", "--pin2 is for terminals without ID texts");
  const std::string name = inv.Get("name");
  const std::string password = inv.Get("pin-password");
  if (name.size() > kNameMax) return Usage("users", "--name takes at most 24 characters");
  if (password.size() > kPasswordMax) {
    return Usage("users", "--pin-password takes at most 8 characters");
  }
  const auto privilege = ParseInt(inv.Get("privilege", "0"));
  const auto card = ParseInt(inv.Get("card", "0"));
  const auto group = ParseInt(inv.Get("group", "1"));
  if (!privilege || *privilege < 0 || *privilege > 15) return Usage("users", "bad --privilege");
  if (!card || *card < 0 || *card > 0xFFFFFFFFLL) return Usage("users", "bad --card");
  if (!group || *group < 0 || *group > 99) return Usage("users", "bad --group");
  // The card number travels as its four bytes.
  const int32_t card_number = static_cast<int32_t>(static_cast<uint32_t>(*card));
  const int r =
      SSR_Q_SetUserInfo(ctx.handle, id.c_str(), name.c_str(), static_cast<int32_t>(*privilege), 1,
                        password.c_str(), &card_number, static_cast<int32_t>(*group), nullptr);
  if (r != 1) return Fail(ctx, "SSR_Q_SetUserInfo", r);
  std::printf("user %s written\n", id.c_str());
  return kOk;
}

int DeleteIdTextUser(Context& ctx, const std::string& id) {
  const int r = SSR_Q_DelUser(ctx.handle, id.c_str());
  if (r == 0) {
    std::fprintf(stderr, "termctl: users: no user with ID \"%s\"\n", id.c_str());
    return kFailed;
  }
  if (r != 1) return Fail(ctx, "SSR_Q_DelUser", r);
  std::printf("user %s deleted\n", id.c_str());
  return kOk;
}

}  // namespace termctl
