// Sector transfers with O_DIRECT, or with pread/pwrite, fdatasync and
// POSIX_FADV_DONTNEED where the file system or the device refuses direct
// I/O (EINVAL, e.g. drives with 4096-byte logical sectors).
#include "platform/sector_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

namespace platform {

namespace {

constexpr size_t kAlignment = 4096;

bool WholeSectors(size_t n) {
  return n > 0 && n <= SectorFile::kMaxTransfer && n % SectorFile::kSectorSize == 0;
}

// Opens without blocking (a FIFO would wait for a writer) and without
// following a link, then makes sure it is a regular file.
int OpenRegular(const std::string& path, bool direct, int* error) {
  int flags = O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
  if (direct) flags |= O_DIRECT;
  const int fd = open(path.c_str(), flags);
  if (fd < 0) {
    *error = errno;
    return -1;
  }
  struct stat st{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = EINVAL;
    close(fd);
    return -1;
  }
  // Regular files never block; later transfers need no special mode.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace

std::unique_ptr<SectorFile> SectorFile::Open(const std::string& path, Mode mode, int* error) {
  int ignored = 0;
  if (error == nullptr) error = &ignored;
  *error = 0;
  if (path.empty()) {
    *error = ENOENT;
    return nullptr;
  }
  // Refuse anything but a regular file before opening it: opening a device
  // node or a FIFO may have effects of its own.
  struct stat st{};
  if (lstat(path.c_str(), &st) != 0) {
    *error = errno;
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = EINVAL;
    return nullptr;
  }
  bool direct = mode == Mode::kDirect;
  int fd = OpenRegular(path, direct, error);
  if (fd < 0 && direct && *error == EINVAL) {
    direct = false;
    fd = OpenRegular(path, false, error);
  }
  if (fd < 0) return nullptr;
  std::unique_ptr<SectorFile> file(new (std::nothrow) SectorFile(fd, direct));
  if (file == nullptr || file->buffer_ == nullptr) {
    *error = ENOMEM;
    if (file == nullptr) close(fd);
    return nullptr;
  }
  *error = 0;
  return file;
}

int SectorFile::CreateIfMissing(const std::string& path, size_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return errno == EEXIST ? 0 : errno;
  int error = 0;
  if (ftruncate(fd, static_cast<off_t>(size)) != 0) error = errno;
  close(fd);
  return error;
}

SectorFile::SectorFile(int fd, bool direct) : fd_(fd), direct_(direct) {
  void* p = nullptr;
  buffer_ = posix_memalign(&p, kAlignment, kMaxTransfer) == 0 ? static_cast<uint8_t*>(p) : nullptr;
}

SectorFile::~SectorFile() {
  close(fd_);
  std::free(buffer_);
}

bool SectorFile::FallBack() {
  if (!direct_ || transferred_) return false;
  const int flags = fcntl(fd_, F_GETFL);
  if (flags < 0 || fcntl(fd_, F_SETFL, flags & ~O_DIRECT) != 0) return false;
  direct_ = false;
  return true;
}

int SectorFile::Read(std::span<uint8_t> out) {
  if (!WholeSectors(out.size())) return -EINVAL;
  for (;;) {
    if (!direct_) posix_fadvise(fd_, 0, 0, POSIX_FADV_DONTNEED);
    std::memset(buffer_, 0, out.size());
    const ssize_t got = pread(fd_, buffer_, out.size(), 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EINVAL && FallBack()) continue;
    if (got < 0) return -errno;
    if (direct_) transferred_ = true;
    // A file shorter than the transfer (or shrunk meanwhile) leaves zeros.
    std::memcpy(out.data(), buffer_, out.size());
    return static_cast<int>(got);
  }
}

int SectorFile::Write(std::span<const uint8_t> bytes) {
  if (!WholeSectors(bytes.size())) return -EINVAL;
  std::memcpy(buffer_, bytes.data(), bytes.size());
  for (;;) {
    const ssize_t put = pwrite(fd_, buffer_, bytes.size(), 0);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && errno == EINVAL && FallBack()) continue;
    if (put < 0) return -errno;
    if (direct_) {
      transferred_ = true;
    } else if (fdatasync(fd_) != 0) {
      return -errno;
    }
    return static_cast<int>(put);
  }
}

int64_t SectorFile::ModifiedNs() const {
  struct stat st{};
  if (fstat(fd_, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

int SectorFile::Flush() { return fdatasync(fd_) == 0 ? 0 : -errno; }

}  // namespace platform
