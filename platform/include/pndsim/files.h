// Controls and observations of the files that exist on the simulated device.
#pragma once

#include <string>
#include <vector>

#include "pndsim/control.h"

namespace pndsim {

/// Creates the file (or, with `folder`, the folder) `path` (UTF-8, for example
/// "\\Windows\\tcontacts.exe"); an existing entry is replaced.
PNDSIM_CONTROL_API void SetFile(const std::string& path, bool folder = false);
/// Deletes a file or folder; false when it does not exist.
PNDSIM_CONTROL_API bool RemoveFile(const std::string& path);

/// One file or folder that exists.
struct FileEntry {
  std::string path;     ///< UTF-8, as last created
  bool folder = false;  ///< a folder rather than a file
};
/// The files and folders that exist, in order of their paths compared
/// without regard to case.
PNDSIM_CONTROL_API std::vector<FileEntry> Files();

}  // namespace pndsim
