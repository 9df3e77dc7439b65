// The terminal's files and images: named files, uploads by kind, language
// texts, firmware and file updates, attendance photos, user photos, themes,
// pictures, the sensor image, and how it lays out a backup.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace termsim {

// An attendance photo: taken at `time` (packed), kept with a selector.
struct Photo {
  std::string name;
  uint32_t time = 0;
  uint32_t selector = 0;
  std::vector<uint8_t> bytes;
  friend bool operator==(const Photo&, const Photo&) = default;
};

struct FilesData {
  // Files by name: what kind 1700 stores and command 1702 reads.
  std::map<std::string, std::vector<uint8_t>> files;
  // Every other upload by kind and name; a kind followed by a value (its
  // byte after the kind is 0) has the name "".
  std::map<std::pair<uint32_t, std::string>, std::vector<uint8_t>> uploads;
  std::map<int32_t, std::string> languages;  // command 1701
  std::vector<uint8_t> firmware_image;       // kind 2 with 0xA0000000
  std::string update_header;                 // command 1709
  std::vector<uint8_t> update_image;         // kind 13
  std::vector<Photo> photos;                 // attendance photos (2013-2016, 10012/10013)
  std::map<std::string, std::vector<uint8_t>> user_photos;  // 10009-10011
  std::map<std::string, std::vector<uint8_t>> themes;       // 10026
  std::map<std::string, std::vector<uint8_t>> pictures;     // 10027-10029
  // The answer to 1009/1012; empty: a raw 640 x 480 grey ramp.
  std::vector<uint8_t> sensor_image;
  friend bool operator==(const FilesData&, const FilesData&) = default;
};

// How the terminal answers a backup.
struct BackupSettings {
  // The answer to command 51; nullopt: {0, m, 4, 0, 0, ...}, a database
  // block and as many memory blocks as the data needs.
  std::optional<std::vector<uint8_t>> map;
  uint32_t memory_block_bytes = 0x10000;  // bytes each 111 read brings
  uint32_t database_bytes = 0;            // 0: the database block's own size
  // Reason word of a refused 1709 (0: accepted).
  uint16_t update_refusal = 0;
};

// The raw sensor image of `width` x `height` pixels behind a 12-byte header
// (width at byte 4, height at byte 8).
std::vector<uint8_t> SensorImageWithHeader(uint32_t width, uint32_t height);

}  // namespace termsim
