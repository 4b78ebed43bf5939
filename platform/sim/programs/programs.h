// The programs concern's face: what the simulator's other parts use of the simulated programs, the programs
// stored on the device by default.
#pragma once

#include <string>
#include <string_view>

#include "pndsim/programs.h"

namespace sim::programs {

/// Stores `main` at `path` now and after every reset (a program of the
/// default device). Call it from a static initialiser or later.
void InstallDefaultProgram(std::string_view path, pndsim::ProgramMain main);

}  // namespace sim::programs
