// Controls and observations of the simulated device's one tree of folders and files, which every call
// that takes a path reads. Paths are UTF-8, taken from the root ("\\Windows\\poutlook.exe"), and compared
// without regard to case.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pndsim/control.h"

namespace pndsim {

/// Creates the file (or, with `folder`, the folder) `path` (UTF-8, for example
/// "\\Windows\\tcontacts.exe") and the folders on the way to it; an existing
/// entry, or a file on the way, is replaced. The root cannot be created.
PNDSIM_CONTROL_API void SetFile(const std::string& path, bool folder = false);
/// Deletes a file, or a folder with everything in it; false when it does not
/// exist or is the root.
PNDSIM_CONTROL_API bool RemoveFile(const std::string& path);

/// What a path names.
enum class FileKind { None, File, Folder };
/// What `path` names now; the root ("\\") is a folder.
PNDSIM_CONTROL_API FileKind FileAt(const std::string& path);
/// The names of the files and folders directly in the folder `path`, in order
/// of their names compared without regard to case; nothing when `path` is no
/// folder.
PNDSIM_CONTROL_API std::optional<std::vector<std::string>> FolderContents(const std::string& path);

/// One file or folder that exists.
struct FileEntry {
  std::string path;     ///< UTF-8, as last created
  bool folder = false;  ///< a folder rather than a file
};
/// The files and folders that exist (the root aside), in order of their
/// paths compared without regard to case.
PNDSIM_CONTROL_API std::vector<FileEntry> Files();

}  // namespace pndsim
