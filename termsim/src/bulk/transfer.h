// Putting a transfer's data packets on the wire as the faults of the test
// shape them.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "bulk/trailer.h"
#include "commands/reply.h"
#include "termsim/simulator.h"

namespace termsim {

// The trailer for `data_packets` (data packet i is data_packets[i]) with
// `faults` applied; `damage_last` damages the last packet's checksum too.
// `closing`, when given, follows the data unless the terminal fell silent.
std::shared_ptr<const Trailer> ShapeTransfer(const std::vector<Reply>& data_packets,
                                             const TransferFaults& faults, bool damage_last,
                                             const std::optional<Reply>& closing,
                                             const BulkOptions& options);

}  // namespace termsim
