// termctl report: reads the attendance tables, the users and the log off a
// colour-screen terminal, saves them and has the library compute a page.
#include <iconv.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "commands.h"
#include "moment.h"
#include "platform/quiet_output.h"

namespace termctl {

namespace {

namespace fs = std::filesystem;

// Text from one character set to another; nullopt when it does not convert.
std::optional<std::string> Convert(const std::string& text, const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(text.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char* o = out.data();
  size_t out_left = out.size();
  const size_t r = iconv(cd, &in, &in_left, &o, &out_left);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return std::nullopt;
  out.resize(out.size() - out_left);
  return out;
}

// The page in UTF-8 beside it, declaring that character set.
bool WriteUtf8Copy(const std::string& page_path) {
  std::ifstream in(page_path, std::ios::binary);
  const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto utf8 = Convert(page, "UTF-8", "GB2312");
  if (!utf8) return false;
  const std::string from = "charset=gb2312", to = "charset=utf-8";
  if (const size_t at = utf8->find(from); at != std::string::npos) utf8->replace(at, from.size(), to);
  std::string out_path = page_path;
  if (out_path.size() > 5 && out_path.ends_with(".html")) out_path.resize(out_path.size() - 5);
  std::ofstream out(out_path + ".utf8.html", std::ios::binary | std::ios::trunc);
  out << *utf8;
  return static_cast<bool>(out);
}

struct Table {
  const char* read_call;
  int (*read)(DEVAPI_HANDLE);
  const char* file;
  int type;
};

int ReadUsers(DEVAPI_HANDLE h) { return Q_ReadUserInfo(h); }
int ReadLog(DEVAPI_HANDLE h) { return Q_ReadLog(h, 0); }

}  // namespace

int CmdReport(Context& ctx) {
  const Invocation& inv = ctx.inv;
  if (!inv.words.empty()) return Usage("report", "takes no words");
  const auto type = ParseInt(inv.Get("type", "1"));
  if (!type || *type < 1 || *type > 3) return Usage("report", "--type takes 1, 2 or 3");
  if (!inv.Has("from") || !inv.Has("to") || !inv.Has("out")) {
    return Usage("report", "needs --from DATE --to DATE --out FILE.html");
  }
  const auto from = ParseMoment(inv.Get("from"));
  const auto to = ParseMoment(inv.Get("to"), true);
  if (!from) return Usage("report", "bad date '" + inv.Get("from") + "' (YYYY-MM-DD [HH:MM:SS])");
  if (!to) return Usage("report", "bad date '" + inv.Get("to") + "' (YYYY-MM-DD [HH:MM:SS])");
  const auto label = Convert(inv.Get("label", "工号"), "GB2312", "UTF-8");
  if (!label) return Usage("report", "--label must be UTF-8 text that GB2312 can hold");

  // The saved tables and the record files: kept in --keep, else in a
  // directory of their own that goes afterwards.
  std::error_code ec;
  fs::path work;
  if (inv.Has("keep")) {
    work = inv.Get("keep");
  } else {
    work = fs::temp_directory_path(ec) / ("termctl-report-" + std::to_string(::getpid()));
  }
  fs::create_directories(work, ec);
  if (!fs::is_directory(work, ec)) {
    std::fprintf(stderr, "termctl: cannot make the directory %s\n", work.string().c_str());
    return kFailed;
  }
  struct Cleanup {
    fs::path dir;
    bool keep;
    ~Cleanup() {
      std::error_code ignored;
      if (!keep) fs::remove_all(dir, ignored);
    }
  } cleanup{work, inv.Has("keep")};

  const Table tables[] = {{"Q_SSR_ReadAttRule", Q_SSR_ReadAttRule, "rule.dat", 3},
                          {"Q_SSR_ReadDPT", Q_SSR_ReadDPT, "departments.dat", 4},
                          {"Q_SSR_ReadTurn", Q_SSR_ReadTurn, "timeslots.dat", 5},
                          {"Q_ReadLog", ReadLog, "attlog.dat", 1},
                          {"Q_ReadUserInfo", ReadUsers, "users.dat", 2}};
  for (const Table& t : tables) {
    const int r = t.read(ctx.handle);
    if (r < 0) return Fail(ctx, t.read_call, r);
    const std::string path = (work / t.file).string();
    fs::remove(path, ec);
    // A table the terminal does not have is an empty input.
    if (r == 1 && Q_SSR_SaveDate(ctx.handle, path.c_str(), t.type) < 0) {
      return Fail(ctx, "Q_SSR_SaveDate", -2);
    }
  }
  const auto file = [&](const char* name) { return (work / name).string(); };
  const std::string prefix = (work / "").string();
  const std::string out = inv.Get("out");
  int r = 0;
  {
    std::optional<platform::QuietOutput> quiet;
    if (!inv.Has("verbose")) quiet.emplace();
    r = Q_SSR_OutPutHtml(ctx.handle, inv.Get("id").c_str(), file("attlog.dat").c_str(),
                         file("users.dat").c_str(), file("departments.dat").c_str(),
                         file("timeslots.dat").c_str(), from->year, from->month, from->day,
                         from->hour, from->minute, from->second, to->year, to->month, to->day,
                         to->hour, to->minute, to->second, out.c_str(), prefix.c_str(),
                         file("rule.dat").c_str(), static_cast<int32_t>(*type), label->c_str());
  }
  if (r == 0) {
    std::fprintf(stderr, "termctl: the terminal has no users\n");
    return kFailed;
  }
  if (r != 1) return Fail(ctx, "Q_SSR_OutPutHtml", r);
  if (inv.Has("utf8") && !WriteUtf8Copy(out)) {
    std::fprintf(stderr, "termctl: the UTF-8 copy of %s could not be written\n", out.c_str());
    return kFailed;
  }
  std::printf("%s\n", out.c_str());
  return kOk;
}

}  // namespace termctl
