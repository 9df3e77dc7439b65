#include "logs/read_buffer.h"

#include <algorithm>
#include <vector>

#include "wire/le_bytes.h"

namespace devapi {

void EnsureReadBuffer(DeviceSession& session, uint32_t capacity) {
  if (session.read_buf.size() < capacity) session.read_buf.resize(capacity);
  session.read_buf_cap = static_cast<uint32_t>(session.read_buf.size());
}

void ResetViewsExcept(DeviceSession& session, BufferView owner) {
  DeviceSession& s = session;
  if (owner != BufferView::kTemplates) {
    s.tmpl_len = s.tmpl_start = s.tmpl_cursor = 0;
    s.tmpl_loaded = false;
    s.quick_tmpl_state = 0;  // the index described bytes that are now gone
  }
  if (owner != BufferView::kAttendance) s.attlog_len = s.attlog_start = s.attlog_cursor = 0;
  if (owner != BufferView::kOpLog) s.oplog_len = s.oplog_start = s.oplog_cursor = 0;
  if (owner != BufferView::kOpLogEx) s.oplogex_len = s.oplogex_start = s.oplogex_cursor = 0;
  if (owner != BufferView::kAux) s.aux_len = s.aux_start = s.aux_cursor = 0;
  if (owner != BufferView::kBell) s.bell_len = s.bell_start = s.bell_cursor = 0;
  // Short compressed records count from the last long one of the same
  // download; a base left from an earlier download would shift them.
  s.attlog_base_time = 0;
}

void ReleaseReadBuffer(DeviceSession& session) {
  ResetViewsExcept(session, BufferView::kNone);
  std::vector<uint8_t>().swap(session.read_buf);
  session.read_buf_cap = 0;
}

ViewRange CountedView(const DeviceSession& session, int32_t received) {
  constexpr uint32_t kCountSize = 4;
  const uint64_t cap = session.read_buf.size();
  const uint64_t got = std::min<uint64_t>(received > 0 ? static_cast<uint64_t>(received) : 0, cap);
  if (got < kCountSize) return {};
  wire::ByteReader r(std::span<const uint8_t>(session.read_buf).first(kCountSize));
  const uint64_t count = r.U32();
  return {kCountSize, static_cast<uint32_t>(std::min(count, got - kCountSize))};
}

ViewRange BareView(const DeviceSession& session, int32_t received) {
  const uint64_t cap = session.read_buf.size();
  const uint64_t got = std::min<uint64_t>(received > 0 ? static_cast<uint64_t>(received) : 0, cap);
  return {0, static_cast<uint32_t>(got)};
}

std::span<const uint8_t> ViewRest(const DeviceSession& session, uint32_t start, uint32_t len,
                                  uint32_t cursor) {
  const uint64_t size = session.read_buf.size();
  const uint64_t end = std::min<uint64_t>(static_cast<uint64_t>(start) + len, size);
  if (cursor < start || cursor >= end) return {};
  return std::span<const uint8_t>(session.read_buf).subspan(cursor, end - cursor);
}

}  // namespace devapi
