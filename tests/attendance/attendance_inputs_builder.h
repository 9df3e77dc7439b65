// Hand-made report inputs: users, time slots, departments, punches and the
// rule as the terminal sends them, and the record files read back.
#pragma once

#include <gtest/gtest.h>
#include <iconv.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "attendance/attendance_calculation.h"
#include "attendance/attendance_inputs.h"
#include "attendance/attendance_records.h"
#include "termsim/attendance.h"
#include "termsim/simulator.h"
#include "wire/le_bytes.h"

namespace attendance_test {

using Bytes = std::vector<uint8_t>;

inline uint32_t T(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return termsim::PackTime(termsim::DateTime{y, mo, d, h, mi, s});
}

inline void Put(Bytes& out, std::span<const uint8_t> b) { out.insert(out.end(), b.begin(), b.end()); }

// A 72-byte colour-screen user record.
inline Bytes UserRecord(uint16_t pin, const std::string& id, const std::string& name,
                        uint8_t group, std::array<uint16_t, 4> slots) {
  Bytes r(72, 0);
  r[0] = static_cast<uint8_t>(pin);
  r[1] = static_cast<uint8_t>(pin >> 8);
  std::copy_n(name.begin(), std::min<size_t>(name.size(), 24), r.begin() + 11);
  r[39] = group;
  for (size_t k = 0; k < 4; ++k) {
    r[40 + 2 * k] = static_cast<uint8_t>(slots[k]);
    r[41 + 2 * k] = static_cast<uint8_t>(slots[k] >> 8);
  }
  std::copy_n(id.begin(), std::min<size_t>(id.size(), 24), r.begin() + 48);
  return r;
}

// A 40-byte attendance record: PIN, ID text, verify mode, time, status.
inline Bytes PunchRecord(uint16_t pin, uint32_t time, uint8_t status) {
  Bytes r(40, 0);
  wire::ByteWriter w(r);
  w.U16(pin);
  w.FixedText(std::to_string(pin), 24);
  w.U8(1);
  w.U32(time);
  w.U8(status);
  return r;
}

struct Inputs {
  termsim::AttendanceRuleFields rule;
  std::vector<termsim::TimeSlot> slots;
  std::vector<termsim::Department> departments;
  Bytes users, punches;

  void AddUser(uint16_t pin, const std::string& id, const std::string& name, uint8_t group,
               std::array<uint16_t, 4> words) {
    Put(users, UserRecord(pin, id, name, group, words));
  }
  void AddPunch(uint16_t pin, uint32_t time, uint8_t status) {
    Put(punches, PunchRecord(pin, time, status));
  }
};

struct Files {
  Bytes rule, users, punches, departments, slots;
  explicit Files(const Inputs& in)
      : rule(termsim::EncodeRule(in.rule)),
        users(in.users),
        punches(in.punches),
        departments(termsim::EncodeDepartments(in.departments)),
        slots(termsim::EncodeTimeSlots(in.slots)) {}
};

inline attendance::RecordFiles Calculate(const Inputs& in, uint16_t pin, uint32_t d1, uint32_t d2) {
  const Files f(in);
  const attendance::InputTables tables(f.punches, f.users, f.departments, f.slots);
  attendance::RecordFiles out;
  attendance::CalculateUser(attendance::PrepareAttendance(f.rule), tables, pin, d1, d2, out);
  return out;
}

inline std::vector<attendance::PeriodRecord> Periods(const attendance::RecordFiles& out) {
  std::vector<attendance::PeriodRecord> periods;
  for (size_t at = 0; at + 60 <= out.periods.size(); at += 60) {
    periods.push_back(attendance::ReadPeriod(std::span(out.periods).subspan(at, 60)));
  }
  return periods;
}

struct Note {
  uint32_t uid, time;
  char type, newtype;
  uint16_t reason;
};
inline std::vector<Note> Notes(const attendance::RecordFiles& out) {
  std::vector<Note> notes;
  for (size_t at = 0; at + 16 <= out.punches.size(); at += 16) {
    wire::ByteReader r(std::span(out.punches).subspan(at, 16));
    Note n{};
    n.uid = r.U32();
    n.time = r.U32();
    n.type = static_cast<char>(r.U8());
    n.newtype = static_cast<char>(r.U8());
    n.reason = r.U16();
    notes.push_back(n);
  }
  return notes;
}

// UTF-8 text as GB2312, through glibc's converter.
inline std::string ToGb2312(const std::string& utf8) {
  iconv_t cd = iconv_open("GB2312", "UTF-8");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string out(utf8.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* o = out.data();
  size_t out_left = out.size();
  const size_t r = iconv(cd, &in, &in_left, &o, &out_left);
  EXPECT_NE(r, static_cast<size_t>(-1)) << utf8;
  iconv_close(cd);
  out.resize(out.size() - out_left);
  return out;
}

// Byte-for-byte comparison that names the first differing offset.
inline void ExpectSameBytes(std::string_view expected, std::string_view actual) {
  const size_t n = std::min(expected.size(), actual.size());
  size_t i = 0;
  while (i < n && expected[i] == actual[i]) ++i;
  if (i == n && expected.size() == actual.size()) return;
  ADD_FAILURE() << "first difference at offset " << i << " (sizes " << expected.size() << " and "
                << actual.size() << ")\nexpected: ..."
                << std::string(expected.substr(i > 40 ? i - 40 : 0, 120)) << "\nactual:   ..."
                << std::string(actual.substr(i > 40 ? i - 40 : 0, 120));
}

}  // namespace attendance_test
