// The five inputs of a report, read once and indexed: the rule, the
// attendance records, the users, the departments and the time slots.
//
// Every input is a flat file of fixed-size records as the terminal sent
// them; a trailing partial record is ignored and texts end at their first
// NUL or at the end of their field.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace attendance {

inline constexpr size_t kRuleBytes = 136;
inline constexpr size_t kPunchBytes = 40;
inline constexpr size_t kUserBytes = 72;
inline constexpr size_t kDepartmentBytes = 36;
inline constexpr size_t kSlotBytes = 20;
// Department lookups see only the first records.
inline constexpr size_t kDepartmentsLooked = 16;

// Display units of the statistics: 0 count, 1 minutes, 2 hours, 3 days.
struct DisplayUnit {
  std::string_view label;
  int64_t divisor = 1;
};
// A unit outside 0-3 acts as 0.
DisplayUnit UnitOf(uint32_t unit);

struct AttendanceRule {
  std::array<uint8_t, 48> title{};
  uint32_t early_absent_on = 0;
  uint32_t late_absent_on = 0;
  uint32_t dup_minutes = 0;
  uint32_t late_grace_min = 0;
  uint32_t early_absent_min = 0;
  uint32_t early_grace_min = 0;
  uint32_t late_absent_min = 0;
  uint32_t workday_min = 0;
  uint8_t ot_status_mode = 0;
  uint8_t alt_status_mode = 0;
  uint32_t cross_day = 0;
  uint32_t attend_unit = 0;
  uint32_t late_unit = 0;
  uint32_t early_unit = 0;
  uint32_t absent_unit = 0;
  std::string_view Title() const;
};

// The rule from the first 136 bytes of `bytes`, zero-filled when shorter.
// The missing-punch modes are not kept: they change nothing.
AttendanceRule PrepareAttendance(std::span<const uint8_t> bytes);

// A text field: up to its first NUL or its end.
std::string_view FieldText(std::span<const uint8_t> field);

struct UserView {
  uint16_t pin = 0;
  std::string_view name;
  uint8_t group = 0;
  std::array<uint16_t, 4> slots{};
  std::string_view id_text;
};
UserView ReadUser(std::span<const uint8_t> record);

struct SlotView {
  uint16_t number = 0;
  std::string_view name;
  uint32_t start = 0;  // high byte of the low word the hour, low byte the minute
  uint32_t end = 0;
};
SlotView ReadSlot(std::span<const uint8_t> record);

// The inputs over bytes the caller keeps alive, with their indexes.
class InputTables {
 public:
  InputTables(std::span<const uint8_t> attlog, std::span<const uint8_t> users,
              std::span<const uint8_t> departments, std::span<const uint8_t> slots);

  std::span<const uint8_t> attlog() const { return attlog_; }
  std::span<const uint8_t> users() const { return users_; }
  size_t user_count() const { return users_.size() / kUserBytes; }
  std::span<const uint8_t> UserRecord(size_t i) const {
    return users_.subspan(i * kUserBytes, kUserBytes);
  }
  // The first user record with the PIN (never PIN 0), or empty.
  std::span<const uint8_t> FindUser(uint16_t pin) const;
  // The first slot with the number (never 0), or empty.
  std::span<const uint8_t> FindSlot(uint16_t number) const;
  // The name of the first of the first 16 departments with the number;
  // false when there is none.
  bool DepartmentName(uint8_t number, std::string_view* name) const;
  // The attendance records of a PIN, in file order (indexes of records).
  std::span<const uint32_t> PunchesOf(uint16_t pin) const;
  std::span<const uint8_t> PunchRecord(uint32_t i) const {
    return attlog_.subspan(static_cast<size_t>(i) * kPunchBytes, kPunchBytes);
  }

 private:
  std::span<const uint8_t> attlog_, users_, departments_, slots_;
  std::vector<int32_t> user_index_;   // by PIN: first record, -1 none
  std::vector<int32_t> slot_index_;   // by number: first record, -1 none
  std::vector<uint32_t> punch_from_;  // by PIN: start in punch_order_ (65537 entries)
  std::vector<uint32_t> punch_order_;
};

}  // namespace attendance
