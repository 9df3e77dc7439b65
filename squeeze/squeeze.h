/* The compression component of backups: an image compressed into one file
 * and expanded from it. Loaded at run time as "squeeze.dll".
 *
 * File format (integers little-endian):
 *   "SQZ1"        4 bytes of magic
 *   version       u32, 1
 *   length        u32, bytes of the image
 *   crc           u32, CRC-32 (zlib's) of the image
 *   stream        one raw deflate stream of the image; nothing follows it */
#ifndef TERMKIT_SQUEEZE_H
#define TERMKIT_SQUEEZE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define SQUEEZE_API __declspec(dllexport)
#else
#define SQUEEZE_API __attribute__((visibility("default")))
#endif

/* Writes the *length bytes of `image` compressed as `path` (complete or not
 * at all). 1 when written, 0 on failure. */
SQUEEZE_API int32_t CompressItToFile(const void* image, const char* path, const int32_t* length);
/* Expands `path` into `buffer` of *capacity bytes: the image length (also
 * stored in *capacity), or 0 when the file is missing or damaged, its image
 * is empty or larger than the buffer, or anything follows the stream. */
SQUEEZE_API int32_t ExpandItFromFile(const char* path, void* buffer, int32_t* capacity);

/* The functions' types, for a host that looks them up by name. */
typedef int32_t (*SqueezeCompressFn)(const void*, const char*, const int32_t*);
typedef int32_t (*SqueezeExpandFn)(const char*, void*, int32_t*);

#ifdef __cplusplus
}
#endif

#endif /* TERMKIT_SQUEEZE_H */
