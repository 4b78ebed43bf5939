// libpndscenario.so: loaded by the simulator's console into an application, it installs the scenario
// language as the console's interpreter as soon as it is loaded.
#include "console_interpreter.h"

namespace {

[[maybe_unused]] const bool kInstalled = []() noexcept {
  scenario::InstallConsoleInterpreter();
  return true;
}();

}  // namespace
