// The 5-byte minutia record and the 4-byte singular-point record shared by
// the standard and compact encodings.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "template_model.h"
#include "wire/le_bytes.h"

namespace templates {

inline constexpr size_t kMinutiaRecordBytes = 5;
inline constexpr size_t kSingularRecordBytes = 4;

Minutia DecodeMinutia(std::span<const uint8_t, kMinutiaRecordBytes> record);
SingularPoint DecodeSingularPoint(std::span<const uint8_t, kSingularRecordBytes> record);

// Encoding clamps what the fields cannot hold: x and y to 0-511, a singular
// point's angle to 0-359 and its stored kind to 0-7.
std::array<uint8_t, kMinutiaRecordBytes> EncodeMinutia(const Minutia& minutia);
std::array<uint8_t, kSingularRecordBytes> EncodeSingularPoint(const SingularPoint& point);

// Reads `count` records into the model's first slots; false when the reader
// runs out of bytes (or the count does not fit the slots).
bool ReadMinutiae(wire::ByteReader& reader, int count, TemplateModel& model);
bool ReadSingularPoints(wire::ByteReader& reader, int count, TemplateModel& model);

// Writes `count` records starting at slot `first`. Each record's x and y
// (and a singular point's angle) are clamped in the model before it is
// written, so that what later steps read from the model is what went out.
void WriteMinutiae(wire::ByteWriter& writer, TemplateModel& model, int first, int count);
void WriteSingularPoints(wire::ByteWriter& writer, TemplateModel& model, int count);

}  // namespace templates
