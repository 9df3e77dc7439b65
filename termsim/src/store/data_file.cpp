// Data files: a terminal's options, users, logs and templates in one
// sectioned file.
#include "termsim/data_file.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <charconv>
#include <map>
#include <fstream>
#include <string_view>

#include "store/access_lines.h"
#include "store/extras_lines.h"
#include "store/storage_counts.h"

namespace termsim {

namespace {

enum class Section {
  kNone, kOptions, kUsers, kAttendance, kOpLog, kTemplates, kRule, kDepartments, kSlots, kExtras,
  kAccess,
  kFiles,
  kPhotos
};

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
  if (name == "attrule") return Section::kRule;
  if (name == "departments") return Section::kDepartments;
  if (name == "timeslots") return Section::kSlots;
  if (name == "files") return Section::kFiles;
  if (name == "photos") return Section::kPhotos;
  if (IsExtrasSection(name)) return Section::kExtras;
  if (IsAccessSection(name)) return Section::kAccess;
  return std::nullopt;
}

// Tab-separated key=value fields.
std::map<std::string, std::string> Fields(std::string_view line) {
  std::map<std::string, std::string> fields;
  while (!line.empty()) {
    const size_t tab = line.find('\t');
    const std::string_view field = line.substr(0, tab);
    const size_t eq = field.find('=');
    if (eq != std::string_view::npos) {
      fields[std::string(Trim(field.substr(0, eq)))] = std::string(field.substr(eq + 1));
    }
    if (tab == std::string_view::npos) break;
    line.remove_prefix(tab + 1);
  }
  return fields;
}

template <typename T>
bool Number(const std::string& text, T max, T* out) {
  unsigned long v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v > max) return false;
  *out = static_cast<T>(v);
  return true;
}

bool ClockField(const std::string& text, uint8_t* hour, uint8_t* minute) {
  const size_t colon = text.find(':');
  return colon != std::string::npos && Number<uint8_t>(text.substr(0, colon), 255, hour) &&
         Number<uint8_t>(text.substr(colon + 1), 255, minute);
}

bool ParseDepartment(std::string_view line, Department* d) {
  auto f = Fields(line);
  if (!Number<uint8_t>(f["number"], 255, &d->number) || f["name"].size() > 32) return false;
  d->name = f["name"];
  return true;
}

bool ParseTimeSlot(std::string_view line, TimeSlot* s) {
  auto f = Fields(line);
  if (!Number<uint16_t>(f["number"], 65535, &s->number) || f["name"].size() > 10) return false;
  s->name = f["name"];
  return ClockField(f["start"], &s->start_hour, &s->start_minute) &&
         ClockField(f["end"], &s->end_hour, &s->end_minute);
}

// The bytes of a file named in a data file, relative to its directory.
bool FileBytes(const std::string& data_path, const std::string& named,
               std::vector<uint8_t>* out) {
  std::string path = named;
  const size_t slash = data_path.rfind('/');
  if (!named.empty() && named.front() != '/' && slash != std::string::npos) {
    path = data_path.substr(0, slash + 1) + named;
  }
  std::ifstream in(path, std::ios::binary);
  if (named.empty() || !in) return false;
  out->assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
}

bool ParsePhoto(const std::string& data_path, std::string_view line, Photo* p) {
  auto f = Fields(line);
  DateTime t;
  char tail = 0;
  if (std::sscanf(f["time"].c_str(), "%d-%d-%d %d:%d:%d%c", &t.year, &t.month, &t.day, &t.hour,
                  &t.minute, &t.second, &tail) != 6) {
    return false;
  }
  p->name = f["name"];
  p->time = PackTime(t);
  return !p->name.empty() && Number<uint32_t>(f["selector"], UINT32_MAX, &p->selector) &&
         FileBytes(data_path, f["path"], &p->bytes);
}

}  // namespace

