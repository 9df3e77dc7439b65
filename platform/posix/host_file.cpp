// Host files with open/read/write, fsync and rename.
#include "platform/host_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <atomic>
#include <memory>
#include <string>

namespace platform {

namespace {

// Closes a descriptor when it goes out of scope.
struct Descriptor {
  int fd = -1;
  explicit Descriptor(int f) : fd(f) {}
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  bool Close() {
    const int f = fd;
    fd = -1;
    return close(f) == 0;
  }
};

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The directory part of `path` ("" for a bare name), with its separator.
std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

ReadStatus ReadHostFile(const std::string& path, size_t limit, std::vector<uint8_t>* out) {
  Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.fd < 0) return ReadStatus::kMissing;
  struct stat st{};
  if (fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return ReadStatus::kMissing;
  if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > limit) return ReadStatus::kTooLarge;
  const size_t size = static_cast<size_t>(st.st_size);
  // Sized, not filled: the read overwrites every byte.
  auto buffer = std::make_unique_for_overwrite<uint8_t[]>(size == 0 ? 1 : size);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = read(file.fd, buffer.get() + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ReadStatus::kFailed;
    done += static_cast<size_t>(n);
  }
  out->assign(buffer.get(), buffer.get() + size);
  return ReadStatus::kOk;
}

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         FileAccess access) {
  if (path.empty() || path.back() == '/') return false;
  // open() applies the umask to a shared file; a private one gets 0600.
  const mode_t mode = access == FileAccess::kShared ? 0666 : 0600;
  static std::atomic<uint32_t> counter{0};
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
    temporary = DirectoryOf(path) + ".termkit-" + std::to_string(getpid()) + "-" +
                std::to_string(counter.fetch_add(1)) + ".tmp";
    fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0 && errno != EEXIST) return false;
  }
  Descriptor file(fd);
  if (file.fd < 0) return false;
  bool ok = true;
  ok = ok && WriteAll(file.fd, bytes) && fsync(file.fd) == 0;
  ok = file.Close() && ok;
  ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    unlink(temporary.c_str());
    return false;
  }
  // The rename itself reaches the disk with the directory.
  const std::string dir = DirectoryOf(path);
  Descriptor directory(open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.fd >= 0) fsync(directory.fd);
  return true;
}

}  // namespace platform
