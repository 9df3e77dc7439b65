#include "users/fingerprint_view.h"

#include <algorithm>
#include <cstring>

#include "wire/le_bytes.h"

namespace users {

bool TemplateViewLoaded(const devapi::DeviceSession& s) { return s.tmpl_loaded && s.tmpl_len != 0; }

std::span<const uint8_t> TemplateViewBytes(const devapi::DeviceSession& s) {
  if (!TemplateViewLoaded(s)) return {};
  return devapi::ViewRest(s, s.tmpl_start, s.tmpl_len, s.tmpl_start);
}

void SetTemplateView(devapi::DeviceSession& s, devapi::ViewRange view, int32_t quick_state) {
  devapi::ResetViewsExcept(s, devapi::BufferView::kTemplates);
  s.tmpl_start = s.tmpl_cursor = view.start;
  s.tmpl_len = view.len;
  s.tmpl_loaded = true;
  s.quick_tmpl_state = quick_state;
}

std::optional<TemplateRef> TemplateRecordAt(std::span<const uint8_t> view, size_t offset) {
  if (offset > view.size() || view.size() - offset < kTemplateHeaderSize) return std::nullopt;
  wire::ByteReader r(view.subspan(offset));
  TemplateRef ref;
  const size_t size = r.U16();
  ref.pin = r.U16();
  ref.finger = r.U8();
  ref.flag = r.U8();
  if (size < kTemplateHeaderSize || size > view.size() - offset) return std::nullopt;
  ref.record = static_cast<uint32_t>(offset);
  ref.bytes = r.View(size - kTemplateHeaderSize);
  return ref;
}

std::optional<TemplateRef> FindTemplateRecord(std::span<const uint8_t> view, int64_t pin,
                                              int64_t finger) {
  std::optional<TemplateRef> found;
  ForEachTemplateRecord(view, [&](const TemplateRef& ref) {
    if (ref.pin == pin && ref.finger == finger) found = ref;
    return !found;
  });
  return found;
}

std::optional<TemplateRef> FindTemplateSlot(std::span<const uint8_t> view, int64_t pin,
                                            int64_t finger) {
  for (size_t at = 0; view.size() - at >= kTemplateSlotSize; at += kTemplateSlotSize) {
    wire::ByteReader r(view.subspan(at, kTemplateSlotSize));
    TemplateRef ref;
    const size_t length = r.U16();
    ref.pin = r.U16();
    ref.finger = r.U8();
    ref.flag = r.U8();
    if (ref.pin != pin || ref.finger != finger) continue;
    ref.record = static_cast<uint32_t>(at);
    ref.bytes = r.View(std::min(length, r.remaining()));
    return ref;
  }
  return std::nullopt;
}

int32_t CopyTemplateOut(std::span<const uint8_t> tmpl, uint8_t* buffer, int32_t* length) {
  const auto needed = static_cast<int32_t>(tmpl.size());
  if (*length < needed) {
    *length = needed;
    return 4;
  }
  if (!tmpl.empty()) std::memcpy(buffer, tmpl.data(), tmpl.size());
  *length = needed;
  return 1;
}

}  // namespace users
