// The backup compression plug-in, loaded for one backup or restore.
#pragma once

#include <cstdint>

namespace devapi::files {

class SqueezeLibrary {
 public:
  using Compress = int32_t (*)(const void*, const char*, const int32_t*);
  using Expand = int32_t (*)(const char*, void*, int32_t*);

  // Loads "squeeze.dll" (or the file TERMKIT_SQUEEZE_LIBRARY names).
  SqueezeLibrary();
  ~SqueezeLibrary();
  SqueezeLibrary(const SqueezeLibrary&) = delete;
  SqueezeLibrary& operator=(const SqueezeLibrary&) = delete;

  // Null when the library or the function is missing.
  Compress compress() const { return compress_; }
  Expand expand() const { return expand_; }

 private:
  void* module_ = nullptr;
  Compress compress_ = nullptr;
  Expand expand_ = nullptr;
};

}  // namespace devapi::files
