#include "grid_stream_decoder.h"

#include "grid_stream_codes.h"
#include "wire/le_bytes.h"

namespace templates {
namespace {

int WrapOrientation(int value) {
  value %= kOrientationClasses;
  return value < 0 ? value + kOrientationClasses : value;
}

// Walks the grid cell by cell; every code moves it forward.
class GridCursor {
 public:
  GridCursor(TemplateModel& model, int lines, int cells)
      : model_(model), lines_(lines), cells_(cells) {}

  bool done() const { return line_ >= lines_; }
  int room_in_line() const { return cells_ - cell_; }
  int running() const { return running_; }

  // Stores one cell and makes `running` the value later codes build on.
  void Store(int cell, int running) {
    model_.Cell(line_, cell_) = static_cast<uint8_t>(cell);
    running_ = running;
    Advance(1);
  }
  void Store(int value) { Store(value, value); }
  void Skip(int count) {
    running_ = kLineStartValue;
    Advance(count);
  }
  void EndLine() { NextLine(1); }
  // Ends the line and skips `more` lines; false when that passes the last.
  bool SkipLines(int more) {
    if (line_ + 1 + more > lines_) return false;
    NextLine(1 + more);
    return true;
  }

 private:
  void Advance(int count) {
    cell_ += count;
    if (cell_ >= cells_) NextLine(1);
  }
  void NextLine(int count) {
    line_ += count;
    cell_ = 0;
    running_ = kLineStartValue;
  }

  TemplateModel& model_;
  const int lines_;
  const int cells_;
  int line_ = 0;
  int cell_ = 0;
  int running_ = kLineStartValue;
};

}  // namespace

GridStreamResult DecodeGridStream(std::span<const uint8_t> bytes, TemplateModel& model) {
  constexpr GridStreamResult kInvalid{GridStreamStatus::kInvalid, 0};
  constexpr GridStreamResult kTruncated{GridStreamStatus::kTruncated, 0};

  wire::ByteReader reader(bytes);
  const int cells_minus_one = reader.U8();
  const int lines_minus_one = reader.U8();
  if (!reader.ok()) return kTruncated;
  if (cells_minus_one > kMaxStreamSizeByte || lines_minus_one > kMaxStreamSizeByte) {
    return kInvalid;
  }
  const int cells = cells_minus_one + 1;
  const int lines = lines_minus_one + 1;
  model.grid_cells = cells;
  model.grid_lines = lines;

  // No stream may take more bytes than the grid has cells.
  const size_t code_start = reader.position();
  const size_t budget = static_cast<size_t>(cells) * lines;
  auto codes_used = [&] { return reader.position() - code_start; };

  GridCursor grid(model, lines, cells);
  while (!grid.done()) {
    if (codes_used() >= budget) return kInvalid;
    const int code = reader.U8();
    if (!reader.ok()) return kTruncated;
    const int n = code & kCodeArgMask;

    if (code < kRunCode) {
      // A literal, the empty one included, becomes the running value.
      grid.Store(code == kEmptyLiteral ? kEmptyCell : code, code);
    } else if (code < kDeltaCode) {
      if (n + 1 > grid.room_in_line()) return kInvalid;
      const int value = grid.running();
      for (int i = 0; i <= n; ++i) grid.Store(value);
    } else if (code < kSkipCode) {
      if (2 * (n + 1) > grid.room_in_line()) return kInvalid;
      if (codes_used() + n + 1 > budget) return kInvalid;
      auto pairs = reader.View(static_cast<size_t>(n + 1));
      if (!reader.ok()) return kTruncated;
      for (uint8_t pair : pairs) {
        grid.Store(WrapOrientation(grid.running() + (pair >> 4) - kNibbleBias));
        grid.Store(WrapOrientation(grid.running() + (pair & 0x0F) - kNibbleBias));
      }
    } else if (code < kEndCode) {
      if (n == 0) {
        grid.EndLine();
      } else {
        if (n + 1 > grid.room_in_line()) return kInvalid;
        grid.Skip(n + 1);
      }
    } else {
      if (n == 0) break;
      if (!grid.SkipLines(n)) return kInvalid;
    }
  }
  return {GridStreamStatus::kOk, reader.position()};
}

}  // namespace templates
