#include "platform/dynlib.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

using namespace platform;

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// An address inside the test program.
void Anchor() {}

TEST(DynLib, MapLibraryName) {
  EXPECT_EQ(MapLibraryName("comms.dll"), "libcomms.so");
  EXPECT_EQ(MapLibraryName("COMMS.DLL"), "libCOMMS.so");
  EXPECT_EQ(MapLibraryName("TcpLink.Dll"), "libTcpLink.so");
  EXPECT_EQ(MapLibraryName("comms"), "libcomms.so");
  EXPECT_EQ(MapLibraryName("libfoo.so"), "libfoo.so");
  EXPECT_EQ(MapLibraryName("/opt/x/comms.dll"), "/opt/x/comms.dll");
  EXPECT_EQ(MapLibraryName("./libbar.so"), "./libbar.so");
}

TEST(DynLib, ProgramFileAndOwnModule) {
  const std::string exe = ProgramFile();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe[0], '/');
  EXPECT_TRUE(EndsWith(exe, "/platform_tests")) << exe;
  EXPECT_EQ(ModuleFileOfAddress(reinterpret_cast<const void*>(&Anchor)), exe);
  EXPECT_NE(ModuleOfAddress(reinterpret_cast<const void*>(&Anchor)), nullptr);
  const std::string dir = ModuleDirOfAddress(reinterpret_cast<const void*>(&Anchor));
  EXPECT_EQ(dir, exe.substr(0, exe.rfind('/') + 1));
  EXPECT_EQ(ModuleOfAddress(nullptr), nullptr);
  EXPECT_EQ(ModuleFileOfAddress(nullptr), "");
}

TEST(DynLib, LoadsPluginBesideCaller) {
  ModuleHandle h =
      LoadLibraryByName("plugtest.dll", reinterpret_cast<const void*>(&Anchor));
  ASSERT_NE(h, nullptr) << LastLibraryError();
  void* sym = FindSymbol(h, "plugtest_answer");
  ASSERT_NE(sym, nullptr) << LastLibraryError();
  auto fn = reinterpret_cast<int (*)()>(sym);
  EXPECT_EQ(fn(), 42);

  const std::string file = ModuleFileOfAddress(sym);
  EXPECT_TRUE(EndsWith(file, "/libplugtest.so")) << file;
  EXPECT_EQ(file[0], '/');
  // The plug-in was found in the test program's own directory.
  EXPECT_EQ(file, ModuleDirOfAddress(reinterpret_cast<const void*>(&Anchor)) +
                      "libplugtest.so");
  EXPECT_NE(ModuleOfAddress(sym), nullptr);
  EXPECT_NE(ModuleOfAddress(sym),
            ModuleOfAddress(reinterpret_cast<const void*>(&Anchor)));

  EXPECT_EQ(FindSymbol(h, "no_such_symbol_here"), nullptr);
  EXPECT_FALSE(LastLibraryError().empty());
  UnloadLibrary(h);
}

TEST(DynLib, LoadsByFullPath) {
  const std::string path =
      ModuleDirOfAddress(reinterpret_cast<const void*>(&Anchor)) + "libplugtest.so";
  ModuleHandle h = LoadLibraryByName(path.c_str(), nullptr);
  ASSERT_NE(h, nullptr) << LastLibraryError();
  EXPECT_NE(FindSymbol(h, "plugtest_answer"), nullptr);
  UnloadLibrary(h);
}

// A plain name is found in the fixed directory the caller names (with or
// without its trailing slash), after the caller's own directory. A copy under
// a name nothing else knows shows which directory was searched.
TEST(DynLib, LoadsFromFixedDirectory) {
  namespace fs = std::filesystem;
  const std::string own = ModuleDirOfAddress(reinterpret_cast<const void*>(&Anchor));
  const fs::path dir =
      fs::temp_directory_path() / ("termkit_dynlib_" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::copy_file(own + "libplugtest.so", dir / "libplugfixed.so",
                fs::copy_options::overwrite_existing);
  EXPECT_EQ(LoadLibraryByName("plugfixed.dll", reinterpret_cast<const void*>(&Anchor)), nullptr);
  for (const std::string& fixed : {dir.string(), dir.string() + "/"}) {
    ModuleHandle h = LoadLibraryByName("plugfixed.dll", reinterpret_cast<const void*>(&Anchor),
                                       fixed.c_str());
    ASSERT_NE(h, nullptr) << fixed << ": " << LastLibraryError();
    EXPECT_NE(FindSymbol(h, "plugtest_answer"), nullptr);
    UnloadLibrary(h);
  }
  EXPECT_EQ(LoadLibraryByName("plugfixed.dll", nullptr, "/nonexistent/dir"), nullptr);
  fs::remove_all(dir);
}

TEST(DynLib, MissingLibraryIsNull) {
  EXPECT_EQ(LoadLibraryByName("no_such_plugin_xyz.dll",
                              reinterpret_cast<const void*>(&Anchor)),
            nullptr);
  EXPECT_FALSE(LastLibraryError().empty());
  EXPECT_EQ(LoadLibraryByName("/nonexistent/dir/libnothing.so", nullptr), nullptr);
  EXPECT_EQ(LoadLibraryByName(nullptr, nullptr), nullptr);
  EXPECT_EQ(FindSymbol(nullptr, "x"), nullptr);
  UnloadLibrary(nullptr);  // harmless
}

}  // namespace
