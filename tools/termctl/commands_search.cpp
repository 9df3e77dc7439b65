// Device search by broadcast: needs no connection.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"

namespace termctl {

int CmdSearch(const Invocation& inv) {
  if (!inv.words.empty()) return Usage("search", "takes no words");
  const std::string broadcast = inv.Get("broadcast", "255.255.255.255");
  std::fprintf(stderr, "termctl: searching %s (about 5 seconds)\n", broadcast.c_str());
  std::vector<char> result(64 * 1024);
  const int r =
      Q_SearchDevice("UDP", broadcast.c_str(), result.data(), static_cast<int32_t>(result.size()));
  if (r == 0) {
    std::fprintf(stderr, "termctl: no terminal answered\n");
    return kFailed;
  }
  if (r != 1) {
    std::fprintf(stderr, "termctl: Q_SearchDevice failed: result %d, Q_LastError %d\n", r,
                 Q_LastError(nullptr));
    return kFailed;
  }
  // One line per terminal, CR LF separated.
  std::string text(result.data());
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    if (end > start) std::printf("%s\n", text.substr(start, end - start).c_str());
    start = end + 1;
  }
  return kOk;
}

}  // namespace termctl
