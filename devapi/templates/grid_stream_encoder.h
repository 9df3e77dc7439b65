// Encoder of the compact encoding's grid stream.
#pragma once

#include "template_model.h"
#include "wire/le_bytes.h"

namespace templates {

// True when the model's grid can travel in a stream: both sizes 1 to 32.
bool GridFitsStream(const TemplateModel& model);

// Writes the two size bytes and the codes for the model's grid. The stream
// never takes more code bytes than the grid has cells. False when the grid
// does not fit a stream or the writer runs out of room.
bool WriteGridStream(const TemplateModel& model, wire::ByteWriter& out);

}  // namespace templates
