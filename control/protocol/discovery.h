// Discovery: the record a host writes while its console is open, in a folder private to the user, and the
// listing of those records that clients use to find running devices.
#pragma once

#include <string>
#include <vector>

namespace pndconsole::protocol {

/// A running device with an open console, as its discovery record describes it.
struct Device {
  int pid = 0;
  int port = 0;
  std::string program;
  std::string started;  ///< UTC, "YYYY-MM-DDTHH:MM:SSZ"
};

/// The folder of discovery records: $XDG_RUNTIME_DIR/pndsim, or /tmp/pndsim-UID without a runtime folder.
std::string RecordFolder();

/// Writes this process's record for `port`, making the folder private to the user first; false with
/// *error set when the folder cannot be made safely or the file cannot be written.
bool WriteRecord(int port, std::string* error);

/// Removes this process's record, if it wrote one.
void RemoveRecord();

/// The devices whose record is in the folder, by process id. Records of processes that ended are removed on
/// the way; records that are not regular files, too large or unreadable are skipped.
std::vector<Device> ListDevices();

/// The program's short name, as the record and the greeting show it.
std::string ProgramName();

}  // namespace pndconsole::protocol
