// The terminal's user table: users by PIN, the records it sends in the
// layout of its firmware, and the records hosts write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string_view>
#include <vector>

#include "termsim/simulator.h"

namespace termsim {

enum class UserRecordLayout { kShort, kExtended, kTft };

// The layout a terminal of this profile uses.
UserRecordLayout UserLayoutOf(const Profile& profile);
size_t UserRecordBytes(UserRecordLayout layout);

// Bytes of the old firmware's user write (PIN, name, password, privilege,
// enabled).
inline constexpr size_t kShortUserWriteBytes = 17;

// The text a user is known by in commands that name users by text.
std::string KnownAs(const User& user);

class UserTable {
 public:
  // Later users replace earlier ones with the same PIN; PINs 0 and 65535
  // are left out.
  void Replace(std::vector<User> users);
  std::vector<User> All() const;
  bool empty() const { return users_.empty(); }
  void Clear() { users_.clear(); }

  User* Find(uint16_t pin);
  const User* Find(uint16_t pin) const;
  User* FindByText(std::string_view text);
  bool Erase(uint16_t pin);
  void ForEach(void (*change)(User&));

  // The table as sent: a 32-bit byte count, then the records by PIN.
  std::vector<uint8_t> Serialize(UserRecordLayout layout) const;

  // A record a host wrote: 17 bytes (old firmware), 28 or 72. False when
  // it has another length or names PIN 0 or 65535.
  bool ApplyWrite(std::span<const uint8_t> record);

 private:
  std::map<uint16_t, User> users_;
};

}  // namespace termsim
