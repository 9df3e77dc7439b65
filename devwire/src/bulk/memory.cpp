#include "bulk/memory.h"

#include <algorithm>
#include <array>
#include <vector>

#include "bulk/constants.h"
#include "bulk/streamed.h"
#include "connection/engine_connection.h"
#include "exchange/reader_channel.h"
#include "exchange/wait_bound.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace devwire {
namespace {

enum class BlockRead { kDone, kFailed, kRefused };

// One block: a streamed read of (offset, count) into private scratch, so
// neither the request nor an oversized reply ever touches the caller's
// memory. Only a block of exactly the bytes asked for is taken.
BlockRead ReadBlock(EngineConnection& c, uint16_t command, uint32_t offset, std::span<uint8_t> out,
                    int tries, std::vector<uint8_t>& scratch) {
  std::array<uint8_t, 8> request{};
  wire::ByteWriter w(request);
  w.U32(offset);
  w.U32(static_cast<uint32_t>(out.size()));
  const size_t area_size = out.size() + kInlineSlack;
  if (scratch.size() < area_size) scratch.resize(area_size);
  const std::span<uint8_t> area = std::span<uint8_t>(scratch).first(area_size);

  for (int t = 0; t < std::max(tries, 1) && !DeadlinePassed(c); ++t) {
    // The reader stays out between blocks; ReadMemory lets it read at the end.
    const BulkResult r = StreamedRead(c, command, request, area, true, kMemoryBlockTimeoutMs, true);
    if (r.outcome == wire::CMD_ACK_OK) {
      if (r.result >= 0 && static_cast<size_t>(r.result) == out.size()) {
        std::copy_n(area.begin(), out.size(), out.begin());
        return BlockRead::kDone;
      }
      continue;  // a block of another size is of no use
    }
    // Chunks that stopped coming (CMD_ACK_NO with a negative result) are a
    // line that cannot carry this block, like damaged ones; CMD_ACK_NO with
    // nothing collected means the terminal did not take the request.
    const bool chunks_lost = r.outcome == wire::CMD_ACK_NO && r.result < 0;
    if (r.outcome == wire::CMD_ACK_ERROR_DATA || r.outcome == wire::CMD_DATA ||
        r.outcome == wire::CMD_ACK_ERROR_CMD || chunks_lost) {
      continue;
    }
    return BlockRead::kRefused;
  }
  return BlockRead::kFailed;
}

// The blocks of one memory read, the reader kept out throughout.
int32_t ReadBlocks(EngineConnection& c, uint16_t command, uint32_t offset,
                   std::span<uint8_t> destination, int32_t block_size, int tries) {
  if (block_size <= 0) block_size = kDefaultBlockSize;
  // The last good block size carries over from earlier reads, so a slow line
  // does not relearn it every time; a bigger wish is met half-way.
  if (c.memory_block_size <= 0) c.memory_block_size = block_size;
  int64_t block = block_size;
  if (block_size > c.memory_block_size) {
    block = (static_cast<int64_t>(block_size) + c.memory_block_size) / 2;
  }

  std::vector<uint8_t> scratch;
  size_t done = 0;
  int budget = kMemoryRetryBudget;
  while (done < destination.size()) {
    if (c.abort_flag == 1) return -2;
    if (DeadlinePassed(c)) return -3;  // gave up: out of time
    const size_t n = static_cast<size_t>(
        std::min<int64_t>(block, static_cast<int64_t>(destination.size() - done)));
    const uint32_t at = offset + static_cast<uint32_t>(done);
    switch (ReadBlock(c, command, at, destination.subspan(done, n), tries, scratch)) {
      case BlockRead::kDone:
        done += n;
        c.memory_block_size = static_cast<int32_t>(block);
        budget = kMemoryRetryBudget;
        break;
      case BlockRead::kRefused:
        return -2;
      case BlockRead::kFailed:
        block /= kMemoryBlockShrink;
        if (block < kSmallestMemoryBlock) {
          if (budget == 0) return -3;
          --budget;
          block = kSmallestMemoryBlock;
        }
        break;
    }
  }
  return static_cast<int32_t>(done);
}

}  // namespace

int32_t ReadMemory(EngineConnection& c, uint16_t command, uint32_t offset,
                   std::span<uint8_t> destination, int32_t block_size, int tries,
                   bool hold_reader) {
  c.last_error = 0;
  // Its own deadline, unless it serves a read whose deadline is earlier.
  DeadlineScope deadline(c);
  deadline.Limit(BulkDeadlineMs(kMemoryBlockTimeoutMs, destination.size()));
  const int32_t result = ReadBlocks(c, command, offset, destination, block_size, tries);
  if (!hold_reader) RearmReader(c);
  return result;
}

}  // namespace devwire
