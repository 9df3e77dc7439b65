// A user's face templates, named by its ID text (commands 150-152). The
// table emulation reads, writes and deletes them as well, always with face
// index 50 (all of the user's faces).
//
// FaceRecord (2576 bytes): u16 template length, u16 PIN, u8 face index,
// u8 valid flag, 10 bytes of which the first is 8 for a template of face
// algorithm version 8, then 2560 template bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "session/device_session.h"

namespace users {

inline constexpr size_t kFaceRecordSize = 2576;
inline constexpr uint8_t kAllFaces = 50;

// Reads faces into `out`; `*length` becomes the bytes read (0 to
// out.size()). 1; 0 refused (none); -103 reply 4981; -2 otherwise; -100
// without a face algorithm.
int32_t ReadFaces(devapi::DeviceSession& session, std::string_view id_text, uint8_t index,
                  std::span<uint8_t> out, int32_t* length);
// Writes whole records (at least 16 bytes). 1; -103 replies 4994 and 4995;
// a refusal by reason 2: 0, 1: -4, 4: -5, else -2; -100 without a face
// algorithm; -102 records of another algorithm version; -3 more than the
// 16-bit length of the header can say.
int32_t WriteFaces(devapi::DeviceSession& session, std::string_view id_text, uint8_t index,
                   std::span<const uint8_t> records);
// 1; 0 nothing to delete; -2; -100 without a face algorithm.
int32_t DeleteFaces(devapi::DeviceSession& session, std::string_view id_text, uint8_t index);

}  // namespace users
