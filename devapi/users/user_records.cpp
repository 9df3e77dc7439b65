#include "users/user_records.h"

#include <algorithm>

#include "wire/le_bytes.h"

namespace users {

namespace {

constexpr size_t kNarrowPassword = 5;
constexpr size_t kNarrowName = 8;
constexpr size_t kCardBytes = 5;
constexpr size_t kIdTextOffset = 48;
constexpr size_t kPin2Offset = 24;

template <size_t N>
bool ReadInto(wire::ByteReader& r, std::array<uint8_t, N>& out, size_t n) {
  return r.Bytes(std::span<uint8_t>(out.data(), n));
}

template <size_t N>
void WriteFrom(wire::ByteWriter& w, const std::array<uint8_t, N>& in, size_t n) {
  w.Bytes(std::span<const uint8_t>(in.data(), n));
}

}  // namespace

bool DecodeUserRecord(UserLayout layout, std::span<const uint8_t> record, UserFields* out) {
  UserFields f;
  if (record.size() < RecordSize(layout)) {
    *out = f;
    return false;
  }
  wire::ByteReader r(record.first(RecordSize(layout)));
  f.pin = r.U16();
  f.privilege = r.U8();
  switch (layout) {
    case UserLayout::kShort:
      ReadInto(r, f.password, kNarrowPassword);
      ReadInto(r, f.name, kNarrowName);
      break;
    case UserLayout::kExtended:
      ReadInto(r, f.password, kNarrowPassword);
      ReadInto(r, f.name, kNarrowName);
      ReadInto(r, f.card, kCardBytes);
      f.group = r.U8();
      f.tz_word = r.U16();
      f.pin2 = r.U32();
      break;
    case UserLayout::kTft:
      ReadInto(r, f.password, f.password.size());
      ReadInto(r, f.name, f.name.size());
      ReadInto(r, f.card, 4);
      f.group = r.U8();
      for (auto& word : f.tz_words) word = r.U16();
      ReadInto(r, f.id_text, f.id_text.size());
      break;
  }
  *out = f;
  return r.ok();
}

bool EncodeUserRecord(UserLayout layout, const UserFields& f, std::span<uint8_t> out) {
  if (out.size() < RecordSize(layout)) return false;
  wire::ByteWriter w(out.first(RecordSize(layout)));
  w.U16(f.pin);
  w.U8(f.privilege);
  switch (layout) {
    case UserLayout::kShort:
      WriteFrom(w, f.password, kNarrowPassword);
      WriteFrom(w, f.name, kNarrowName);
      break;
    case UserLayout::kExtended:
      WriteFrom(w, f.password, kNarrowPassword);
      WriteFrom(w, f.name, kNarrowName);
      WriteFrom(w, f.card, kCardBytes);
      w.U8(f.group);
      w.U16(f.tz_word);
      w.U32(f.pin2);
      break;
    case UserLayout::kTft:
      WriteFrom(w, f.password, f.password.size());
      WriteFrom(w, f.name, f.name.size());
      WriteFrom(w, f.card, 4);
      w.U8(f.group);
      for (uint16_t word : f.tz_words) w.U16(word);
      WriteFrom(w, f.id_text, f.id_text.size());
      break;
  }
  return w.ok();
}

std::array<uint8_t, kShortWriteSize> EncodeShortWrite(const UserFields& f, uint8_t enabled_byte) {
  std::array<uint8_t, kShortWriteSize> out{};
  wire::ByteWriter w(out);
  w.U16(f.pin);
  WriteFrom(w, f.name, kNarrowName);
  WriteFrom(w, f.password, kNarrowPassword);
  w.U8(f.privilege);
  w.U8(enabled_byte);
  return out;
}

uint16_t RecordPin(std::span<const uint8_t> record) {
  wire::ByteReader r(record);
  return r.U16();
}

uint32_t RecordPin2(std::span<const uint8_t> extended_record) {
  if (extended_record.size() < kExtendedRecordSize) return 0;
  wire::ByteReader r(extended_record.subspan(kPin2Offset));
  return r.U32();
}

std::string_view RecordIdText(std::span<const uint8_t> tft_record) {
  if (tft_record.size() < kTftRecordSize) return {};
  return FieldText(tft_record.subspan(kIdTextOffset, 24));
}

std::string_view FieldText(std::span<const uint8_t> field) {
  const auto end = std::find(field.begin(), field.end(), uint8_t{0});
  return {reinterpret_cast<const char*>(field.data()), static_cast<size_t>(end - field.begin())};
}

}  // namespace users
