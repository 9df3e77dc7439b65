#include "container_scrambler.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "container_format.h"

namespace templates {
namespace {

constexpr size_t kKeyOffset = kLengthOffset;
constexpr size_t kKeyBytes = 10;
using Key = std::array<uint8_t, kKeyBytes>;

// Each stored key byte hides the plain one behind a value derived from the
// plain byte before it; bytes 0 and 1 (the length) stay readable.
uint8_t Mask(uint8_t previous_plain, size_t i) {
  const unsigned b = previous_plain ^ static_cast<unsigned>(i);
  return static_cast<uint8_t>(b + b % 5);
}

// The span holding a container whose length field is sound and fits.
std::span<uint8_t> Bounded(std::span<uint8_t> container) {
  const size_t length = ContainerLength(container);
  if (!ContainerLengthValid(length) || length > container.size()) return {};
  return container.first(length);
}

void XorWithKey(std::span<uint8_t> container, const Key& key) {
  for (size_t i = 0; i < container.size(); ++i) container[i] ^= key[i % kKeyBytes];
}

}  // namespace

bool ScrambleContainer(std::span<uint8_t> container) {
  const auto bytes = Bounded(container);
  if (bytes.empty()) return false;
  Key plain;
  std::copy_n(bytes.begin() + kKeyOffset, kKeyBytes, plain.begin());
  XorWithKey(bytes, plain);
  Key stored = plain;
  for (size_t i = 2; i < kKeyBytes; ++i) stored[i] = plain[i] ^ Mask(plain[i - 1], i);
  std::copy(stored.begin(), stored.end(), bytes.begin() + kKeyOffset);
  return true;
}

bool DescrambleContainer(std::span<uint8_t> container) {
  if (IsPlainContainer(container)) return true;
  const auto bytes = Bounded(container);
  if (bytes.empty()) return false;
  Key key;
  std::copy_n(bytes.begin() + kKeyOffset, kKeyBytes, key.begin());
  for (size_t i = 2; i < kKeyBytes; ++i) key[i] ^= Mask(key[i - 1], i);
  XorWithKey(bytes, key);
  std::copy(key.begin(), key.end(), bytes.begin() + kKeyOffset);
  return true;
}

}  // namespace templates
