#include "grid_stream_encoder.h"

#include <algorithm>
#include <array>
#include <span>

#include "grid_stream_codes.h"
#include "shortest_code.h"

namespace templates {
namespace {

class GridView {
 public:
  explicit GridView(const TemplateModel& model)
      : model_(model), lines_(model.grid_lines), cells_(model.grid_cells) {
    // Where each line's content ends, so that "empty from here on" is one
    // comparison.
    last_.fill(-1);
    for (int line = 0; line < lines_; ++line) {
      for (int c = cells_ - 1; c >= 0; --c) {
        if (Cell(line, c) != kEmptyCell) {
          last_[line] = c;
          break;
        }
      }
    }
  }

  int lines() const { return lines_; }
  int cells() const { return cells_; }
  uint8_t Cell(int line, int cell) const { return model_.Cell(line, cell); }
  std::span<const uint8_t> Cells(int line, int from, int count) const {
    return std::span(model_.grid).subspan(static_cast<size_t>(line) * kGridDim + from, count);
  }

  bool EmptyFrom(int line, int from) const { return from > last_[line]; }
  // Counts cells from `from` while `pred` holds, up to the line end.
  template <typename Pred>
  int CountWhile(int line, int from, Pred pred) const {
    int n = 0;
    while (from + n < cells_ && pred(Cell(line, from + n))) ++n;
    return n;
  }

 private:
  const TemplateModel& model_;
  const int lines_;
  const int cells_;
  std::array<int, kMaxStreamDim> last_;
};

uint8_t LiteralFor(uint8_t cell) {
  if (cell == kEmptyCell) return kEmptyLiteral;
  if (cell > kOrientationClasses) return kOverflowLiteral;
  return cell;
}

}  // namespace

bool GridFitsStream(const TemplateModel& model) {
  return model.grid_lines >= 1 && model.grid_lines <= kMaxStreamDim && model.grid_cells >= 1 &&
         model.grid_cells <= kMaxStreamDim;
}

bool WriteGridStream(const TemplateModel& model, wire::ByteWriter& out) {
  if (!GridFitsStream(model)) return false;
  const GridView grid(model);
  out.U8(static_cast<uint8_t>(grid.cells() - 1));
  out.U8(static_cast<uint8_t>(grid.lines() - 1));

  for (int line = 0; line < grid.lines(); ++line) {
    int running = kLineStartValue;
    for (int c = 0; c < grid.cells();) {
      if (grid.EmptyFrom(line, c)) {
        // The rest of the line is empty: end the line, the grid, or skip
        // straight to the next line that holds something.
        int next = line + 1;
        while (next < grid.lines() && grid.EmptyFrom(next, 0)) ++next;
        if (next >= grid.lines()) {
          out.U8(kEndCode);
          return out.ok();
        }
        const int empty_lines = std::min(next - line - 1, kMaxCodeArg);
        out.U8(static_cast<uint8_t>(empty_lines == 0 ? kSkipCode : kEndCode + empty_lines));
        line += empty_lines;
        break;
      }

      const int empty = grid.CountWhile(line, c, [](uint8_t v) { return v == kEmptyCell; });
      if (empty >= 2) {
        const int skip = std::min(empty - 1, kMaxCodeArg);
        out.U8(static_cast<uint8_t>(kSkipCode + skip));
        c += skip + 1;
        running = kLineStartValue;
        continue;
      }

      const int run = grid.CountWhile(line, c, [](uint8_t v) { return v < kOrientationClasses; });
      if (run == 0) {
        const uint8_t literal = LiteralFor(grid.Cell(line, c));
        out.U8(literal);
        running = literal;
        ++c;
        continue;
      }
      if (!WriteShortestRunCodes(grid.Cells(line, c, run), running, out)) return false;
      running = grid.Cell(line, c + run - 1);
      c += run;
    }
  }
  return out.ok();
}

}  // namespace templates
