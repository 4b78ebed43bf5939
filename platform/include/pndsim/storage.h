// Controls and observations of the simulated device's storage cards: folders
// mounted and removed, announced to every queue registered for mount
// notifications.
#pragma once

#include <string>
#include <vector>

#include "pndsim/control.h"

namespace pndsim {

/// Mounts the folder `name` (UTF-8, as the file system names it, for example
/// "SD-Karte") and announces it. False, with nothing announced, for an empty
/// name, a name longer than 260 characters or a folder already mounted.
PNDSIM_CONTROL_API bool MountCard(const std::string& name);
/// Removes the mounted folder `name` and announces it. False when no such
/// folder is mounted.
PNDSIM_CONTROL_API bool RemoveCard(const std::string& name);
/// The mounted folders in the order they were mounted.
PNDSIM_CONTROL_API std::vector<std::string> MountedCards();
/// The number of live registrations for mount notifications.
PNDSIM_CONTROL_API int DeviceNotificationCount();

}  // namespace pndsim
