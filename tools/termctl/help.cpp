#include "help.h"

#include <map>

namespace termctl {

const char* ToolHelp() {
  return R"(usage: termctl [ADDRESS] [COMMAND] [WORDS...] [OPTIONS]

ADDRESS   udp://host[:port] or tcp://host[:port] (port 4370 by default), or
          usb://[N] for a terminal attached by USB with device number N
          (0-255, 1 by default).
          Without an address termctl starts its built-in simulator, loaded
          with a demo data set, and talks to that.
--password N   the terminal's comm password (0: none)
--usb-root DIR look for the USB terminal's file in DIR (repeatable, in order)
          instead of on the mounted drives. A terminal attached by USB shows
          up as a removable drive holding a file "dummy" in its root; the
          first mounted removable (or USB) drive with that file is used, and
          you need the right to read and write it.

Commands:
  info                        firmware, serial number, platform, counts, clock, features
  time [set DATE TIME|sync]   read or set the terminal's clock
  options get NAME | set NAME=VALUE
  users [show PIN|add PIN|delete PIN]
  logs [--format table|csv|json] [--since|--from|--to DATE] [--new] [--clear --yes]
  oplog [--format table|csv|json]
  events [--count N] [--json]  watch pushed events until Ctrl-C
  report --type 1|2|3 --from DATE --to DATE --out FILE.html   attendance page
  workcodes get N | set N CODE | delete N | clear   work codes
  bells [set N HH:MM]         list the bells or set one
  shortkeys [N] | shortkeys set N --state S [--times TEXT]   function keys
  timezones [N] | timezones set N TEXT   weekly time zones (TEXT: HH:MM-HH:MM x 7)
  holidays [set TEXT]         list the holidays or set them (MMDDmmdd groups)
  faces ID --save FILE | --load FILE | --delete   move a user's faces
  sync [ADDRESS...] [--db URL] [--jobs N] [--clear-after --yes] [--watch [--seconds N]]
                              every punch, user and operation record into a database
  files get NAME [DIR] | files put FILE [--kind N]   files to and from the terminal
  photos list [--from DATE] [--to DATE] [--selector N] | photos get NAME... [--dir DIR]
  backup FILE | restore FILE --yes   the terminal's data in one compressed file
  search [--broadcast ADDR]    find terminals on the local network
  enable | disable | restart | unlock [--seconds N] | beep [--ms N]

Without a command: a short demo (device info, some users, the latest punches).
termctl COMMAND --help tells more about a command; termctl --version prints
the version.
Exit status: 0 success, 1 the terminal or library failed, 2 bad arguments.
)";
}

