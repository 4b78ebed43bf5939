// The console's files: the user's token file and the discovery record that lets clients find the console.
#pragma once

#include <optional>
#include <string>

namespace sim::console {

/// The token clients must present, read from ~/.pndsim_console_token; the file is created readable by the
/// user alone with a fresh random token when missing. An empty text means no authentication (an empty
/// file). nullopt with *error set when the file cannot be made or read, is a link, is no regular file of
/// at most 4096 bytes (a FIFO is refused without waiting for a writer), or is open to other users.
std::optional<std::string> ReadToken(std::string* error);

/// Writes this process's discovery record for `port` in the user's runtime folder; false with *error set
/// when the folder cannot be made safely or the file cannot be written.
bool WriteDiscoveryRecord(int port, std::string* error);

/// Removes this process's discovery record, if any.
void RemoveDiscoveryRecord();

/// The program's short name, as the record and the greeting show it.
std::string ProgramName();

}  // namespace sim::console
