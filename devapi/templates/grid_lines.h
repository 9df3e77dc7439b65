// The orientation grid as the standard and old encodings store it: whole
// lines, each {first cell, last cell, cells first..last}, in centre-out order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "template_model.h"
#include "wire/le_bytes.h"

namespace templates {

// Line numbers 1..size in the order they are stored: with h = size / 2,
// h, h + 1, h - 1, h + 2, h - 2, ... skipping numbers outside 1..size.
std::vector<int> CentreOutOrder(int size);

// Reads `stored` lines of a square grid of `size` lines into the model.
// False when the lines run past the reader's bytes, when more lines are
// stored than the grid has, or when a line's cells are out of order or lie
// beyond the grid's 128 columns.
bool ReadGridLines(wire::ByteReader& reader, int size, int stored, TemplateModel& model);

// Writes the lines of a square grid of `size` lines in centre-out order for
// as long as the template stays within `max_total` bytes (the writer's
// position counts as the length so far). Returns the number of lines written.
int WriteGridLines(wire::ByteWriter& writer, const TemplateModel& model, int size,
                   size_t max_total);

}  // namespace templates
