// The template view: the fingerprint templates a download left in the
// shared buffer (read_buf), and the walks that find one user's finger in it.
//
// The terminal sends variable-length records {u16 size (header included),
// u16 PIN, u8 finger, u8 flag, template bytes}; terminals on USB-like
// transports send fixed 1670-byte slots {u16 template length, u16 PIN, u8
// finger, u8 flag, template bytes}. Every record is taken only when it lies
// wholly inside the view: the terminal's sizes are never trusted further.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "logs/read_buffer.h"
#include "session/device_session.h"

namespace users {

inline constexpr size_t kTemplateHeaderSize = 6;
inline constexpr size_t kTemplateSlotSize = 1670;

// One template found in the view.
struct TemplateRef {
  uint32_t record = 0;  // offset of its record from the view's start
  uint16_t pin = 0;
  uint8_t finger = 0;
  uint8_t flag = 0;
  std::span<const uint8_t> bytes;  // the template, within the record
};

// True while a template load's view is in place and holds bytes.
bool TemplateViewLoaded(const devapi::DeviceSession& session);

// The view's bytes, bounded by the buffer; empty when none is loaded.
std::span<const uint8_t> TemplateViewBytes(const devapi::DeviceSession& session);

// Makes `view` the template view (dropping every other view on read_buf),
// with the quick index in `quick_state`.
void SetTemplateView(devapi::DeviceSession& session, devapi::ViewRange view, int32_t quick_state);

// The record at `offset` of `view`: nullopt when its header does not fit,
// its size is below the header's, or it would pass the view's end.
std::optional<TemplateRef> TemplateRecordAt(std::span<const uint8_t> view, size_t offset);

// Calls `visit` on each record from the start of `view`, in order, until a
// record cannot be read (see TemplateRecordAt) or `visit` returns false.
template <typename Visit>
void ForEachTemplateRecord(std::span<const uint8_t> view, Visit&& visit) {
  size_t at = 0;
  while (const auto ref = TemplateRecordAt(view, at)) {
    if (!visit(*ref)) return;
    at += kTemplateHeaderSize + ref->bytes.size();
  }
}

// The first record of `pin` and `finger`.
std::optional<TemplateRef> FindTemplateRecord(std::span<const uint8_t> view, int64_t pin,
                                              int64_t finger);
// The first 1670-byte slot of `pin` and `finger`; the template is as long as
// the slot's length field says, bounded by the slot.
std::optional<TemplateRef> FindTemplateSlot(std::span<const uint8_t> view, int64_t pin,
                                            int64_t finger);

// Copies a template into the caller's buffer of *length bytes when it fits:
// 1, and *length becomes its length; 4 when it does not fit (nothing
// copied, *length becomes the length needed).
int32_t CopyTemplateOut(std::span<const uint8_t> tmpl, uint8_t* buffer, int32_t* length);

}  // namespace users
