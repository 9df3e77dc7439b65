#include "commands/batch_apply.h"

#include <optional>
#include <string>
#include <vector>

#include "commands/batch_package.h"

namespace termsim {

bool ApplyBatchPackage(std::span<const uint8_t> package, UserRecordLayout layout,
                       bool ops_by_id_text, UserCommands& users, TemplateCommands& templates) {
  const auto parsed = ParseBatchPackage(package, layout, ops_by_id_text);
  if (!parsed) return false;
  users.ApplyBatch(parsed->users);
  // ID texts name users as the table stands now, new ones included.
  std::vector<std::optional<uint16_t>> pins;
  pins.reserve(parsed->templates.size());
  for (const BatchTemplateChange& change : parsed->templates) {
    pins.push_back(ops_by_id_text ? users.PinOfText(change.id_text)
                                  : std::optional<uint16_t>(change.pin));
  }
  templates.ApplyBatch(parsed->templates, pins);
  return true;
}

}  // namespace termsim
