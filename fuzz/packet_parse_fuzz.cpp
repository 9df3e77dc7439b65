// Feeds arbitrary datagrams to the packet parser and checksum.
#include <cstddef>
#include <cstdint>
#include <span>

#include "wire/le_bytes.h"
#include "wire/packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  if (auto p = wire::ParsePacket(bytes)) {
    (void)wire::ChecksumValid(bytes);
    wire::ByteReader r(p->payload);
    while (r.ok() && r.remaining()) (void)r.U32();
  }
  return 0;
}
