// Finding terminals on the local network: one probe datagram to the search
// port through a transport opened in broadcast mode, then every terminal's
// text answer, collected as tab-separated key=value lines.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace devwire {

// Terminals listen for the probe on this port; opening the UDP transport on
// it allows broadcasts.
inline constexpr int32_t kSearchPort = 65535;
inline constexpr size_t kSearchAnswerBytes = 8192;  // room for one answer
inline constexpr int32_t kSearchReadMs = 500;
inline constexpr int kSearchMaxSilentReads = 10;  // the search ends after more
inline constexpr size_t kSearchMaxFields = 16;
inline constexpr size_t kSearchMaxFieldChars = 127;

// Results besides 1 (lines found) and 0 (none).
inline constexpr int32_t kSearchTransportFailed = -1;
inline constexpr int32_t kSearchProbeNotSent = -2;
inline constexpr int32_t kSearchNoRoom = -15104;

// Overrides the address the probe goes to, when set to a dotted IPv4
// address; lets tests keep a search on the loopback network whatever
// address the host application passes.
inline constexpr char kSearchAddressVariable[] = "TERMKIT_SEARCH_ADDRESS";

// What one datagram meant to the search.
struct SearchAnswer {
  bool answered = false;            // it came from a terminal (restarts the time limit)
  std::optional<std::string> line;  // the result line, when it is well formed
};

// Reads one answer datagram; `number` is the running number of its line.
SearchAnswer ParseSearchAnswer(std::span<const uint8_t> datagram, int number);

// The address the probe goes to: the override variable's value when it
// holds a dotted IPv4 address, else `address` (which may be null).
const char* SearchTargetAddress(const char* address);

// Four decimal numbers 0 to 255 of one to three digits, separated by dots.
bool IsDottedIpv4(const char* text);

// The whole search. `result` is zeroed and receives the lines separated by
// CR LF, always terminated.
int32_t SearchDevices(const char* plugin_file, const char* address, std::span<const uint8_t> probe,
                      std::span<char> result, int32_t time_limit_ms);

}  // namespace devwire
