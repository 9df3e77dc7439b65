// Dropping the minutiae farthest from the print's centre, to make a template
// fit a size limit.
#pragma once

#include "template_model.h"

namespace templates {

// Removes `k` minutiae: k passes of a bubble sort by squared distance from
// the centre move the farthest ones to the end of the list, and the list is
// cut to its first n - k entries, in their sorted-so-far order. False (model
// unchanged) when k is negative or not below the minutiae count.
bool ReduceMinutiae(TemplateModel& model, int k);

}  // namespace templates
