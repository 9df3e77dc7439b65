// Feeds arbitrary bytes to the template view as a terminal's bulk download
// would leave them: the quick index is built over them and every PIN and
// finger a record names is looked up through the index and by walking. Each
// template found must lie inside the view and belong to the PIN and finger
// asked for; whatever the index finds, the walk finds too.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "session/device_session.h"
#include "users/fingerprint_quick_index.h"
#include "users/fingerprint_view.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool Inside(std::span<const uint8_t> part, std::span<const uint8_t> whole) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  devapi::DeviceSession s;
  s.read_buf.assign(data, data + size);
  s.read_buf_cap = static_cast<uint32_t>(size);
  users::SetTemplateView(s, {0, static_cast<uint32_t>(size)}, 0);
  users::BuildQuickIndex(s);
  s.quick_tmpl_state = 1;
  const auto view = users::TemplateViewBytes(s);

  users::ForEachTemplateRecord(view, [&](const users::TemplateRef& ref) {
    Check(Inside(ref.bytes, view));
    const auto walked = users::FindTemplateRecord(view, ref.pin, ref.finger);
    Check(walked.has_value() && walked->pin == ref.pin && walked->finger == ref.finger);
    const auto quick = users::QuickFindTemplate(s, ref.pin, ref.finger);
    if (quick.answer == users::QuickAnswer::kFound) {
      Check(Inside(quick.ref.bytes, view));
      Check(quick.ref.pin == ref.pin && quick.ref.finger == ref.finger);
    } else if (ref.finger < users::kQuickIndexFingers) {
      // Indexable records are always in the index; the rest must walk.
      Check(quick.answer == users::QuickAnswer::kNotIndexed);
    }
    const auto slot = users::FindTemplateSlot(view, ref.pin, ref.finger);
    if (slot) Check(Inside(slot->bytes, view));
    return true;
  });
  return 0;
}
