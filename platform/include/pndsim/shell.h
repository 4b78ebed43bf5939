// Observations of the shell's execute call on the simulated device: the programs it started.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pndsim/control.h"

namespace pndsim {

/// One program the shell started.
struct ShellLaunch {
  std::string file;        ///< the file as asked, for example "tcontacts.exe"
  std::string parameters;  ///< the parameters as passed
  std::string verb;        ///< "Open", ...
  std::uint32_t mask;      ///< the record's mask
  int show;                ///< the show command
};
/// The programs the shell started since the last reset, in order.
PNDSIM_CONTROL_API std::vector<ShellLaunch> ShellLaunches();

}  // namespace pndsim
