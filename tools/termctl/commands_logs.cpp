// Attendance and operation log downloads.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "moment.h"
#include "terminal_io.h"

namespace termctl {

namespace {

constexpr Moment kEarliest{2000, 1, 1, 0, 0, 0};
constexpr Moment kLatest{2099, 12, 31, 23, 59, 59};

// Which records to ask for, from the options.
struct Selection {
  enum Kind { kAll, kNew, kRange } kind = kAll;
  Moment from = kEarliest;
  Moment to = kLatest;
};

bool ParseSelection(const Invocation& inv, Selection* sel) {
  const bool ranged = inv.Has("since") || inv.Has("from") || inv.Has("to");
  if (inv.Has("since") && (inv.Has("from") || inv.Has("to"))) {
    Usage("logs", "use either --since or --from/--to");
    return false;
  }
  if (inv.Has("new") && ranged) {
    Usage("logs", "--new does not go with a time range");
    return false;
  }
  if (inv.Has("new")) sel->kind = Selection::kNew;
  if (!ranged) return true;
  sel->kind = Selection::kRange;
  const std::string from = inv.Has("since") ? inv.Get("since") : inv.Get("from");
  if (!from.empty()) {
    const auto m = ParseMoment(from);
    if (!m) {
      Usage("logs", "bad date '" + from + "' (YYYY-MM-DD [HH:MM:SS])");
      return false;
    }
    sel->from = *m;
  }
  if (inv.Has("to")) {
    const auto m = ParseMoment(inv.Get("to"), true);
    if (!m) {
      Usage("logs", "bad date '" + inv.Get("to") + "' (YYYY-MM-DD [HH:MM:SS])");
      return false;
    }
    sel->to = *m;
  }
  return true;
}

// Starts the download; 1 records to read, 0 none, another value a failure
// named in `call`.
int StartDownload(DEVAPI_HANDLE h, const Selection& sel, const char** call) {
  switch (sel.kind) {
    case Selection::kNew:
      *call = "Q_ReadLog";
      return Q_ReadLog(h, 1);
    case Selection::kRange: {
      *call = "Q_ReadTimeLog";
      const Moment& a = sel.from;
      const Moment& b = sel.to;
      const int r = Q_ReadTimeLog(h, a.year, a.month, a.day, a.hour, a.minute, a.second, b.year,
                                  b.month, b.day, b.hour, b.minute, b.second);
      return r;
    }
    case Selection::kAll:
      break;
  }
  *call = "Q_ReadLog";
  return Q_ReadLog(h, 0);
}

}  // namespace

int CmdLogs(Context& ctx) {
  Format format;
  if (!FormatOption(ctx, &format)) return kUsage;
  if (!ctx.inv.words.empty()) return Usage("logs", "takes no words");
  if (ctx.inv.Has("yes") && !ctx.inv.Has("clear")) return Usage("logs", "--yes goes with --clear");
  if (ctx.inv.Has("clear") && !ctx.inv.Has("yes")) {
    return Usage("logs", "--clear deletes every record on the terminal: add --yes to confirm");
  }
  Selection sel;
  if (!ParseSelection(ctx.inv, &sel)) return kUsage;

  ProgressNote note("downloading attendance records");
  const char* call = "";
  const int r = StartDownload(ctx.handle, sel, &call);
  if (r < 0) {
    note.Done();
    return Fail(ctx, call, r);
  }
  std::vector<Record> records;
  if (r == 1) {
    for (;;) {
      int32_t user = 0, y = 0, mo = 0, d = 0, hh = 0, mi = 0, s = 0, work = 0, reserved = 0;
      uint8_t verify = 0, state = 0;
      const int g = Q_GetExtLog(ctx.handle, &user, &verify, &state, &y, &mo, &d, &hh, &mi, &s,
                                &work, &reserved);
      if (g == 0) break;
      if (g != 1) {
        note.Done();
        return Fail(ctx, "Q_GetExtLog", g);
      }
      records.push_back({Number("user", user), Text("time", FormatMoment({y, mo, d, hh, mi, s})),
                         Number("verify_mode", verify), Number("state", state),
                         Number("work_code", work)});
    }
  }
  note.Done();
  WriteRecords(stdout, records, format);
  if (ctx.inv.Has("clear")) {
    const int c = Q_ClearLogData(ctx.handle);
    if (c != 1) return Fail(ctx, "Q_ClearLogData", c);
    std::fprintf(stderr, "termctl: attendance log cleared (%zu records were downloaded)\n",
                 records.size());
  }
  return kOk;
}

int CmdOpLog(Context& ctx) {
  Format format;
  if (!FormatOption(ctx, &format)) return kUsage;
  if (!ctx.inv.words.empty()) return Usage("oplog", "takes no words");
  ProgressNote note("downloading operation records");
  const int r = Q_ReadOpLog(ctx.handle, 0);
  if (r < 0) {
    note.Done();
    return Fail(ctx, "Q_ReadOpLog", r);
  }
  std::vector<Record> records;
  if (r == 1) {
    for (;;) {
      int32_t admin = 0, op = 0, y = 0, mo = 0, d = 0, hh = 0, mi = 0, s = 0;
      int32_t params[4] = {};
      const int g = Q_GetOpLog(ctx.handle, &admin, &op, params, &y, &mo, &d, &hh, &mi, &s);
      if (g == 0) break;
      if (g != 1) {
        note.Done();
        return Fail(ctx, "Q_GetOpLog", g);
      }
      records.push_back({Number("admin", admin), Number("operation", op),
                         Text("time", FormatMoment({y, mo, d, hh, mi, s})),
                         Number("param1", params[0]), Number("param2", params[1]),
                         Number("param3", params[2]), Number("param4", params[3])});
    }
  }
  note.Done();
  WriteRecords(stdout, records, format);
  return kOk;
}

}  // namespace termctl
