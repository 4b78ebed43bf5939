// The one thing the simulated device knows of the layers above it: an application started with
// PNDSIM_CONSOLE set gets its console, whose host lives in the control library (libpndscenario.so)
// beside this one. The device loads that library and calls nothing of it; the host opens the console
// from its own initialiser and closes it as it is unloaded, before the library it observes.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kHostLibrary = "libpndscenario.so";

// This library's folder, where the host is installed beside it; empty when unknown.
std::string OwnFolder() {
  Dl_info self{};
  if (dladdr(reinterpret_cast<const void*>(&OwnFolder), &self) == 0 || self.dli_fname == nullptr) return {};
  const std::string path = self.dli_fname;
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

struct ConsoleHostLoader {
  ConsoleHostLoader() noexcept {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): read at load, before the application can change the environment
    const char* requested = std::getenv("PNDSIM_CONSOLE");
    if (requested == nullptr || *requested == '\0') return;
    // Loaded for the process's life: the host unloads with it, at exit.
    const std::string beside = OwnFolder() + kHostLibrary;
    if (dlopen(beside.c_str(), RTLD_NOW | RTLD_GLOBAL) != nullptr) return;
    if (dlopen(kHostLibrary, RTLD_NOW | RTLD_GLOBAL) != nullptr) return;
    const char* why = dlerror();  // NOLINT(concurrency-mt-unsafe): at load, one thread
    std::fprintf(stderr, "pndsim: console not opened: cannot load %s: %s\n", kHostLibrary,
                 why != nullptr ? why : "not found");
  }
};

// Last of the device's initialisers (its file is the last of the library's sources), so that the
// library the host pulls in finds the device ready.
const ConsoleHostLoader consoleHostLoader;

}  // namespace
