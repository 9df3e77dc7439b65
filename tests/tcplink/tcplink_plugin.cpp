#include "tcplink_plugin.h"

namespace tcplinktest {

const TcplinkPlugin& Tcplink() {
  static const TcplinkPlugin plugin = testsupport::LoadDevoruPlugin("tcplink.dll");
  return plugin;
}

}  // namespace tcplinktest
