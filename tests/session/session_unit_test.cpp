// White-box tests of the session's pure helpers and the registry.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "session/device_session.h"
#include "session/session_util.h"

namespace devapi {
namespace {

std::string Normalised(const char* firmware) {
  char text[kFirmwareTextSize] = {};
  std::strncpy(text, firmware, sizeof text - 1);
  NormaliseFirmware(text, sizeof text);
  return text;
}

TEST(FirmwareText, NormalisedToYearMonthDay) {
  EXPECT_EQ(Normalised("Ver 6.60 Oct 26 2009"), "Ver 6.60 20091026");
  EXPECT_EQ(Normalised("Ver 6.00 Jan 01 2008"), "Ver 6.00 20080101");
  EXPECT_EQ(Normalised("Ver 6.18 Aug 07 2007"), "Ver 6.18 20070807");
  EXPECT_EQ(Normalised("Ver 5.00 Dec 31 2004"), "Ver 5.00 20041231");
  // A month name not in the list gives month 13.
  EXPECT_EQ(Normalised("Ver 6.60 Xyz 26 2009"), "Ver 6.60 20091326");
  // Anything after position 19 is cut off.
  EXPECT_EQ(Normalised("Ver 6.60 Oct 26 2009 build 7"), "Ver 6.60 20091026");
}

TEST(FirmwareText, ShortTextsStayInTheirField) {
  EXPECT_EQ(Normalised("Ver 6.60"), "Ver 6.60");
  EXPECT_EQ(Normalised(""), "");
  // Too short to carry a year: the zero bytes of the field come along.
  EXPECT_EQ(Normalised("Ver 6.60 Oct"), "Ver 6.60 ");
}

TEST(FirmwareText, GatesCompareByteWise) {
  DeviceSession s;
  std::strcpy(s.firmware_version, "Ver 6.60 20091026");
  EXPECT_FALSE(FirmwareBelow(s, "Ver 6.60"));
  EXPECT_TRUE(FirmwareAbove(s, "Ver 6.60"));
  EXPECT_TRUE(FirmwareAbove(s, "Ver 6.18 20070807"));
  EXPECT_FALSE(FirmwareBelow(s, "Ver 6.01"));
  std::strcpy(s.firmware_version, "Ver 6.00 20080101");
  EXPECT_TRUE(FirmwareBelow(s, "Ver 6.01"));
  std::strcpy(s.firmware_version, "Ver 6.01 20080101");
  EXPECT_FALSE(FirmwareBelow(s, "Ver 6.01"));
  std::strcpy(s.firmware_version, "Ver 6.18 20070807");
  EXPECT_FALSE(FirmwareAbove(s, "Ver 6.18 20070807"));
  EXPECT_EQ(FirmwareCompare(s, "Ver 6.18 20070807"), 0);
  std::strcpy(s.firmware_version, "Ver 5.00 20041231");
  EXPECT_TRUE(FirmwareBelow(s, "Ver 5.04"));
  // Unsigned bytes: 0xE9 sorts above every ASCII character.
  std::strcpy(s.firmware_version, "Ver \xE9");
  EXPECT_TRUE(FirmwareAbove(s, "Ver 6.60"));
}

TEST(SerialTimeouts, ByBaudRate) {
  const auto both = [](int32_t baud) {
    const SerialTimeouts t = SerialTimeoutsForBaud(baud);
    return std::make_pair(t.cmd_ms, t.data_ms);
  };
  EXPECT_EQ(both(9600), std::make_pair(12000, 12000));
  EXPECT_EQ(both(19200), std::make_pair(10000, 10000));
  EXPECT_EQ(both(38400), std::make_pair(8000, 8000));
  EXPECT_EQ(both(57600), std::make_pair(6000, 6000));
  EXPECT_EQ(both(115200), std::make_pair(5000, 5000));
  EXPECT_EQ(both(4800), std::make_pair(48000, 72000));
  EXPECT_EQ(both(2400), std::make_pair(96000, 144000));
  EXPECT_EQ(both(230400), std::make_pair(1000, 1500));
  // Slow rates: long time-outs, still within 32 bits.
  EXPECT_EQ(both(1), std::make_pair(230400000, 345600000));
  EXPECT_GT(SerialTimeoutsForBaud(-1).cmd_ms, INT32_MIN);
}

TEST(PackedTime, EndOf2030) {
  EXPECT_EQ(PackTime(2030, 12, 31, 23, 59, 59), 996364799u);
  const UnpackedTime t = UnpackTime(996364799u);
  EXPECT_EQ(t.year, 2030);
  EXPECT_EQ(t.month, 12);
  EXPECT_EQ(t.day, 31);
  EXPECT_EQ(t.hour, 23);
  EXPECT_EQ(t.minute, 59);
  EXPECT_EQ(t.second, 59);
  EXPECT_EQ(t.day_of_year, 365);
  EXPECT_EQ(t.weekday, 2);  // a Tuesday
}

TEST(PackedTime, StartAndRoundTrip) {
  EXPECT_EQ(PackTime(2000, 1, 1, 0, 0, 0), 0u);
  for (int year : {2000, 2004, 2019, 2099}) {
    for (int month = 1; month <= 12; ++month) {
      const uint32_t t = PackTime(year, month, 28, 13, 7, 42);
      const UnpackedTime u = UnpackTime(t);
      EXPECT_EQ(u.year, year);
      EXPECT_EQ(u.month, month);
      EXPECT_EQ(u.day, 28);
      EXPECT_EQ(u.hour, 13);
      EXPECT_EQ(u.minute, 7);
      EXPECT_EQ(u.second, 42);
    }
  }
}

TEST(PackedTime, DayOfYearCountsLeapYearsByFour) {
  EXPECT_EQ(UnpackTime(PackTime(2004, 3, 1, 0, 0, 0)).day_of_year, 61);
  EXPECT_EQ(UnpackTime(PackTime(2005, 3, 1, 0, 0, 0)).day_of_year, 60);
  EXPECT_EQ(UnpackTime(PackTime(2000, 3, 1, 0, 0, 0)).day_of_year, 61);
}

TEST(PackedTime, WeekdayMatchesTheCalendarFrom2000To2099) {
  using namespace std::chrono;
  for (int y = 2000; y <= 2099; ++y) {
    for (unsigned m = 1; m <= 12; ++m) {
      for (unsigned d : {1u, 15u, 28u}) {
        const year_month_day date{year{y}, month{m}, day{d}};
        const unsigned expected = weekday{sys_days{date}}.c_encoding();
        const UnpackedTime u =
            UnpackTime(PackTime(y, static_cast<int>(m), static_cast<int>(d), 12, 0, 0));
        ASSERT_EQ(u.weekday, static_cast<int>(expected)) << y << "-" << m << "-" << d;
      }
    }
  }
  EXPECT_EQ(WeekdayOf(2000, 1), 6);  // 2000-01-01 was a Saturday
  EXPECT_EQ(WeekdayOf(2001, 1), 1);  // 2001-01-01 was a Monday
}

TEST(Conversions, LanguageBothWays) {
  EXPECT_EQ(LanguageToTerminal(0), 69);
  EXPECT_EQ(LanguageToTerminal(2), 84);
  EXPECT_EQ(LanguageToTerminal(3), 76);
  EXPECT_EQ(LanguageToTerminal(1), 83);
  EXPECT_EQ(LanguageToTerminal(-7), 83);
  EXPECT_EQ(LanguageFromTerminal(69), 0);
  EXPECT_EQ(LanguageFromTerminal(84), 2);
  EXPECT_EQ(LanguageFromTerminal(76), 3);
  EXPECT_EQ(LanguageFromTerminal(83), 1);
  EXPECT_EQ(LanguageFromTerminal(0), 1);
}

TEST(Conversions, BaudBothWays) {
  const int32_t rates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600};
  for (int32_t i = 0; i < 7; ++i) {
    EXPECT_EQ(BaudToTerminal(i), rates[i]);
    EXPECT_EQ(BaudFromTerminal(rates[i]), i);
  }
  EXPECT_EQ(BaudToTerminal(7), 115200);
  EXPECT_EQ(BaudToTerminal(9), 115200);
  EXPECT_EQ(BaudToTerminal(-1), 115200);
  EXPECT_EQ(BaudFromTerminal(115200), 7);
  EXPECT_EQ(BaudFromTerminal(300), 7);
}

TEST(Conversions, ThresholdsBothWays) {
  // Firmware "Ver 5.04" or later.
  EXPECT_EQ(ThresholdToTerminal(-3, false), 0);
  EXPECT_EQ(ThresholdToTerminal(5, false), 15);
  EXPECT_EQ(ThresholdToTerminal(9, false), 27);
  EXPECT_EQ(ThresholdToTerminal(10, false), 30);
  EXPECT_EQ(ThresholdToTerminal(30, false), 50);
  EXPECT_EQ(ThresholdToTerminal(50, false), 70);
  EXPECT_EQ(ThresholdToTerminal(60, false), 70);
  EXPECT_EQ(ThresholdFromTerminal(80, false), 50);
  EXPECT_EQ(ThresholdFromTerminal(45, false), 25);
  EXPECT_EQ(ThresholdFromTerminal(12, false), 4);
  EXPECT_EQ(ThresholdFromTerminal(-1, false), 0);
  EXPECT_EQ(ThresholdFromTerminal(70, false), 50);
  // Older firmware: a plain offset of 20, without overflow at the ends.
  EXPECT_EQ(ThresholdToTerminal(40, true), 60);
  EXPECT_EQ(ThresholdFromTerminal(80, true), 60);
  EXPECT_EQ(ThresholdToTerminal(INT32_MAX, true), int64_t{INT32_MAX} + 20);
  EXPECT_EQ(ThresholdFromTerminal(INT32_MIN, true), int64_t{INT32_MIN} - 20);
}

TEST(InfoTypes, Names) {
  EXPECT_STREQ(InfoTypeName(1), "~ProductTime");
  EXPECT_STREQ(InfoTypeName(2), "DeviceID");
  EXPECT_STREQ(InfoTypeName(12), "");
  EXPECT_STREQ(InfoTypeName(23), "MThreshold");
  EXPECT_STREQ(InfoTypeName(41), "AS1");
  EXPECT_STREQ(InfoTypeName(56), "AS16");
  EXPECT_STREQ(InfoTypeName(57), "WGFailedID");
  EXPECT_STREQ(InfoTypeName(65), "CardKey");
  EXPECT_STREQ(InfoTypeName(71), "UDPPort");
  EXPECT_STREQ(InfoTypeName(79), "isSupportAlarmExt");
  EXPECT_STREQ(InfoTypeName(81), "~DOTZ");
  EXPECT_EQ(InfoTypeName(0), nullptr);
  EXPECT_EQ(InfoTypeName(82), nullptr);
  EXPECT_EQ(InfoTypeName(-1), nullptr);
}

TEST(InfoTypes, StatusWords) {
  const int32_t expected[25] = {-1, 12, 4, 6, 13, 10, 8, 14, 15, 16, 17, 18, 19,
                                0,  1,  2, 3, 5,  7,  9, 11, 20, 22, 23, 24};
  for (int32_t i = 0; i <= 24; ++i) EXPECT_EQ(StatusWordOfIndex(i), expected[i]) << i;
  EXPECT_EQ(StatusWordOfIndex(25), -1);
  EXPECT_EQ(StatusWordOfIndex(-3), -1);
}

TEST(Texts, IntegerValueLikeAtoiButSaturating) {
  EXPECT_EQ(IntegerValue("42"), 42);
  EXPECT_EQ(IntegerValue("  -7xyz"), -7);
  EXPECT_EQ(IntegerValue("+12"), 12);
  EXPECT_EQ(IntegerValue(""), 0);
  EXPECT_EQ(IntegerValue("NONE"), 0);
  EXPECT_EQ(IntegerValue("99999999999999"), INT32_MAX);
  EXPECT_EQ(IntegerValue("-99999999999999"), INT32_MIN);
  EXPECT_EQ(IntegerValue("-2147483648"), INT32_MIN);
}

TEST(Texts, ScrambledValue) {
  // Key A5, then A5^'1' = 94, 94^'2' = A6.
  EXPECT_EQ(ScrambleValue("12", 0xA5), "A594A6");
  EXPECT_EQ(ScrambleValue("", 0x0F), "0F");
  for (int i = 0; i < 20; ++i) {
    const std::string hex = ScrambleValue("12", ScrambleKey());
    ASSERT_EQ(hex.size(), 6u);
    const int b0 = std::stoi(hex.substr(0, 2), nullptr, 16);
    const int b1 = std::stoi(hex.substr(2, 2), nullptr, 16);
    const int b2 = std::stoi(hex.substr(4, 2), nullptr, 16);
    EXPECT_EQ(b0 ^ b1, '1');
    EXPECT_EQ(b1 ^ b2, '2');
  }
}

TEST(Texts, CopyTextCutsAndTerminates) {
  char out[4] = {'x', 'x', 'x', 'x'};
  CopyText("abcdef", out, sizeof out);
  EXPECT_STREQ(out, "abc");
  CopyText("", out, sizeof out);
  EXPECT_STREQ(out, "");
}

TEST(Registry, UnknownAndClosedHandlesActAsNull) {
  DeviceSession local;
  EXPECT_EQ(SessionFromHandle(nullptr), nullptr);
  EXPECT_EQ(SessionFromHandle(&local), nullptr);
  EXPECT_EQ(BeginCall(&local), nullptr);

  auto* s = new DeviceSession();
  RegisterSession(s);
  EXPECT_EQ(SessionFromHandle(s), s);
  EXPECT_EQ(BeginCall(s), s);    // a null engine: the cancel flag call is harmless
  EXPECT_TRUE(CloseSession(s));  // frees s
  EXPECT_EQ(SessionFromHandle(s), nullptr);
  EXPECT_FALSE(CloseSession(s));  // a second close finds nothing
  EXPECT_FALSE(UnregisterSession(nullptr));
}

TEST(Session, StartsZeroedWithoutBigBuffers) {
  DeviceSession s;
  EXPECT_EQ(s.engine, nullptr);
  EXPECT_EQ(s.firmware_version[0], '\0');
  EXPECT_EQ(s.pin_width, 0);
  EXPECT_EQ(s.user_table_stale, 0);
  EXPECT_TRUE(s.read_buf.empty());
  EXPECT_TRUE(s.rt_buf.empty());
  EXPECT_EQ(s.rt_seq, 0u);
  EXPECT_LT(sizeof(DeviceSession), 4096u);
}

}  // namespace
}  // namespace devapi
