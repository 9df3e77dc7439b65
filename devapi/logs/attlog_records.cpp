#include "logs/attlog_records.h"

#include "wire/le_bytes.h"

namespace devapi {

namespace {

constexpr size_t kExtendedSize = 16;
constexpr size_t kTextIdSize = 40;
constexpr size_t kTextIdShortSize = 22;
constexpr size_t kTextIdWorkCodeSize = 61;
constexpr size_t kIdTextWidth = 24;
constexpr size_t kShortIdTextWidth = 10;
constexpr size_t kWorkCodeTextWidth = 24;

// Fields of the flag byte of a compressed record.
constexpr uint8_t kShortFormBit = 0x04;
uint8_t StateOf(uint8_t flags) { return static_cast<uint8_t>(flags >> 5); }
uint8_t VerifyOf(uint8_t flags) { return static_cast<uint8_t>((flags >> 3) & 0x03); }
uint32_t OffsetHighBits(uint8_t flags) { return flags & 0x03u; }

AttDecoded Record(size_t size, const AttRecord& record) { return {AttStep::kRecord, size, record}; }

}  // namespace

size_t AttRecordSize(AttLayout layout) {
  switch (layout) {
    case AttLayout::kCompressed:
      return kCompressedLongSize;
    case AttLayout::kExtended:
      return kExtendedSize;
    case AttLayout::kTextId:
      return kTextIdSize;
    case AttLayout::kTextIdShort:
      return kTextIdShortSize;
    case AttLayout::kTextIdWorkCode:
      return kTextIdWorkCodeSize;
  }
  return kExtendedSize;
}

AttDecoded DecodeCompressed(std::span<const uint8_t> bytes, uint32_t& base_time) {
  wire::ByteReader r(bytes);
  AttRecord rec;
  rec.user = r.U16();
  if (!r.ok()) return {};
  if (rec.user == kLogEndMark) return {AttStep::kEnd, 0, {}};
  const uint8_t flags = r.U8();
  rec.att_state = StateOf(flags);
  rec.verify_mode = VerifyOf(flags);
  if (flags & kShortFormBit) {
    const uint32_t low = r.U8();
    if (!r.ok()) return {};
    rec.time = base_time + (OffsetHighBits(flags) << 8 | low);
    return Record(kCompressedShortSize, rec);
  }
  r.Skip(1);
  rec.time = r.U32();
  if (!r.ok()) return {};
  base_time = rec.time;
  return Record(kCompressedLongSize, rec);
}

AttDecoded DecodeFixed(AttLayout layout, std::span<const uint8_t> bytes) {
  const size_t size = AttRecordSize(layout);
  if (layout == AttLayout::kCompressed || bytes.size() < size) return {};
  wire::ByteReader r(bytes.first(size));
  AttRecord rec;
  if (layout == AttLayout::kExtended) {
    rec.user = r.U32();
    rec.time = r.U32();
    rec.att_state = r.U8();
    rec.verify_mode = r.U8();
    rec.reserved = r.U16();
    rec.work_code = r.U32();
  } else {
    r.Skip(2);  // the terminal's internal number: the ID text names the user
    rec.id_text = r.View(layout == AttLayout::kTextIdShort ? kShortIdTextWidth : kIdTextWidth);
    rec.verify_mode = r.U8();
    rec.time = r.U32();
    rec.att_state = r.U8();
    if (layout == AttLayout::kTextIdWorkCode) {
      rec.work_code_text = r.View(kWorkCodeTextWidth);
    } else {
      rec.work_code = r.U32();
    }
  }
  if (!r.ok()) return {};
  return Record(size, rec);
}

}  // namespace devapi
