// The squeeze file format on zlib: a 16-byte header and one raw deflate
// stream (window bits -15, no zlib or gzip wrapper).
#include "squeeze.h"

#include <zlib.h>

#include <array>
#include <cstring>
#include <span>
#include <vector>

#include "platform/host_file.h"
#include "wire/le_bytes.h"

namespace {

constexpr std::array<uint8_t, 4> kMagic = {'S', 'Q', 'Z', '1'};
constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderSize = 16;
constexpr int kRawDeflate = -15;

uint32_t Crc32(std::span<const uint8_t> bytes) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes 32-bit lengths: feed large images in pieces.
  while (!bytes.empty()) {
    const size_t n = std::min<size_t>(bytes.size(), 1u << 30);
    crc = crc32(crc, bytes.data(), static_cast<uInt>(n));
    bytes = bytes.subspan(n);
  }
  return static_cast<uint32_t>(crc);
}

bool Deflate(std::span<const uint8_t> image, std::vector<uint8_t>& out) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kRawDeflate, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    return false;
  }
  const size_t start = out.size();
  out.resize(start + deflateBound(&z, static_cast<uLong>(image.size())));
  z.next_in = const_cast<Bytef*>(image.data());
  z.avail_in = static_cast<uInt>(image.size());
  z.next_out = out.data() + start;
  z.avail_out = static_cast<uInt>(out.size() - start);
  const int rc = deflate(&z, Z_FINISH);
  out.resize(start + z.total_out);
  deflateEnd(&z);
  return rc == Z_STREAM_END;
}

// Inflates exactly `image.size()` bytes from `stream`, which must end there.
bool Inflate(std::span<const uint8_t> stream, std::span<uint8_t> image) {
  z_stream z{};
  if (inflateInit2(&z, kRawDeflate) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = image.data();
  z.avail_out = static_cast<uInt>(image.size());
  const int rc = inflate(&z, Z_FINISH);
  const bool whole = rc == Z_STREAM_END && z.avail_out == 0 && z.avail_in == 0;
  inflateEnd(&z);
  return whole;
}

}  // namespace

extern "C" {

SQUEEZE_API int32_t CompressItToFile(const void* image, const char* path, const int32_t* length) {
  if (image == nullptr || path == nullptr || length == nullptr || *length <= 0) return 0;
  try {
    const std::span<const uint8_t> bytes(static_cast<const uint8_t*>(image),
                                         static_cast<size_t>(*length));
    std::vector<uint8_t> file(kHeaderSize);
    wire::ByteWriter w(file);
    w.Bytes(kMagic);
    w.U32(kVersion);
    w.U32(static_cast<uint32_t>(bytes.size()));
    w.U32(Crc32(bytes));
    if (!Deflate(bytes, file)) return 0;
    return platform::WriteFileAtomically(path, file, platform::FileAccess::kPrivate) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

SQUEEZE_API int32_t ExpandItFromFile(const char* path, void* buffer, int32_t* capacity) {
  if (path == nullptr || buffer == nullptr || capacity == nullptr || *capacity <= 0) return 0;
  try {
    const size_t room = static_cast<size_t>(*capacity);
    // A stream never needs much more than the image it holds.
    const size_t limit = kHeaderSize + room + room / 100 + 4096;
    std::vector<uint8_t> file;
    if (platform::ReadHostFile(path, limit, &file) != platform::ReadStatus::kOk) return 0;
    wire::ByteReader r(file);
    std::array<uint8_t, 4> magic{};
    r.Bytes(magic);
    const uint32_t version = r.U32();
    const uint32_t length = r.U32();
    const uint32_t crc = r.U32();
    if (!r.ok() || magic != kMagic || version != kVersion) return 0;
    // Refused before a byte is inflated: nothing lands past the buffer.
    if (length == 0 || length > room) return 0;
    const std::span<uint8_t> image(static_cast<uint8_t*>(buffer), length);
    if (!Inflate(r.rest(), image) || Crc32(image) != crc) return 0;
    *capacity = static_cast<int32_t>(length);
    return static_cast<int32_t>(length);
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
