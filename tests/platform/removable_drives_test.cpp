#include "platform/removable_drives.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform::RemovableDriveRoots;

// A fake sysfs: dev/block/M:m links into a devices tree, as the kernel lays
// it out.
class FakeSysfs : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() /
           ("termkit_sysfs_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    fs::create_directories(root / "dev" / "block");
    // sda: a fixed disk; sdb: a removable disk with partition sdb1; sdc: a
    // USB disk that does not call itself removable.
    Disk("8:0", "devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda", "0");
    Disk("8:16", "devices/pci0000:00/0000:00:1f.0/mmc0/block/sdb", "1");
    Partition("8:17", "devices/pci0000:00/0000:00:1f.0/mmc0/block/sdb/sdb1");
    Disk("8:32", "devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/block/sdc", "0");
    Partition("8:33", "devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/block/sdc/sdc1");
  }
  void TearDown() override { fs::remove_all(root); }

  void Disk(const std::string& dev, const std::string& path, const std::string& removable) {
    fs::create_directories(root / path);
    std::ofstream(root / path / "removable") << removable << "\n";
    fs::create_directory_symlink(fs::path("../..") / path, root / "dev" / "block" / dev);
  }
  void Partition(const std::string& dev, const std::string& path) {
    fs::create_directories(root / path);
    std::ofstream(root / path / "partition") << "1\n";
    fs::create_directory_symlink(fs::path("../..") / path, root / "dev" / "block" / dev);
  }

  std::vector<std::string> Roots(const std::string& mountinfo) {
    return RemovableDriveRoots(mountinfo, root.string());
  }

  fs::path root;
};

std::string Line(const std::string& dev, const std::string& fs_root, const std::string& point) {
  return "36 25 " + dev + " " + fs_root + " " + point +
         " rw,relatime shared:1 - vfat /dev/x rw\n";
}

TEST_F(FakeSysfs, TellsRemovableAndUsbDrivesFromFixedOnes) {
  struct Case {
    const char* what;
    std::string mountinfo;
    std::vector<std::string> roots;
  };
  const std::vector<Case> cases = {
      {"removable disk", Line("8:16", "/", "/media/card"), {"/media/card"}},
      {"partition of a removable disk", Line("8:17", "/", "/media/p1"), {"/media/p1"}},
      {"partition below USB", Line("8:33", "/", "/media/usb"), {"/media/usb"}},
      {"USB disk itself", Line("8:32", "/", "/media/whole"), {"/media/whole"}},
      {"fixed disk", Line("8:0", "/", "/"), {}},
      {"bind mount of a subtree", Line("8:17", "/sub", "/mnt/bind"), {}},
      {"unknown device", Line("8:99", "/", "/mnt/x"), {}},
      {"escaped mount point", Line("8:17", "/", "/media/my\\040stick"), {"/media/my stick"}},
      {"two drives, by mount point",
       Line("8:33", "/", "/media/b") + Line("8:0", "/", "/home") + Line("8:17", "/", "/media/a"),
       {"/media/a", "/media/b"}},
      {"short and empty lines", "36 25 8:17\n\n" + Line("8:17", "/", "/m"), {"/m"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Roots(c.mountinfo), c.roots) << c.what;
}

TEST(UsbDriveRoots, EnvironmentListReplacesTheSearch) {
  ::setenv("TERMKIT_USB_ROOTS", "/tmp/a::/tmp/b c:", 1);
  EXPECT_EQ(platform::UsbDriveRoots(), (std::vector<std::string>{"/tmp/a", "/tmp/b c"}));
  ::setenv("TERMKIT_USB_ROOTS", "", 1);
  EXPECT_TRUE(platform::UsbDriveRoots().empty());
  ::unsetenv("TERMKIT_USB_ROOTS");
}

}  // namespace
