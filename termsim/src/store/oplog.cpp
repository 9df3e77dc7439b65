#include "store/oplog.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "wire/le_bytes.h"

namespace termsim {

namespace {

constexpr uint16_t kEndMark = 0xFFFF;
constexpr size_t kCompactSize = 16;
constexpr size_t kExtendedSize = 20;
constexpr size_t kTextIdSize = 60;
constexpr size_t kRangeSize = 40;
constexpr size_t kTextWidth = 24;

// An ID text field: zero-padded, no terminator when it fills the field.
void PutIdText(wire::ByteWriter& w, const std::string& text) {
  std::vector<uint8_t> field(kTextWidth, 0);
  std::copy_n(text.begin(), std::min(text.size(), kTextWidth), field.begin());
  w.Bytes(field);
}

void PutShortParams(wire::ByteWriter& w, const OpLogRecord& r, size_t first, size_t count) {
  for (size_t i = first; i < first + count; ++i) w.U16(static_cast<uint16_t>(r.params[i]));
}

void PutRecord(wire::ByteWriter& w, const OpLogRecord& r, OpLogLayout layout) {
  switch (layout) {
    case OpLogLayout::kExtended:
      w.U32(r.admin);
      w.U8(r.operation);
      w.U8(0);
      w.U32(r.time);
      w.U32(r.params[0]);
      PutShortParams(w, r, 1, 3);
      return;
    case OpLogLayout::kTextId:
      PutIdText(w, r.admin_id);
      w.U8(r.operation);
      w.U32(r.time);
      PutShortParams(w, r, 0, 3);
      PutIdText(w, r.second_id);
      w.U8(0);
      return;
    default:
      w.U16(static_cast<uint16_t>(r.admin));
      w.U8(r.operation);
      w.U8(0);
      w.U32(r.time);
      PutShortParams(w, r, 0, 4);
      return;
  }
}

size_t RecordSize(OpLogLayout layout) {
  switch (layout) {
    case OpLogLayout::kExtended:
      return kExtendedSize;
    case OpLogLayout::kTextId:
      return kTextIdSize;
    default:
      return kCompactSize;
  }
}

}  // namespace

OpLogLayout ResolveOpLayout(OpLogLayout chosen, const OptionStore& options) {
  if (chosen != OpLogLayout::kAuto) return chosen;
  if (options.Get("~Platform").value_or("").find("TFT") != std::string::npos) {
    return OpLogLayout::kTextId;
  }
  if (std::atoi(options.Get("ExtendOPLog").value_or("0").c_str()) != 0) {
    return OpLogLayout::kExtended;
  }
  return OpLogLayout::kCompact;
}

std::vector<uint8_t> EncodeOpLog(std::span<const OpLogRecord> records, OpLogLayout layout) {
  std::vector<uint8_t> out((records.size() + 1) * RecordSize(layout));
  wire::ByteWriter w(out);
  for (const OpLogRecord& r : records) PutRecord(w, r, layout);
  if (layout == OpLogLayout::kCompact) {
    w.U16(kEndMark);
    w.Bytes(std::vector<uint8_t>(kCompactSize - 2, 0));
  }
  out.resize(w.size());
  return out;
}

std::vector<uint8_t> EncodeOpLogRange(std::span<const OpLogRecord> records) {
  std::vector<uint8_t> out((records.size() + 1) * kRangeSize);
  wire::ByteWriter w(out);
  for (const OpLogRecord& r : records) {
    w.U16(static_cast<uint16_t>(r.admin));
    w.U8(r.operation);
    w.U8(0);
    w.U32(r.time);
    PutShortParams(w, r, 0, 4);
    w.FixedText(r.text, kTextWidth);
  }
  w.U16(kEndMark);
  w.Bytes(std::vector<uint8_t>(kRangeSize - 2, 0));
  out.resize(w.size());
  return out;
}

}  // namespace termsim
