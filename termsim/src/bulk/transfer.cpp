#include "bulk/transfer.h"

#include <algorithm>
#include <numeric>

namespace termsim {

std::shared_ptr<const Trailer> ShapeTransfer(const std::vector<Reply>& data_packets,
                                             const TransferFaults& faults, bool damage_last,
                                             const std::optional<Reply>& closing,
                                             const BulkOptions& options) {
  auto trailer = std::make_shared<Trailer>();
  trailer->burst_packets = options.burst_packets;
  trailer->burst_pause_ms = options.burst_pause_ms;

  std::vector<uint32_t> order(data_packets.size());
  std::iota(order.begin(), order.end(), 0u);
  if (faults.reversed) std::reverse(order.begin(), order.end());

  const uint32_t last = data_packets.empty() ? 0 : static_cast<uint32_t>(data_packets.size() - 1);
  int64_t sent = 0;
  bool fell_silent = false;
  for (const uint32_t index : order) {
    if (faults.silent_after >= 0 && sent >= faults.silent_after) {
      fell_silent = true;
      break;
    }
    if (faults.lose.contains(index)) continue;
    const bool damaged = faults.corrupt.contains(index) || (damage_last && index == last);
    auto datagram = EncodeReply(data_packets[index], WireShape{0, damaged});
    if (faults.repeat.contains(index)) trailer->packets.push_back(datagram);
    trailer->packets.push_back(std::move(datagram));
    ++sent;
  }
  if (closing && !fell_silent) trailer->packets.push_back(EncodeReply(*closing));
  return trailer;
}

}  // namespace termsim
