// The programs concern's face: what the simulator's other parts use of the simulated programs, the programs
// stored on the device by default, and the profile section of the programs, whose built-in telephone
// settings the telephone program starts from.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pndsim/programs.h"
#include "sim/profile/profile.h"

namespace sim::programs {

/// What a profile's "programs" member sets: the application and the telephone program.
struct ProgramsSetting {
  std::string applicationPath;
  bool telephoneInstalled = false;
  std::uint32_t telephoneWindowDelay = 0;
  bool telephoneBluetoothPower = false;
  unsigned telephoneVolumeStep = 0;
  std::uint32_t telephoneLanguage = 0;
};

/// The profile's "programs" member.
extern const profile::Section<ProgramsSetting> kProgramsSection;

/// Stores `main` at `path` now and after every reset (a program of the
/// default device). Call it from a static initialiser or later.
void InstallDefaultProgram(std::string_view path, pndsim::ProgramMain main);

}  // namespace sim::programs
