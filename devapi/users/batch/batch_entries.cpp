#include "users/batch/batch_entries.h"

#include <algorithm>

#include "users/user_numbers.h"
#include "wire/le_bytes.h"

namespace users {

std::array<uint8_t, kPinOpSize> PinOperation(uint8_t code, uint16_t pin, uint8_t finger,
                                             int32_t offset) {
  std::array<uint8_t, kPinOpSize> out{};
  wire::ByteWriter w(out);
  w.U8(code);
  w.U16(pin);
  w.U8(finger);
  w.I32(offset);
  return out;
}

std::array<uint8_t, kIdOpSize> IdOperation(uint8_t code, std::string_view id_text, uint8_t finger,
                                           int32_t offset) {
  std::array<uint8_t, kIdTextMax> field{};
  std::copy_n(id_text.begin(), std::min(id_text.size(), field.size()), field.begin());
  std::array<uint8_t, kIdOpSize> out{};
  wire::ByteWriter w(out);
  w.U8(code);
  w.Bytes(field);
  w.U8(finger);
  w.I32(offset);
  return out;
}

std::array<uint8_t, kExtendedDeletionSize> ExtendedDeletion(uint16_t pin) {
  std::array<uint8_t, kExtendedDeletionSize> out{};
  wire::ByteWriter(out).U16(pin);
  return out;
}

std::array<uint8_t, kPinDeletionSize> PinDeletion(uint16_t pin) {
  std::array<uint8_t, kPinDeletionSize> out{};
  wire::ByteWriter(out).U32(pin);
  return out;
}

std::array<uint8_t, 2> TemplateLength(uint16_t length) {
  std::array<uint8_t, 2> out{};
  wire::ByteWriter(out).U16(length);
  return out;
}

}  // namespace users
