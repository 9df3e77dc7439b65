// A data file: one terminal's content in one text file, in sections.
//
//   # comment lines and blank lines are skipped everywhere
//   [options]       NAME=VALUE, one option per line
//   [users]         one user per line, as in a user file (LoadUsers)
//   [attendance]    USER,USER_ID,VERIFY,STATE,YYYY-MM-DD hh:mm:ss[,...]
//   [oplog]         ADMIN,ADMIN_ID,OPERATION,YYYY-MM-DD hh:mm:ss[,...]
//   [templates]     one fingerprint template per line, as in a template
//                   file (ParseTemplateLine)
//   [attrule]       NAME=VALUE, the attendance rule by field (SetRuleField)
//   [departments]   number=N<TAB>name=TEXT
//   [timeslots]     number=N<TAB>name=TEXT<TAB>start=HH:MM<TAB>end=HH:MM
//                   (hours up to 255)
//   [workcodes] [shortkeys] [bells] [tipcodes] [laborgroups] [laborcodes]
//   [attstates] [voices] [statemap]
//                   the terminal's small tables, tab-separated key=value
//                   fields (see termsim --help and the README)
//   [faces] [timezones] [groups] [holidays] [locks] [messages]
//                   faces and access-control data, tab-separated key=value
//                   fields (see termsim --help and the README)
//   [files]         name=NAME<TAB>path=PATH: a file command 1702 reads
//   [photos]        name=NAME<TAB>time=YYYY-MM-DD hh:mm:ss<TAB>selector=N
//                   <TAB>path=PATH: an attendance photo
//
// Relative paths are taken from the data file's directory.
// The attendance and oplog lines are the lines of a log file (LoadLogFile)
// without their leading "att," or "op,". A section may be left out; a
// section given, even empty, replaces what the terminal held.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "termsim/access.h"
#include "termsim/attendance.h"
#include "termsim/extras.h"
#include "termsim/files.h"
#include "termsim/logs.h"
#include "termsim/simulator.h"
#include "termsim/templates.h"

namespace termsim {

struct TerminalData {
  std::vector<std::pair<std::string, std::string>> options;  // in file order
  std::optional<std::vector<User>> users;
  std::optional<std::vector<AttendanceRecord>> attendance;
  std::optional<std::vector<OpLogRecord>> operations;
  std::optional<std::vector<FingerTemplate>> templates;
  std::optional<AttendanceRuleFields> rule;
  std::optional<std::vector<Department>> departments;
  std::optional<std::vector<TimeSlot>> slots;
  // The extras tables, and which of their sections the file gave.
  std::optional<ExtrasData> extras;
  std::set<std::string> extras_sections;
  // Faces and access-control data, and which of their sections were given.
  std::optional<std::vector<Face>> faces;
  std::optional<AccessData> access;
  std::set<std::string> access_sections;
  // Files and attendance photos ([files], [photos]).
  std::optional<std::map<std::string, std::vector<uint8_t>>> files;
  std::optional<std::vector<Photo>> photos;
};

// Reads a data file. False with "FILE:LINE: reason" (or "FILE: reason") in
// `error`.
bool ReadDataFile(const std::string& path, TerminalData* data, std::string* error);

// Puts the file's options into a profile. Options decide record layouts, so
// they belong in the profile the simulator is made with.
void ApplyDataOptions(const TerminalData& data, Profile* profile);

// Gives the simulator the file's users, logs and templates, and the storage counters
// that report them.
void ApplyData(const TerminalData& data, Simulator& sim);

}  // namespace termsim
