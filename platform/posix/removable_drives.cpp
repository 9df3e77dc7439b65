// Removable drives from /proc/self/mountinfo and sysfs.
#include "platform/removable_drives.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace platform {

namespace fs = std::filesystem;

namespace {

// mountinfo escapes space, tab, newline and backslash as \ooo.
std::string DecodeOctalEscapes(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) &&
        octal(field[i + 2]) && octal(field[i + 3])) {
      out.push_back(static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                      (field[i + 3] - '0')));
      i += 3;
      continue;
    }
    out.push_back(field[i]);
  }
  return out;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    const size_t begin = i;
    while (i < line.size() && line[i] != ' ') ++i;
    if (i > begin) fields.push_back(line.substr(begin, i - begin));
  }
  return fields;
}

std::string ReadFirstLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// "usb" followed by digits: a USB bus below a host controller.
bool IsUsbBus(const std::string& component) {
  if (component.size() < 4 || component.compare(0, 3, "usb") != 0) return false;
  return std::all_of(component.begin() + 3, component.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

bool DeviceIsRemovable(const std::string& device, const std::string& sysfs_root) {
  std::error_code ec;
  const fs::path root = fs::canonical(sysfs_root, ec);
  if (ec) return false;
  fs::path node = fs::canonical(root / "dev" / "block" / device, ec);
  if (ec) return false;
  // A partition's flags live with its disk, one level up.
  if (fs::exists(node / "partition", ec)) node = node.parent_path();
  if (ReadFirstLine(node / "removable") == "1") return true;
  const fs::path below = node.lexically_relative(root);
  return std::any_of(below.begin(), below.end(),
                     [](const fs::path& part) { return IsUsbBus(part.string()); });
}

}  // namespace

std::vector<std::string> RemovableDriveRoots(std::string_view mountinfo,
                                             const std::string& sysfs_root) {
  std::vector<std::string> roots;
  size_t pos = 0;
  while (pos < mountinfo.size()) {
    size_t end = mountinfo.find('\n', pos);
    if (end == std::string_view::npos) end = mountinfo.size();
    const auto fields = SplitFields(mountinfo.substr(pos, end - pos));
    pos = end + 1;
    // id, parent id, major:minor, root, mount point, ...
    if (fields.size() < 5) continue;
    if (DecodeOctalEscapes(fields[3]) != "/") continue;  // a bind mount of a subtree
    const std::string device(fields[2]);
    if (device.find(':') == std::string::npos || device.find('/') != std::string::npos) continue;
    if (!DeviceIsRemovable(device, sysfs_root)) continue;
    roots.push_back(DecodeOctalEscapes(fields[4]));
  }
  std::sort(roots.begin(), roots.end());
  roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
  return roots;
}

std::vector<std::string> UsbDriveRoots() {
  if (const char* list = std::getenv("TERMKIT_USB_ROOTS"); list != nullptr) {
    std::vector<std::string> roots;
    std::string_view rest(list);
    while (!rest.empty()) {
      const size_t colon = rest.find(':');
      const std::string_view dir = rest.substr(0, colon);
      if (!dir.empty()) roots.emplace_back(dir);
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
    return roots;
  }
  std::ifstream in("/proc/self/mountinfo");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return RemovableDriveRoots(text, "/sys");
}

void SetUsbDriveRoots(const std::vector<std::string>& roots) {
  std::string list;
  for (const std::string& root : roots) {
    if (!list.empty()) list += ':';
    list += root;
  }
  ::setenv("TERMKIT_USB_ROOTS", list.c_str(), 1);
}

std::string FirstRootHolding(const std::vector<std::string>& roots, const std::string& name) {
  for (const std::string& root : roots) {
    const std::string path = root + "/" + name;
    struct stat st{};
    if (lstat(path.c_str(), &st) == 0) return path;
  }
  return {};
}

}  // namespace platform
