// The fingerprint template tools: version-9 templates (measure, re-encode
// compact, shrink to a size, convert to standard) and version-10 containers
// (merge, split). Everything works on the caller's memory only; nothing is
// kept between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "container_format.h"
#include "template_formats.h"
#include "template_model.h"

namespace templates {

// The bytes a version-9 template takes, as decoding measures it; 0 when the
// magic is unknown or the template is invalid. Only `tmpl` is read: pass the
// record's size when known, else FormatMaxLength(FormatOf(tmpl)) bytes.
size_t TemplateLength(std::span<const uint8_t> tmpl);

// Decodes `tmpl` and writes it compact, grid included. Returns the new
// length, or 0 when decoding fails or `out` cannot hold the result
// (kCompactMaxBytes always can).
size_t ReEncodeTemplate(std::span<const uint8_t> tmpl, std::span<uint8_t> out);

// Rewrites the template at the start of `tmpl` in place, compact, at most
// `max_length` bytes long: the grid is dropped when the template does not fit
// with it, then as many minutiae farthest from the centre (of the positions
// as written) as needed. `tmpl` is bounded as for TemplateLength; the result
// is never longer than the template itself as decoding measures it. Returns
// the new length, or 0 (template unchanged) on failure.
size_t ShrinkTemplate(std::span<uint8_t> tmpl, size_t max_length);

// Decodes `tmpl` and writes it in the standard encoding (subtype 1), grid
// included. Returns the new length, or 0 when decoding fails or `out` cannot
// hold the result (kStandardMaxBytes, 1023, always can).
size_t ConvertTemplate(std::span<const uint8_t> tmpl, std::span<uint8_t> out);

// Merges containers, scrambled or plain, into one scrambled container: one
// input comes back scrambled; several must share their format words, and
// their blocks are numbered 0, 1, ... in the merged one. Every input needs a
// length of 24 to 16384 that fits its span and blocks that end exactly there;
// the merged container must stay within 16384 bytes and 255 blocks. Returns
// the merged container, empty on failure; appends a "processPos=" line per
// block to `trace`. The inputs are not changed.
std::vector<uint8_t> MergeTemplates(std::span<const std::span<const uint8_t>> inputs,
                                    std::string& trace);

// Splits a container, scrambled or plain, into scrambled single-finger
// containers (each at most kMaxSplitPartBytes), at most kMaxSplitParts of
// them. Appends the container's first bytes (up to 64) and a line per part
// to `trace`. Returns the parts, empty on failure. The container is not
// changed.
std::vector<std::vector<uint8_t>> SplitTemplate(std::span<const uint8_t> container,
                                                std::string& trace);

}  // namespace templates
