// Controls and observations of the simulated wave-output mixer.
#pragma once

#include <cstdint>

#include "pndsim/control.h"

namespace pndsim {

/// The mixer's volume word: left channel in the low, right in the high 16 bits.
PNDSIM_CONTROL_API std::uint32_t VolumeWord();
/// Sets both channels as another program changing the mixer would.
PNDSIM_CONTROL_API void SetVolumeChannels(std::uint16_t left, std::uint16_t right);

}  // namespace pndsim
