#include "attendance/attendance_records.h"

#include <array>
#include <bit>

#include "wire/le_bytes.h"

namespace attendance {

void AppendPunchNote(std::vector<uint8_t>& out, uint32_t uid, uint32_t time, char type,
                     char newtype, uint16_t reason) {
  std::array<uint8_t, kPunchNoteBytes> b{};
  wire::ByteWriter w(b);
  w.U32(uid);
  w.U32(time);
  w.U8(static_cast<uint8_t>(type));
  w.U8(static_cast<uint8_t>(newtype));
  w.U16(reason);
  out.insert(out.end(), b.begin(), b.end());
}

void AppendPeriod(std::vector<uint8_t>& out, const PeriodRecord& r) {
  std::array<uint8_t, kPeriodRecordBytes> b{};
  wire::ByteWriter w(b);
  w.U32(r.uid);
  w.U32(r.index);
  w.U8(r.slot);
  w.U8(0);  // excepid
  w.U8(0);
  w.U8(r.noin);
  w.U8(r.noout);
  w.U8(r.absent);
  w.U8(r.mustin);
  w.U8(r.mustout);
  w.U32(r.attdate);
  w.U32(r.starttime);
  w.U32(r.endtime);
  w.U32(r.checkintime);
  w.U32(r.checkouttime);
  w.U32(0);  // ov
  w.U32(std::bit_cast<uint32_t>(r.workday));
  w.I32(r.late);
  w.I32(r.early);
  w.U32(0);  // ov1
  w.I32(r.woktime);
  out.insert(out.end(), b.begin(), b.end());
}

void AppendSummary(std::vector<uint8_t>& out, const DaySummary& d) {
  std::array<uint8_t, kDaySummaryBytes> b{};
  wire::ByteWriter w(b);
  const auto u32 = [&](int64_t v) { w.U32(static_cast<uint32_t>(v)); };
  const auto u16 = [&](int64_t v) { w.U16(static_cast<uint16_t>(v)); };
  static constexpr std::array<uint8_t, 16> kReserved{};
  w.U32(d.uid);
  u32(d.scheduled_workday);
  u32(d.scheduled);
  u32(d.attended_workday);
  u32(d.attended);
  u32(d.late_count);
  u32(d.late);
  u32(d.early_count);
  u32(d.early);
  u32(d.absent_workday);
  u32(d.absent);
  u32(d.absent_count);
  u32(0);  // overtime count
  u32(0);  // overtime seconds
  w.Bytes(kReserved);
  u16(d.noin_count);
  u16(d.noout_count);
  w.Bytes(kReserved);
  u32(d.worked);
  u16(d.required);
  u16(d.checkin_count);
  u16(d.checkout_count);
  u16(d.worked_count);
  out.insert(out.end(), b.begin(), b.end());
}

PeriodRecord ReadPeriod(std::span<const uint8_t> record) {
  wire::ByteReader r(record);
  PeriodRecord p;
  p.uid = r.U32();
  p.index = r.U32();
  p.slot = r.U8();
  r.Skip(2);
  p.noin = r.U8();
  p.noout = r.U8();
  p.absent = r.U8();
  p.mustin = r.U8();
  p.mustout = r.U8();
  p.attdate = r.U32();
  p.starttime = r.U32();
  p.endtime = r.U32();
  p.checkintime = r.U32();
  p.checkouttime = r.U32();
  r.Skip(4);
  p.workday = std::bit_cast<float>(r.U32());
  p.late = r.I32();
  p.early = r.I32();
  r.Skip(4);
  p.woktime = r.I32();
  return p;
}

}  // namespace attendance
