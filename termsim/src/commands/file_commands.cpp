#include "commands/file_commands.h"

#include <algorithm>

#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace termsim {

namespace {

constexpr uint16_t kBlockMap = 51;
constexpr uint16_t kMemoryBlock = 111;
constexpr uint16_t kLanguageText = 1701;
constexpr uint16_t kReadFile = 1702;
constexpr uint16_t kUpdateHeader = 1709;
constexpr uint16_t kCaptureFinger = 1009;
constexpr uint16_t kCaptureWhole = 1012;
constexpr uint16_t kPhotoCount = 2013;
constexpr uint16_t kPhotoByName = 2014;
constexpr uint16_t kClearPhotos = 2015;
constexpr uint16_t kPhotoNames = 2016;
constexpr uint16_t kUploadUserPhoto = 10009;
constexpr uint16_t kDownloadUserPhoto = 10010;
constexpr uint16_t kDeleteUserPhoto = 10011;
constexpr uint16_t kCapturePicture = 10012;
constexpr uint16_t kPictureList = 10013;
constexpr uint16_t kUploadTheme = 10026;
constexpr uint16_t kUploadPicture = 10027;
constexpr uint16_t kDeletePicture = 10028;
constexpr uint16_t kDownloadPicture = 10029;

constexpr uint32_t kKindNamedFile = 1700;
constexpr uint32_t kKindLogoOrRestore = 7;
constexpr uint32_t kKindFirmwareOrMtd = 2;
constexpr uint32_t kKindUpdate = 13;
constexpr uint32_t kFirmwareAddress = 0xA0000000;
constexpr uint32_t kRestoreAddress = 0x80000;

constexpr uint8_t kDatabaseType = 4;
constexpr uint8_t kMemoryType = 0;
constexpr uint32_t kFirstAddress = 0xFF880000;
constexpr size_t kMostBlocks = 127;
constexpr size_t kLanguageField = 256;
constexpr size_t kShortNameField = 40;
constexpr size_t kVersionCut = 50;
constexpr uint32_t kSensorWidth = 640;
constexpr uint32_t kSensorHeight = 480;

// A text up to its first NUL (or the end).
std::string Text(std::span<const uint8_t> bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  return std::string(bytes.begin(), end);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::vector<uint8_t> U32Bytes(uint32_t v) {
  std::vector<uint8_t> out(4);
  wire::ByteWriter(out).U32(v);
  return out;
}

std::vector<uint8_t> RawSensorImage() {
  std::vector<uint8_t> out(kSensorWidth * kSensorHeight);
  for (uint32_t y = 0; y < kSensorHeight; ++y) {
    for (uint32_t x = 0; x < kSensorWidth; ++x) out[y * kSensorWidth + x] = static_cast<uint8_t>(x + y);
  }
  return out;
}

// The time range of a photo request: selector, start, end.
struct PhotoRange {
  uint32_t selector = 0;
  uint32_t start = 0;
  uint32_t end = 0;
  bool Holds(const Photo& p) const {
    return (selector == 0 || p.selector == selector) && p.time >= start && p.time <= end;
  }
};

std::optional<PhotoRange> ReadRange(std::span<const uint8_t> data) {
  wire::ByteReader r(data);
  PhotoRange range{r.U32(), r.U32(), r.U32()};
  if (!r.ok()) return std::nullopt;
  return range;
}

// The kind's name (after the 32-bit kind), or "" when a value follows.
std::string ParameterName(std::span<const uint8_t> params) {
  if (params.size() <= 4 || params[4] == 0) return {};
  return Text(params.subspan(4));
}

std::string NamesList(const std::vector<Photo>& photos, const auto& keep) {
  std::string out;
  for (const Photo& p : photos) {
    if (keep(p)) out += p.name + "\n";
  }
  return out;
}

const std::vector<uint8_t>* Find(const std::map<std::string, std::vector<uint8_t>>& store,
                                 const std::string& name) {
  const auto it = store.find(name);
  return it == store.end() ? nullptr : &it->second;
}

}  // namespace

std::vector<uint8_t> SensorImageWithHeader(uint32_t width, uint32_t height) {
  std::vector<uint8_t> out(12 + static_cast<size_t>(width) * height);
  wire::ByteWriter w(out);
  w.U32(0);
  w.U32(width);
  w.U32(height);
  for (size_t i = 12; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i);
  return out;
}

void FileCommands::Set(FilesData data) {
  std::lock_guard lock(mu_);
  data_ = std::move(data);
}

FilesData FileCommands::Data() const {
  std::lock_guard lock(mu_);
  return data_;
}

void FileCommands::SetBackup(BackupSettings settings) {
  std::lock_guard lock(mu_);
  backup_ = std::move(settings);
}

bool FileCommands::Serve(const wire::PacketView& request, const std::vector<uint8_t>* bytes,
                         BulkTerminal& bulk, Reply& reply) {
  if (bytes == nullptr) {
    Refuse(reply);
    return true;
  }
  bulk.SetDataSet(request.header.code,
                  std::vector<uint8_t>(request.payload.begin(), request.payload.end()), *bytes);
  return false;
}

bool FileCommands::Answer(const wire::PacketView& request, const Context& context,
                          Reply& reply) {
  std::lock_guard lock(mu_);
  const auto data = request.payload;
  const std::string name = Text(data);
  switch (request.header.code) {
    case kBlockMap:
      BlockMap(context, reply);
      return true;
    case kLanguageText: {
      wire::ByteReader r(data);
      const int32_t id = r.I32();
      const std::string text(r.FixedText(kLanguageField));
      if (!r.ok() || r.remaining() != 0 || id < 0) {
        Refuse(reply);
      } else {
        data_.languages[id] = text;
        Ok(reply);
      }
      return true;
    }
    case kReadFile:
      return Serve(request, Find(data_.files, name), context.bulk, reply);
    case kUpdateHeader:
      if (backup_.update_refusal != 0) {
        Refuse(reply, backup_.update_refusal);
      } else {
        data_.update_header.assign(data.begin(), data.end());
        Ok(reply);
      }
      return true;
    case kCaptureFinger:
    case kCaptureWhole: {
      const std::vector<uint8_t> image =
          data_.sensor_image.empty() ? RawSensorImage() : data_.sensor_image;
      return Serve(request, &image, context.bulk, reply);
    }
    case kPhotoCount: {
      wire::ByteReader r(data);
      const uint32_t selector = r.U32();
      const auto n = std::count_if(data_.photos.begin(), data_.photos.end(), [&](const Photo& p) {
        return selector == 0 || p.selector == selector;
      });
      Ok(reply, U32Bytes(static_cast<uint32_t>(n)));
      return true;
    }
    case kPhotoByName:
    case kCapturePicture: {
      const auto it = std::find_if(data_.photos.begin(), data_.photos.end(),
                                   [&](const Photo& p) { return p.name == name; });
      return Serve(request, it == data_.photos.end() ? nullptr : &it->bytes, context.bulk, reply);
    }
    case kClearPhotos: {
      const auto range = ReadRange(data);
      if (!range) {
        Refuse(reply);
        return true;
      }
      std::erase_if(data_.photos, [&](const Photo& p) { return range->Holds(p); });
      Ok(reply);
      return true;
    }
    case kPhotoNames: {
      const auto range = ReadRange(data);
      const std::string list =
          range ? NamesList(data_.photos, [&](const Photo& p) { return range->Holds(p); }) : "";
      const std::vector<uint8_t> bytes(list.begin(), list.end());
      return Serve(request, list.empty() ? nullptr : &bytes, context.bulk, reply);
    }
    case kPictureList: {
      const std::string list =
          NamesList(data_.photos, [&](const Photo& p) { return StartsWith(p.name, name); });
      std::vector<uint8_t> bytes(list.begin(), list.end());
      bytes.push_back(0);
      return Serve(request, &bytes, context.bulk, reply);
    }
    case kUploadUserPhoto:
      Upload(data_.user_photos, data, context.upload, reply);
      return true;
    case kUploadTheme:
      Upload(data_.themes, data, context.upload, reply);
      return true;
    case kUploadPicture:
      Upload(data_.pictures, data, context.upload, reply);
      return true;
    case kDownloadUserPhoto:
      return Serve(request, Find(data_.user_photos, name), context.bulk, reply);
    case kDownloadPicture:
      return Serve(request, Find(data_.pictures, name), context.bulk, reply);
    case kDeleteUserPhoto:
    case kDeletePicture: {
      auto& store = request.header.code == kDeleteUserPhoto ? data_.user_photos : data_.pictures;
      if (store.erase(name) == 0) {
        Refuse(reply);
      } else {
        Ok(reply);
      }
      return true;
    }
    default:
      return false;
  }
}

void FileCommands::Upload(std::map<std::string, std::vector<uint8_t>>& store,
                          std::span<const uint8_t> params, const UploadBuffer& upload,
                          Reply& reply) {
  const std::string name = Text(params.first(std::min(params.size(), kShortNameField)));
  if (name.empty() || !upload.complete()) {
    Refuse(reply);
    return;
  }
  store[name] = upload.data();
  Ok(reply);
}

// The map {0, m, types...} and, for the blocks it names, the data sets the
// host's buffered reads of 7 {4} and 111 {address, 0x10000} find.
void FileCommands::BlockMap(const Context& context, Reply& reply) {
  const auto blocks = MemoryBlocks(context.snapshot());
  if (blocks.size() + 1 > kMostBlocks) {
    Refuse(reply);  // more than one map can name
    return;
  }
  std::vector<uint8_t> map = {0, static_cast<uint8_t>(blocks.size() + 1), kDatabaseType};
  map.insert(map.end(), blocks.size(), kMemoryType);
  if (backup_.map) map = *backup_.map;

  std::vector<uint8_t> database = DatabaseBlock(blocks.size());
  if (backup_.database_bytes != 0) database.resize(backup_.database_bytes, 0xFF);
  context.bulk.SetDataSet(wire::CMD_DB_RRQ, {kDatabaseType}, std::move(database));
  // Memory block i (address 0xFF880000 + i x 64 KiB) holds memory block
  // i - 1: block 0 is where the database block sits in the map.
  for (size_t i = 0; i < kMostBlocks; ++i) {
    std::vector<uint8_t> bytes =
        i >= 1 && i - 1 < blocks.size() ? blocks[i - 1] : std::vector<uint8_t>(kBackupBlock, 0xFF);
    bytes.resize(backup_.memory_block_bytes, 0xFF);
    std::vector<uint8_t> address(4);
    wire::ByteWriter(address).U32(kFirstAddress + static_cast<uint32_t>(i * kBackupBlock));
    context.bulk.SetDataSet(kMemoryBlock, std::move(address), std::move(bytes));
  }
  Ok(reply, std::move(map));
}

FileCommands::Taken FileCommands::TakeUpload(std::span<const uint8_t> params,
                                             const std::vector<uint8_t>& data) {
  std::lock_guard lock(mu_);
  Taken taken;
  wire::ByteReader r(params);
  const uint32_t kind = r.U32();
  if (!r.ok()) return taken;
  const std::string name = ParameterName(params);
  const uint32_t value = r.U32();  // when no name follows
  if (kind == kKindNamedFile) {
    if (name.empty()) return taken;
    data_.files[name] = data;
  } else if (kind == kKindLogoOrRestore && name.empty() && value == kRestoreAddress) {
    taken.restore = ParseRestoreImage(data);
    if (!taken.restore) return taken;  // a damaged image changes nothing
  } else if (kind == kKindFirmwareOrMtd && name.empty() && value == kFirmwareAddress) {
    data_.firmware_image = data;
    // An image that starts with its version text names the new firmware.
    std::string head = Text(std::span(data).first(std::min(data.size(), kVersionCut)));
    head = head.substr(0, head.find_first_of("\r\n"));
    if (StartsWith(head, "Ver ")) taken.firmware = head;
  } else if (kind == kKindUpdate) {
    data_.update_image = data;
  } else {
    data_.uploads[{kind, name}] = data;
  }
  taken.ok = true;
  return taken;
}

}  // namespace termsim
