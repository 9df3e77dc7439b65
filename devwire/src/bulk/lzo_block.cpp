#include "bulk/lzo_block.h"

#include <lzo/lzo1x.h>

#include <limits>
#include <mutex>

namespace devwire {
namespace {

bool LzoReady() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = lzo_init() == LZO_E_OK; });
  return ready;
}

}  // namespace

size_t LzoCompressedBound(size_t size) { return size + size / 16 + 64 + 3; }

std::optional<size_t> LzoDecompress(std::span<const uint8_t> in, std::span<uint8_t> out) {
  if (!LzoReady()) return std::nullopt;
  if (in.size() > std::numeric_limits<lzo_uint>::max()) return std::nullopt;
  lzo_uint produced = out.size();
  // The safe decoder checks every input and output bound; the work memory is
  // not used by it.
  const int rc = lzo1x_decompress_safe(in.data(), in.size(), out.data(), &produced, nullptr);
  if (rc != LZO_E_OK) return std::nullopt;
  return static_cast<size_t>(produced);
}

}  // namespace devwire
