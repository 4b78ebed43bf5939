// The device an application starts on, chosen from outside it: PNDSIM_PROFILE names a profile file to
// start from and PNDSIM_TIME_SCALE how fast the device's time runs. Both are read once, as the device
// library loads, so that an unmodified application runs on the device a test or a person asked for. A
// value the device cannot take is said on standard error and left out: the device starts as it would
// without it.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "pndsim/control.h"
#include "pndsim/profile.h"

namespace {

// A positive finite number written whole ("0.5", "100"); 0 for anything else.
double TimeScaleOf(const char* text) {
  char* end = nullptr;
  const double scale = std::strtod(text, &end);
  return end != text && *end == '\0' && std::isfinite(scale) && scale > 0 ? scale : 0;
}

struct StartupEnvironment {
  StartupEnvironment() noexcept {
    try {
      // NOLINTNEXTLINE(concurrency-mt-unsafe): read at load, before the application can change it
      if (const char* profile = std::getenv("PNDSIM_PROFILE"); profile != nullptr && *profile != '\0') {
        if (const auto error = pndsim::LoadProfile(profile)) {
          std::fprintf(stderr, "pndsim: PNDSIM_PROFILE not loaded: %s\n", error->Text().c_str());
        }
      }
      // NOLINTNEXTLINE(concurrency-mt-unsafe): as above
      if (const char* scale = std::getenv("PNDSIM_TIME_SCALE"); scale != nullptr && *scale != '\0') {
        if (const double factor = TimeScaleOf(scale); factor > 0) {
          pndsim::SetTimeScale(factor);
        } else {
          std::fprintf(stderr, "pndsim: PNDSIM_TIME_SCALE ignored: expected a positive number, got \"%s\"\n",
                       scale);
        }
      }
    } catch (const std::exception& error) {
      std::fprintf(stderr, "pndsim: the start-up settings were not applied: %s\n", error.what());
    }
  }
};

// After every other initialiser of the device but the console host's, so that the device it sets up is
// ready, and the console opens on the device as chosen.
const StartupEnvironment startupEnvironment;

}  // namespace
