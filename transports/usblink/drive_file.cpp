#include "drive_file.h"

#include <cstdlib>
#include <cstring>

#include "platform/removable_drives.h"
#include "platform/sector_file.h"

namespace usblink {

namespace {

constexpr char kDeviceFileName[] = "dummy";

class SectorDriveFile final : public DriveFile {
 public:
  explicit SectorDriveFile(std::unique_ptr<platform::SectorFile> file) : file_(std::move(file)) {}
  int Read(std::span<uint8_t> out) override { return file_->Read(out); }
  int Write(std::span<const uint8_t> bytes) override { return file_->Write(bytes); }
  int Flush() override { return file_->Flush(); }

 private:
  std::unique_ptr<platform::SectorFile> file_;
};

platform::SectorFile::Mode ModeFromEnvironment() {
  const char* io = std::getenv("TERMKIT_USB_IO");
  return io != nullptr && std::strcmp(io, "buffered") == 0 ? platform::SectorFile::Mode::kBuffered
                                                          : platform::SectorFile::Mode::kDirect;
}

}  // namespace

std::unique_ptr<DriveFile> OpenTerminalDrive() {
  // The first drive holding the name is the terminal, whatever the entry
  // is: the sector file refuses anything but a regular file.
  const std::string path = platform::FirstRootHolding(platform::UsbDriveRoots(), kDeviceFileName);
  if (path.empty()) return nullptr;
  auto file = platform::SectorFile::Open(path, ModeFromEnvironment(), nullptr);
  if (file == nullptr) return nullptr;
  return std::make_unique<SectorDriveFile>(std::move(file));
}

}  // namespace usblink
