// The layout of the registry's binary "TZI" value, which the platform documents without declaring it in
// its headers, so every build of the HAL shares this header as it is.
#pragma once

#include "ce/time.h"  // SYSTEMTIME
#include "ce/types.h"

/// The binary "TZI" value of a zone in the registry's time-zone database: the biases and transition
/// dates of TIME_ZONE_INFORMATION without the names.
struct REG_TZI_FORMAT {
  LONG Bias;
  LONG StandardBias;
  LONG DaylightBias;
  SYSTEMTIME StandardDate;
  SYSTEMTIME DaylightDate;
};
static_assert(sizeof(REG_TZI_FORMAT) == 44, "the registry stores TZI values as exactly 44 bytes");
