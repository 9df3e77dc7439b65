#include "comms_plugin.h"

namespace commstest {

const CommsPlugin& Comms() {
  static const CommsPlugin plugin = testsupport::LoadDevoruPlugin("comms.dll");
  return plugin;
}

}  // namespace commstest
