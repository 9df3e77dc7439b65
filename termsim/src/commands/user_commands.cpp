#include "commands/user_commands.h"

#include <algorithm>

#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace termsim {

namespace {

// Command codes answered here.
constexpr uint16_t kClearData = 14;
constexpr uint16_t kClearAdministrators = 20;
constexpr uint16_t kGetGroup = 21;
constexpr uint16_t kSetGroup = 22;
constexpr uint16_t kGetTimeZones = 23;
constexpr uint16_t kSetTimeZones = 24;
constexpr uint16_t kSetVerifyStyle = 79;
constexpr uint16_t kGetVerifyStyle = 80;
constexpr uint16_t kDeleteVerifyStyle = 81;
constexpr uint16_t kDeleteUserByText = 133;
constexpr uint16_t kSetIdCard = 10051;
constexpr uint16_t kGetIdCard = 10052;
constexpr uint16_t kDeleteIdCard = 10053;

// The data kind of the user table in bulk requests and in clear-data.
constexpr uint8_t kUserTableKind = 5;
// Reasons the terminal puts in the connection word of a refusal.
constexpr uint16_t kReasonMalformed = 1;
constexpr uint16_t kReasonNoSuchUser = 2;
// A user text field: 24 characters and a zero byte.
constexpr size_t kTextField = 24;
constexpr size_t kTextRequest = 25;
constexpr uint16_t kOwnZonesMode = 1;

std::string TextOf(std::span<const uint8_t> data) {
  wire::ByteReader r(data.first(std::min(data.size(), kTextField)));
  return std::string(r.FixedText(r.remaining()));
}

}  // namespace

UserCommands::UserCommands(const Profile& profile) : layout_(UserLayoutOf(profile)) {}

bool UserCommands::Handle(uint16_t code, std::span<const uint8_t> data, BulkTerminal& bulk,
                          Reply& reply) {
  std::lock_guard lock(mu_);
  switch (code) {
    case wire::CMD_QUERY_DATA:
      return AnswerTableQuery(data, bulk, reply);
    case wire::CMD_USER_WRQ:
      table_.ApplyWrite(data) ? Ok(reply) : Refuse(reply);
      return true;
    case wire::CMD_DELETE_USER:
      Delete(data, reply);
      return true;
    case kDeleteUserByText:
      DeleteByText(data, reply);
      return true;
    case kClearData:
      ClearData(data, reply);
      return true;
    case kClearAdministrators:
      ClearAdministrators(reply);
      return true;
    case kGetGroup:
      GetGroup(data, reply);
      return true;
    case kSetGroup:
      SetGroup(data, reply);
      return true;
    case kGetTimeZones:
      GetTimeZones(data, reply);
      return true;
    case kSetTimeZones:
      SetTimeZones(data, reply);
      return true;
    case kSetVerifyStyle:
      SetVerifyStyle(data, reply);
      return true;
    case kGetVerifyStyle:
      GetVerifyStyle(data, reply);
      return true;
    case kDeleteVerifyStyle:
      DeleteVerifyStyle(data, reply);
      return true;
    case kSetIdCard:
      SetIdCard(data, reply);
      return true;
    case kGetIdCard:
      GetIdCard(data, reply);
      return true;
    case kDeleteIdCard:
      DeleteIdCard(data, reply);
      return true;
    default:
      return false;
  }
}

// A buffered read asks for command 9's data with the data kind in its first
// parameter byte (no parameters at all from old firmware).
bool UserCommands::AnswerTableQuery(std::span<const uint8_t> query, BulkTerminal& bulk,
                                    Reply& reply) {
  wire::ByteReader r(query);
  r.U8();
  const uint16_t command = r.U16();
  const auto params = r.View(8);
  if (!r.ok() || command != wire::CMD_USERTEMP_RRQ) return false;
  const bool asks_table =
      params[0] == kUserTableKind ||
      std::all_of(params.begin(), params.end(), [](uint8_t b) { return b == 0; });
  if (!asks_table) return false;
  if (table_.empty()) {
    Refuse(reply);  // no users: nothing to prepare
    return true;
  }
  bulk.SetDataSet(wire::CMD_USERTEMP_RRQ, Bytes(params.begin(), params.end()),
                  table_.Serialize(layout_));
  return false;
}

