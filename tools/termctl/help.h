// Help texts for the tool and each command.
#pragma once

#include <string>

namespace termctl {

// The tool's usage summary.
const char* ToolHelp();
// A command's help, or nullptr for an unknown command.
const char* CommandHelp(const std::string& command);

}  // namespace termctl
