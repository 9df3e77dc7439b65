// Placeholder until this transport is built: it names itself and opens
// nothing, so the engine refuses it cleanly.
#include "devoru.h"

extern "C" DEVORU_EXPORT const char* DEVORU_NAME(void*) { return "RS232"; }