void UserCommands::Delete(std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  const uint16_t pin = r.U16();
  if (r.ok() && table_.Erase(pin)) {
    if (listeners_.user_removed) listeners_.user_removed(pin);
    Ok(reply);
  } else {
    Refuse(reply, kReasonNoSuchUser);
  }
}

void UserCommands::DeleteByText(std::span<const uint8_t> data, Reply& reply) {
  const User* user = data.size() >= kTextField ? table_.FindByText(TextOf(data)) : nullptr;
  const uint16_t pin = user != nullptr ? user->pin : 0;
  if (user != nullptr && table_.Erase(pin)) {
    if (listeners_.user_removed) listeners_.user_removed(pin);
    Ok(reply);
  } else {
    Refuse(reply, kReasonNoSuchUser);
  }
}

void UserCommands::ClearData(std::span<const uint8_t> data, Reply& reply) {
  const int kind = data.empty() ? 0 : data[0];
  if (kind == 0 || kind == kUserTableKind) table_.Clear();
  if (listeners_.data_cleared) listeners_.data_cleared(kind);
  cleared_.push_back(kind);
  Ok(reply);
}

void UserCommands::ClearAdministrators(Reply& reply) {
  // Every user becomes an ordinary user; a disabled one stays disabled.
  table_.ForEach([](User& u) { u.privilege &= 1; });
  Ok(reply);
}

void UserCommands::GetGroup(std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  const uint32_t pin = r.U32();
  const User* user = r.ok() && pin <= 0xFFFF ? table_.Find(static_cast<uint16_t>(pin)) : nullptr;
  if (user == nullptr) return Refuse(reply, kReasonNoSuchUser);
  std::vector<uint8_t> out(4, 0);
  wire::ByteWriter(out).U32(user->group);
  Ok(reply, std::move(out));
}

void UserCommands::SetGroup(std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  const uint32_t pin = r.U32();
  const uint8_t group = r.U8();
  User* user = r.ok() && pin <= 0xFFFF ? table_.Find(static_cast<uint16_t>(pin)) : nullptr;
  if (user == nullptr) return Refuse(reply, kReasonNoSuchUser);
  user->group = group;
  Ok(reply);
}

// Colour-screen terminals answer their four time-zone words; the others a
// count of zones (its complement when the user follows its group) and the
// zones.
void UserCommands::GetTimeZones(std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  const uint32_t pin = r.U32();
  const User* user = r.ok() && pin <= 0xFFFF ? table_.Find(static_cast<uint16_t>(pin)) : nullptr;
  if (user == nullptr) return Refuse(reply, kReasonNoSuchUser);
  std::vector<uint8_t> out(layout_ == UserRecordLayout::kTft ? 8 : 16, 0);
  wire::ByteWriter w(out);
  if (layout_ == UserRecordLayout::kTft) {
    w.U16(user->tz_mode);
    for (uint16_t zone : user->time_zones) w.U16(zone);
  } else {
    int32_t count = 0;
    while (count < 3 && user->time_zones[static_cast<size_t>(count)] != 0) ++count;
    w.I32(user->tz_mode == kOwnZonesMode ? count : ~count);
    for (int32_t i = 0; i < count; ++i) w.U32(user->time_zones[static_cast<size_t>(i)]);
    out.resize(w.size());
  }
  Ok(reply, std::move(out));
}

void UserCommands::SetTimeZones(std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  const uint32_t pin = r.U32();
  User* user = r.ok() && pin <= 0xFFFF ? table_.Find(static_cast<uint16_t>(pin)) : nullptr;
  if (user == nullptr) return Refuse(reply, kReasonNoSuchUser);
  if (data.size() == 4) {  // back to the group's time zones
    user->tz_mode = 0;
    user->time_zones = {};
    return Ok(reply);
  }
  const uint32_t mode = r.U32();
  std::array<uint16_t, 3> zones{};
  for (auto& zone : zones) zone = static_cast<uint16_t>(r.U32());
  if (!r.ok()) return Refuse(reply, kReasonMalformed);
  // Colour-screen terminals take the mode word as it is; the others get a
  // count of zones, and any zone at all means zones of the user's own.
  user->tz_mode = layout_ == UserRecordLayout::kTft ? static_cast<uint16_t>(mode)
                                                    : (mode > 0 ? kOwnZonesMode : 0);
  user->time_zones = zones;
  Ok(reply);
}

