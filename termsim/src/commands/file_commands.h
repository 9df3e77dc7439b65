// The terminal's side of files and images (termsim/files.h): what command
// 110 does with uploaded data by its kind, language texts, file reads, the
// update header, the backup map and blocks, the sensor image, attendance
// photos, user photos, themes and pictures. Reads hand their data to the
// bulk side. Thread-safe.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "bulk/terminal.h"
#include "bulk/upload_buffer.h"
#include "commands/reply.h"
#include "store/backup_image.h"
#include "termsim/files.h"
#include "wire/packet.h"

namespace termsim {

class FileCommands {
 public:
  struct Context {
    BulkTerminal& bulk;
    const UploadBuffer& upload;
    // The users, templates and logs a backup carries, as they are now.
    std::function<BackupContent()> snapshot;
  };

  void Set(FilesData data);
  FilesData Data() const;
  void SetBackup(BackupSettings settings);

  // True when `reply` holds the answer; false when the command is not a
  // file command, or when its data was put in place for the bulk side.
  bool Answer(const wire::PacketView& request, const Context& context, Reply& reply);

  // Command 110 with the data uploaded before it.
  struct Taken {
    bool ok = false;
    std::optional<std::string> firmware;   // a new version text for later connections
    std::optional<BackupContent> restore;  // a restore image to apply
  };
  Taken TakeUpload(std::span<const uint8_t> params, const std::vector<uint8_t>& data);

 private:
  void BlockMap(const Context& context, Reply& reply);
  void Upload(std::map<std::string, std::vector<uint8_t>>& store, std::span<const uint8_t> params,
              const UploadBuffer& upload, Reply& reply);
  // Serves `bytes` for the request (a streamed read), or refuses when there
  // are none.
  bool Serve(const wire::PacketView& request, const std::vector<uint8_t>* bytes,
             BulkTerminal& bulk, Reply& reply);

  mutable std::mutex mu_;
  FilesData data_;
  BackupSettings backup_;
};

}  // namespace termsim
