// Applying a batch package to the user table and the template store in one
// step (see batch_package.h).
#pragma once

#include <cstdint>
#include <span>

#include "commands/template_commands.h"
#include "commands/user_commands.h"
#include "store/user_table.h"

namespace termsim {

// Applies the whole package, or nothing when it is refused (false). User
// changes come first, in order (a deletion takes the user's templates
// along), then the template operations, in order; deleting what is not
// there, or naming an ID text nobody has, is skipped.
bool ApplyBatchPackage(std::span<const uint8_t> package, UserRecordLayout layout,
                       bool ops_by_id_text, UserCommands& users, TemplateCommands& templates);

}  // namespace termsim
