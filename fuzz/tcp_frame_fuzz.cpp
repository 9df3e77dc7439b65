// Feeds an arbitrary byte stream to the TCP frame reader in pieces whose
// sizes the input chooses, and checks every packet it yields.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "tcp_frame_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte sets the piece size, so that frames split at every
  // place get tried, the rest is the stream.
  const size_t piece = static_cast<size_t>(data[0]) + 1;
  std::span<const uint8_t> stream(data + 1, size - 1);
  tcplink::TcpFrameReader reader;
  while (!stream.empty()) {
    std::span<const uint8_t> chunk = stream.first(std::min(piece, stream.size()));
    stream = stream.subspan(chunk.size());
    while (!chunk.empty()) {
      const size_t taken = reader.Feed(chunk);
      if (taken > chunk.size()) std::abort();
      chunk = chunk.subspan(taken);
      if (reader.Ready()) {
        const auto packet = reader.Packet();
        if (packet.size() < tcplink::kMinFramedPacket || packet.size() > tcplink::kMaxFramedPacket)
          std::abort();
        reader.Release();
      } else if (taken == 0) {
        std::abort();  // neither progress nor a packet
      }
    }
  }
  return 0;
}
