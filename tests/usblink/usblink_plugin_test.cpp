// The plug-in loaded by name, on a drive directory named by
// TERMKIT_USB_ROOTS.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "devoru_plugin.h"
#include "usb_block.h"

namespace {

namespace fs = std::filesystem;

const testsupport::DevoruPlugin& Usblink() {
  static const testsupport::DevoruPlugin plugin = testsupport::LoadDevoruPlugin("usblink.dll");
  return plugin;
}

class UsblinkPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Usblink().module, nullptr);
    base = fs::temp_directory_path() / ("termkit_usblink_" + std::to_string(::getpid()));
    fs::remove_all(base);
    empty = base / "empty";
    drive = base / "drive";
    fs::create_directories(empty);
    fs::create_directories(drive);
  }
  void TearDown() override {
    ::unsetenv("TERMKIT_USB_ROOTS");
    fs::remove_all(base);
  }

  void Roots(const std::string& list) { ::setenv("TERMKIT_USB_ROOTS", list.c_str(), 1); }
  void MakeDummy(size_t size = 1536) {
    std::ofstream(drive / "dummy", std::ios::binary) << std::string(size, '\0');
  }
  std::vector<uint8_t> Dummy() const {
    std::ifstream in(drive / "dummy", std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  void WriteDummy(const std::vector<uint8_t>& bytes) {
    std::fstream out(drive / "dummy", std::ios::binary | std::ios::in | std::ios::out);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  fs::path base, empty, drive;
};

TEST_F(UsblinkPlugin, ExportsTheContractWithoutFlushOrPreRead) {
  const auto& p = Usblink();
  EXPECT_NE(p.init, nullptr);
  EXPECT_NE(p.init_ex, nullptr);
  EXPECT_NE(p.close, nullptr);
  EXPECT_NE(p.send, nullptr);
  EXPECT_NE(p.read, nullptr);
  EXPECT_NE(p.terminal_read, nullptr);
  EXPECT_EQ(p.pre_read, nullptr);
  EXPECT_EQ(platform::FindSymbol(p.module, "DEVORU_FLUSH"), nullptr);
  EXPECT_STREQ(p.name(nullptr), "USBDisk");
  EXPECT_EQ(p.error(nullptr), 0);
  // Null handles and buffers, negative sizes.
  EXPECT_EQ(p.close(nullptr), 0);
  EXPECT_EQ(p.send(nullptr, "x", 1), 0);
  EXPECT_EQ(p.read(nullptr, nullptr, 10, 10), 0);
  EXPECT_EQ(p.terminal_read(nullptr), 0);
}

TEST_F(UsblinkPlugin, TalksThroughTheFirstDriveHoldingDummy) {
  MakeDummy();
  Roots(empty.string() + ":" + drive.string());
  const auto& p = Usblink();
  DEVORU_HANDLE h = p.init("", 0x203, 0);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(p.send(h, nullptr, 10), 0);
  EXPECT_EQ(p.send(h, "12345678", -1), 0);
  uint8_t small[4];
  EXPECT_EQ(p.read(h, nullptr, 10, 10), 0);
  EXPECT_EQ(p.read(h, small, -1, 10), 0);

  std::vector<uint8_t> request(100, 0x42);
  ASSERT_EQ(p.send(h, request.data(), 100), 1);
  auto file = Dummy();
  ASSERT_EQ(file.size(), 1536u);
  EXPECT_EQ(file[0], 0x03);
  EXPECT_EQ(file[1], 0x03);
  EXPECT_EQ(file[108], 0xFF);

  // The terminal puts its answer in place while the host polls.
  std::vector<uint8_t> answer(24, 0x33);
  answer[0] = 0xD0;
  answer[1] = 0x07;
  std::vector<uint8_t> block(usblink::kBlockArea);
  usblink::EncodeBlock(3, answer, block);
  std::thread terminal([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    WriteDummy(std::vector<uint8_t>(block.begin(), block.begin() + 512));
  });
  std::vector<uint8_t> out(64);
  EXPECT_EQ(p.read(h, out.data(), static_cast<int32_t>(out.size()), 2000), 24);
  terminal.join();
  EXPECT_TRUE(std::equal(answer.begin(), answer.end(), out.begin()));
  EXPECT_EQ(p.close(h), 1);
}

TEST_F(UsblinkPlugin, OpenFailsWithoutARegularDummy) {
  const auto& p = Usblink();
  Roots(empty.string());
  EXPECT_EQ(p.init("", 1, 0), nullptr);
  EXPECT_FALSE(fs::exists(empty / "dummy"));  // never created

  // A link, a directory or a FIFO named "dummy": refused, nothing written
  // through it.
  const fs::path target = base / "target";
  std::ofstream(target, std::ios::binary) << std::string(1536, '\0');
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> make;
  };
  const std::vector<Case> cases = {
      {"symlink", [&](const fs::path& d) { fs::create_symlink(target, d); }},
      {"directory", [](const fs::path& d) { fs::create_directory(d); }},
      {"fifo", [](const fs::path& d) { ASSERT_EQ(mkfifo(d.c_str(), 0600), 0); }},
  };
  Roots(drive.string() + ":" + empty.string());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(drive / "dummy");
    c.make(drive / "dummy");
    EXPECT_EQ(p.init("", 1, 0), nullptr);
  }
  EXPECT_EQ(fs::file_size(target), 1536u);
  std::ifstream in(target, std::ios::binary);
  const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
  EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(UsblinkPlugin, APulledDriveGivesLineLostOrNothingNeverAHang) {
  MakeDummy();
  Roots(drive.string());
  const auto& p = Usblink();
  DEVORU_HANDLE h = p.init("", 1, 0);
  ASSERT_NE(h, nullptr);
  // The file shrinks to nothing under the handle: reads find no answer.
  fs::resize_file(drive / "dummy", 0);
  std::vector<uint8_t> request(16, 0x42);
  EXPECT_EQ(p.send(h, request.data(), 16), 1);
  fs::resize_file(drive / "dummy", 0);
  std::vector<uint8_t> out(64, 0xAB);
  EXPECT_EQ(p.read(h, out.data(), 64, 200), 0);
  EXPECT_EQ(out[0], 0xAB);
  EXPECT_EQ(p.close(h), 1);
}

}  // namespace
