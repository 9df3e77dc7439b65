// The session's copy of the terminal's user table, and its searches.
//
// user_buf holds what the terminal sent: a 32-bit byte count, then the
// records from offset 4. user_len is the byte count of whole records that
// actually arrived and fit the buffer; user_cursor is the offset of the
// next record for the iterating calls. The record size follows the
// terminal: 72 bytes on colour-screen terminals, 16 on firmware below
// "Ver 5.04", 28 otherwise.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "session/device_session.h"
#include "users/user_records.h"

namespace users {

// Room for the largest table a 16-bit PIN allows in every layout.
inline constexpr size_t kUserBufferSize = 6 * 1024 * 1024;
// Offset of the first record (after the byte count).
inline constexpr uint32_t kFirstRecord = 4;
// Data kind of the user table in the bulk request.
inline constexpr uint8_t kUserTableKind = 5;

bool IsOldFirmware(const devapi::DeviceSession& session);
// The layout of the records the terminal sends.
UserLayout CacheLayout(const devapi::DeviceSession& session);
inline size_t CacheStride(const devapi::DeviceSession& session) {
  return RecordSize(CacheLayout(session));
}

// True when a cache buffer exists (possibly empty).
inline bool CacheAllocated(const devapi::DeviceSession& session) {
  return !session.user_buf.empty() && session.user_buf_cap != 0;
}

// Downloads the user table into the cache (Q_ReadUserInfo): 1 loaded (the
// cursor back at the first record), 0 the terminal has no users, -2 the
// download failed (the cache then holds no records and counts as not
// loaded for allocating new numbers).
int32_t LoadUserCache(devapi::DeviceSession& session);

// The queries' and iterators' rule: downloads the table unless the cache
// holds records; 1 when it does (then), else the download's result.
int32_t EnsureUserCache(devapi::DeviceSession& session);

// Releases the cache; the next lookup downloads it again.
void FreeUserCache(devapi::DeviceSession& session);

// The whole records of the cache.
std::span<const uint8_t> CachedRecords(const devapi::DeviceSession& session);
// The record at `offset` into user_buf (a search result).
std::span<const uint8_t> RecordAt(const devapi::DeviceSession& session, size_t offset);

// Searches from the first record; the offset of the first match.
std::optional<size_t> FindUserByPin(const devapi::DeviceSession& session, uint32_t pin);
// Extended records compare the PIN2; colour-screen records, whose users
// carry no PIN2, compare the ID text with the number in decimal; short
// records never match.
std::optional<size_t> FindUserByPin2(const devapi::DeviceSession& session, uint32_t pin2);
// Extended records compare all five card bytes; colour-screen records the
// 32-bit card number (the fifth byte must be 0); short records never match.
std::optional<size_t> FindUserByCard(const devapi::DeviceSession& session,
                                     std::span<const uint8_t, 5> card);
// Colour-screen records only; at most 24 characters are compared, and an
// empty text matches nothing.
std::optional<size_t> FindUserByIdText(const devapi::DeviceSession& session,
                                       std::string_view id_text);

// The PIN2 of a cached record: the extended record's PIN2, the decimal
// value of a colour-screen record's ID text (0 when it is not a number),
// 0 for short records.
uint32_t CachedPin2(UserLayout layout, std::span<const uint8_t> record);

// Keeps the cache in step with a record the terminal accepted: overwrites
// the record at `found`, or appends it. A record of another layout than the
// cache's, or one that does not fit, drops the cache instead (it is
// downloaded again when next needed).
void StoreWrittenRecord(devapi::DeviceSession& session, UserLayout layout,
                        std::span<const uint8_t> record, std::optional<size_t> found);

// The user view for saving to a file: the records from the iteration
// cursor to the end of the table; empty when nothing is loaded.
std::span<const uint8_t> UserViewBytes(const devapi::DeviceSession& session);

}  // namespace users
