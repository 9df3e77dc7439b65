// Dynamic libraries via dlopen / dladdr.
#include "platform/dynlib.h"

#include <dlfcn.h>
#include <link.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <vector>

namespace platform {

namespace {

bool EndsWith(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

bool EndsWithNoCase(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) !=
        std::tolower(static_cast<unsigned char>(suffix[i])))
      return false;
  }
  return true;
}

std::string RealPath(const char* path) {
  if (path == nullptr || *path == '\0') return std::string();
  char buf[PATH_MAX];
  if (realpath(path, buf) != nullptr) return std::string(buf);
  return std::string(path);
}

struct MainSearch {
  uintptr_t address;
  bool found;
};

// True when `address` lies in a loaded segment of the main program (always
// the first object dl_iterate_phdr reports).
bool InMainProgram(const void* address) {
  MainSearch search{reinterpret_cast<uintptr_t>(address), false};
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) -> int {
        auto* s = static_cast<MainSearch*>(data);
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const ElfW(Phdr)& ph = info->dlpi_phdr[i];
          if (ph.p_type != PT_LOAD) continue;
          const uintptr_t start = info->dlpi_addr + ph.p_vaddr;
          if (s->address >= start && s->address < start + ph.p_memsz) {
            s->found = true;
            break;
          }
        }
        return 1;  // only the first object: the main program
      },
      &search);
  return search.found;
}

}  // namespace

std::string MapLibraryName(const std::string& system_name) {
  if (system_name.find('/') != std::string::npos ||
      EndsWith(system_name, ".so"))
    return system_name;
  std::string base = system_name;
  if (EndsWithNoCase(base, ".dll")) base.resize(base.size() - 4);
  return "lib" + base + ".so";
}

ModuleHandle LoadLibraryByName(const char* system_name, const void* near,
                               const char* fixed_dir) {
  if (system_name == nullptr || *system_name == '\0') return nullptr;
  const std::string mapped = MapLibraryName(system_name);
  const int flags = RTLD_NOW | RTLD_LOCAL;
  if (mapped.find('/') != std::string::npos) return dlopen(mapped.c_str(), flags);
  std::vector<std::string> dirs;
  if (near != nullptr) {
    const std::string dir = ModuleDirOfAddress(near);
    if (!dir.empty()) {
      dirs.push_back(dir);
      dirs.push_back(dir + "termkit/");
    }
  }
  if (fixed_dir != nullptr && *fixed_dir != '\0') {
    std::string dir = fixed_dir;
    if (dir.back() != '/') dir += '/';
    dirs.push_back(dir);
  }
  for (const std::string& dir : dirs) {
    const std::string full = dir + mapped;
    if (access(full.c_str(), F_OK) != 0) continue;
    if (void* h = dlopen(full.c_str(), flags)) return h;
  }
  return dlopen(mapped.c_str(), flags);
}

void* FindSymbol(ModuleHandle module, const char* name) {
  if (module == nullptr || name == nullptr) return nullptr;
  return dlsym(module, name);
}

void UnloadLibrary(ModuleHandle module) {
  if (module != nullptr) dlclose(module);
}

ModuleHandle ModuleOfAddress(const void* address) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0) return nullptr;
  return info.dli_fbase;
}

std::string ModuleFileOfAddress(const void* address) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0) return std::string();
  // For the main program dladdr reports argv[0], which need not be a path
  // relative to the current directory; ask the kernel instead.
  if (InMainProgram(address)) return ProgramFile();
  if (info.dli_fname == nullptr || *info.dli_fname == '\0') return std::string();
  return RealPath(info.dli_fname);
}

std::string ModuleDirOfAddress(const void* address) {
  const std::string file = ModuleFileOfAddress(address);
  const size_t slash = file.rfind('/');
  if (slash == std::string::npos) return std::string();
  return file.substr(0, slash + 1);
}

std::string ProgramFile() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return std::string();
  buf[n] = '\0';
  return std::string(buf);
}

std::string LastLibraryError() {
  const char* err = dlerror();
  return err != nullptr ? std::string(err) : std::string();
}

}  // namespace platform
