#include "store/attendance_log.h"

#include <cstdlib>
#include <string>

#include "wire/le_bytes.h"

namespace termsim {

namespace {

constexpr uint16_t kEndMark = 0xFFFF;
// A short record reaches this many seconds past the last long record.
constexpr uint32_t kMaxOffset = 0x3FF;
constexpr uint8_t kShortForm = 0x04;

size_t RecordSize(AttLogLayout layout) {
  switch (layout) {
    case AttLogLayout::kExtended:
      return 16;
    case AttLogLayout::kTextId40:
      return 40;
    case AttLogLayout::kTextId22:
      return 22;
    case AttLogLayout::kTextId61:
      return 61;
    default:
      return 8;
  }
}

// Text fields are zero-padded; a text as wide as its field has no
// terminator.
void PutText(wire::ByteWriter& w, const std::string& text, size_t width) {
  std::vector<uint8_t> field(width, 0);
  std::copy_n(text.begin(), std::min(text.size(), width), field.begin());
  w.Bytes(field);
}

// The compressed log: a long record (with its own time) starts a chain of
// short ones that add up to 1023 seconds to it.
void PutCompressed(wire::ByteWriter& w, std::span<const AttendanceRecord> records) {
  bool have_base = false;
  uint32_t base = 0;
  for (const AttendanceRecord& r : records) {
    const uint8_t codes =
        static_cast<uint8_t>((r.att_state & 0x07) << 5 | (r.verify_mode & 0x03) << 3);
    w.U16(static_cast<uint16_t>(r.user));
    if (have_base && r.time >= base && r.time - base <= kMaxOffset) {
      const uint32_t offset = r.time - base;
      w.U8(static_cast<uint8_t>(codes | kShortForm | (offset >> 8)));
      w.U8(static_cast<uint8_t>(offset & 0xFF));
    } else {
      w.U8(codes);
      w.U8(0);
      w.U32(r.time);
      base = r.time;
      have_base = true;
    }
  }
  w.U16(kEndMark);
  w.U16(0);
}

void PutRecord(wire::ByteWriter& w, const AttendanceRecord& r, AttLogLayout layout) {
  if (layout == AttLogLayout::kExtended) {
    w.U32(r.user);
    w.U32(r.time);
    w.U8(r.att_state);
    w.U8(r.verify_mode);
    w.U16(r.reserved);
    w.U32(r.work_code);
    return;
  }
  w.U16(static_cast<uint16_t>(r.user));
  PutText(w, r.user_id, layout == AttLogLayout::kTextId22 ? 10 : 24);
  w.U8(r.verify_mode);
  w.U32(r.time);
  w.U8(r.att_state);
  if (layout == AttLogLayout::kTextId61) {
    PutText(w, r.work_code_text, 24);
    w.Bytes(std::vector<uint8_t>(5, 0));
  } else {
    w.U32(r.work_code);
    if (layout == AttLogLayout::kTextId40) w.U32(0);
  }
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

AttLogLayout ResolveAttLayout(AttLogLayout chosen, const OptionStore& options) {
  if (chosen != AttLogLayout::kAuto) return chosen;
  const std::string platform = options.Get("~Platform").value_or("");
  if (Contains(platform, "AK3750") || Contains(platform, "3750WIFI")) {
    return AttLogLayout::kTextId22;
  }
  if (Contains(platform, "TFT")) return AttLogLayout::kTextId40;
  if (std::atoi(options.Get("~ExtendFmt").value_or("0").c_str()) != 0) {
    return AttLogLayout::kExtended;
  }
  return AttLogLayout::kCompressed;
}

std::vector<uint8_t> EncodeAttendance(std::span<const AttendanceRecord> records,
                                      AttLogLayout layout) {
  // Room for every record in its long form, and the end mark.
  std::vector<uint8_t> out(records.size() * RecordSize(layout) + 4);
  wire::ByteWriter w(out);
  if (layout == AttLogLayout::kCompressed) {
    PutCompressed(w, records);
  } else {
    for (const AttendanceRecord& r : records) PutRecord(w, r, layout);
  }
  out.resize(w.size());
  return out;
}

}  // namespace termsim
