// The terminal's side of the command protocol: sessions, the comm
// password, options, device state and uploaded data. Thread-safe: the
// receive loop calls Handle while tests look at the state.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bulk/terminal.h"
#include "commands/attendance_table_commands.h"
#include "commands/control_commands.h"
#include "commands/device_info_commands.h"
#include "commands/access_commands.h"
#include "commands/extras_commands.h"
#include "commands/face_commands.h"
#include "commands/file_commands.h"
#include "commands/log_commands.h"
#include "store/option_store.h"
#include "links/peer.h"
#include "commands/reply.h"
#include "commands/session_table.h"
#include "commands/template_commands.h"
#include "events/terminal_events.h"
#include "termsim/simulator.h"
#include "commands/user_commands.h"
#include "wire/packet.h"

namespace termsim {

class TerminalModel {
 public:
  explicit TerminalModel(const Profile& profile);

  // The answer to a command packet (checksum already verified) from
  // `client`. A command repeated with the sequence number just answered in
  // its session gets that answer again without being carried out twice.
  // Answers fit the packet limit of the client's link.
  Reply Handle(const wire::PacketView& request, const Peer& client);
  // A packet of session `session_id` came from `client`: the session and
  // its event registration follow it there (a host that reconnected, or
  // moved). False when the terminal keeps no such session.
  bool Follow(uint16_t session_id, const Peer& client);
  // The largest packet this terminal sends on `link` now.
  size_t PacketLimitOn(Link link) const;

  std::string Option(const std::string& name) const;
  void SetOption(const std::string& name, const std::string& value);
  std::vector<uint8_t> LastStoredUpload() const;
  std::vector<uint8_t> LastUploadParameters() const;
  bool DeviceEnabled() const;
  size_t SessionCount() const;

  std::vector<ControlCommand> ControlCommands() const;
  void ClearControlCommands();
  int RestartCount() const;
  uint32_t ClockPacked() const;
  void SetClockPacked(uint32_t packed);
  uint32_t StorageWord(int word) const;
  void SetStorageWord(int word, uint32_t value);
  void SetPinWidth(int8_t width);
  void SetDeviceStatus(int32_t status);
  void SetDoorState(uint8_t state);
  void SetMachineState(uint16_t state);
  void SetCommandRefused(uint16_t code, bool refused);
  void SetCannedReply(uint16_t code, std::optional<std::vector<uint8_t>> payload);
  void SetCommandAnswer(uint16_t command, std::optional<CommandAnswer> answer);

  // Bulk data sets and their faults; locks for itself.
  BulkTerminal& bulk() { return bulk_; }
  // The attendance and operation logs; locks for itself.
  LogTerminal& logs() { return logs_; }
  // Event registrations and the real-time log; locks for itself.
  TerminalEvents& events() { return events_; }
  // The user table and the user commands; locks for itself.
  UserCommands& users() { return users_; }
  // The fingerprint templates and their commands; locks for itself.
  TemplateCommands& templates() { return templates_; }
  // The attendance rule, departments and time slots; locks for itself.
  AttendanceTableCommands& attendance_tables() { return attendance_tables_; }
  // Work codes, short keys, bells and the other small tables; locks for itself.
  ExtrasCommands& extras() { return extras_; }
  // Faces and validity periods; locks for itself.
  FaceCommands& faces() { return faces_; }
  // Time zones, holidays, locks, messages and cards; locks for itself.
  AccessCommands& access() { return access_; }
  // Files, firmware, backups, photos and pictures; locks for itself.
  FileCommands& files() { return files_; }
  // The answer to command 1100 (a firmware upload may change it).
  std::string Firmware() const;

 private:
  Reply Connect(const wire::PacketView& request, const Peer& client);
  // Fills code and payload of the answer to one command of `session`, at
  // most `max_payload` bytes of payload in one packet.
  void Execute(Session& session, const wire::PacketView& request, size_t max_payload,
               Reply& reply);
  size_t PacketLimitLocked(Link link) const;
  void Authenticate(Session& session, std::span<const uint8_t> payload, Reply& reply);
  void ReadOption(std::span<const uint8_t> payload, Reply& reply) const;
  void WriteOption(std::span<const uint8_t> payload, Reply& reply);
  // Firmware that lacks a command, or a command the terminal turns down:
  // true when `reply` holds that answer.
  bool AnswerUnsupported(uint16_t code, Reply& reply) const;
  void PrepareUpload(Session& session, std::span<const uint8_t> payload, Reply& reply);
  void TakeUpload(Session& session, std::span<const uint8_t> payload, Reply& reply);
  void ApplyBatch(Session& session, std::span<const uint8_t> payload, Reply& reply);
  void ApplyRestore(BackupContent content);

  mutable std::mutex mu_;
  std::string firmware_;  // a firmware upload may replace it
  const uint32_t comm_password_;
  const uint32_t max_packet_;  // the profile's TCP packet limit, 0: by platform
  const UserRecordLayout user_layout_;  // how batch packages carry users
  const bool batch_ops_by_id_text_;
  OptionStore options_;
  SessionTable sessions_;
  const ProbeAnswer probe_answer_;
  const std::set<uint16_t> unknown_commands_;
  std::set<uint16_t> refused_commands_;
  std::map<uint16_t, std::vector<uint8_t>> canned_replies_;
  std::map<uint16_t, CommandAnswer> forced_answers_;
  DeviceInfo info_;
  DeviceControl control_;
  BulkTerminal bulk_;
  LogTerminal logs_;
  TerminalEvents events_;
  UserCommands users_;
  TemplateCommands templates_;
  AttendanceTableCommands attendance_tables_;
  ExtrasCommands extras_;
  FaceCommands faces_;
  AccessCommands access_;
  FileCommands files_;
  std::vector<uint8_t> stored_upload_;
  std::vector<uint8_t> upload_parameters_;
};

}  // namespace termsim
