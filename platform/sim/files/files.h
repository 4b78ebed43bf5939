// The files concern's face: what the simulator's other parts ask of the files that exist on the device.
#pragma once

#include <string_view>

namespace sim::files {

/// What a path names on the device.
enum class Kind { None, File, Folder };

/// What `path` names, compared without regard to case.
Kind Find(std::wstring_view path);

}  // namespace sim::files
