// Compiled as C++: the public headers give C linkage and no clashes.
#include "devapi.h"
#include "devoru.h"
#include "devwire.h"

extern "C" int headers_as_c_linked(void);

int main() {
  // Handles are pointer-sized.
  static_assert(sizeof(DEVWIRE_HANDLE) == sizeof(void*));
  static_assert(sizeof(DEVAPI_HANDLE) == sizeof(void*));
  return headers_as_c_linked() == 2 * static_cast<int>(sizeof(void*)) ? 0 : 1;
}
