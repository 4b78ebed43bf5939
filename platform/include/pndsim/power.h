// Controls and observations of the simulated device's power: battery, external
// power, suspend and resume, and the power broadcasts they cause.
#pragma once

#include <cstdint>
#include <string>

#include "pndsim/control.h"

namespace pndsim {

/// The power state the system reports through GetSystemPowerStatusEx.
struct PowerStatus {
  std::uint8_t acLineStatus;  ///< 0 offline, 1 online, 2 backup power, 0xFF unknown
  std::uint8_t batteryFlag;   ///< 0x01 high, 0x02 low, 0x04 critical, 0x08 charging, 0x80 none, 0xFF unknown
  std::uint8_t batteryPercent;  ///< 0 to 100, 0xFF unknown
};

/// The reported power status.
PNDSIM_CONTROL_API PowerStatus GetPowerStatus();
/// Replaces the whole power status and broadcasts a status change.
PNDSIM_CONTROL_API void SetPowerStatus(PowerStatus status);
/// Plugs external power in (AC online) and broadcasts a status change.
PNDSIM_CONTROL_API void PlugAc();
/// Unplugs external power (AC offline) and broadcasts a status change.
PNDSIM_CONTROL_API void UnplugAc();
/// Sets the battery percentage and flag and broadcasts a status change.
PNDSIM_CONTROL_API void SetBattery(std::uint8_t percent, std::uint8_t flag);

/// Suspends the device as the power manager does: a suspend transition is
/// broadcast to every registered queue. False when already suspended.
PNDSIM_CONTROL_API bool Suspend();
/// Wakes a suspended device: a resume, then an on transition is broadcast.
/// False when the device was not suspended.
PNDSIM_CONTROL_API bool Resume();
/// True between a suspend and the next resume.
PNDSIM_CONTROL_API bool IsSuspended();
/// How often the device was suspended since the last reset.
PNDSIM_CONTROL_API int SuspendCount();
/// How often the device was restarted through the reboot I/O control.
PNDSIM_CONTROL_API int RebootCount();
/// How often the idle timer was reset since the last reset.
PNDSIM_CONTROL_API int IdleTimerResets();
/// How often the power status was read (GetSystemPowerStatusEx) since the device started; no reset
/// clears it. Two more reads than at a change mean the polling thread ended the round that saw it.
PNDSIM_CONTROL_API std::uint64_t PowerStatusReads();

/// Writes one power broadcast of kind `message` (PBT_ values) with `flags`
/// and a UTF-8 state name to every queue registered for that kind, without
/// changing the device state. Returns the number of queues written to.
PNDSIM_CONTROL_API int BroadcastPower(std::uint32_t message, std::uint32_t flags,
                                      const std::string& stateName);
/// The number of queues registered for power notifications.
PNDSIM_CONTROL_API int PowerNotificationCount();

}  // namespace pndsim
