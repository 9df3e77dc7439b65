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

/* ---- Fingerprint template containers (version 10) ----
 * Containers may be given scrambled or plain; results are always scrambled.
 * The inputs are only read, never changed. Both functions print short
 * progress lines to standard output. */

/* Merges `count` containers into one written to `merged`, which must hold
 * 16384 bytes. Several inputs must share their format words; each needs a
 * length of 24 to 16384 bytes with its blocks ending exactly there. Returns
 * the merged length, 0 on failure (nothing written). */
DEVAPI_API int32_t FPTOOL_MERGE_TEMPLATE(const unsigned char* const* containers, int32_t count,
                                         unsigned char* merged);

/* Splits a container into single-finger containers: `outputs` points to one
 * buffer of 4119 bytes per finger and `lengths` has an entry per finger (ten
 * at most). Stores the number of containers in *count and returns it; 0 on
 * failure (nothing written), also for a container of more than ten fingers. */
DEVAPI_API int32_t FPTOOL_SPLIT_TEMPLATE(const unsigned char* container,
                                         unsigned char* const* outputs, int32_t* count,
                                         int32_t* lengths);

#ifdef __cplusplus
}
#endif

#endif /* TERMKIT_DEVAPI_H */
