// Dynamic libraries loaded by the system's file names.
//
// Components name each other the way the terminal SDK always has
// ("comms.dll"); MapLibraryName turns such a name into this platform's file
// name ("libcomms.so"). A plain name is looked up first in the directory of
// the module that asks for it, then in that directory's "termkit/"
// subdirectory (where an installed tree keeps its plug-ins, wherever the tree
// was installed), then in a fixed directory the caller names, then on the
// usual search path.
#pragma once

#include <string>

namespace platform {

using ModuleHandle = void*;

// "comms.dll" -> "libcomms.so"; a name that already ends in ".so" (or
// contains a '/') is kept as it is.
std::string MapLibraryName(const std::string& system_name);

// Loads a library. `near` is any address inside the calling module (pass a
// function of the caller); its directory is searched first, then its
// "termkit/" subdirectory, then `fixed_dir` when given. Null on failure.
ModuleHandle LoadLibraryByName(const char* system_name, const void* near,
                               const char* fixed_dir = nullptr);

void* FindSymbol(ModuleHandle module, const char* name);
void UnloadLibrary(ModuleHandle module);

// The module that contains `address`, or null. The handle is only for
// ModuleFileName; it holds no reference.
ModuleHandle ModuleOfAddress(const void* address);

// Full path of the file of the module that contains `address`; empty when
// unknown.
std::string ModuleFileOfAddress(const void* address);

// Directory part of ModuleFileOfAddress, with a trailing '/'.
std::string ModuleDirOfAddress(const void* address);

// Full path of the running program.
std::string ProgramFile();

// Last loader error text, for diagnostics.
std::string LastLibraryError();

}  // namespace platform
