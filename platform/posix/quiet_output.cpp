#include "platform/quiet_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace platform {

QuietOutput::QuietOutput() {
  std::fflush(stdout);
  saved_ = dup(STDOUT_FILENO);
  const int null = open("/dev/null", O_WRONLY);
  if (null >= 0) {
    dup2(null, STDOUT_FILENO);
    close(null);
  }
}

QuietOutput::~QuietOutput() {
  std::fflush(stdout);
  if (saved_ >= 0) {
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
}

}  // namespace platform
