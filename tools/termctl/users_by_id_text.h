// The user commands of colour-screen (TFT) terminals, which name users by an
// ID text of up to 24 characters instead of a number (the SSR_Q_ calls).
#pragma once

#include <string>

#include "commands.h"

namespace termctl {

// True when the connected terminal keeps ID-text users.
bool KeepsIdTextUsers(const Context& ctx);

int ListIdTextUsers(Context& ctx, Format format);
int ShowIdTextUser(Context& ctx, const std::string& id, Format format);
int AddIdTextUser(Context& ctx, const std::string& id);
int DeleteIdTextUser(Context& ctx, const std::string& id);

// An ID text a person may give: 1 to 24 printable characters.
bool ValidIdText(const std::string& id);

}  // namespace termctl