void UserCommands::SetVerifyStyle(std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  const uint16_t pin = r.U16();
  const uint8_t style = r.U8();
  User* user = r.ok() ? table_.Find(pin) : nullptr;
  if (user == nullptr) return Refuse(reply, kReasonNoSuchUser);
  user->verify_style = style;
  Ok(reply);
}

void UserCommands::GetVerifyStyle(std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  const uint16_t pin = r.U16();
  const User* user = r.ok() ? table_.Find(pin) : nullptr;
  if (user == nullptr) return Refuse(reply, kReasonNoSuchUser);
  std::vector<uint8_t> out(24, 0);
  wire::ByteWriter w(out);
  w.U16(pin);
  w.U8(user->verify_style);
  Ok(reply, std::move(out));
}

void UserCommands::DeleteVerifyStyle(std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  const uint16_t pin = r.U16();
  User* user = r.ok() ? table_.Find(pin) : nullptr;
  if (user == nullptr) return Refuse(reply, kReasonNoSuchUser);
  user->verify_style = 0;
  Ok(reply);
}

// Identity-card data: the user's text (25 bytes), a 16-bit length, the data.
void UserCommands::SetIdCard(std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  r.Skip(kTextRequest);
  const uint16_t length = r.U16();
  const auto card = r.View(length);
  if (!r.ok()) return Refuse(reply, kReasonMalformed);
  User* user = table_.FindByText(TextOf(data));
  if (user == nullptr) return Refuse(reply, kReasonNoSuchUser);
  user->id_card.assign(card.begin(), card.end());
  Ok(reply);
}

void UserCommands::GetIdCard(std::span<const uint8_t> data, Reply& reply) {
  const User* user = data.size() >= kTextRequest ? table_.FindByText(TextOf(data)) : nullptr;
  if (user == nullptr || user->id_card.empty()) return Refuse(reply, kReasonNoSuchUser);
  Ok(reply, user->id_card);
}

void UserCommands::DeleteIdCard(std::span<const uint8_t> data, Reply& reply) {
  User* user = data.size() >= kTextRequest ? table_.FindByText(TextOf(data)) : nullptr;
  if (user == nullptr || user->id_card.empty()) return Refuse(reply, kReasonNoSuchUser);
  user->id_card.clear();
  Ok(reply);
}

void UserCommands::SetUsers(std::vector<User> users) {
  std::lock_guard lock(mu_);
  table_.Replace(std::move(users));
}

std::vector<User> UserCommands::Users() const {
  std::lock_guard lock(mu_);
  return table_.All();
}

std::optional<User> UserCommands::FindUser(uint16_t pin) const {
  std::lock_guard lock(mu_);
  const User* user = table_.Find(pin);
  return user != nullptr ? std::optional<User>(*user) : std::nullopt;
}

std::vector<uint8_t> UserCommands::TableBytes() const {
  std::lock_guard lock(mu_);
  return table_.Serialize(layout_);
}

std::vector<int> UserCommands::ClearedKinds() const {
  std::lock_guard lock(mu_);
  return cleared_;
}

void UserCommands::SetListeners(Listeners listeners) {
  std::lock_guard lock(mu_);
  listeners_ = std::move(listeners);
}

void UserCommands::ApplyBatch(std::span<const BatchUserChange> changes) {
  std::lock_guard lock(mu_);
  for (const BatchUserChange& change : changes) {
    if (!change.erase) {
      table_.ApplyWrite(change.record);
    } else if (table_.Erase(change.pin) && listeners_.user_removed) {
      listeners_.user_removed(change.pin);
    }
  }
}

std::optional<uint16_t> UserCommands::PinOfText(std::string_view text) {
  std::lock_guard lock(mu_);
  const User* user = table_.FindByText(text);
  return user != nullptr ? std::optional<uint16_t>(user->pin) : std::nullopt;
}

}  // namespace termsim
