// Error reporting shared by the commands.
#include <cstdio>
#include <vector>

#include "commands.h"
#include "terminal_io.h"

namespace termctl {

int Fail(const Context& ctx, const char* call, int result) {
  const int last = Q_LastError(ctx.handle);
  std::fprintf(stderr, "termctl: %s failed: result %d, Q_LastError %d\n", call, result, last);
  return kFailed;
}

int Usage(const std::string& command, const std::string& message) {
  std::fprintf(stderr, "termctl: %s%s%s\n", command.c_str(), command.empty() ? "" : ": ",
               message.c_str());
  std::fprintf(stderr, "try 'termctl %s%s--help'\n", command.c_str(), command.empty() ? "" : " ");
  return kUsage;
}

bool FormatOption(const Context& ctx, Format* format) {
  const auto f = ParseFormat(ctx.inv.Get("format", "table"));
  if (!f) {
    Usage(ctx.inv.command, "unknown --format '" + ctx.inv.Get("format") + "' (table, csv, json)");
    return false;
  }
  *format = *f;
  return true;
}

int ListUserTable(Context& ctx, Format format, const char* call,
                  const std::function<int(Record*)>& next) {
  ProgressNote note("downloading users");
  const int r = Q_ReadUserInfo(ctx.handle);
  if (r < 0) {
    note.Done();
    return Fail(ctx, "Q_ReadUserInfo", r);
  }
  std::vector<Record> records;
  while (r == 1) {
    Record record;
    const int g = next(&record);
    if (g == 0) break;
    if (g != 1) {
      note.Done();
      return Fail(ctx, call, g);
    }
    records.push_back(std::move(record));
  }
  note.Done();
  WriteRecords(stdout, records, format);
  return kOk;
}

}  // namespace termctl
