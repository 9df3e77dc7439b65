#include "grid_lines.h"

#include <algorithm>

namespace templates {
namespace {

// A line is stored as its first and last cell numbers and at least one cell.
constexpr size_t kMinLineBytes = 3;

}  // namespace

std::vector<int> CentreOutOrder(int size) {
  std::vector<int> order;
  if (size <= 0) return order;
  order.reserve(size);
  const int h = size / 2;
  for (int step = 0; static_cast<int>(order.size()) < size; ++step) {
    // step 0 -> h, 1 -> h + 1, 2 -> h - 1, 3 -> h + 2, ...
    const int offset = (step % 2 == 1) ? (step + 1) / 2 : -(step / 2);
    const int line = h + offset;
    if (line >= 1 && line <= size) order.push_back(line);
  }
  return order;
}

bool ReadGridLines(wire::ByteReader& reader, int size, int stored, TemplateModel& model) {
  if (stored > size) return false;
  const std::vector<int> order = CentreOutOrder(size);
  for (int i = 0; i < stored; ++i) {
    const int first = reader.U8();
    const int last = reader.U8();
    if (!reader.ok() || first > last || last >= kGridDim) return false;
    auto cells = reader.View(static_cast<size_t>(last - first + 1));
    if (!reader.ok()) return false;
    const int line = order[i] - 1;
    std::copy(cells.begin(), cells.end(), model.grid.begin() + line * kGridDim + first);
  }
  return true;
}

int WriteGridLines(wire::ByteWriter& writer, const TemplateModel& model, int size,
                   size_t max_total) {
  int written = 0;
  for (int number : CentreOutOrder(size)) {
    if (writer.size() + kMinLineBytes > max_total) break;
    const int line = number - 1;
    int last = 0;
    for (int c = kGridDim - 1; c > 0; --c) {
      if (model.Cell(line, c) != kEmptyCell) {
        last = c;
        break;
      }
    }
    int first = 0;
    while (first < last && model.Cell(line, first) == kEmptyCell) ++first;
    // A line that would pass the limit is cut short; its last cell number
    // then says how far it got.
    const size_t room = max_total - writer.size() - 2;
    const int count = static_cast<int>(std::min<size_t>(last - first + 1, room));
    writer.U8(static_cast<uint8_t>(first));
    writer.U8(static_cast<uint8_t>(first + count - 1));
    for (int c = first; c < first + count; ++c) writer.U8(model.Cell(line, c));
    ++written;
  }
  return written;
}

}  // namespace templates
