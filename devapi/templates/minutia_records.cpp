#include "minutia_records.h"

#include <algorithm>

#include "bit_reader.h"
#include "bit_writer.h"

namespace templates {
namespace {

constexpr int32_t kMaxCoordinate = 511;
constexpr int32_t kMaxAngle = 359;
constexpr int32_t kMaxSingularKind = 7;

int32_t ClampCoordinate(int32_t v) { return std::clamp(v, 0, kMaxCoordinate); }

}  // namespace

// Bits, lowest first: y bits 2-8 (7), x (9), kind + 1 (6), y bits 0-1 (2),
// extra (8), direction (8).
Minutia DecodeMinutia(std::span<const uint8_t, kMinutiaRecordBytes> record) {
  BitReader bits(record);
  Minutia m;
  const uint32_t y_high = bits.Bits(7);
  m.x = static_cast<int32_t>(bits.Bits(9));
  m.kind = static_cast<int32_t>(bits.Bits(6)) - 1;
  m.y = static_cast<int32_t>((y_high << 2) | bits.Bits(2));
  m.extra = static_cast<int32_t>(bits.Bits(8));
  m.direction = static_cast<int32_t>(bits.Bits(8));
  return m;
}

std::array<uint8_t, kMinutiaRecordBytes> EncodeMinutia(const Minutia& minutia) {
  std::array<uint8_t, kMinutiaRecordBytes> record{};
  BitWriter bits(record);
  const auto x = static_cast<uint32_t>(ClampCoordinate(minutia.x));
  const auto y = static_cast<uint32_t>(ClampCoordinate(minutia.y));
  bits.Bits(y >> 2, 7);
  bits.Bits(x, 9);
  bits.Bits(static_cast<uint32_t>(minutia.kind + 1), 6);
  bits.Bits(y & 3, 2);
  bits.Bits(static_cast<uint32_t>(minutia.extra), 8);
  bits.Bits(static_cast<uint32_t>(minutia.direction), 8);
  return record;
}

// Bits, lowest first: angle (9), kind + 1 (3), y (9), x (11).
SingularPoint DecodeSingularPoint(std::span<const uint8_t, kSingularRecordBytes> record) {
  BitReader bits(record);
  SingularPoint p;
  p.angle = static_cast<int32_t>(bits.Bits(9));
  p.kind = static_cast<int32_t>(bits.Bits(3)) - 1;
  p.y = static_cast<int32_t>(bits.Bits(9));
  p.x = static_cast<int32_t>(bits.Bits(11));
  return p;
}

std::array<uint8_t, kSingularRecordBytes> EncodeSingularPoint(const SingularPoint& point) {
  std::array<uint8_t, kSingularRecordBytes> record{};
  BitWriter bits(record);
  bits.Bits(static_cast<uint32_t>(std::clamp(point.angle, 0, kMaxAngle)), 9);
  bits.Bits(static_cast<uint32_t>(std::clamp(point.kind + 1, 0, kMaxSingularKind)), 3);
  bits.Bits(static_cast<uint32_t>(ClampCoordinate(point.y)), 9);
  bits.Bits(static_cast<uint32_t>(ClampCoordinate(point.x)), 11);
  return record;
}

bool ReadMinutiae(wire::ByteReader& reader, int count, TemplateModel& model) {
  if (count < 0 || count > kMaxMinutiae) return false;
  for (int i = 0; i < count; ++i) {
    auto record = reader.View(kMinutiaRecordBytes);
    if (!reader.ok()) return false;
    model.minutiae[i] = DecodeMinutia(record.first<kMinutiaRecordBytes>());
  }
  model.minutiae_count = count;
  return true;
}

bool ReadSingularPoints(wire::ByteReader& reader, int count, TemplateModel& model) {
  if (count < 0 || count > kMaxSingularPoints) return false;
  for (int i = 0; i < count; ++i) {
    auto record = reader.View(kSingularRecordBytes);
    if (!reader.ok()) return false;
    model.singular[i] = DecodeSingularPoint(record.first<kSingularRecordBytes>());
  }
  model.singular_count = count;
  return true;
}

void WriteMinutiae(wire::ByteWriter& writer, TemplateModel& model, int first, int count) {
  for (int i = first; i < first + count && i < kMaxMinutiae; ++i) {
    Minutia& m = model.minutiae[i];
    m.x = ClampCoordinate(m.x);
    m.y = ClampCoordinate(m.y);
    writer.Bytes(EncodeMinutia(m));
  }
}

void WriteSingularPoints(wire::ByteWriter& writer, TemplateModel& model, int count) {
  for (int i = 0; i < count && i < kMaxSingularPoints; ++i) {
    SingularPoint& p = model.singular[i];
    p.x = ClampCoordinate(p.x);
    p.y = ClampCoordinate(p.y);
    p.angle = std::clamp(p.angle, 0, kMaxAngle);
    writer.Bytes(EncodeSingularPoint(p));
  }
}

}  // namespace templates
