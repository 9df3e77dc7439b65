// Downloading the attendance log into the session's shared buffer.
#pragma once

#include <cstdint>

#include "logs/log_download.h"
#include "session/device_session.h"

namespace devapi {

// Downloads the attendance log into the attendance view (the body of
// Q_ReadLog, without the call's opening). Mode 0 asks for the whole log;
// other modes ask firmware "Ver 6.01" and later for the records the host
// has not taken yet (mode 2 with the mark in newlog_param).
Download ReadAttLog(DeviceSession& session, int32_t mode);

}  // namespace devapi
