// Data files: a terminal's options, users, logs and templates in one
// sectioned file.
#include "termsim/data_file.h"

#include <cctype>
#include <fstream>
#include <string_view>

#include "store/storage_counts.h"

namespace termsim {

namespace {

enum class Section { kNone, kOptions, kUsers, kAttendance, kOpLog, kTemplates };

bool Fail(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
  return false;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

std::optional<Section> SectionNamed(std::string_view name) {
  if (name == "options") return Section::kOptions;
  if (name == "users") return Section::kUsers;
  if (name == "attendance") return Section::kAttendance;
  if (name == "oplog") return Section::kOpLog;
  if (name == "templates") return Section::kTemplates;
  return std::nullopt;
}

}  // namespace

bool ReadDataFile(const std::string& path, TerminalData* data, std::string* error) {
  std::ifstream in(path);
  if (!in) return Fail(error, path + ": cannot be read");
  TerminalData read;
  Section section = Section::kNone;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == '#') continue;
    const std::string where = path + ":" + std::to_string(number) + ": ";
    if (text.front() == '[') {
      const auto named =
          text.back() == ']' ? SectionNamed(text.substr(1, text.size() - 2)) : std::nullopt;
      if (!named) {
        return Fail(error, where + "unknown section " + std::string(text) +
                               " (options, users, attendance, oplog, templates)");
      }
      section = *named;
      // A section given, even empty, replaces what the terminal held.
      if (section == Section::kUsers && !read.users) read.users.emplace();
      if (section == Section::kAttendance && !read.attendance) read.attendance.emplace();
      if (section == Section::kOpLog && !read.operations) read.operations.emplace();
      if (section == Section::kTemplates && !read.templates) read.templates.emplace();
      continue;
    }
    switch (section) {
      case Section::kNone:
        return Fail(error, where + "a line before the first [section]");
      case Section::kOptions: {
        const size_t eq = text.find('=');
        const std::string_view name = Trim(text.substr(0, eq));
        if (eq == std::string_view::npos || name.empty()) {
          return Fail(error, where + "want NAME=VALUE, got \"" + std::string(text) + "\"");
        }
        read.options.emplace_back(std::string(name), std::string(Trim(text.substr(eq + 1))));
        break;
      }
      case Section::kUsers: {
        std::string reason;
        if (!ParseUserLine(line, &read.users->emplace_back(), &reason)) {
          return Fail(error, where + reason);
        }
        break;
      }
      case Section::kAttendance:
      case Section::kOpLog: {
        // The lines of a log file without their record kind.
        const bool att = section == Section::kAttendance;
        LogData record;
        if (!ParseLogLine((att ? "att," : "op,") + std::string(text), &record)) {
          return Fail(error, where + "bad record");
        }
        if (att) read.attendance->push_back(record.attendance.front());
        if (!att) read.operations->push_back(record.operations.front());
        break;
      }
      case Section::kTemplates: {
        std::string reason;
        if (!ParseTemplateLine(line, &read.templates->emplace_back(), &reason)) {
          return Fail(error, where + reason);
        }
        break;
      }
    }
  }
  if (in.bad()) return Fail(error, path + ": read failed");

  *data = std::move(read);
  return true;
}

void ApplyDataOptions(const TerminalData& data, Profile* profile) {
  for (const auto& [name, value] : data.options) profile->options[name] = value;
}

void ApplyData(const TerminalData& data, Simulator& sim) {
  if (data.users) {
    sim.SetUsers(*data.users);
    // Counted after the table took them: a later line replaces an earlier
    // one with the same PIN.
    SetStoredUsers(sim, static_cast<uint32_t>(sim.Users().size()));
  }
  if (data.attendance) {
    SetStoredRecords(sim, static_cast<uint32_t>(data.attendance->size()));
    sim.SetAttendanceLog(*data.attendance);
  }
  if (data.operations) {
    SetStoredOperations(sim, static_cast<uint32_t>(data.operations->size()));
    sim.SetOpLog(*data.operations);
  }
  if (data.templates) {
    sim.SetTemplates(*data.templates);
    SetStoredTemplates(sim, static_cast<uint32_t>(sim.Templates().size()));
  }
}

}  // namespace termsim
