#include "bulk/dispatch.h"

#include <algorithm>
#include <vector>

#include "bulk/buffered.h"
#include "bulk/constants.h"
#include "bulk/streamed.h"
#include "connection/engine_connection.h"
#include "wire/codes.h"

namespace devwire {

bool ReadsBuffered(uint16_t command) {
  switch (command) {
    case 6:
    case wire::CMD_DB_RRQ:
    case wire::CMD_USERTEMP_RRQ:
    case wire::CMD_OPTIONS_RRQ:
    case wire::CMD_ATTLOG_RRQ:
    case 34:
    case 111:
    case 120:
    case 10004:
    case 10007:
      return true;
    default:
      return false;
  }
}

int32_t ReadData(EngineConnection& c, uint16_t& code, std::span<uint8_t> buffer,
                 size_t param_length, int32_t block_size, int32_t timeout_ms) {
  c.last_error = 0;
  const uint16_t command = code;
  // The request is taken before the data overwrites it.
  const std::vector<uint8_t> request(buffer.begin(),
                                     buffer.begin() + std::min(param_length, buffer.size()));
  if (ReadsBuffered(command)) {
    const int32_t block = block_size < kSmallestDispatchBlock ? kDefaultBlockSize : block_size;
    const int32_t result = BufferedRead(c, code, request, buffer, block, timeout_ms);
    if (code != wire::CMD_ACK_UNKNOWN) {
      const bool refused =
          code == wire::CMD_ACK_ERROR || code == kBufferedRefusedA || code == kBufferedRefusedB;
      return refused ? 0 : result;
    }
    // This terminal cannot prepare data: the command streams it instead.
    code = command;
  }
  const BulkResult streamed = StreamedRead(c, command, request, buffer, true, timeout_ms);
  code = streamed.outcome;
  return streamed.result;
}

}  // namespace devwire
