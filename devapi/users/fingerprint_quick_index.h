// The quick index over the template view: one entry per PIN (0 to 50000)
// and finger (0 to 9) holding the offset, from the view's start, of that
// template's bytes (record offset + 6), so a lookup needs no walk. Entries
// of 5 or less mean "no template". Templates of PINs above 50000 are not
// indexed; lookups of such PINs walk the view instead.
#pragma once

#include <cstdint>
#include <optional>

#include "session/device_session.h"
#include "users/fingerprint_view.h"

namespace users {

inline constexpr int64_t kQuickIndexMaxPin = 50000;
inline constexpr int64_t kQuickIndexFingers = 10;
inline constexpr int64_t kQuickIndexRows = 50003;  // the index area's rows

// Rebuilds the index from the current view (an empty view gives an empty
// index). Leaves quick_tmpl_state alone.
void BuildQuickIndex(devapi::DeviceSession& session);

enum class QuickAnswer { kFound, kNone, kNotIndexed };

struct QuickLookup {
  QuickAnswer answer = QuickAnswer::kNone;
  TemplateRef ref;  // when found
};

// A lookup through the index (quick_tmpl_state must be 1): a finger outside
// 0-9 or an empty entry give kNone; a PIN the index does not cover gives
// kNotIndexed (walk instead).
QuickLookup QuickFindTemplate(const devapi::DeviceSession& session, int64_t pin, int64_t finger);

}  // namespace users
