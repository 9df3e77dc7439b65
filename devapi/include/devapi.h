/* The device library's exported interface. Handles are opaque and
 * pointer-sized; every other value is a 32-bit integer. Results: 1 success,
 * 0 nothing (more) to report, -1 null handle, -2 the terminal refused or a
 * transfer failed, 4 an argument out of range, -100 not supported. */
#ifndef TERMKIT_DEVAPI_H
#define TERMKIT_DEVAPI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(DEVAPI_BUILDING)
#define DEVAPI_API __declspec(dllexport)
#else
#define DEVAPI_API __declspec(dllimport)
#endif
#else
#define DEVAPI_API __attribute__((visibility("default")))
#endif

typedef void* DEVAPI_HANDLE;

/* Copies the SDK version text with its terminator: 13 bytes, so the buffer
 * must hold at least 13. */
DEVAPI_API int32_t Q_GetSDKVersion(char* version);

#ifdef __cplusplus
}
#endif

#endif /* TERMKIT_DEVAPI_H */
