// The client of a simulated device's console, for an application's own test harness: finding running
// devices, connecting and authenticating with the token, sending command lines in the line or the JSON
// mode, and reading their replies and the event stream. Installed as <pndconsole/client.h>, linked as
// pndhal::console; docs/console.md describes the protocol, examples/console_client shows it in use.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#if defined(PNDCONSOLE_BUILDING)
#define PNDCONSOLE_API __attribute__((visibility("default")))
#else
#define PNDCONSOLE_API
#endif

namespace pndconsole {

/// A running device with an open console, as its discovery record describes it.
struct Device {
  int pid = 0;
  int port = 0;
  std::string program;
  std::string started;  ///< when its console opened, UTC: "YYYY-MM-DDTHH:MM:SSZ"
};

/// The devices whose console is open, by process id. Records of processes that ended are removed on the way;
/// unreadable records are skipped.
PNDCONSOLE_API std::vector<Device> ListDevices();

/// Picks the device named by `name`: a process id, a port, or a program name; empty picks the only device
/// running. nullopt with *error set when none or several match.
PNDCONSOLE_API std::optional<Device> FindDevice(const std::string& name, std::string* error);

/// The answer to one command: its output lines, then OK or KO with the reason.
struct Reply {
  bool ok = false;
  std::vector<std::string> output;
  /// Why it was refused; in the line mode with "column N: " before it where a column applies.
  std::string reason;
  /// JSON mode: the column the refusal points at (0: none), and the answer as JSON text when it is data
  /// (`state`).
  int column = 0;
  std::string value;
};

/// How a connection speaks: the line mode for people, or the JSON mode for programs (docs/console.md).
enum class Mode { Line, Json };

/// Called with each asynchronous event: in the line mode the text of its line ("SECONDS TEXT", without the
/// marker), in the JSON mode its object as JSON text, exactly as the console sent it.
using EventHandler = std::function<void(const std::string& event)>;

/// One connection to a device's console.
class PNDCONSOLE_API Connection {
 public:
  /// Connects to the console on the loopback `port` and reads its greeting; when it asks for a token, sends
  /// the one from `tokenFile`, or when that is empty from the file PNDSIM_CONSOLE_TOKEN_FILE names, else
  /// ~/.pndsim_console_token. In Mode::Json it switches the connection to the JSON mode first. Null with
  /// *error set when the connection or the authentication fails.
  static std::unique_ptr<Connection> Open(int port, std::string* error, const std::string& tokenFile = {},
                                          Mode mode = Mode::Line);

  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  /// Sends one command line and reads its reply; event lines arriving meanwhile go to `onEvent` (dropped
  /// when it is empty). nullopt with *error set when the line holds a line break or the connection broke.
  std::optional<Reply> Execute(std::string_view line, const EventHandler& onEvent, std::string* error);

  /// Hands event lines to `onEvent` until `limit` passes without one more; false when the connection
  /// closed.
  bool ReadEvents(std::chrono::milliseconds limit, const EventHandler& onEvent);

  /// The socket, for callers that wait on it together with other input.
  int Fd() const { return fd_; }

  /// The greeting's first line, without its marker ("pndsim console 1: PROGRAM pid PID"); in the JSON
  /// mode, the JSON greeting.
  const std::string& Greeting() const { return greeting_; }

  /// The mode the connection speaks.
  Mode GetMode() const { return mode_; }

 private:
  explicit Connection(int fd) : fd_(fd) {}
  bool Send(const std::string& text, std::string* error);
  std::optional<Reply> ReadJsonReply(const EventHandler& onEvent, std::string* error);
  std::optional<Reply> ReadJsonReplyTo(std::uint64_t id, const EventHandler& onEvent, std::string* error);
  // Reads one line; nullopt when the connection closed or `limit` passed (then *timedOut is set).
  std::optional<std::string> ReadLine(std::chrono::milliseconds limit, bool* timedOut);

  int fd_;
  std::string buffered_;
  std::string greeting_;
  Mode mode_ = Mode::Line;
  std::uint64_t nextId_ = 1;
};

}  // namespace pndconsole
