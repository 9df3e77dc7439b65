#include "users/batch/batch_package.h"

#include "wire/le_bytes.h"

namespace users {

std::vector<uint8_t> BuildBatchPackage(const devapi::DeviceSession::BatchState& b) {
  std::vector<uint8_t> package(kBatchPackageHead + b.user_entries.size() + b.template_ops.size() +
                               b.template_data.size());
  wire::ByteWriter w(package);
  w.U32(static_cast<uint32_t>(b.user_entries.size()));
  w.U32(static_cast<uint32_t>(b.template_ops.size()));
  w.U32(static_cast<uint32_t>(b.template_data.size()));
  w.Bytes(b.user_entries);
  w.Bytes(b.template_ops);
  w.Bytes(b.template_data);
  return package;
}

}  // namespace users
