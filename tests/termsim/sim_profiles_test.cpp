// Terminal profiles: the built-in ones, the files that ship beside them,
// and the settings they are made of.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "termsim/simulator.h"

namespace {

std::string ProfileFile(const std::string& name) {
  return std::string(TERMSIM_PROFILE_DIR) + "/" + name + ".profile";
}

TEST(SimProfilesTest, ShippedFilesMatchTheBuiltInProfiles) {
  const std::pair<const char*, termsim::Profile> cases[] = {
      {"old", termsim::Profile::Old()},
      {"ver660", termsim::Profile::Ver660()},
      {"tft", termsim::Profile::Tft()},
  };
  for (const auto& [name, builtin] : cases) {
    termsim::Profile loaded;
    std::string error;
    ASSERT_TRUE(termsim::LoadProfile(ProfileFile(name), &loaded, &error)) << error;
    EXPECT_TRUE(loaded == builtin) << name;
    termsim::Profile by_name;
    ASSERT_TRUE(termsim::ProfileByName(name, &by_name, &error));
    EXPECT_TRUE(by_name == builtin) << name;
  }
}

TEST(SimProfilesTest, BuiltInTerminalsDiffer) {
  const termsim::Profile old = termsim::Profile::Old();
  EXPECT_LT(old.firmware, "Ver 5.04");
  EXPECT_FALSE(old.options.contains("~OS"));
  EXPECT_TRUE(old.unknown_commands.contains(501));

  const termsim::Profile v660 = termsim::Profile::Ver660();
  EXPECT_EQ(v660.firmware, "Ver 6.60 Oct 26 2009");
  EXPECT_EQ(v660.options.at("~OS"), "1");
  EXPECT_EQ(v660.options.at("~Platform").find("TFT"), std::string::npos);

  const termsim::Profile tft = termsim::Profile::Tft();
  EXPECT_NE(tft.options.at("~Platform").find("TFT"), std::string::npos);
  EXPECT_EQ(tft.options.at("QXFaceVersion"), "7");
}

TEST(SimProfilesTest, Settings) {
  termsim::Profile p;
  std::string error;
  for (const char* line :
       {"firmware = Ver 6.60 Jan  2 2012", "option.~Platform=AK3750",
        "option.Empty=", "pin_width=-3", "clock=2030-12-31 23:59:59", "clock_runs=yes",
        "option_probe=garbage", "unknown_commands=69, 2998", "refused_commands=1004",
        "storage.21=7", "door_state=1", "machine_state=2", "device_status=4", "password=808080",
        "mac=AA", "search_ip=10.0.0.9", "search_answer=Gx/y", "device_firmware=MCU 1"}) {
    EXPECT_TRUE(termsim::ApplyProfileSetting(line, &p, &error)) << line << ": " << error;
  }
  EXPECT_EQ(p.firmware, "Ver 6.60 Jan  2 2012");
  EXPECT_EQ(p.options.at("~Platform"), "AK3750");
  EXPECT_EQ(p.options.at("Empty"), "");
  EXPECT_EQ(p.pin_width, -3);
  EXPECT_EQ(termsim::PackTime(p.clock), 996364799u);
  EXPECT_TRUE(p.clock_runs);
  EXPECT_EQ(p.option_probe, termsim::ProbeAnswer::kGarbage);
  EXPECT_EQ(p.unknown_commands, (std::set<uint16_t>{69, 2998}));
  EXPECT_EQ(p.refused_commands, (std::set<uint16_t>{1004}));
  EXPECT_EQ(p.storage.at(21), 7u);
  EXPECT_EQ(p.comm_password, 808080u);

  // A base replaces everything before it.
  ASSERT_TRUE(termsim::ApplyProfileSetting("base=tft", &p, &error));
  EXPECT_TRUE(p == termsim::Profile::Tft());
}

TEST(SimProfilesTest, BadSettingsAreRefused) {
  for (const char* line :
       {"firmware", "colour=red", "option.=1", "pin_width=200", "pin_width=9x",
        "clock=2030-13-01 00:00:00", "clock=1999-12-31 23:59:59", "clock_runs=maybe",
        "option_probe=sometimes", "unknown_commands=69,,70", "unknown_commands=70000",
        "storage.25=1", "storage.1=-1", "door_state=256", "base=new"}) {
    termsim::Profile p;
    std::string error;
    EXPECT_FALSE(termsim::ApplyProfileSetting(line, &p, &error)) << line;
    EXPECT_FALSE(error.empty()) << line;
  }
}

TEST(SimProfilesTest, FileErrorsNameTheLine) {
  termsim::Profile p;
  std::string error;
  EXPECT_FALSE(termsim::LoadProfile(ProfileFile("no-such"), &p, &error));
  EXPECT_NE(error.find("no-such"), std::string::npos);
  EXPECT_FALSE(termsim::ProfileByName("no-such-profile", &p, &error));

  const std::string path = ::testing::TempDir() + "termsim_bad.profile";
  {
    std::ofstream out(path);
    out << "# a terminal\r\n\nfirmware = Ver 6.60 Oct 26 2009\nbogus = 1\n";
  }
  EXPECT_FALSE(termsim::LoadProfile(path, &p, &error));
  EXPECT_NE(error.find("termsim_bad.profile:4: unknown setting \"bogus\""), std::string::npos)
      << error;
}

}  // namespace
