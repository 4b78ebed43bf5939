// The registry content of a new device: the touch-screen calibration of the built-in profile and the
// time-zone database.
#include <chrono>

#include "sim/calendar/calendar.h"
#include "sim/identity/identity.h"
#include "sim/registry/key_tree.h"
#include "sim/registry/time_zone_database.h"
#include "sim/text_codec/text_codec.h"

namespace sim::registry {

Roots DefaultRoots() {
  Roots roots{std::make_shared<Key>(L"HKEY_LOCAL_MACHINE"), std::make_shared<Key>(L"HKEY_CURRENT_USER"),
              std::make_shared<Key>(L"HKEY_CLASSES_ROOT")};
  Key& machine = *roots[0];
  std::shared_ptr<Key> touch =
      machine.CreateSubkey(L"HARDWARE")->CreateSubkey(L"DEVICEMAP")->CreateSubkey(L"TOUCH");
  // The touch controller's calibration points as the built-in profile gives them, if it gives any.
  if (const auto& calibration = kCalibrationSection.BuiltIn().registryText) {
    touch->SetValue(L"CalibrationData", REG_SZ, Utf16Z(Widen(*calibration)));
  }
  // The database is generated from the host's clock rather than the device's: a reset puts the device
  // clock back on the host's, and the reset hooks may run in either order.
  const auto hostNow = std::chrono::floor<std::chrono::milliseconds>(std::chrono::system_clock::now());
  const auto year = civil::YearOfMs(hostNow.time_since_epoch().count());
  FillTimeZoneDatabase(*machine.CreateSubkey(L"Time Zones"), static_cast<int>(year));
  return roots;
}

}  // namespace sim::registry
