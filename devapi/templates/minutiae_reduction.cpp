#include "minutiae_reduction.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

namespace templates {
namespace {

// Halfway between the mean and the middle of the range (integer divisions,
// toward zero).
int64_t Centre(int64_t sum, int64_t lowest, int64_t highest, int64_t count) {
  return (sum / count + (lowest + highest) / 2) / 2;
}

}  // namespace

bool ReduceMinutiae(TemplateModel& model, int k) {
  const int n = model.MinutiaeInUse();
  // Checked before anything divides by n.
  if (k < 0 || k >= n) return false;
  if (k == 0) return true;

  int64_t sum_x = 0, sum_y = 0;
  int32_t min_x = model.minutiae[0].x, max_x = min_x;
  int32_t min_y = model.minutiae[0].y, max_y = min_y;
  for (int i = 0; i < n; ++i) {
    const Minutia& m = model.minutiae[i];
    sum_x += m.x;
    sum_y += m.y;
    min_x = std::min(min_x, m.x);
    max_x = std::max(max_x, m.x);
    min_y = std::min(min_y, m.y);
    max_y = std::max(max_y, m.y);
  }
  const int64_t cx = Centre(sum_x, min_x, max_x, n);
  const int64_t cy = Centre(sum_y, min_y, max_y, n);

  std::vector<int64_t> distance(n);
  for (int i = 0; i < n; ++i) {
    const int64_t dx = model.minutiae[i].x - cx;
    const int64_t dy = model.minutiae[i].y - cy;
    distance[i] = dx * dx + dy * dy;
  }

  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  for (int pass = 1; pass <= k; ++pass) {
    for (int j = 0; j + 1 <= n - pass; ++j) {
      if (distance[order[j]] > distance[order[j + 1]]) std::swap(order[j], order[j + 1]);
    }
  }

  const auto old = model.minutiae;
  for (int i = 0; i < n - k; ++i) model.minutiae[i] = old[order[i]];
  for (int i = n - k; i < kMaxMinutiae; ++i) model.minutiae[i] = Minutia{};
  model.minutiae_count = n - k;
  return true;
}

}  // namespace templates
