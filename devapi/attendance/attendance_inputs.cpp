#include "attendance/attendance_inputs.h"

#include <algorithm>

#include "attendance/page_texts.h"
#include "wire/le_bytes.h"

namespace attendance {

namespace {

constexpr size_t kPins = 65536;

std::span<const uint8_t> WholeRecords(std::span<const uint8_t> bytes, size_t size) {
  return bytes.first(bytes.size() - bytes.size() % size);
}

uint16_t U16At(std::span<const uint8_t> r, size_t at) {
  return static_cast<uint16_t>(r[at] | (r[at + 1] << 8));
}

}  // namespace

DisplayUnit UnitOf(uint32_t unit) {
  switch (unit) {
    case 1:
      return {text::kMinutes, 60};
    case 2:
      return {text::kHours, 3600};
    case 3:
      return {text::kDays, 86400};
    default:
      return {text::kTimes, 1};
  }
}

std::string_view FieldText(std::span<const uint8_t> field) {
  size_t len = 0;
  while (len < field.size() && field[len] != 0) ++len;
  return {reinterpret_cast<const char*>(field.data()), len};
}

std::string_view AttendanceRule::Title() const { return FieldText(title); }

AttendanceRule PrepareAttendance(std::span<const uint8_t> bytes) {
  std::array<uint8_t, kRuleBytes> raw{};
  std::copy_n(bytes.begin(), std::min(bytes.size(), raw.size()), raw.begin());
  wire::ByteReader r(raw);
  AttendanceRule rule;
  r.Bytes(rule.title);
  rule.early_absent_on = r.U32();  // 48
  rule.late_absent_on = r.U32();   // 52
  r.Skip(4);
  rule.dup_minutes = r.U32();       // 60
  rule.late_grace_min = r.U32();    // 64
  rule.early_absent_min = r.U32();  // 68
  r.Skip(4);
  rule.early_grace_min = r.U32();  // 76
  rule.late_absent_min = r.U32();  // 80
  r.Skip(12);                      // 84 and 88: minutes of the missing-punch modes
  rule.workday_min = r.U32();      // 96
  r.Skip(2);                       // 100, 101: missing-punch modes, cleared
  rule.ot_status_mode = r.U8();    // 102
  rule.alt_status_mode = r.U8();   // 103
  r.Skip(4);
  rule.cross_day = r.U32();  // 108
  r.Skip(8);
  rule.attend_unit = r.U32();  // 120
  rule.late_unit = r.U32();
  rule.early_unit = r.U32();
  rule.absent_unit = r.U32();
  return rule;
}

UserView ReadUser(std::span<const uint8_t> record) {
  UserView u;
  if (record.size() < kUserBytes) return u;
  u.pin = U16At(record, 0);
  u.name = FieldText(record.subspan(11, 24));
  u.group = record[39];
  for (size_t k = 0; k < 4; ++k) u.slots[k] = U16At(record, 40 + 2 * k);
  u.id_text = FieldText(record.subspan(48, 24));
  return u;
}

SlotView ReadSlot(std::span<const uint8_t> record) {
  SlotView s;
  if (record.size() < kSlotBytes) return s;
  wire::ByteReader r(record);
  s.number = r.U16();
  s.name = FieldText(r.View(10));
  s.start = r.U32();
  s.end = r.U32();
  return s;
}

InputTables::InputTables(std::span<const uint8_t> attlog, std::span<const uint8_t> users,
                         std::span<const uint8_t> departments, std::span<const uint8_t> slots)
    : attlog_(WholeRecords(attlog, kPunchBytes)),
      users_(WholeRecords(users, kUserBytes)),
      departments_(WholeRecords(departments, kDepartmentBytes)),
      slots_(WholeRecords(slots, kSlotBytes)),
      user_index_(kPins, -1),
      slot_index_(kPins, -1),
      punch_from_(kPins + 1, 0) {
  for (size_t i = user_count(); i-- > 0;) user_index_[U16At(UserRecord(i), 0)] = static_cast<int32_t>(i);
  user_index_[0] = -1;
  const size_t slot_count = slots_.size() / kSlotBytes;
  for (size_t i = slot_count; i-- > 0;) {
    slot_index_[U16At(slots_.subspan(i * kSlotBytes, kSlotBytes), 0)] = static_cast<int32_t>(i);
  }
  slot_index_[0] = -1;
  // A counting sort by PIN keeps each PIN's records in file order.
  const size_t punches = attlog_.size() / kPunchBytes;
  for (size_t i = 0; i < punches; ++i) ++punch_from_[U16At(PunchRecord(static_cast<uint32_t>(i)), 0) + 1];
  for (size_t p = 1; p <= kPins; ++p) punch_from_[p] += punch_from_[p - 1];
  punch_order_.resize(punches);
  std::vector<uint32_t> next(punch_from_.begin(), punch_from_.end() - 1);
  for (size_t i = 0; i < punches; ++i) {
    punch_order_[next[U16At(PunchRecord(static_cast<uint32_t>(i)), 0)]++] = static_cast<uint32_t>(i);
  }
}

std::span<const uint8_t> InputTables::FindUser(uint16_t pin) const {
  const int32_t i = user_index_[pin];
  return i < 0 ? std::span<const uint8_t>() : UserRecord(static_cast<size_t>(i));
}

std::span<const uint8_t> InputTables::FindSlot(uint16_t number) const {
  const int32_t i = slot_index_[number];
  return i < 0 ? std::span<const uint8_t>()
               : slots_.subspan(static_cast<size_t>(i) * kSlotBytes, kSlotBytes);
}

bool InputTables::DepartmentName(uint8_t number, std::string_view* name) const {
  const size_t count = std::min(departments_.size() / kDepartmentBytes, kDepartmentsLooked);
  for (size_t i = 0; i < count; ++i) {
    const auto record = departments_.subspan(i * kDepartmentBytes, kDepartmentBytes);
    if (record[0] == number) {
      *name = FieldText(record.subspan(4, 32));
      return true;
    }
  }
  return false;
}

std::span<const uint32_t> InputTables::PunchesOf(uint16_t pin) const {
  return std::span<const uint32_t>(punch_order_)
      .subspan(punch_from_[pin], punch_from_[pin + 1] - punch_from_[pin]);
}

}  // namespace attendance
