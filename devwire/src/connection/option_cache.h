// The per-connection cache of device options read with CMD_OPTIONS_RRQ.
//
// The cache sits inside the command path: a read may be answered from it
// without an exchange, and a write the terminal accepted updates it. The
// cache is filled by one probe command that asks the terminal for a fixed
// set of well-known options at once; a terminal that cannot answer the probe
// is asked for every option directly for the rest of the connection.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "strtable/string_table.h"

namespace devwire {

struct EngineConnection;

// Writes manufacturer options; it carries "name=value" like CMD_OPTIONS_WRQ.
inline constexpr uint16_t kManufacturerOptionWrite = 2999;

inline constexpr size_t kOptionProbeKeyCount = 21;
// Reply room and time-out of the probe command.
inline constexpr size_t kOptionProbeReplyBytes = 8192;
inline constexpr int32_t kOptionProbeTimeoutMs = 10000;

struct OptionCache {
  OptionCache();

  // "key=value" entries; null when the table could not be created (the
  // cache then stays out of the way).
  std::unique_ptr<strtable::StringTable> table;
  int32_t fills = 0;        // successful probes
  bool probe_done = false;  // the probe has been tried on this connection
  // The probe found "~OS" set. Without it the device library sends the
  // values of '~' options scrambled, so the engine never sees their plain
  // text.
  bool terminal_has_os = false;
  // Keys whose cached value cannot be trusted any more: they are read from
  // the terminal.
  std::set<std::string, std::less<>> live_keys;
};

// One of the keys the probe asks for.
bool IsOptionProbeKey(std::string_view key);

// The probe command's data: "~OS=?,ExtendFmt=?,...,~DeviceName=?" without a
// terminator.
std::string OptionProbeRequest();

// Commands that write an option as "name=value" and update the cache.
bool IsOptionWrite(uint16_t command);

// Answers an option read from the cache: true when `reply` now holds the
// answer and `code` the outcome, so no exchange is needed. May run the probe
// (an exchange of its own) first.
bool AnswerOptionRead(EngineConnection& connection, uint16_t& code,
                      std::span<const uint8_t> request, std::span<uint8_t> reply);

// Applies an option write ("name=value") that the terminal accepted.
void ApplyOptionWrite(EngineConnection& connection, const std::string& request);

}  // namespace devwire
