// termctl report over the built-in colour-screen terminal with shift data.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "run_termctl.h"

namespace termctltest {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(TermctlReport, StatisticsPageWithItsInputsAndUtf8Copy) {
  const fs::path dir = fs::temp_directory_path() / ("termctl_report_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string out = (dir / "stats.html").string();
  const auto r = RunTermctl({"report", "--type", "3", "--from", "2024-05-01", "--to", "2024-05-31",
                             "--out", out, "--keep", (dir / "keep").string(), "--utf8"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, out + "\n");  // no diagnostics without --verbose
  const std::string page = Slurp(out);
  EXPECT_NE(page.find("charset=gb2312"), std::string::npos);
  // The title in GB2312, and in UTF-8 in the copy.
  EXPECT_NE(page.find("\xBF\xBC\xC7\xDA\xCD\xB3\xBC\xC6"), std::string::npos);
  const std::string utf8 = Slurp(dir / "stats.utf8.html");
  EXPECT_NE(utf8.find("charset=utf-8"), std::string::npos);
  EXPECT_NE(utf8.find("考勤统计"), std::string::npos);
  for (const char* kept : {"rule.dat", "departments.dat", "timeslots.dat", "attlog.dat",
                           "users.dat", "AttDay.dat", "AttAbnormite.dat", "RecAbnormite.dat",
                           "attexception.dat"}) {
    EXPECT_TRUE(fs::exists(dir / "keep" / kept)) << kept;
  }
  EXPECT_EQ(fs::file_size(dir / "keep" / "rule.dat"), 136u);
  EXPECT_EQ(RunTermctl({"report", "--type", "5", "--from", "2024-05-01", "--to", "2024-05-31",
                        "--out", out})
                .status,
            2);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace termctltest
