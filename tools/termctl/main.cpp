// termctl: command-line access to a terminal through devapi.
#include <cstdio>
#include <map>
#include <string>

#include "address.h"
#include "args.h"
#include "commands.h"
#include "connect.h"
#include "demo_terminal.h"
#include "devapi.h"
#include "help.h"
#include "platform/removable_drives.h"
#include "termkit_config.h"

namespace termctl {

namespace {

using Handler = int (*)(Context&);

const std::map<std::string, Handler>& Commands() {
  static const std::map<std::string, Handler> commands = {
      {"info", CmdInfo},       {"time", CmdTime},      {"options", CmdOptions},
      {"users", CmdUsers},     {"logs", CmdLogs},      {"oplog", CmdOpLog},
      {"events", CmdEvents},   {"enable", CmdControl}, {"disable", CmdControl},
      {"restart", CmdControl}, {"unlock", CmdControl}, {"beep", CmdControl},
      {"report", CmdReport},   {"workcodes", CmdWorkCodes}, {"bells", CmdBells},
      {"shortkeys", CmdShortKeys}, {"timezones", CmdTimeZones}, {"holidays", CmdHolidays},
      {"faces", CmdFaces},
      {"files", CmdFiles},     {"photos", CmdPhotos},  {"backup", CmdBackup},
      {"restore", CmdRestore},
  };
  return commands;
}

// Connects to the address, reporting failures on stderr.
DEVAPI_HANDLE Connect(const Address& address, int32_t password) {
  std::string reason;
  DEVAPI_HANDLE h = ConnectTerminal(address, password, EventCallback(), EventContext(), &reason);
  if (h == nullptr) std::fprintf(stderr, "termctl: %s\n", reason.c_str());
  return h;
}

int Run(int argc, char** argv) {
  std::string error;
  const auto parsed = ParseArgs(argc, argv, &error);
  if (!parsed) return Usage("", error);
  const Invocation& inv = *parsed;

  if (inv.help) {
    if (inv.command.empty()) {
      std::printf("%s", ToolHelp());
      return kOk;
    }
    const char* text = CommandHelp(inv.command);
    if (text == nullptr) return Usage("", "unknown command '" + inv.command + "'");
    std::printf("%s", text);
    return kOk;
  }
  if (inv.command == "help") {
    std::printf("%s", ToolHelp());
    return kOk;
  }
  if (inv.version) {
    std::printf("termctl %s\n", TERMKIT_VERSION);
    return kOk;
  }
  if (inv.command == "search") return CmdSearch(inv);
  if (inv.command == "sync") return CmdSync(inv);

  Handler handler = CmdDemo;
  if (!inv.command.empty()) {
    const auto it = Commands().find(inv.command);
    if (it == Commands().end()) return Usage("", "unknown command '" + inv.command + "'");
    handler = it->second;
  }

  // Bad output formats are caught before anything is started or connected.
  if (inv.Has("format") && !ParseFormat(inv.Get("format"))) {
    return Usage(inv.command, "unknown --format '" + inv.Get("format") + "' (table, csv, json)");
  }
  int32_t password = 0;
  if (inv.Has("password")) {
    const auto p = ParseInt(inv.Get("password"));
    if (!p || *p < 0 || *p > 999999) return Usage("", "--password takes a number 0-999999");
    password = static_cast<int32_t>(*p);
  }

  DemoTerminal demo;
  Address address;
  if (inv.address.empty()) {
    if (!demo.Start(inv.command == "report")) {
      std::fprintf(stderr, "termctl: the built-in simulator did not start\n");
      return kFailed;
    }
    address = Address{"udp", "127.0.0.1", demo.port()};
    std::fprintf(stderr, "termctl: no terminal given; using the built-in simulator at %s\n",
                 FormatAddress(address).c_str());
  } else {
    const auto a = ParseAddress(inv.address, &error);
    if (!a) return Usage("", error);
    address = *a;
  }
  // Where the USB plug-in looks for the terminal's drive, for this run.
  if (!inv.usb_roots.empty()) platform::SetUsbDriveRoots(inv.usb_roots);

  Context ctx{inv};
  ctx.handle = Connect(address, password);
  if (ctx.handle == nullptr) return kFailed;
  const int status = handler(ctx);
  if (ctx.handle != nullptr) Q_Close(ctx.handle);
  return status;
}

}  // namespace

}  // namespace termctl

int main(int argc, char** argv) { return termctl::Run(argc, argv); }
