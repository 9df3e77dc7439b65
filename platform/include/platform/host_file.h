// Whole host files: read into memory with a size limit, and written so that
// a reader only ever sees the earlier file or the complete new one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform {

enum class ReadStatus {
  kOk,
  kMissing,   // absent, not a regular file, or not readable
  kTooLarge,  // larger than the limit; nothing read
  kFailed,    // the read stopped short
};

// Reads the regular file `path` whole into `out` when it holds at most
// `limit` bytes. `out` is sized to the file (never zero-filled beforehand).
ReadStatus ReadHostFile(const std::string& path, size_t limit, std::vector<uint8_t>* out);

// Who may read a written file.
enum class FileAccess {
  kShared,   // 0666 less the umask, like any new file
  kPrivate,  // 0600: backups carry passwords and templates
};

// Writes `bytes` as `path`: a temporary file beside it (same directory),
// every write checked, flushed to the disk, then renamed over the target.
// On failure the temporary file is removed and an earlier `path` is left
// as it was. False on failure.
bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         FileAccess access = FileAccess::kShared);

}  // namespace platform