bool ReadDataFile(const std::string& path, TerminalData* data, std::string* error) {
  std::ifstream in(path);
  if (!in) return Fail(error, path + ": cannot be read");
  TerminalData read;
  Section section = Section::kNone;
  std::string extras_section;
  std::string access_section;
  AccessLines access;
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
                               " (options, users, attendance, oplog, templates, attrule,"
                               " departments, timeslots, workcodes, shortkeys, bells,"
                               " tipcodes, laborgroups, laborcodes, attstates, voices,"
                               " statemap, faces, timezones, groups, holidays, locks,"
                               " messages, files, photos)");
      }
      section = *named;
      // A section given, even empty, replaces what the terminal held.
      if (section == Section::kUsers && !read.users) read.users.emplace();
      if (section == Section::kAttendance && !read.attendance) read.attendance.emplace();
      if (section == Section::kOpLog && !read.operations) read.operations.emplace();
      if (section == Section::kTemplates && !read.templates) read.templates.emplace();
      if (section == Section::kRule && !read.rule) read.rule.emplace();
      if (section == Section::kDepartments && !read.departments) read.departments.emplace();
      if (section == Section::kSlots && !read.slots) read.slots.emplace();
      if (section == Section::kFiles && !read.files) read.files.emplace();
      if (section == Section::kPhotos && !read.photos) read.photos.emplace();
      if (section == Section::kExtras) {
        extras_section = std::string(text.substr(1, text.size() - 2));
        if (!read.extras) read.extras.emplace();
        read.extras_sections.insert(extras_section);
      }
      if (section == Section::kAccess) {
        access_section = std::string(text.substr(1, text.size() - 2));
        read.access_sections.insert(access_section);
      }
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
      case Section::kRule: {
        const size_t eq = text.find('=');
        if (eq == std::string_view::npos ||
            !SetRuleField(std::string(Trim(text.substr(0, eq))),
                          std::string(Trim(text.substr(eq + 1))), &*read.rule)) {
          return Fail(error, where + "bad rule field \"" + std::string(text) + "\"");
        }
        break;
      }
      case Section::kDepartments:
        if (!ParseDepartment(line, &read.departments->emplace_back())) {
          return Fail(error, where + "want number=N<TAB>name=TEXT");
        }
        break;
      case Section::kSlots:
        if (!ParseTimeSlot(line, &read.slots->emplace_back())) {
          return Fail(error, where + "want number=N<TAB>name=TEXT<TAB>start=HH:MM<TAB>end=HH:MM");
        }
        break;
      case Section::kExtras: {
        std::string reason;
        if (!ParseExtrasLine(extras_section, line, &*read.extras, &reason)) {
          return Fail(error, where + reason);
        }
        break;
      }
      case Section::kAccess: {
        std::string reason;
        if (!ParseAccessLine(access_section, line, &access, &reason)) {
          return Fail(error, where + reason);
        }
        break;
      }
      case Section::kFiles: {
        auto f = Fields(line);
        if (f["name"].empty() || !FileBytes(path, f["path"], &(*read.files)[f["name"]])) {
          return Fail(error, where + "want name=NAME<TAB>path=PATH of a readable file");
        }
        break;
      }
      case Section::kPhotos:
        if (!ParsePhoto(path, line, &read.photos->emplace_back())) {
          return Fail(error, where +
                                 "want name=NAME<TAB>time=YYYY-MM-DD hh:mm:ss<TAB>selector=N"
                                 "<TAB>path=PATH of a readable file");
        }
        break;
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
  if (read.access_sections.contains("faces")) read.faces = std::move(access.faces);
  if (!read.access_sections.empty()) read.access = std::move(access.data);

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
  if (data.rule || data.departments || data.slots) {
    AttendanceTables tables;
    if (data.rule) tables.rule = EncodeRule(*data.rule);
    if (data.departments) tables.departments = EncodeDepartments(*data.departments);
    if (data.slots) tables.slots = EncodeTimeSlots(*data.slots);
    sim.SetAttendanceTables(std::move(tables));
  }
  if (data.extras) {
    // Each section given replaces its own table only.
    ExtrasData extras = sim.Extras();
    for (const std::string& name : data.extras_sections) {
      TakeExtrasSection(name, *data.extras, &extras);
    }
    sim.SetExtras(std::move(extras));
  }
  if (data.faces) sim.SetFaces(*data.faces);
  if (data.access) {
    // Each section given replaces its own data only.
    AccessData access = sim.GetAccessData();
    for (const std::string& name : data.access_sections) {
      TakeAccessSection(name, *data.access, &access);
    }
    sim.SetAccessData(std::move(access));
  }
  if (data.files || data.photos) {
    FilesData files = sim.Files();
    if (data.files) files.files = *data.files;
    if (data.photos) files.photos = *data.photos;
    sim.SetFiles(std::move(files));
  }
  if (data.templates) {
    sim.SetTemplates(*data.templates);
    SetStoredTemplates(sim, static_cast<uint32_t>(sim.Templates().size()));
  }
}

}  // namespace termsim
