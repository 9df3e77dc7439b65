#include "bulk/lzo.h"

#include <lzo/lzo1x.h>

#include <mutex>
#include <stdexcept>

namespace termsim {

std::vector<uint8_t> LzoCompress(std::span<const uint8_t> data) {
  static std::once_flag once;
  std::call_once(once, [] {
    if (lzo_init() != LZO_E_OK) throw std::runtime_error("lzo_init failed");
  });
  if (data.empty()) return {};
  // Incompressible input grows by at most this much.
  std::vector<uint8_t> out(data.size() + data.size() / 16 + 64 + 3);
  std::vector<uint8_t> work(LZO1X_1_MEM_COMPRESS);
  lzo_uint produced = out.size();
  if (lzo1x_1_compress(data.data(), data.size(), out.data(), &produced, work.data()) != LZO_E_OK) {
    throw std::runtime_error("lzo1x_1_compress failed");
  }
  out.resize(produced);
  return out;
}

}  // namespace termsim
