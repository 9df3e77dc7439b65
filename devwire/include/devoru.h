/* The transport contract: the entry points every transport plug-in exports
 * by these exact names. The engine loads a plug-in by file name and binds
 * them at run time; handles are owned by the plug-in. */
#ifndef TERMKIT_DEVORU_H
#define TERMKIT_DEVORU_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define DEVORU_EXPORT __declspec(dllexport)
#else
#define DEVORU_EXPORT __attribute__((visibility("default")))
#endif

typedef void* DEVORU_HANDLE;

/* Results of DEVORU_SEND / DEVORU_READ the engine recognises besides counts
 * and 0: negated socket errors (-10004 .. -11004), and these. */
#define DEVORU_RECONNECTED (-309) /* reconnected: send the packet again */
#define DEVORU_LINE_GONE (-308)
#define DEVORU_LINE_LOST (-310)

typedef DEVORU_HANDLE (*DEVORU_INIT_FN)(const char* address, int32_t p1, int32_t p2);
typedef DEVORU_HANDLE (*DEVORU_INITEX_FN)(const char* address, int32_t p1, int32_t p2,
                                          int32_t* status);
typedef int32_t (*DEVORU_CLOSE_FN)(DEVORU_HANDLE handle);
typedef int32_t (*DEVORU_SEND_FN)(DEVORU_HANDLE handle, const void* bytes, int32_t length);
typedef int32_t (*DEVORU_READ_FN)(DEVORU_HANDLE handle, void* buffer, int32_t size,
                                  int32_t timeout_ms);
typedef int32_t (*DEVORU_TERMINALREAD_FN)(DEVORU_HANDLE handle);
typedef const char* (*DEVORU_NAME_FN)(void* ignored);
typedef int32_t (*DEVORU_FLUSH_FN)(DEVORU_HANDLE handle);
typedef int32_t (*DEVORU_ERROR_FN)(DEVORU_HANDLE handle);
typedef int32_t (*DEVORU_SENDTOMODEM_FN)(DEVORU_HANDLE handle, const char* text, int32_t length);
typedef int32_t (*DEVORU_READFROMMODEM_FN)(DEVORU_HANDLE handle, void* buffer, int32_t expected,
                                           int32_t timeout_ms);

#ifdef __cplusplus
}
#endif

#endif /* TERMKIT_DEVORU_H */
