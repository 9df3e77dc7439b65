#include "users/batch/batch_entries.h"

#include <algorithm>
#include <span>

#include "users/user_numbers.h"
#include "wire/le_bytes.h"

namespace users {

namespace {

// code, the user as `user` names it, finger byte, offset.
template <size_t N>
std::array<uint8_t, N> Operation(uint8_t code, std::span<const uint8_t> user, uint8_t finger,
                                 int32_t offset) {
  std::array<uint8_t, N> out{};
  wire::ByteWriter w(out);
  w.U8(code);
  w.Bytes(user);
  w.U8(finger);
  w.I32(offset);
  return out;
}

}  // namespace

std::array<uint8_t, kPinOpSize> PinOperation(uint8_t code, uint16_t pin, uint8_t finger,
                                             int32_t offset) {
  std::array<uint8_t, 2> user{};
  wire::ByteWriter(user).U16(pin);
  return Operation<kPinOpSize>(code, user, finger, offset);
}

std::array<uint8_t, kIdOpSize> IdOperation(uint8_t code, std::string_view id_text, uint8_t finger,
                                           int32_t offset) {
  std::array<uint8_t, kIdTextMax> field{};
  std::copy_n(id_text.begin(), std::min(id_text.size(), field.size()), field.begin());
  return Operation<kIdOpSize>(code, field, finger, offset);
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
