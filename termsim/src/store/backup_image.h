// The terminal's memory as a backup sees it: its users, templates and logs
// in a self-checking layout of its own, cut into 64 KiB blocks, with one
// database block in front.
//
// Memory layout: "TSIMAGE1", u32 payload length, u32 data hash of the
// payload, then the payload: the sections "[users]", "[templates]" and
// "[logs]", one record a line in the simulator's own text forms.
// Database block: "TSDB" and the number of memory blocks.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "termsim/logs.h"
#include "termsim/simulator.h"
#include "termsim/templates.h"

namespace termsim {

inline constexpr size_t kBackupBlock = 0x10000;

struct BackupContent {
  std::vector<User> users;
  std::vector<FingerTemplate> templates;
  LogData logs;
};

// The memory blocks (each 64 KiB, the last one 0xFF-filled) of `content`.
std::vector<std::vector<uint8_t>> MemoryBlocks(const BackupContent& content);
// The database block for `blocks` memory blocks.
std::vector<uint8_t> DatabaseBlock(size_t blocks);

// A restore image as a host sends it: 64 KiB slots, the database slot
// (4, 0, 0, 0, "TSDB" ...) anywhere, the memory slots in order. Nullopt
// when anything in it does not check.
std::optional<BackupContent> ParseRestoreImage(std::span<const uint8_t> image);

}  // namespace termsim
