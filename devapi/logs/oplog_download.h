// Downloading the operation log into the session's shared buffer.
#pragma once

#include <cstdint>

#include "logs/log_download.h"
#include "session/device_session.h"

namespace devapi {

// Downloads the operation log into the operation-log view (the body of
// Q_ReadOpLog, without the call's opening). kUnsupported on firmware below
// "Ver 5.04", which keeps no operation log.
Download ReadOpLog(DeviceSession& session, int32_t mode);

}  // namespace devapi
