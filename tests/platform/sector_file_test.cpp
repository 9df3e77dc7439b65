#include "platform/sector_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform::SectorFile;

class SectorFileTest : public ::testing::TestWithParam<SectorFile::Mode> {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("termkit_sector_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    path = (dir / "dummy").string();
    std::ofstream(path, std::ios::binary) << std::string(1536, '\0');
  }
  void TearDown() override { fs::remove_all(dir); }

  std::vector<uint8_t> Contents() const {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir;
  std::string path;
};

TEST_P(SectorFileTest, WritesAndReadsWholeSectorsAtTheStart) {
  int error = -1;
  auto file = SectorFile::Open(path, GetParam(), &error);
  ASSERT_NE(file, nullptr) << error;
  EXPECT_EQ(error, 0);
  if (GetParam() == SectorFile::Mode::kBuffered) {
    EXPECT_FALSE(file->direct());
  }

  std::vector<uint8_t> block(1024);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
  EXPECT_EQ(file->Write(block), 1024);
  EXPECT_EQ(file->Flush(), 0);
  const auto on_disk = Contents();
  ASSERT_EQ(on_disk.size(), 1536u);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), on_disk.begin()));

  // Another writer's change is seen by the next read.
  {
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(1500);
    out.put('\x5A');
  }
  std::vector<uint8_t> read(1536, 0xEE);
  EXPECT_EQ(file->Read(read), 1536);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), read.begin()));
  EXPECT_EQ(read[1500], 0x5A);

  // Only whole sectors, at most the transfer buffer.
  std::vector<uint8_t> odd(100);
  EXPECT_EQ(file->Read(odd), -EINVAL);
  EXPECT_EQ(file->Write(odd), -EINVAL);
  std::vector<uint8_t> huge(8192);
  EXPECT_EQ(file->Read(huge), -EINVAL);
}

TEST_P(SectorFileTest, AShortFileReadsAsZerosBeyondItsEnd) {
  fs::resize_file(path, 512);
  auto file = SectorFile::Open(path, GetParam(), nullptr);
  ASSERT_NE(file, nullptr);
  std::vector<uint8_t> read(1536, 0xEE);
  EXPECT_EQ(file->Read(read), 512);
  EXPECT_TRUE(std::all_of(read.begin(), read.end(), [](uint8_t b) { return b == 0; }));
  fs::resize_file(path, 0);
  EXPECT_EQ(file->Read(read), 0);
}

TEST_P(SectorFileTest, RefusesAnythingButAnExistingRegularFile) {
  int error = 0;
  EXPECT_EQ(SectorFile::Open((dir / "missing").string(), GetParam(), &error), nullptr);
  EXPECT_EQ(error, ENOENT);
  EXPECT_FALSE(fs::exists(dir / "missing"));  // never created

  fs::create_symlink(path, dir / "link");
  EXPECT_EQ(SectorFile::Open((dir / "link").string(), GetParam(), &error), nullptr);
  EXPECT_NE(error, 0);

  fs::create_directory(dir / "sub");
  EXPECT_EQ(SectorFile::Open((dir / "sub").string(), GetParam(), &error), nullptr);

  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(SectorFile::Open((dir / "fifo").string(), GetParam(), &error), nullptr);
  EXPECT_EQ(error, EINVAL);

  EXPECT_EQ(SectorFile::Open("/dev/null", GetParam(), &error), nullptr);
  EXPECT_EQ(error, EINVAL);
  EXPECT_EQ(SectorFile::Open("", GetParam(), &error), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Modes, SectorFileTest,
                         ::testing::Values(SectorFile::Mode::kDirect, SectorFile::Mode::kBuffered),
                         [](const auto& info) {
                           return info.param == SectorFile::Mode::kDirect ? "Direct" : "Fallback";
                         });

}  // namespace
