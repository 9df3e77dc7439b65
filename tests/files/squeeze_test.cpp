// The squeeze file format: round trips and every way a file can be broken.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "squeeze.h"

namespace {

class Squeeze : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("squeeze_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "image.sqz").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  bool Compress(const std::vector<uint8_t>& image) {
    const int32_t length = static_cast<int32_t>(image.size());
    return CompressItToFile(image.data(), path_.c_str(), &length) == 1;
  }
  std::vector<uint8_t> File() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  void Rewrite(const std::vector<uint8_t>& bytes) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  // Expands into a buffer of `capacity` bytes with a guard byte behind it.
  int32_t Expand(size_t capacity, std::vector<uint8_t>* out) const {
    out->assign(capacity + 1, 0xA5);
    int32_t room = static_cast<int32_t>(capacity);
    const int32_t n = ExpandItFromFile(path_.c_str(), out->data(), &room);
    EXPECT_EQ(out->back(), 0xA5) << "guard byte overwritten";
    if (n > 0) {
      EXPECT_EQ(room, n);
      out->resize(static_cast<size_t>(n));
    }
    return n;
  }

  std::filesystem::path dir_;
  std::string path_;
};

std::vector<uint8_t> Random(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out(n);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

TEST_F(Squeeze, RoundTripsByTable) {
  std::vector<uint8_t> heavy(128 * 1024, 0xFF);
  for (size_t i = 0; i < heavy.size(); i += 97) heavy[i] = static_cast<uint8_t>(i);
  const std::vector<std::vector<uint8_t>> images = {{0x42}, heavy, Random(8u << 20, 3)};
  for (const auto& image : images) {
    ASSERT_TRUE(Compress(image));
    const auto file = File();
    ASSERT_GE(file.size(), 16u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "SQZ1");
    EXPECT_EQ(file[4], 1);
    std::vector<uint8_t> out;
    EXPECT_EQ(Expand(image.size(), &out), static_cast<int32_t>(image.size()));
    EXPECT_EQ(out, image);
  }
  // Backups carry passwords: the file is the owner's alone.
  struct stat st{};
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(Squeeze, BrokenFilesExpandToNothing) {
  const auto image = Random(4096, 5);
  ASSERT_TRUE(Compress(image));
  const auto good = File();
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  };
  auto with = [&](size_t at, uint8_t value) {
    auto f = good;
    f[at] = value;
    return f;
  };
  auto truncated = good;
  truncated.resize(good.size() - 3);
  auto trailing = good;
  trailing.push_back(0);
  auto flipped = good;
  flipped[good.size() / 2] ^= 0x01;
  const Case cases[] = {
      {"truncated", truncated},
      {"flipped byte", flipped},
      {"bad CRC", with(12, static_cast<uint8_t>(good[12] ^ 0x80))},
      {"bad magic", with(0, 'X')},
      {"bad version", with(4, 2)},
      {"length 0", [&] { auto f = good; f[8] = f[9] = f[10] = f[11] = 0; return f; }()},
      {"trailing bytes", trailing},
      {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 16)},
      {"empty file", {}},
  };
  for (const Case& c : cases) {
    Rewrite(c.file);
    std::vector<uint8_t> out;
    EXPECT_EQ(Expand(image.size(), &out), 0) << c.what;
  }
  // Larger than the buffer: refused before a byte is inflated.
  Rewrite(good);
  std::vector<uint8_t> out;
  EXPECT_EQ(Expand(image.size() - 1, &out), 0);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0xA5; }));
  std::remove(path_.c_str());
  EXPECT_EQ(Expand(image.size(), &out), 0);
}

TEST_F(Squeeze, ArgumentsAreChecked) {
  const uint8_t byte = 1;
  const int32_t zero = 0;
  EXPECT_EQ(CompressItToFile(&byte, path_.c_str(), &zero), 0);
  EXPECT_EQ(CompressItToFile(nullptr, path_.c_str(), &zero), 0);
  EXPECT_EQ(CompressItToFile(&byte, nullptr, &zero), 0);
  const int32_t one = 1;
  EXPECT_EQ(CompressItToFile(&byte, (dir_ / "missing" / "x").c_str(), &one), 0);
  uint8_t buffer[4];
  int32_t room = 4;
  EXPECT_EQ(ExpandItFromFile(nullptr, buffer, &room), 0);
  EXPECT_EQ(ExpandItFromFile(path_.c_str(), nullptr, &room), 0);
  EXPECT_EQ(ExpandItFromFile(path_.c_str(), buffer, nullptr), 0);
}

}  // namespace
