// The files concern's face: what the simulator's other parts ask of the device's one tree of folders and
// files, which every call that takes a path reads.
#pragma once

#include <string>
#include <string_view>

#include "ce/kernel.h"

namespace sim::files {

/// What a path names on the device.
enum class Kind { None, File, Folder };

/// What `path` names, compared without regard to case. A path is taken from the root (the device has no
/// current folder); "\" is the root folder, and trailing backslashes are ignored.
Kind Find(std::wstring_view path);

/// Where `path` leads: ERROR_SUCCESS when it names a file or folder, ERROR_PATH_NOT_FOUND when a folder on
/// the way is missing (or is a file), ERROR_FILE_NOT_FOUND when only its last element is missing.
DWORD Locate(std::wstring_view path);

/// The path of the file or folder `path` names, spelled as it was created ("\Windows\externapi.dll" for
/// "\WINDOWS\EXTERNAPI.DLL"); empty when there is none.
std::wstring Spelled(std::wstring_view path);

/// Creates the file (or folder) `path` and the folders on the way to it; a file on the way, or an entry
/// of the other kind at `path`, is replaced (a folder with everything in it). False, creating nothing,
/// for the root or an empty path.
bool Create(std::wstring_view path, bool folder);

/// Deletes the file or folder `path`, a folder with everything in it. False when it does not exist or is
/// the root.
bool Delete(std::wstring_view path);

}  // namespace sim::files
