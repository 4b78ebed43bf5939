// An interpreter library for the console tests: loading it installs an interpreter whose sessions answer
// every line with the line itself, marked as coming from the loaded library.
#include <memory>
#include <string>

#include "pndsim/console.h"

namespace {

class LoadedSession : public pndsim::ConsoleSession {
 public:
  pndsim::ConsoleReply Execute(std::string_view line) override {
    return {true, "loaded: " + std::string(line), {}};
  }
};

struct Installer {
  Installer() {
    pndsim::SetConsoleInterpreter(
        [](const pndsim::ConsoleSink&) { return std::make_unique<LoadedSession>(); });
  }
};
const Installer installer;  // NOLINT(cert-err58-cpp): installing throws only when memory runs out

}  // namespace
