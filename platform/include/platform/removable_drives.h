// Finding the removable drives a USB terminal may present itself as: the
// mounted file systems of removable or USB-attached block devices, in a
// fixed order (the order drive letters would give them).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The roots of removable drives listed in `mountinfo` (the text of
// /proc/self/mountinfo): mounts of a whole file system (root field "/")
// whose block device, looked up as `sysfs_root`/dev/block/MAJOR:MINOR (the
// parent disk for a partition), has `removable` = 1 or lies below a USB
// controller. Mount points with octal escapes (\040 ...) are decoded; the
// result is sorted by mount point, each listed once.
std::vector<std::string> RemovableDriveRoots(std::string_view mountinfo,
                                             const std::string& sysfs_root);

// The directories a USB terminal is looked for in, in order: the
// directories of TERMKIT_USB_ROOTS (separated by ':') when it is set, else
// RemovableDriveRoots of this system.
std::vector<std::string> UsbDriveRoots();

// Makes UsbDriveRoots answer `roots` for the rest of this process (and the
// programs it starts): sets TERMKIT_USB_ROOTS.
void SetUsbDriveRoots(const std::vector<std::string>& roots);

// root/name for the first of `roots` holding an entry `name` of any kind
// (a link is not followed); empty when none does.
std::string FirstRootHolding(const std::vector<std::string>& roots, const std::string& name);

}  // namespace platform
