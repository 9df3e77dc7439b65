#include "users/user_cache.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "session/session_io.h"
#include "users/user_numbers.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace users {

namespace {

// Offsets of the card number in the two layouts that have one.
constexpr size_t kExtendedCardOffset = 16;
constexpr size_t kTftCardOffset = 35;

// Calls `match` on each whole record; the offset of the first match.
template <typename Match>
std::optional<size_t> FindRecord(const devapi::DeviceSession& session, Match&& match) {
  const auto records = CachedRecords(session);
  const size_t stride = CacheStride(session);
  for (size_t at = 0; at + stride <= records.size(); at += stride) {
    if (match(records.subspan(at, stride))) return kFirstRecord + at;
  }
  return std::nullopt;
}

std::string_view Decimal(uint32_t value, std::array<char, 12>& room) {
  const auto [end, ec] = std::to_chars(room.data(), room.data() + room.size(), value);
  return {room.data(), static_cast<size_t>(end - room.data())};
}

// Zeroes the template view on the shared download buffer, as every user
// table load does.
void DropTemplateView(devapi::DeviceSession& s) {
  if (s.tmpl_loaded && s.tmpl_start < s.read_buf.size()) {
    const size_t n = std::min<size_t>(s.tmpl_len, s.read_buf.size() - s.tmpl_start);
    std::fill_n(s.read_buf.begin() + s.tmpl_start, n, uint8_t{0});
  }
  s.tmpl_len = 0;
  s.tmpl_loaded = false;
  s.quick_tmpl_state = 0;
}

}  // namespace

bool IsOldFirmware(const devapi::DeviceSession& session) {
  return devapi::FirmwareBelow(session, "Ver 5.04");
}

UserLayout CacheLayout(const devapi::DeviceSession& session) {
  if (session.is_tft != 0) return UserLayout::kTft;
  return IsOldFirmware(session) ? UserLayout::kShort : UserLayout::kExtended;
}

int32_t LoadUserCache(devapi::DeviceSession& s) {
  if (!CacheAllocated(s)) {
    s.user_buf.assign(kUserBufferSize, 0);
  } else {
    std::fill(s.user_buf.begin(), s.user_buf.end(), uint8_t{0});
  }
  s.user_buf_cap = static_cast<uint32_t>(s.user_buf.size());
  s.user_len = 0;
  s.user_cursor = kFirstRecord;
  s.user_cache.loaded = false;
  DropTemplateView(s);

  s.user_buf[0] = kUserTableKind;
  uint16_t code = wire::CMD_USERTEMP_RRQ;
  const int32_t request_length = IsOldFirmware(s) ? 0 : 1;
  const int32_t received =
      DEVWIRE_READDATA(s.engine, &code, s.user_buf.data(), static_cast<int32_t>(s.user_buf_cap),
                       request_length, s.block_size, s.data_timeout_ms);

  if (code == devapi::kAckOk && received > 0) {
    // The leading count is the terminal's word: the table holds no more
    // than arrived and fits, in whole records.
    uint32_t length = 0;
    if (received >= static_cast<int32_t>(kFirstRecord)) {
      wire::ByteReader r(std::span<const uint8_t>(s.user_buf).first(kFirstRecord));
      const uint64_t count = r.U32();
      const uint64_t arrived = static_cast<uint64_t>(received) - kFirstRecord;
      const uint64_t room = s.user_buf_cap - kFirstRecord;
      const uint64_t stride = CacheStride(s);
      length = static_cast<uint32_t>(std::min({count, arrived, room}) / stride * stride);
    }
    s.user_len = length;
    s.user_cursor = kFirstRecord;
    s.user_cache.loaded = true;
    return 1;
  }
  // Cancelled: the load failed; nothing more is sent.
  if (s.cancel_requested != 0) return -2;
  if (code == devapi::kAckError && received == 0) {
    s.user_cache.loaded = true;  // a terminal without users
    return 0;
  }
  // Older terminals hand the table out through the data base read; what it
  // brings is not used, and the cache stays empty.
  int32_t size = static_cast<int32_t>(s.user_buf_cap);
  DEVWIRE_READDB(s.engine, kUserTableKind, s.block_size, s.user_buf.data(), &size);
  s.user_len = 0;
  return -2;
}

int32_t EnsureUserCache(devapi::DeviceSession& s) {
  if (s.user_len != 0 && CacheAllocated(s)) return 1;
  return LoadUserCache(s);
}

void FreeUserCache(devapi::DeviceSession& s) {
  std::vector<uint8_t>().swap(s.user_buf);
  s.user_buf_cap = 0;
  s.user_len = 0;
  s.user_cursor = 0;
  s.user_cache.loaded = false;
}

