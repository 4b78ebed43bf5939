// The console host: a loopback port into the running application's simulated device, where clients send
// command lines and receive their replies and a live stream of events. It lives in the control surface,
// above the library, and runs every command through the scenario language unless a test installs another
// interpreter. docs/console.md describes the protocol, authentication and discovery.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace pndconsole::host {

/// The answer to one command line. `output` holds the lines shown before the final "OK" (several lines
/// separated by '\n'); `reason` is the text after "KO: " when `ok` is false, `column` the column of the
/// line it refers to (0: none; the line mode shows it as "column N: REASON"). `value` is the answer as
/// JSON text when it is data (`state`), which the JSON mode sends as a JSON value.
struct Reply {
  bool ok = true;
  std::string output;
  std::string reason;
  int column = 0;
  std::string value{};
};

/// Where a session sends its asynchronous events (the watch stream): `text` for the line mode, `json`
/// (one object of the shared event schema) for the JSON mode; with `json` empty, the JSON mode sends the
/// text as a "message" object. Thread-safe, never blocks: called from any thread, the library's included;
/// when the client's output queue is full, events are dropped and the client is told how many.
using EventSink = std::function<void(std::string_view text, std::string_view json)>;

/// The interpreter's side of one client connection. Execute runs on the host's thread for that client, one
/// line at a time in the order the client sent them; the session is destroyed on that thread once the
/// client is gone, after its last Execute returned.
class Session {
 public:
  virtual ~Session() = default;
  /// Runs one command line (without its line end) and answers it.
  virtual Reply Execute(std::string_view line) = 0;
  /// Asks a command in progress to return soon (the host is closing); called from another thread.
  virtual void Cancel() {}
};

/// Makes the session of a newly authenticated client; `events` stays valid for the session's whole life.
/// May answer null, in which case the client's commands are refused.
using Interpreter = std::function<std::unique_ptr<Session>(EventSink events)>;

/// Replaces the interpreter new connections use; null restores the scenario language. For tests of the
/// transport.
void SetInterpreter(Interpreter interpreter);

/// Opens the console: `port` is a decimal port (1 to 65535) or "auto" for the first free port of
/// 47100-47199. It listens on 127.0.0.1 and ::1 only and writes the discovery record. Returns the port, or
/// 0 with *error set (when `error` is not null) for a malformed port, a port in use, an unusable token file
/// or runtime folder. When the console is already open, "auto" and its own port answer that port and any
/// other port fails.
int Start(std::string_view port, std::string* error = nullptr);

/// Closes it: stops listening, asks every command in progress to return, disconnects the clients and
/// removes the discovery record. Returns once every session was destroyed. Does nothing when closed, and
/// nothing when called from a console command (which would wait for itself).
void Stop();

/// The open console's port, 0 when closed.
int Port();

}  // namespace pndconsole::host
