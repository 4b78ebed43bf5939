// Control of the simulated device's programs: the navigation application's
// own file name, the programs CreateProcessW can start, and the processes
// started so far.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "pndsim/control.h"

namespace pndsim {

/// The file name of the navigation application's executable on the default
/// device (the built-in profile's "programs.application"), which
/// GetModuleFileNameW reports to the HAL.
inline constexpr const char* kDefaultApplicationPath = "\\Storage Card\\Apps\\Main.exe";

/// Sets the application's file name (UTF-8) that GetModuleFileNameW reports
/// on the application's threads, creating its file in the file tree. An empty
/// name is ignored (false).
PNDSIM_CONTROL_API bool SetApplicationPath(std::string_view path);
/// The application's file name, UTF-8.
PNDSIM_CONTROL_API std::string ApplicationPath();

/// A program's main function: runs on the new process's first thread with
/// the command line (UTF-8); its result is the process's exit code.
using ProgramMain = std::function<std::uint32_t(const std::string& commandLine)>;

/// Stores a program at `path` (UTF-8, compared without regard to case): its
/// file (and the folders on the way) in the file tree, and the code it runs,
/// replacing a program stored there. False for an empty path or the root, or
/// a missing main.
PNDSIM_CONTROL_API bool InstallProgram(std::string_view path, ProgramMain main);
/// Removes the program at `path`, its file with it; false when none is stored
/// there. Running processes of it go on.
PNDSIM_CONTROL_API bool RemoveProgram(std::string_view path);
/// True when a program is stored at `path` and its file exists.
PNDSIM_CONTROL_API bool ProgramInstalled(std::string_view path);

/// Starts the program at `path` with the command line `commandLine` as another
/// program on the device would, through CreateProcessW, and lets go of its
/// handles. Returns 0 when it started, else the platform's error
/// (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_BAD_EXE_FORMAT, ...).
PNDSIM_CONTROL_API std::uint32_t StartProgram(std::string_view path, std::string_view commandLine = {});

/// One process started with CreateProcessW.
struct ProcessRecord {
  std::uint32_t id;
  std::string path;         ///< UTF-8, as the caller gave it
  std::string commandLine;  ///< UTF-8
  bool running;
  std::uint32_t exitCode;  ///< valid once it has ended
};

/// The number of processes the process list keeps after a reset.
inline constexpr std::size_t kDefaultProcessesCapacity = 1000;

/// The processes started since the last reset, in the order started: the
/// newest up to the list's capacity, and every one still running (a running
/// process is never dropped from the list).
PNDSIM_CONTROL_API std::vector<ProcessRecord> Processes();
/// Makes the process list keep at most `capacity` processes until the next
/// reset beside those still running, forgetting at once (and counting as
/// dropped) the oldest that have ended beyond it.
PNDSIM_CONTROL_API void SetProcessesCapacity(std::size_t capacity);
/// How full the process list is; `kept` counts the running processes too.
PNDSIM_CONTROL_API RecordStatus ProcessesStatus();

/// Waits until no process started since the last reset runs any more, at
/// most `milliseconds` of real time; true when none runs.
PNDSIM_CONTROL_API bool WaitForProcessesToEnd(std::uint32_t milliseconds);

}  // namespace pndsim
