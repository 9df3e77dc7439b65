// Parameter blocks of the uploads and the names that may become host files.
#include <gtest/gtest.h>

#include <string>

#include "files/host_names.h"

namespace {

using namespace devapi::files;  // NOLINT

TEST(HostNames, NamedFileParameterCountsTheWholePath) {
  const auto windows = NamedFileParameter(1700, "c:\\dir\\a.bin");
  ASSERT_TRUE(windows);
  ASSERT_EQ(windows->size(), 17u);  // 12 + 5
  EXPECT_EQ(std::vector<uint8_t>(windows->begin(), windows->begin() + 4),
            (std::vector<uint8_t>{0xA4, 0x06, 0, 0}));
  EXPECT_EQ(std::string(windows->begin() + 4, windows->begin() + 9), "a.bin");
  EXPECT_TRUE(std::all_of(windows->begin() + 9, windows->end(), [](uint8_t b) { return b == 0; }));

  const auto linux_path = NamedFileParameter(7, "/tmp/x/logo.jpg");
  ASSERT_TRUE(linux_path);
  EXPECT_EQ(linux_path->size(), 20u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(linux_path->data() + 4)), "logo.jpg");

  EXPECT_TRUE(NamedFileParameter(1700, std::string(259, 'a')));
  EXPECT_EQ(NamedFileParameter(1700, std::string(259, 'a'))->size(), 264u);
  EXPECT_FALSE(NamedFileParameter(1700, std::string(260, 'a')));
  EXPECT_FALSE(NamedFileParameter(1700, "dir/"));
  EXPECT_FALSE(NamedFileParameter(1700, ""));
}

TEST(HostNames, ShortNameFieldIsFortyBytesAtMost) {
  const auto photo = ShortNameParameter("C:\\photos\\17.jpg");
  ASSERT_TRUE(photo);
  EXPECT_EQ(photo->size(), 21u);  // 16 + 5
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(photo->data())), "17.jpg");
  const auto deep = ShortNameParameter("/a/very/long/directory/path/for/a/picture/p.jpg");
  ASSERT_TRUE(deep);
  EXPECT_EQ(deep->size(), 40u);
  EXPECT_TRUE(ShortNameParameter(std::string(39, 'n')));
  EXPECT_FALSE(ShortNameParameter(std::string(40, 'n')));
  EXPECT_FALSE(ShortNameParameter("dir\\"));
}

TEST(HostNames, OnlySingleComponentsBecomeFileNames) {
  for (const char* good : {"a.bin", "photo 1.jpg", "..x", "x.."}) {
    EXPECT_TRUE(IsSingleComponent(good)) << good;
  }
  for (const char* bad : {"", ".", "..", "a/b", "a\\b", "/abs", "tab\there", "nl\n", "del\x7f"}) {
    EXPECT_FALSE(IsSingleComponent(bad)) << bad;
  }
  EXPECT_EQ(BaseName("a/b\\c"), "c");
  EXPECT_EQ(BaseName("plain"), "plain");
}

}  // namespace
