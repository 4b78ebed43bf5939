// Marks the declarations that make up the library's exported interface.
#pragma once

#if defined(PNDHAL_BUILDING)
#define PNDHAL_API __attribute__((visibility("default")))
#else
#define PNDHAL_API
#endif
