// What every command gets, and the commands by group.
#pragma once

#include <functional>
#include <string>

#include "args.h"
#include "devapi.h"
#include "output.h"

namespace termctl {

struct Context {
  const Invocation& inv;
  DEVAPI_HANDLE handle = nullptr;
};

// Exit statuses.
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;  // the terminal or the library said no
inline constexpr int kUsage = 2;   // bad arguments

// Reports a failed call on stderr with its result and the engine's last error.
int Fail(const Context& ctx, const char* call, int result);
// Reports bad arguments on stderr.
int Usage(const std::string& command, const std::string& message);
// --format (table by default); false after reporting a bad value.
bool FormatOption(const Context& ctx, Format* format);

// Downloads the user table and writes one record per user: `next` calls the
// library's user iterator (`call`) once and fills the record when it gives
// 1; 0 ends the table, anything else is a failure.
int ListUserTable(Context& ctx, Format format, const char* call,
                  const std::function<int(Record*)>& next);

// commands_device.cpp
int CmdInfo(Context& ctx);
int CmdTime(Context& ctx);
int CmdOptions(Context& ctx);
int CmdControl(Context& ctx);  // enable, disable, restart, unlock, beep
// commands_users.cpp
int CmdUsers(Context& ctx);
// commands_logs.cpp
int CmdLogs(Context& ctx);
int CmdOpLog(Context& ctx);
// commands_report.cpp
int CmdReport(Context& ctx);
// commands_extras.cpp
int CmdWorkCodes(Context& ctx);
int CmdBells(Context& ctx);
int CmdShortKeys(Context& ctx);
// commands_access.cpp
int CmdTimeZones(Context& ctx);
int CmdHolidays(Context& ctx);
int CmdFaces(Context& ctx);
// commands_files.cpp
int CmdFiles(Context& ctx);
int CmdPhotos(Context& ctx);
int CmdBackup(Context& ctx);
int CmdRestore(Context& ctx);
// commands_events.cpp
int CmdEvents(Context& ctx);
DEVAPI_EVENT_CALLBACK EventCallback();
void* EventContext();
// commands_search.cpp (needs no connection)
int CmdSearch(const Invocation& inv);
// sync/sync_command.cpp (connects to each terminal itself)
int CmdSync(const Invocation& inv);
// demo.cpp: what `termctl` alone shows
int CmdDemo(Context& ctx);

}  // namespace termctl
