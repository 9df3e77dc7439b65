#include "platform/debug.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(Debug, EnabledFollowsEnvironment) {
  // The check is cached at first use; the test only needs it to agree with
  // the environment the test program was started with.
  EXPECT_EQ(platform::DebugOutputEnabled(), std::getenv("TERMKIT_TRACE") != nullptr);
  platform::DebugOutput("platform_tests: trace line");
  platform::DebugOutput("platform_tests: trace line with newline\n");
  platform::DebugOutput("");
  platform::DebugOutput(nullptr);
}

}  // namespace
