// Q_SSR_SaveDate: writes the raw bytes of a downloaded view to a host file.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <system_error>

#include "devapi.h"
#include "logs/read_buffer.h"
#include "session/session_io.h"
#include "users/user_cache.h"

namespace devapi {

namespace {

enum SavedView : int32_t {
  kAttendanceView = 1,
  kUserView = 2,
  kRuleView = 3,
  kDepartmentView = 4,
  kTimeSlotView = 5,
};

// The bytes a view still holds, from its cursor to the end of its data.
// The attendance tables are kept whole in the session's own storage.
std::span<const uint8_t> ViewBytes(const DeviceSession& s, int32_t type) {
  switch (type) {
    case kAttendanceView:
      return ViewRest(s, s.attlog_start, s.attlog_len, s.attlog_cursor);
    case kUserView:
      return users::UserViewBytes(s);
    case kRuleView:
      return s.rule_data;
    case kDepartmentView:
      return s.dept_data;
    case kTimeSlotView:
      return s.slot_data;
    default:
      return {};
  }
}

// Replaces the file with `bytes`: 1, or -2 when it cannot be created or
// the write comes short.
int32_t WriteFile(const char* path, std::span<const uint8_t> bytes) {
  std::error_code ignored;
  // Only a file is replaced; a directory of that name stays.
  if (std::filesystem::is_directory(path, ignored)) return -2;
  std::filesystem::remove(path, ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return -2;
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  return out ? 1 : -2;
}

}  // namespace

}  // namespace devapi

DEVAPI_API int32_t Q_SSR_SaveDate(DEVAPI_HANDLE handle, const char* file_name, int32_t type) {
  return devapi::Guarded([&]() -> int32_t {
    devapi::DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (file_name == nullptr || *file_name == '\0') return 4;
    // Nothing to save leaves the host's file as it is.
    const auto bytes = devapi::ViewBytes(*s, type);
    if (bytes.empty()) return 0;
    return devapi::WriteFile(file_name, bytes);
  });
}
