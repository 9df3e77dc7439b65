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

#include "bulk_terminal.h"
#include "control_commands.h"
#include "device_info_commands.h"
#include "log_commands.h"
#include "option_store.h"
#include "platform/socket.h"
#include "reply.h"
#include "session_table.h"
#include "template_commands.h"
#include "terminal_events.h"
#include "termsim/simulator.h"
#include "user_commands.h"
#include "wire/packet.h"

namespace termsim {

class TerminalModel {
 public:
  explicit TerminalModel(const Profile& profile);

  // The answer to a command packet (checksum already verified) from
  // `client`. A command repeated with the sequence number just answered in
  // its session gets that answer again without being carried out twice.
  Reply Handle(const wire::PacketView& request, const platform::net::SockAddrV4& client);

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

 private:
  Reply Connect(const wire::PacketView& request, const platform::net::SockAddrV4& client);
  // Fills code and payload of the answer to one command of `session`.
  void Execute(Session& session, const wire::PacketView& request, Reply& reply);
  void Authenticate(Session& session, std::span<const uint8_t> payload, Reply& reply);
  void ReadOption(std::span<const uint8_t> payload, Reply& reply) const;
  void WriteOption(std::span<const uint8_t> payload, Reply& reply);
  // Firmware that lacks a command, or a command the terminal turns down:
  // true when `reply` holds that answer.
  bool AnswerUnsupported(uint16_t code, Reply& reply) const;
  void PrepareUpload(Session& session, std::span<const uint8_t> payload, Reply& reply);
  void TakeUpload(Session& session, std::span<const uint8_t> payload, Reply& reply);

  mutable std::mutex mu_;
  const std::string firmware_;
  const uint32_t comm_password_;
  OptionStore options_;
  SessionTable sessions_;
  const ProbeAnswer probe_answer_;
  const std::set<uint16_t> unknown_commands_;
  std::set<uint16_t> refused_commands_;
  std::map<uint16_t, std::vector<uint8_t>> canned_replies_;
  DeviceInfo info_;
  DeviceControl control_;
  BulkTerminal bulk_;
  LogTerminal logs_;
  TerminalEvents events_;
  UserCommands users_;
  TemplateCommands templates_;
  std::vector<uint8_t> stored_upload_;
  std::vector<uint8_t> upload_parameters_;
};

}  // namespace termsim
