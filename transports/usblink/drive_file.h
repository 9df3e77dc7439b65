// The seam between the USB transport and the drive file it talks through:
// whole-sector reads and writes at the file's start. The plug-in uses the
// platform's sector file; tests put a fake in its place.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace usblink {

class DriveFile {
 public:
  virtual ~DriveFile() = default;
  // Bytes the file held (the rest of `out` zeroed), or −errno.
  virtual int Read(std::span<uint8_t> out) = 0;
  // Bytes written, or −errno.
  virtual int Write(std::span<const uint8_t> bytes) = 0;
  // 0, or −errno.
  virtual int Flush() = 0;
};

// The root file "dummy" of the first drive that holds one (see
// platform::UsbDriveRoots), opened for sector transfers; null when no drive
// holds one or it cannot be opened (not a regular file, no access). The
// environment's TERMKIT_USB_IO=buffered forces the buffered fallback.
std::unique_ptr<DriveFile> OpenTerminalDrive();

}  // namespace usblink
