#include "logs/oplog_records.h"

#include <algorithm>

#include "wire/le_bytes.h"

namespace devapi {

namespace {

constexpr uint32_t kEndMark = 0xFFFF;
constexpr size_t kTextWidth = 24;

}  // namespace

size_t OpRecordSize(OpLayout layout) {
  switch (layout) {
    case OpLayout::kCompact:
      return 16;
    case OpLayout::kExtended:
      return 20;
    case OpLayout::kTextId:
      return 60;
    case OpLayout::kTimeRange:
      return 40;
  }
  return 16;
}

OpDecoded DecodeOpRecord(OpLayout layout, std::span<const uint8_t> bytes) {
  const size_t size = OpRecordSize(layout);
  const bool has_end_mark = layout == OpLayout::kCompact || layout == OpLayout::kTimeRange;
  wire::ByteReader r(bytes.first(std::min(size, bytes.size())));
  OpRecord rec;
  if (has_end_mark) {
    rec.admin = r.U16();
    if (r.ok() && rec.admin == kEndMark) return {OpStep::kEnd, 0, {}};
  }
  if (bytes.size() < size) return {};
  switch (layout) {
    case OpLayout::kCompact:
    case OpLayout::kTimeRange:
      rec.operation = r.U8();
      r.Skip(1);
      rec.time = r.U32();
      for (uint32_t& p : rec.params) p = r.U16();
      if (layout == OpLayout::kTimeRange) rec.text = r.View(kTextWidth);
      break;
    case OpLayout::kExtended:
      rec.admin = r.U32();
      rec.operation = r.U8();
      r.Skip(1);
      rec.time = r.U32();
      rec.params[0] = r.U32();
      for (size_t i = 1; i < rec.params.size(); ++i) rec.params[i] = r.U16();
      break;
    case OpLayout::kTextId:
      rec.admin_id = r.View(kTextWidth);
      rec.operation = r.U8();
      rec.time = r.U32();
      for (size_t i = 0; i < 3; ++i) rec.params[i] = r.U16();
      rec.second_id = r.View(kTextWidth);
      break;
  }
  if (!r.ok()) return {};
  return {OpStep::kRecord, size, rec};
}

}  // namespace devapi
