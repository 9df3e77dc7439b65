#include "store/user_table.h"

#include <algorithm>

#include "wire/le_bytes.h"

namespace termsim {

namespace {

constexpr size_t kShortBytes = 16;
constexpr size_t kExtendedBytes = 28;
constexpr size_t kTftBytes = 72;
constexpr uint8_t kOwnZones = 0x80;
constexpr uint16_t kOwnZonesMode = 1;

bool Usable(uint16_t pin) { return pin != 0 && pin != 0xFFFF; }

std::string Field(wire::ByteReader& r, size_t width) { return std::string(r.FixedText(width)); }

// A text field of `width` bytes: cut, zero-padded, not terminated when full.
void PutField(wire::ByteWriter& w, const std::string& text, size_t width) {
  std::vector<uint8_t> field(width, 0);
  std::copy_n(text.begin(), std::min(text.size(), width), field.begin());
  w.Bytes(field);
}

void WriteRecord(wire::ByteWriter& w, const User& u, UserRecordLayout layout) {
  w.U16(u.pin);
  w.U8(u.privilege);
  const bool own = u.tz_mode == kOwnZonesMode;
  switch (layout) {
    case UserRecordLayout::kShort:
      PutField(w, u.password, 5);
      PutField(w, u.name, 8);
      break;
    case UserRecordLayout::kExtended: {
      PutField(w, u.password, 5);
      PutField(w, u.name, 8);
      w.U32(u.card);
      w.U8(u.card_extra);
      const uint32_t zones = own ? (u.time_zones[0] & 0x3Fu) | (u.time_zones[1] & 0x3Fu) << 6 |
                                       (u.time_zones[2] & 0x3Fu) << 12
                                 : 0;
      w.U8(static_cast<uint8_t>((u.group & 0x0F) | (own ? kOwnZones : 0) |
                                ((zones >> 16) & 0x3) << 4));
      w.U16(static_cast<uint16_t>(zones));
      w.U32(u.pin2);
      break;
    }
    case UserRecordLayout::kTft:
      PutField(w, u.password, 8);
      PutField(w, u.name, 24);
      w.U32(u.card);
      w.U8(u.group);
      w.U16(u.tz_mode);
      for (uint16_t zone : u.time_zones) w.U16(zone);
      PutField(w, u.id_text, 24);
      break;
  }
}

}  // namespace

UserRecordLayout UserLayoutOf(const Profile& profile) {
  if (profile.firmware.compare(0, 8, "Ver 5.04") < 0) return UserRecordLayout::kShort;
  const auto platform = profile.options.find("~Platform");
  if (platform != profile.options.end() && platform->second.find("TFT") != std::string::npos) {
    return UserRecordLayout::kTft;
  }
  return UserRecordLayout::kExtended;
}

size_t UserRecordBytes(UserRecordLayout layout) {
  switch (layout) {
    case UserRecordLayout::kShort:
      return kShortBytes;
    case UserRecordLayout::kExtended:
      return kExtendedBytes;
    case UserRecordLayout::kTft:
      return kTftBytes;
  }
  return kExtendedBytes;
}

std::string KnownAs(const User& user) {
  if (!user.id_text.empty()) return user.id_text;
  return std::to_string(user.pin2 != 0 ? user.pin2 : user.pin);
}

void UserTable::Replace(std::vector<User> users) {
  users_.clear();
  for (auto& u : users) {
    if (Usable(u.pin)) users_[u.pin] = std::move(u);
  }
}

std::vector<User> UserTable::All() const {
  std::vector<User> out;
  out.reserve(users_.size());
  for (const auto& [pin, user] : users_) out.push_back(user);
  return out;
}

User* UserTable::Find(uint16_t pin) {
  const auto it = users_.find(pin);
  return it == users_.end() ? nullptr : &it->second;
}

const User* UserTable::Find(uint16_t pin) const {
  const auto it = users_.find(pin);
  return it == users_.end() ? nullptr : &it->second;
}

User* UserTable::FindByText(std::string_view text) {
  for (auto& [pin, user] : users_) {
    if (KnownAs(user) == text) return &user;
  }
  return nullptr;
}

bool UserTable::Erase(uint16_t pin) { return users_.erase(pin) != 0; }

void UserTable::ForEach(void (*change)(User&)) {
  for (auto& [pin, user] : users_) change(user);
}

std::vector<uint8_t> UserTable::Serialize(UserRecordLayout layout) const {
  const size_t size = UserRecordBytes(layout);
  std::vector<uint8_t> out(4 + users_.size() * size, 0);
  wire::ByteWriter w(out);
  w.U32(static_cast<uint32_t>(users_.size() * size));
  for (const auto& [pin, user] : users_) WriteRecord(w, user, layout);
  return out;
}

bool UserTable::ApplyWrite(std::span<const uint8_t> record) {
  wire::ByteReader r(record);
  const uint16_t pin = r.U16();
  if (!Usable(pin)) return false;
  User fresh;
  fresh.pin = pin;
  User& u = Find(pin) != nullptr ? *Find(pin) : fresh;
  switch (record.size()) {
    case kShortUserWriteBytes: {
      u.name = Field(r, 8);
      u.password = Field(r, 5);
      u.privilege = r.U8();
      if (r.U8() == 0) u.privilege |= 1;  // written disabled
      break;
    }
    case kExtendedBytes: {
      // Users of these terminals are known by their PIN2 in text commands.
      const std::string old_number = std::to_string(u.pin2 != 0 ? u.pin2 : pin);
      const bool numbered = u.id_text.empty() || u.id_text == old_number;
      u.privilege = r.U8();
      u.password = Field(r, 5);
      u.name = Field(r, 8);
      u.card = r.U32();
      u.card_extra = r.U8();
      const uint8_t group = r.U8();
      const uint16_t word = r.U16();
      u.pin2 = r.U32();
      u.group = group & 0x0F;
      u.tz_mode = (group & kOwnZones) != 0 ? kOwnZonesMode : 0;
      u.time_zones = {static_cast<uint16_t>(word & 0x3F), static_cast<uint16_t>((word >> 6) & 0x3F),
                      static_cast<uint16_t>((word >> 12) | ((group >> 4) & 0x3) << 4)};
      if (numbered) u.id_text = std::to_string(u.pin2 != 0 ? u.pin2 : pin);
      break;
    }
    case kTftBytes: {
      u.privilege = r.U8();
      u.password = Field(r, 8);
      u.name = Field(r, 24);
      u.card = r.U32();
      u.card_extra = 0;
      u.group = r.U8();
      u.tz_mode = r.U16();
      for (auto& zone : u.time_zones) zone = r.U16();
      u.id_text = Field(r, 24);
      break;
    }
    default:
      return false;
  }
  if (!r.ok()) return false;
  if (&u == &fresh) users_[pin] = std::move(fresh);
  return true;
}

}  // namespace termsim
