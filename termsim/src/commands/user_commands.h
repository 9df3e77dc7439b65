// The terminal's user commands: the user table download, user writes and
// deletions, clearing data, groups, time zones, verification styles and
// identity-card data. Thread-safe: the receive loop calls Handle while tests
// look at or replace the table.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "bulk/terminal.h"
#include "commands/batch_package.h"
#include "commands/reply.h"
#include "termsim/simulator.h"
#include "store/user_table.h"

namespace termsim {

class UserCommands {
 public:
  explicit UserCommands(const Profile& profile);

  // True when `code` is a user command; `reply` then holds the answer. A
  // buffered read of the user table is answered CMD_ACK_ERROR while the
  // table is empty; otherwise the current table is handed to `bulk`, which
  // serves the read (the result is then false).
  bool Handle(uint16_t code, std::span<const uint8_t> data, BulkTerminal& bulk, Reply& reply);

  void SetUsers(std::vector<User> users);
  std::vector<User> Users() const;
  std::optional<User> FindUser(uint16_t pin) const;
  std::vector<uint8_t> TableBytes() const;
  std::vector<int> ClearedKinds() const;

  // Data kept beside the table goes with it: `user_removed` runs for every
  // user a deletion removes, `data_cleared` for every clear-data kind. Both
  // run under this table's lock and must not call back into it.
  struct Listeners {
    std::function<void(uint16_t pin)> user_removed;
    std::function<void(int kind)> data_cleared;
  };
  void SetListeners(Listeners listeners);
  // A checked batch package's user changes, in order: writes insert or
  // replace, deletions remove the user (absent ones are skipped).
  void ApplyBatch(std::span<const BatchUserChange> changes);
  // The PIN of the user known by `text` (see KnownAs).
  std::optional<uint16_t> PinOfText(std::string_view text);

 private:
  bool AnswerTableQuery(std::span<const uint8_t> query, BulkTerminal& bulk, Reply& reply);
  void Delete(std::span<const uint8_t> data, Reply& reply);
  void DeleteByText(std::span<const uint8_t> data, Reply& reply);
  void ClearData(std::span<const uint8_t> data, Reply& reply);
  void ClearAdministrators(Reply& reply);
  void GetGroup(std::span<const uint8_t> data, Reply& reply);
  void SetGroup(std::span<const uint8_t> data, Reply& reply);
  void GetTimeZones(std::span<const uint8_t> data, Reply& reply);
  void SetTimeZones(std::span<const uint8_t> data, Reply& reply);
  void SetVerifyStyle(std::span<const uint8_t> data, Reply& reply);
  void GetVerifyStyle(std::span<const uint8_t> data, Reply& reply);
  void DeleteVerifyStyle(std::span<const uint8_t> data, Reply& reply);
  void SetIdCard(std::span<const uint8_t> data, Reply& reply);
  void GetIdCard(std::span<const uint8_t> data, Reply& reply);
  void DeleteIdCard(std::span<const uint8_t> data, Reply& reply);

  mutable std::mutex mu_;
  const UserRecordLayout layout_;
  UserTable table_;
  std::vector<int> cleared_;
  Listeners listeners_;
};

}  // namespace termsim
