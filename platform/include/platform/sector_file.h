// A file read and written in whole 512-byte sectors from its start, past
// the system's caches: a terminal on the other side of a removable drive
// sees each write as it is made, and each read sees what the terminal
// wrote, not a cached copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace platform {

class SectorFile {
 public:
  static constexpr size_t kSectorSize = 512;
  // Largest transfer, and the size of the aligned transfer buffer.
  static constexpr size_t kMaxTransfer = 4096;

  enum class Mode {
    kDirect,    // direct I/O, falling back where the system refuses it
    kBuffered,  // always the fallback: synced writes, cache dropped before reads
  };

  // Opens an existing regular file for reading and writing; never creates
  // one and never follows a symbolic link. Null with `*error` set to the
  // errno value on failure (EINVAL for a file that is not regular).
  static std::unique_ptr<SectorFile> Open(const std::string& path, Mode mode, int* error);

  // Creates `path` as a regular file of `size` zero bytes unless something
  // of that name exists already (it is then left alone). 0 or the errno.
  static int CreateIfMissing(const std::string& path, size_t size);

  ~SectorFile();
  SectorFile(const SectorFile&) = delete;
  SectorFile& operator=(const SectorFile&) = delete;

  // Reads out.size() bytes (a multiple of kSectorSize, at most
  // kMaxTransfer) from offset 0. Bytes past the end of the file read as 0.
  // The count of bytes the file held (0 to out.size()), or −errno.
  int Read(std::span<uint8_t> out);
  // Writes the bytes (a multiple of kSectorSize, at most kMaxTransfer) at
  // offset 0. The count written, or −errno.
  int Write(std::span<const uint8_t> bytes);
  // Makes written data durable on the device. 0 or −errno.
  int Flush();

  // The file's modification time in nanoseconds (−1 when unknown): a
  // rewrite of the same bytes still moves it.
  int64_t ModifiedNs() const;

  // True while transfers bypass the page cache.
  bool direct() const { return direct_; }

 private:
  SectorFile(int fd, bool direct);
  bool FallBack();  // leaves direct I/O after the system refused a transfer

  int fd_;
  bool direct_;
  bool transferred_ = false;  // a direct transfer has succeeded once
  uint8_t* buffer_;           // kMaxTransfer bytes, aligned for direct I/O
};

}  // namespace platform
