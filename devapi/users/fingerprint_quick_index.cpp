#include "users/fingerprint_quick_index.h"

#include <algorithm>
#include <cstdio>

namespace users {

namespace {

constexpr int32_t kNoEntry = 5;  // entries up to this value hold nothing

size_t Slot(int64_t pin, int64_t finger) {
  return static_cast<size_t>(pin * kQuickIndexFingers + finger);
}

}  // namespace

void BuildQuickIndex(devapi::DeviceSession& s) {
  s.tmpl_index.assign(static_cast<size_t>(kQuickIndexRows * kQuickIndexFingers), 0);
  bool reported = false;
  ForEachTemplateRecord(TemplateViewBytes(s), [&](const TemplateRef& ref) {
    if (ref.pin > kQuickIndexMaxPin) {
      // Not indexed, but not lost either: lookups of such PINs walk. The
      // first one is reported, as where indexing used to end.
      if (!reported) std::printf("%d\n", static_cast<int>(ref.pin));
      reported = true;
      return true;
    }
    if (ref.finger < kQuickIndexFingers) {
      s.tmpl_index[Slot(ref.pin, ref.finger)] =
          static_cast<int32_t>(ref.record + kTemplateHeaderSize);
    }
    return true;
  });
}

QuickLookup QuickFindTemplate(const devapi::DeviceSession& s, int64_t pin, int64_t finger) {
  QuickLookup out;
  if (finger < 0 || finger >= kQuickIndexFingers) return out;
  if (pin < 0 || pin > kQuickIndexMaxPin) {
    out.answer = QuickAnswer::kNotIndexed;
    return out;
  }
  if (s.tmpl_index.size() <= Slot(pin, finger)) return out;
  const int32_t entry = s.tmpl_index[Slot(pin, finger)];
  if (entry <= kNoEntry) return out;
  const auto ref = TemplateRecordAt(TemplateViewBytes(s), entry - kTemplateHeaderSize);
  if (!ref) return out;
  out.answer = QuickAnswer::kFound;
  out.ref = *ref;
  return out;
}

}  // namespace users
