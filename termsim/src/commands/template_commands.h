// The terminal's fingerprint template commands (see termsim/templates.h):
// downloads handed to the bulk side, single-template reads, writes,
// deletions and the identify test. Thread-safe: the model calls it from the
// receive loop while tests look at or replace the store.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "bulk/terminal.h"
#include "commands/batch_package.h"
#include "store/option_store.h"
#include "commands/reply.h"
#include "store/template_store.h"
#include "termsim/simulator.h"
#include "bulk/upload_buffer.h"
#include "wire/packet.h"

namespace termsim {

class TemplateCommands {
 public:
  explicit TemplateCommands(const Profile& profile);

  // What the terminal around the templates offers them.
  struct Context {
    BulkTerminal& bulk;
    const OptionStore& options;  // "~QXFPVersion" decides how command 9 answers
    const UploadBuffer& upload;  // the conversation's upload, for version-10 writes
    // True (with the answer in the reply) when the firmware lacks or refuses
    // a command; for the command a buffered read names.
    std::function<bool(uint16_t, Reply&)> unsupported;
    // The PIN of the user known by an ID text; nullopt when there is none.
    // Called before the template lock is taken.
    std::function<std::optional<uint16_t>(std::string_view)> pin_of_text;
    // The most payload one packet carries on the link the command came by:
    // a template beyond it streams.
    size_t max_payload = kMaxPayload;
  };

  // True when `reply` holds the whole answer to a template command; false
  // when the request is none, or when the data it asks for was handed to
  // the bulk side, which then answers. The store is in use from the first
  // SetTemplates or template written on; until then the downloads (6, 7,
  // 2017) are left to the plain bulk data sets.
  bool Answer(const wire::PacketView& request, const Context& context, Reply& reply);

  void SetTemplates(std::vector<FingerTemplate> templates);
  std::vector<FingerTemplate> Templates() const;
  std::optional<FingerTemplate> Find(uint16_t pin, uint8_t finger) const;
  std::vector<uint8_t> TableBytes() const;
  void SetIdentifyAnswer(std::optional<uint16_t> pin);
  // Forces command 9 or 88 to stream (true) or answer inline (false);
  // nullopt: as the terminal's template version implies.
  void SetReadStreamed(uint16_t command, std::optional<bool> streamed);

  // A checked batch package's template operations, in order, each for the
  // PIN beside it (nullopt: an ID text nobody has, skipped).
  void ApplyBatch(std::span<const BatchTemplateChange> changes,
                  std::span<const std::optional<uint16_t>> pins);
  // A user was deleted: its templates go too.
  void UserRemoved(uint16_t pin);
  // Clear-data of `kind`: kind 2 (templates) and 0 (everything) empty the
  // store.
  void DataCleared(int kind);

 private:
  bool Download(uint16_t command, std::span<const uint8_t> request, bool query,
                const Context& context, Reply& reply);
  bool Read(uint16_t command, std::span<const uint8_t> request, const Context& context,
            Reply& reply);
  void Write(uint16_t command, std::span<const uint8_t> request, const UploadBuffer& upload,
             std::optional<uint16_t> text_pin, Reply& reply);
  void Append(std::span<const uint8_t> request, Reply& reply);
  void Delete(std::span<const uint8_t> request, Reply& reply);
  void DeleteByText(std::span<const uint8_t> request, std::optional<uint16_t> text_pin,
                    Reply& reply);
  void Identify(std::span<const uint8_t> request, Reply& reply) const;
  void Store(FingerTemplate t, Reply& reply);

  mutable std::mutex mu_;
  const bool piecewise_;
  bool in_use_ = false;
  TemplateStore store_;
  std::optional<uint16_t> identify_answer_;
  std::map<uint16_t, bool> read_streamed_;
};

}  // namespace termsim
