// A transport plug-in for tests. Built in several variants that leave out
// entry points (ENGTEST_NO_READ, ENGTEST_NO_NAME, ENGTEST_BARE: no
// DEVORU_TERMINALREAD and no DEVORU_ERROR); every present entry point
// forwards to the table that ENGTEST_SET_TABLE installed.
#include "test_plugin_api.h"

namespace {
EngtestTable g_table{};
}

extern "C" {

DEVORU_EXPORT void ENGTEST_SET_TABLE(const EngtestTable* table) {
  g_table = table != nullptr ? *table : EngtestTable{};
}

DEVORU_EXPORT DEVORU_HANDLE DEVORU_INIT(const char* address, int32_t p1, int32_t p2) {
  return g_table.init ? g_table.init(address, p1, p2) : nullptr;
}

DEVORU_EXPORT DEVORU_HANDLE DEVORU_INITEX(const char* address, int32_t p1, int32_t p2,
                                          int32_t* status) {
  return g_table.initex ? g_table.initex(address, p1, p2, status) : nullptr;
}

DEVORU_EXPORT int32_t DEVORU_CLOSE(DEVORU_HANDLE handle) {
  return g_table.close ? g_table.close(handle) : 1;
}

DEVORU_EXPORT int32_t DEVORU_SEND(DEVORU_HANDLE handle, const void* bytes, int32_t length) {
  return g_table.send ? g_table.send(handle, bytes, length) : 0;
}

#ifndef ENGTEST_NO_READ
DEVORU_EXPORT int32_t DEVORU_READ(DEVORU_HANDLE handle, void* buffer, int32_t size,
                                  int32_t timeout_ms) {
  return g_table.read ? g_table.read(handle, buffer, size, timeout_ms) : 0;
}
#endif

#ifndef ENGTEST_BARE
DEVORU_EXPORT int32_t DEVORU_TERMINALREAD(DEVORU_HANDLE handle) {
  return g_table.terminal_read ? g_table.terminal_read(handle) : 1;
}

DEVORU_EXPORT int32_t DEVORU_ERROR(DEVORU_HANDLE handle) {
  return g_table.error ? g_table.error(handle) : 0;
}
#endif

#ifndef ENGTEST_NO_NAME
DEVORU_EXPORT const char* DEVORU_NAME(void* ignored) {
  return g_table.name ? g_table.name(ignored) : "UDP";
}
#endif

DEVORU_EXPORT int32_t DEVORU_FLUSH(DEVORU_HANDLE handle) { return 0; }

}  // extern "C"
