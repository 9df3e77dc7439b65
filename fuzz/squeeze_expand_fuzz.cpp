// ExpandItFromFile on any file: it never writes past the buffer it is
// given, and what it accepts it reports with its length.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "squeeze.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/squeeze_fuzz_" + std::to_string(::getpid()) + ".sqz";
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return 0;
  std::fwrite(data, 1, size, out);
  std::fclose(out);
  // Room for 64 KiB, and a guard behind it.
  constexpr int32_t kRoom = 1 << 16;
  std::vector<uint8_t> buffer(kRoom + 16, 0x5A);
  int32_t capacity = kRoom;
  const int32_t n = ExpandItFromFile(path.c_str(), buffer.data(), &capacity);
  Check(n >= 0 && n <= kRoom);
  if (n > 0) Check(capacity == n);
  for (int32_t i = kRoom; i < kRoom + 16; ++i) Check(buffer[static_cast<size_t>(i)] == 0x5A);
  return 0;
}