std::span<const uint8_t> CachedRecords(const devapi::DeviceSession& s) {
  if (!CacheAllocated(s) || s.user_buf.size() < kFirstRecord) return {};
  const size_t room = s.user_buf.size() - kFirstRecord;
  return std::span<const uint8_t>(s.user_buf)
      .subspan(kFirstRecord, std::min<size_t>(s.user_len, room));
}

std::span<const uint8_t> RecordAt(const devapi::DeviceSession& s, size_t offset) {
  const size_t stride = CacheStride(s);
  const size_t end = kFirstRecord + CachedRecords(s).size();
  if (offset < kFirstRecord || offset + stride > end) return {};
  return std::span<const uint8_t>(s.user_buf).subspan(offset, stride);
}

std::optional<size_t> FindUserByPin(const devapi::DeviceSession& s, uint32_t pin) {
  if (pin > 0xFFFF) return std::nullopt;
  return FindRecord(s, [pin](std::span<const uint8_t> r) { return RecordPin(r) == pin; });
}

std::optional<size_t> FindUserByPin2(const devapi::DeviceSession& s, uint32_t pin2) {
  switch (CacheLayout(s)) {
    case UserLayout::kShort:
      return std::nullopt;
    case UserLayout::kExtended:
      return FindRecord(s, [pin2](std::span<const uint8_t> r) { return RecordPin2(r) == pin2; });
    case UserLayout::kTft: {
      std::array<char, 12> room{};
      const std::string_view text = Decimal(pin2, room);
      return FindRecord(s, [text](std::span<const uint8_t> r) { return RecordIdText(r) == text; });
    }
  }
  return std::nullopt;
}

std::optional<size_t> FindUserByCard(const devapi::DeviceSession& s,
                                     std::span<const uint8_t, 5> card) {
  switch (CacheLayout(s)) {
    case UserLayout::kShort:
      return std::nullopt;
    case UserLayout::kExtended:
      return FindRecord(s, [card](std::span<const uint8_t> r) {
        return std::equal(card.begin(), card.end(), r.begin() + kExtendedCardOffset);
      });
    case UserLayout::kTft:
      if (card[4] != 0) return std::nullopt;
      return FindRecord(s, [card](std::span<const uint8_t> r) {
        return std::equal(card.begin(), card.begin() + 4, r.begin() + kTftCardOffset);
      });
  }
  return std::nullopt;
}

std::optional<size_t> FindUserByIdText(const devapi::DeviceSession& s, std::string_view id_text) {
  // An empty text names nobody (empty slots of the table have one).
  if (CacheLayout(s) != UserLayout::kTft || id_text.empty() || id_text.size() > kIdTextMax) {
    return std::nullopt;
  }
  return FindRecord(s,
                    [id_text](std::span<const uint8_t> r) { return RecordIdText(r) == id_text; });
}

uint32_t CachedPin2(UserLayout layout, std::span<const uint8_t> record) {
  switch (layout) {
    case UserLayout::kShort:
      return 0;
    case UserLayout::kExtended:
      return RecordPin2(record);
    case UserLayout::kTft: {
      const std::string_view text = RecordIdText(record);
      uint32_t value = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return 0;
      return value;
    }
  }
  return 0;
}

void StoreWrittenRecord(devapi::DeviceSession& s, UserLayout layout,
                        std::span<const uint8_t> record, std::optional<size_t> found) {
  if (!CacheAllocated(s)) return;
  const size_t stride = RecordSize(layout);
  if (!s.user_cache.loaded || layout != CacheLayout(s) || record.size() != stride) {
    FreeUserCache(s);
    return;
  }
  if (found && !RecordAt(s, *found).empty()) {
    std::copy(record.begin(), record.end(), s.user_buf.begin() + static_cast<ptrdiff_t>(*found));
    return;
  }
  const size_t end = kFirstRecord + CachedRecords(s).size();
  if (end + stride > s.user_buf.size()) {
    FreeUserCache(s);
    return;
  }
  std::copy(record.begin(), record.end(), s.user_buf.begin() + static_cast<ptrdiff_t>(end));
  s.user_len = static_cast<uint32_t>(end + stride - kFirstRecord);
}

std::span<const uint8_t> UserViewBytes(const devapi::DeviceSession& s) {
  const size_t end = kFirstRecord + CachedRecords(s).size();
  if (end == kFirstRecord || s.user_cursor < kFirstRecord || s.user_cursor >= end) return {};
  return std::span<const uint8_t>(s.user_buf).subspan(s.user_cursor, end - s.user_cursor);
}

}  // namespace users
