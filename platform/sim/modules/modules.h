// The modules concern's face: what the rest of the simulator asks of the libraries loaded on the device.
#pragma once

#include <optional>
#include <string>

#include "ce/types.h"

namespace sim::modules {

/// The path in the device's file tree of the library `module` is a handle of, while it is loaded.
std::optional<std::wstring> LoadedPath(HMODULE module);

}  // namespace sim::modules
