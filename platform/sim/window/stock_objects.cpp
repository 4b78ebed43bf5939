// Stock graphics objects: fixed handle values, so that names built from them
// (such as generated window-class names) stay the same within a process.
#include <cstdint>

#include "ce/window.h"

HGDIOBJ GetStockObject(int object) {
  switch (object) {
    case WHITE_BRUSH:
    case LTGRAY_BRUSH:
    case GRAY_BRUSH:
    case DKGRAY_BRUSH:
    case BLACK_BRUSH:
    case NULL_BRUSH:
    case WHITE_PEN:
    case BLACK_PEN:
    case NULL_PEN:
    case SYSTEM_FONT:
    case DEFAULT_PALETTE:
      // Below 2^32, so that the value prints the same as a 32-bit number.
      return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(0x01900010 + 0x10 * object));
    default:
      return nullptr;
  }
}
