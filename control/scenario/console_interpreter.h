// The scenario language as the console speaks it: every action and expectation, plus help, state, watch
// and unwatch.
#pragma once

#include <memory>

#include "host.h"

namespace scenario {

/// A console client's session: the scenario language, whose listeners connect to the library (starting it
/// when it does not run) at the first command that needs them, and follow the library's life. After the
/// application freed the library, every command but help, state, watch and unwatch is refused until the
/// application starts it again.
std::unique_ptr<pndconsole::host::Session> MakeConsoleSession(pndconsole::host::EventSink events);

}  // namespace scenario
