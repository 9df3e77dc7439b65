/* Compiled as C: the public headers must not need C++. */
#include "devapi.h"
#include "devoru.h"
#include "devwire.h"

int headers_as_c_linked(void) { return (int)sizeof(DEVWIRE_HANDLE) + (int)sizeof(DEVAPI_HANDLE); }
