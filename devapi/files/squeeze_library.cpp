#include "files/squeeze_library.h"

#include <cstdlib>

#include "platform/dynlib.h"

namespace devapi::files {

namespace {
// An address inside devapi: the plug-in is looked for beside it first.
void Anchor() {}
}  // namespace

SqueezeLibrary::SqueezeLibrary() {
  const char* chosen = std::getenv("TERMKIT_SQUEEZE_LIBRARY");
  const char* name = chosen != nullptr && *chosen != '\0' ? chosen : "squeeze.dll";
  module_ = platform::LoadLibraryByName(name, reinterpret_cast<const void*>(&Anchor));
  if (module_ == nullptr) return;
  compress_ = reinterpret_cast<Compress>(platform::FindSymbol(module_, "CompressItToFile"));
  expand_ = reinterpret_cast<Expand>(platform::FindSymbol(module_, "ExpandItFromFile"));
}

SqueezeLibrary::~SqueezeLibrary() {
  if (module_ != nullptr) platform::UnloadLibrary(module_);
}

}  // namespace devapi::files
