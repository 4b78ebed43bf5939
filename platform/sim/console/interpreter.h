// The console's command interpreter: the one installed through the control API, or the one the scenario
// library installs when the console loads it.
#pragma once

#include <memory>
#include <string>

#include "pndsim/console.h"

namespace sim::console {

/// A session for a newly authenticated client, from the installed interpreter; when none is installed, the
/// library PNDSIM_CONSOLE_INTERPRETER names is loaded first, or else libpndscenario.so (beside libpndsim.so,
/// then by the default search). Null with *reason
/// set when no interpreter can be had or it made no session.
std::unique_ptr<pndsim::ConsoleSession> MakeSession(pndsim::ConsoleSink events, std::string* reason);

/// Makes the process's exit close the console before anything loaded so far is torn down; called again
/// after each library load, since exit tears down in the reverse order of these registrations.
void RegisterStopAtExit();

}  // namespace sim::console
