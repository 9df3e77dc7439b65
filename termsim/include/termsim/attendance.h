// The attendance tables of a colour-screen terminal: the rule, the
// departments and the time slots, which hosts read with commands 35, 36
// and 37 (each answered as {u32 byte count, records}).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "termsim/logs.h"
#include "termsim/simulator.h"

namespace termsim {

// The rule record (136 bytes) by its fields; fields not named stay 0.
struct AttendanceRuleFields {
  std::string title;  // up to 48 bytes, not terminated when full
  uint32_t early_absent_on = 0, late_absent_on = 0, dup_minutes = 0, late_grace_min = 0;
  uint32_t early_absent_min = 0, early_grace_min = 0, late_absent_min = 0;
  uint32_t noin_late_min = 0, noout_early_min = 0, workday_min = 0;
  uint8_t noin_mode = 0, noout_mode = 0, ot_status_mode = 0, alt_status_mode = 0;
  uint32_t cross_day = 0, attend_unit = 0, late_unit = 0, early_unit = 0, absent_unit = 0;
};
std::vector<uint8_t> EncodeRule(const AttendanceRuleFields& rule);
// Sets one field by name ("title", "dup_minutes", ...); false for an unknown
// name or a bad number.
bool SetRuleField(const std::string& name, const std::string& value, AttendanceRuleFields* rule);

struct Department {
  uint8_t number = 0;
  std::string name;  // up to 32 bytes
};
// 36 bytes each: number, 3 free bytes, name.
std::vector<uint8_t> EncodeDepartments(const std::vector<Department>& departments);

struct TimeSlot {
  uint16_t number = 0;
  std::string name;  // up to 10 bytes
  uint8_t start_hour = 0, start_minute = 0, end_hour = 0, end_minute = 0;
};
// 20 bytes each: number, name, start and end as hour << 8 | minute.
std::vector<uint8_t> EncodeTimeSlots(const std::vector<TimeSlot>& slots);

// The tables as the terminal keeps them: raw records; nullopt or empty is a
// table the terminal does not have (CMD_ACK_ERROR).
struct AttendanceTables {
  std::optional<std::vector<uint8_t>> rule;
  std::optional<std::vector<uint8_t>> departments;
  std::optional<std::vector<uint8_t>> slots;
};

// Shift data: `users` users (PINs from 1, ID texts "1001" on, slots 1 and 2
// each, departments 1-4) with `punches_per_day` punches on each of `days`
// days from `first_day`, times drawn around 08:00-12:00 and 13:00-17:00
// from `seed`. Returns the users and fills the log.
struct ShiftData {
  std::vector<User> users;
  std::vector<AttendanceRecord> log;
  AttendanceTables tables;
};
ShiftData GenerateShifts(size_t users, int days, DateTime first_day, uint32_t seed);

}  // namespace termsim
