// The decoded form of a version-9 fingerprint template, shared by every
// decoder and encoder of the codec.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace templates {

inline constexpr int kMaxMinutiae = 512;
inline constexpr int kMaxSingularPoints = 64;
inline constexpr int kGridDim = 128;  // the grid holds 128 lines of 128 cells
inline constexpr uint8_t kEmptyCell = 255;

struct Minutia {
  int32_t x = 0;          // 0-511 as stored
  int32_t y = 0;          // 0-511 as stored (old templates may sum above)
  int32_t direction = 0;  // units of 1.5 degrees
  int32_t kind = 0;       // stored kind minus 1
  int32_t extra = 0;      // carried through unchanged
};

struct SingularPoint {
  int32_t x = 0;
  int32_t y = 0;
  int32_t angle = 0;  // degrees, 0-359 once encoded
  int32_t kind = 0;   // stored kind minus 1
};

struct TemplateModel {
  int32_t quality = 0;
  int32_t minutiae_count = 0;
  std::array<Minutia, kMaxMinutiae> minutiae{};
  int32_t singular_count = 0;
  std::array<SingularPoint, kMaxSingularPoints> singular{};
  int32_t grid_lines = 0;  // 0-63
  int32_t grid_cells = 0;  // cells per line, 0-63
  // Orientation classes 0-119, kEmptyCell where nothing is known.
  std::array<uint8_t, kGridDim * kGridDim> grid{};

  uint8_t& Cell(int line, int cell) { return grid[line * kGridDim + cell]; }
  uint8_t Cell(int line, int cell) const { return grid[line * kGridDim + cell]; }

  // Back to the state every decoder starts from: nothing, and an empty grid.
  void Clear() {
    quality = 0;
    minutiae_count = 0;
    minutiae.fill(Minutia{});
    singular_count = 0;
    singular.fill(SingularPoint{});
    ClearGrid();
  }
  void ClearGrid() {
    grid_lines = 0;
    grid_cells = 0;
    grid.fill(kEmptyCell);
  }

  // Counts clamped to the slots, for encoders handed a model built by hand.
  int MinutiaeInUse() const { return std::clamp(minutiae_count, 0, kMaxMinutiae); }
  int SingularInUse() const { return std::clamp(singular_count, 0, kMaxSingularPoints); }
};

}  // namespace templates
