// termctl files, photos, backup and restore: whole files to and from the
// terminal.
#include <climits>
#include <cstdint>
#include <span>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "moment.h"
#include "platform/host_file.h"
#include "terminal_io.h"

namespace termctl {

namespace {

constexpr size_t kPhotoBuffer = 184320;

// The directory text as the library joins it: with its separator.
std::string DirectoryWord(std::string dir) {
  if (dir.empty()) dir = ".";
  if (dir.back() != '/') dir += '/';
  return dir;
}

int Result(const Context& ctx, const char* call, int32_t r) {
  return r == 1 ? kOk : Fail(ctx, call, r);
}

}  // namespace

int CmdFiles(Context& ctx) {
  const auto& w = ctx.inv.words;
  constexpr const char* kForms = "expected 'get NAME [DIR]' or 'put FILE [--kind N]'";
  if (w.size() >= 2 && w.size() <= 3 && w[0] == "get") {
    if (ctx.inv.Has("kind")) return Usage("files", "--kind goes with put");
    const std::string dir = DirectoryWord(w.size() == 3 ? w[2] : ".");
    ProgressNote note("reading " + w[1]);
    const int32_t r = Q_ReadFile(ctx.handle, w[1].c_str(), dir.c_str());
    note.Done();
    if (r == 4) return Usage("files", "'" + w[1] + "' is not a plain file name");
    return Result(ctx, "Q_ReadFile", r);
  }
  if (w.size() == 2 && w[0] == "put") {
    ProgressNote note("sending " + w[1]);
    int32_t r = 0;
    const char* call = "Q_SendFile";
    if (ctx.inv.Has("kind")) {
      const auto kind = ParseInt(ctx.inv.Get("kind"));
      if (!kind || *kind < INT32_MIN || *kind > INT32_MAX) {
        note.Done();
        return Usage("files", "bad --kind '" + ctx.inv.Get("kind") + "'");
      }
      call = "Q_SendFileByType";
      r = Q_SendFileByType(ctx.handle, w[1].c_str(), static_cast<int32_t>(*kind));
    } else {
      r = Q_SendFile(ctx.handle, w[1].c_str());
    }
    note.Done();
    if (r == 4) return Usage("files", "'" + w[1] + "' cannot be sent (too large or no file name)");
    return Result(ctx, call, r);
  }
  return Usage("files", kForms);
}

int CmdPhotos(Context& ctx) {
  const auto& w = ctx.inv.words;
  if (w.size() == 1 && w[0] == "list") {
    const auto from = ParseMoment(ctx.inv.Get("from", "2000-01-01"));
    const auto to = ParseMoment(ctx.inv.Get("to", "2099-12-31"), true);
    const auto selector = ParseInt(ctx.inv.Get("selector", "0"));
    if (!from || !to) return Usage("photos", "bad --from or --to (YYYY-MM-DD [HH:MM[:SS]])");
    if (!selector || *selector < INT32_MIN || *selector > INT32_MAX) {
      return Usage("photos", "bad --selector");
    }
    std::vector<char> names(kPhotoBuffer);
    ProgressNote note("listing photos");
    const int32_t r = Q_GetPhotoNamesByTime(
        ctx.handle, from->year - 2000, from->month, from->day, from->hour, from->minute,
        from->second, to->year - 2000, to->month, to->day, to->hour, to->minute, to->second,
        static_cast<int32_t>(*selector), names.data());
    note.Done();
    if (r == 4) return Usage("photos", "dates from 2000 to 2099");
    if (r != 1) return Fail(ctx, "Q_GetPhotoNamesByTime", r);
    std::fputs(names.data(), stdout);
    return kOk;
  }
  if (w.size() >= 2 && w[0] == "get") {
    const std::string dir = DirectoryWord(ctx.inv.Get("dir", "."));
    std::vector<uint8_t> photo(kPhotoBuffer);
    for (size_t i = 1; i < w.size(); ++i) {
      // The name becomes a file name: nothing outside the directory.
      if (w[i].empty() || w[i].find('/') != std::string::npos || w[i] == "." || w[i] == "..") {
        return Usage("photos", "'" + w[i] + "' is not a plain file name");
      }
      int32_t length = static_cast<int32_t>(photo.size());
      const int32_t r = Q_GetPhotoByName(ctx.handle, w[i].c_str(), photo.data(), &length);
      if (r != 1) return Fail(ctx, "Q_GetPhotoByName", r);
      if (!platform::WriteFileAtomically(dir + w[i],
                                         std::span(photo.data(), static_cast<size_t>(length)))) {
        std::fprintf(stderr, "termctl: cannot write %s%s\n", dir.c_str(), w[i].c_str());
        return kFailed;
      }
    }
    return kOk;
  }
  return Usage("photos", "expected 'list [--from DATE] [--to DATE] [--selector N]' or "
                         "'get NAME... [--dir DIR]'");
}

int CmdBackup(Context& ctx) {
  if (ctx.inv.words.size() != 1) return Usage("backup", "expected one FILE");
  ProgressNote note("backing up the terminal");
  const int32_t r = Q_BackupData(ctx.handle, ctx.inv.words[0].c_str());
  note.Done();
  if (r == 0) {
    std::fprintf(stderr, "termctl: the terminal has nothing to back up\n");
    return kFailed;
  }
  return Result(ctx, "Q_BackupData", r);
}

int CmdRestore(Context& ctx) {
  if (ctx.inv.words.size() != 1) return Usage("restore", "expected one FILE");
  if (!ctx.inv.Has("yes")) {
    return Usage("restore", "a restore wipes the terminal's data first: add --yes to confirm");
  }
  ProgressNote note("restoring the terminal");
  const int32_t r = Q_RestoreData(ctx.handle, ctx.inv.words[0].c_str());
  note.Done();
  if (r == 4) return Usage("restore", "'" + ctx.inv.words[0] + "' is not a backup file");
  return Result(ctx, "Q_RestoreData", r);
}

}  // namespace termctl
