// The scenario language as the simulator's console speaks it: every action and expectation, plus help,
// state, watch and unwatch.
#pragma once

namespace scenario {

/// Makes the scenario language the console's interpreter: each client connection gets a session of its
/// own, whose listeners connect to the library (starting it when it does not run) at its first command.
/// Does nothing when memory runs out (the console then answers that it has no interpreter).
void InstallConsoleInterpreter() noexcept;

}  // namespace scenario
