// The console's command interpreter: kept here, and loaded from the scenario library on first need.
#include "interpreter.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <utility>

namespace sim::console {
namespace {

constexpr const char* kLibraryName = "libpndscenario.so";

struct Installed {
  std::mutex mutex;
  pndsim::ConsoleInterpreter interpreter;
  std::mutex loading;  // one load at a time; never held with `mutex` while the library initialises
};

Installed& TheInstalled() {
  static auto* installed = new Installed;
  return *installed;
}

pndsim::ConsoleInterpreter Current() {
  Installed& installed = TheInstalled();
  std::lock_guard lock(installed.mutex);
  return installed.interpreter;
}

// Loads the library named by PNDSIM_CONSOLE_INTERPRETER, or else the scenario library; its static
// initialiser installs its interpreter. False with *reason set.
bool LoadInterpreterLibrary(std::string* reason) {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): the environment is only read
  if (const char* chosen = std::getenv("PNDSIM_CONSOLE_INTERPRETER"); chosen != nullptr && *chosen != '\0') {
    if (dlopen(chosen, RTLD_NOW | RTLD_LOCAL) == nullptr) {
      const char* text = dlerror();  // NOLINT(concurrency-mt-unsafe): as above  //
                                     // NOLINT(concurrency-mt-unsafe): loads are serialised by the caller
      *reason = text != nullptr ? text : std::string("cannot load ") + chosen;
      return false;
    }
    RegisterStopAtExit();
    return true;
  }
  std::string beside;
  Dl_info self{};
  if (dladdr(reinterpret_cast<const void*>(&pndsim::SetConsoleInterpreter), &self) != 0 &&
      self.dli_fname != nullptr) {
    const std::string path = self.dli_fname;
    const auto slash = path.rfind('/');
    if (slash != std::string::npos) beside = path.substr(0, slash + 1) + kLibraryName;
  }
  void* handle = beside.empty() ? nullptr : dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) handle = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* text = dlerror();  // NOLINT(concurrency-mt-unsafe): as above
    *reason = text != nullptr ? text : std::string("cannot load ") + kLibraryName;
    return false;
  }
  RegisterStopAtExit();
  return true;
}

}  // namespace

std::unique_ptr<pndsim::ConsoleSession> MakeSession(pndsim::ConsoleSink events, std::string* reason) {
  pndsim::ConsoleInterpreter interpreter = Current();
  if (!interpreter) {
    std::lock_guard lock(TheInstalled().loading);
    interpreter = Current();
    if (!interpreter && LoadInterpreterLibrary(reason)) {
      interpreter = Current();
      if (!interpreter) *reason = std::string(kLibraryName) + " installed no interpreter";
    }
    if (!interpreter) return nullptr;
  }
  std::unique_ptr<pndsim::ConsoleSession> session = interpreter(std::move(events));
  if (!session) *reason = "the interpreter made no session";
  return session;
}

}  // namespace sim::console

namespace pndsim {

void SetConsoleInterpreter(ConsoleInterpreter interpreter) {
  sim::console::Installed& installed = sim::console::TheInstalled();
  std::lock_guard lock(installed.mutex);
  installed.interpreter = std::move(interpreter);
}

}  // namespace pndsim
