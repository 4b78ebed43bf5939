// The console: a loopback port into the running simulated device, where a client sends line commands
// and receives their replies and a live stream of events. The command language itself comes from an
// interpreter installed here; docs/console.md describes the wire protocol, authentication and discovery.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "pndsim/control.h"

namespace pndsim {

/// The answer to one command line. `output` holds the lines shown before the final "OK" (several lines
/// separated by '\n'); `reason` is the text after "KO: " when `ok` is false.
struct ConsoleReply {
  bool ok = true;
  std::string output;
  std::string reason;
};

/// Where a session sends its asynchronous lines (the watch stream). Thread-safe, never blocks: called from
/// any thread, including the HAL's; when the client's output queue is full, lines are dropped (and the client
/// is told how many were lost, e.g. one line "... N events dropped").
using ConsoleSink = std::function<void(std::string_view line)>;

/// The interpreter's side of one client connection. Execute runs on the console's thread for that client,
/// one line at a time and in the order the client sent them; the session is destroyed on that thread's
/// side once the client is gone, after its last Execute returned.
class ConsoleSession {
 public:
  virtual ~ConsoleSession() = default;
  /// Runs one command line (without its line end) and answers it.
  virtual ConsoleReply Execute(std::string_view line) = 0;
};

/// Makes the session of a newly authenticated client; `events` stays valid for the session's whole life.
/// May answer null, in which case the client's commands are refused.
using ConsoleInterpreter = std::function<std::unique_ptr<ConsoleSession>(ConsoleSink events)>;

/// Installs the interpreter new connections use (null removes it). Sessions already made keep running. When
/// a client needs a session and none is installed, the console loads the library PNDSIM_CONSOLE_INTERPRETER
/// names, or else libpndscenario.so (beside libpndsim.so, then by the default search), whose static
/// initialiser is expected to call this.
PNDSIM_CONTROL_API void SetConsoleInterpreter(ConsoleInterpreter interpreter);

/// Opens the console: `port` is a decimal port (1 to 65535) or "auto" for the first free port of
/// 47100-47199. It listens on 127.0.0.1 and ::1 only and writes the discovery record. Returns the port, or
/// 0 with *error set (when `error` is not null) for a malformed port, a port in use, an unusable token file
/// or runtime folder. When the console is already open, "auto" and its own port answer that port and any
/// other port fails.
PNDSIM_CONTROL_API int StartConsole(std::string_view port, std::string* error = nullptr);

/// Closes it: stops listening, disconnects clients, removes the discovery record. Returns when done, that is
/// once every command in progress returned and every session was destroyed. Does nothing when closed, and
/// nothing when called from a console command (which would wait for itself).
PNDSIM_CONTROL_API void StopConsole();

/// The open console's port, 0 when closed.
PNDSIM_CONTROL_API int ConsolePort();

}  // namespace pndsim