const char* CommandHelp(const std::string& command) {
  static const std::map<std::string, const char*> texts = {
      {"info", R"(usage: termctl [ADDRESS] info [--format table|json]
Shows the firmware, serial number, platform, storage counts, clock and
feature flags of the terminal.
)"},
      {"time", R"(usage: termctl [ADDRESS] time
       termctl [ADDRESS] time set YYYY-MM-DD HH:MM:SS
       termctl [ADDRESS] time sync
Reads the terminal's clock, sets it, or sets it to this computer's local time.
)"},
      {"options", R"(usage: termctl [ADDRESS] options get NAME
       termctl [ADDRESS] options set NAME=VALUE
Reads or writes one of the terminal's options (e.g. ~SerialNumber, DeviceID).
)"},
      {"workcodes", R"(usage: termctl [ADDRESS] workcodes get N [--format table|csv|json]
       termctl [ADDRESS] workcodes set N CODE
       termctl [ADDRESS] workcodes delete N
       termctl [ADDRESS] workcodes clear
Reads, writes or deletes one work code, or clears them all. Colour-screen
terminals keep work codes by the number's text with a code text of up to 24
characters; the others by index 0-65535 with a numeric code.
)"},
      {"files", R"(usage: termctl [ADDRESS] files get NAME [DIR]
       termctl [ADDRESS] files put FILE [--kind N]
Reads the terminal's file NAME into DIR (the current directory by default),
replacing a file of that name only once it has arrived whole; or sends FILE
to the terminal under its own name (kind 1700, or the --kind given).
)"},
      {"photos", R"(usage: termctl [ADDRESS] photos list [--from DATE] [--to DATE] [--selector N]
       termctl [ADDRESS] photos get NAME... [--dir DIR]
Lists the attendance photos taken between two moments (selector 0: all), or
fetches photos by name into DIR.
)"},
      {"backup", R"(usage: termctl [ADDRESS] backup FILE
Backs the terminal's memory up into FILE (compressed, readable by you only).
)"},
      {"restore", R"(usage: termctl [ADDRESS] restore FILE --yes
Wipes the terminal's users, templates and logs and restores them from a
backup FILE. A file that is not a whole backup is refused before anything
is sent.
)"},
      {"bells", R"(usage: termctl [ADDRESS] bells [--format table|csv|json]
       termctl [ADDRESS] bells set N HH:MM
Lists the bells (number, kind, ring time) or sets bell N to ring at HH:MM
(00:00 to 23:59).
)"},
      {"shortkeys", R"(usage: termctl [ADDRESS] shortkeys [N] [--format table|csv|json]
       termctl [ADDRESS] shortkeys set N --state S [--times TEXT]
Lists the function keys 1-32 (or key N), or makes key N select attendance
state S; --times gives the automatic switch time per weekday as
"H:M;H:M;H:M;H:M;H:M;H:M;H:M;" (0:0 = none) and turns switching on. A key
that shares its state or a switch time with another key is refused.
)"},
      {"timezones", R"(usage: termctl [ADDRESS] timezones [N] [--format table|csv|json]
       termctl [ADDRESS] timezones set N HH:MM-HH:MM,HH:MM-HH:MM,... (seven days)
Lists the weekly time zones that hold something (or zone N, 1-50), one
start-end range per weekday from Sunday, or sets zone N. A day cannot end at
24:00: use 23:59.
)"},
      {"holidays", R"(usage: termctl [ADDRESS] holidays [--format table|csv|json]
       termctl [ADDRESS] holidays set MMDDmmdd[MMDDmmdd...]
Lists the holidays (number, first and last day) or replaces them with up to
24 groups of eight digits: start month, start day, end month, end day.
)"},
      {"faces", R"(usage: termctl [ADDRESS] faces ID --save FILE
       termctl [ADDRESS] faces ID --load FILE
       termctl [ADDRESS] faces ID --delete
Saves all faces of the user with ID text ID to FILE (2576-byte face
records), writes the records of FILE to that user (on this or another
terminal of the same face algorithm), or deletes the user's faces.
)"},
      {"users", R"(usage: termctl [ADDRESS] users [--format table|csv|json]
       termctl [ADDRESS] users show PIN
       termctl [ADDRESS] users add PIN --name NAME [--privilege N] [--card N]
                                       [--pin-password TEXT] [--pin2 N] [--group N]
       termctl [ADDRESS] users delete PIN
Lists the users the terminal keeps, shows one, writes one or deletes one.
PIN is the terminal's internal user number. Colour-screen (TFT) terminals
name users by an ID text instead (1-24 characters): there PIN is that ID,
--name takes 24 characters and --pin-password 8, and --pin2 does not apply.
)"},
      {"logs", R"(usage: termctl [ADDRESS] logs [--format table|csv|json]
                   [--since DATE | --from DATE --to DATE | --new] [--clear --yes]
Downloads the attendance records. DATE is YYYY-MM-DD or "YYYY-MM-DD HH:MM:SS".
--since DATE       records from DATE on
--from/--to DATE   records between two moments (inclusive; --to defaults to now)
--new              only records not taken yet
--clear --yes      delete every record on the terminal after the download
)"},
      {"report", R"(usage: termctl [ADDRESS] report --type 1|2|3 --from DATE --to DATE --out FILE.html
                     [--id TEXT] [--label TEXT] [--keep DIR] [--utf8] [--verbose]
Reads the attendance rule, departments, time slots, users and records off a
colour-screen terminal and writes an attendance page (GB2312): type 1 the
punch list, 2 the exceptions, 3 the statistics.
--id TEXT      only the user with this ID text
--label TEXT   the punch list's caption (UTF-8; default 工号)
--keep DIR     keep the saved tables and the record files in DIR
--utf8         also write FILE.utf8.html in UTF-8
--verbose      show the library's diagnostic lines
Without an address: a built-in colour-screen terminal with a month of shifts
(May 2024).
)"},
      {"oplog", R"(usage: termctl [ADDRESS] oplog [--format table|csv|json]
Downloads the operation log (what administrators did on the terminal).
)"},
      {"events", R"(usage: termctl [ADDRESS] events [--count N] [--json]
Registers for the terminal's pushed events and prints one line per event
until interrupted (Ctrl-C), or after N events.
)"},
      {"sync", R"(usage: termctl sync [ADDRESS...] [--db URL] [--jobs N] [--clear-after --yes]
                    [--watch [--seconds N]] [--password N]
Downloads the attendance log, the users and the operation log of each
terminal and stores them in a database, one transaction per terminal; the
terminals are synced in parallel, one connection each. Punches are unique on
terminal, user, time and state: a repeated run adds nothing. After a run that
committed, only the records the terminal has not handed out yet are read
where it can tell; otherwise the whole log, skipping what is stored.
Without an address: the built-in simulator.
--db URL           sqlite:PATH (default sqlite:termkit.db) or
                   postgresql://[user[:password]@][host][:port]/database[?...]
--jobs N           terminals at the same time (1-256, default 4)
--clear-after --yes  delete each terminal's attendance log once its records
                   are committed (the terminal is disabled meanwhile, so no
                   punch falls in between); nothing is deleted when storing fails
--watch            then keep the connections open and store each punch the
                   terminals push as it arrives, until Ctrl-C (or --seconds N)
Tables: terminals, users, punches, oplog, sync_runs, schema_version.
Exit status: 0 all terminals synced, 1 any terminal or the database failed
(each is named on stderr; the others are synced all the same), 2 bad arguments.
)"},
      {"search", R"(usage: termctl search [--broadcast ADDR]
Finds terminals by a UDP broadcast (255.255.255.255 by default). Takes at
least 5 seconds.
)"},
      {"enable", "usage: termctl [ADDRESS] enable\nLets people use the terminal again.\n"},
      {"disable",
       "usage: termctl [ADDRESS] disable\nLocks the terminal's keypad and readers "
       "(\"working...\").\n"},
      {"restart", "usage: termctl [ADDRESS] restart\nRestarts the terminal.\n"},
      {"unlock",
       "usage: termctl [ADDRESS] unlock [--seconds N]\nOpens the door lock for N seconds "
       "(default 5).\n"},
      {"beep", "usage: termctl [ADDRESS] beep [--ms N]\nSounds the buzzer (default 200 ms).\n"},
  };
  const auto it = texts.find(command);
  return it == texts.end() ? nullptr : it->second;
}

}  // namespace termctl
