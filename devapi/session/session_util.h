// Pure helpers of the session, options and control functions: firmware normalisation,
// serial time-outs, packed time, the unit conversions of the info types,
// option scrambling, integer parsing. No terminal, no session.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace devapi {

// Rewrites "Ver 6.60 Oct 26 2009" in place to "Ver 6.60 20091026" (session).
// `text` is a zero-filled field of `size` bytes (at least 21); the rewrite
// never reaches past it and leaves it terminated.
void NormaliseFirmware(char* text, size_t size);

// Time-outs of the serial connect by baud rate (baud != 0).
struct SerialTimeouts {
  int32_t cmd_ms;
  int32_t data_ms;
};
SerialTimeouts SerialTimeoutsForBaud(int32_t baud);

// Packed time (options). Fields are not checked here.
uint32_t PackTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                  int32_t second);
struct UnpackedTime {
  int32_t year, month, day, hour, minute, second;
  int32_t day_of_year;  // 1-based
  int32_t weekday;      // 0 = Sunday
};
UnpackedTime UnpackTime(uint32_t packed);
// Weekday (0 = Sunday) of a date given by year and 1-based day of the year,
// with floor division (correct for 2000 as well).
int32_t WeekdayOf(int32_t year, int32_t day_of_year);

// Info-type conversions, caller value <-> terminal value.
int32_t LanguageToTerminal(int32_t value);
int32_t LanguageFromTerminal(int32_t value);
int32_t BaudToTerminal(int32_t value);
int32_t BaudFromTerminal(int32_t value);
// `old_firmware`: firmware below "Ver 5.04".
int64_t ThresholdToTerminal(int32_t value, bool old_firmware);
int64_t ThresholdFromTerminal(int32_t value, bool old_firmware);

// Option name of an info type 1-81 ("" for type 12); null outside 1-81.
const char* InfoTypeName(int32_t type);

// Word of the command-50 reply for a status index 1-24; -1 otherwise.
int32_t StatusWordOfIndex(int32_t index);

// The integer value of a text, like atoi, but saturating at the 32-bit range.
int32_t IntegerValue(std::string_view text);

// Scrambles an option value for a terminal without "~OS" (options): key
// byte, then the running XOR of the value's bytes, each as two upper-case
// hexadecimal digits.
std::string ScrambleValue(std::string_view value, uint8_t key);
// A fresh key: low 8 bits of (tick count + pseudo-random number) x 1000.
uint8_t ScrambleKey();

// Copies `text` into `out` (capacity `size` > 0), cut to size - 1 bytes,
// always terminated.
void CopyText(std::string_view text, char* out, size_t size);

}  // namespace devapi
