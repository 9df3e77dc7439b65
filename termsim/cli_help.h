// The termsim program's --help text.
#pragma once

namespace termsim_cli {

const char* HelpText();

}  // namespace termsim_cli
