// The terminal's side of its small tables (termsim/extras.h): work codes in
// three forms, short keys, custom states and voices, bells, tip and labor
// codes and the attendance-state map. Tables read in bulk (86, 2226, 2228,
// 10017) are handed to the bulk side as {u32 byte count, records}.
// Thread-safe.
#pragma once

#include <mutex>

#include "bulk/terminal.h"
#include "commands/reply.h"
#include "termsim/extras.h"
#include "wire/packet.h"

namespace termsim {

class ExtrasCommands {
 public:
  // `wide_keys`: firmware from "Ver 6.60", whose short keys are 44 bytes
  // (32 below).
  explicit ExtrasCommands(bool wide_keys) : wide_keys_(wide_keys) {}

  void Set(ExtrasData data);
  ExtrasData Data() const;
  // Clear-data kinds 9 (plain work codes) and 17 (text-form work codes).
  void DataCleared(int kind);

  // True when `reply` holds the answer; false when the command is not an
  // extras command, or when a table's data set was put in place for the
  // bulk side to answer.
  bool Answer(const wire::PacketView& request, BulkTerminal& bulk, Reply& reply);

 private:
  void SetWorkCode(std::span<const uint8_t> data, Reply& reply);
  void GetWorkCode(std::span<const uint8_t> data, Reply& reply) const;
  void DeleteWorkCode(std::span<const uint8_t> data, Reply& reply);
  void SetWorkCodeEx(std::span<const uint8_t> data, Reply& reply);
  void GetWorkCodeEx(uint16_t command, std::span<const uint8_t> data, Reply& reply) const;
  void DeleteWorkCodeEx(std::span<const uint8_t> data, Reply& reply);
  void StatesAndVoices(uint16_t command, std::span<const uint8_t> data, Reply& reply);
  void SetShortKey(std::span<const uint8_t> data, Reply& reply);
  void SetNewShortKey(std::span<const uint8_t> data, Reply& reply);
  bool Bells(uint16_t command, std::span<const uint8_t> data, Reply& reply);
  void TipAndLabor(uint16_t command, std::span<const uint8_t> data, Reply& reply);
  void SetStateMap(std::span<const uint8_t> data, Reply& reply);
  // The counted records of a bulk table.
  std::vector<uint8_t> Table(uint16_t command) const;

  const bool wide_keys_;
  mutable std::mutex mu_;
  ExtrasData data_;
};

}  // namespace termsim
