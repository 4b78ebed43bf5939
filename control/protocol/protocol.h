// The console's wire protocol, written once for the host in the application and for its clients: the line
// markers, the greeting, the replies and the limits. docs/console.md describes it for people.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pndconsole::protocol {

/// The protocol's version, named in the greeting.
inline constexpr int kVersion = 1;
/// The longest command line a client may send, in bytes without its line end.
inline constexpr std::size_t kLineLimit = 4096;
/// The ports "auto" chooses from.
inline constexpr int kAutoFirstPort = 47100;
inline constexpr int kAutoLastPort = 47199;

/// The start of a greeting line, an output line and an event line.
inline constexpr std::string_view kGreetingMarker = "# ";
inline constexpr std::string_view kOutputMarker = "| ";
inline constexpr std::string_view kEventMarker = "* ";
/// The line that ends a successful reply, and the start of the one that ends a refused one.
inline constexpr std::string_view kOk = "OK";
inline constexpr std::string_view kKoPrefix = "KO: ";
/// The greeting's last line when the client may send commands at once, and when it must authenticate.
inline constexpr std::string_view kReady = "ready";
inline constexpr std::string_view kAuthRequired =
    "auth required: send \"auth TOKEN\" with the token from ~/.pndsim_console_token";
/// The verb that authenticates.
inline constexpr std::string_view kAuthVerb = "auth";

/// The greeting's first line, with its marker and line end: "# pndsim console 1: PROGRAM pid PID".
std::string GreetingLine(std::string_view program, int pid);

/// A reply as it goes on the wire: one output line per line of `output`, then "OK" or "KO: REASON" (line
/// breaks in the reason become spaces; an empty reason reads "failed").
std::string FormatReply(bool ok, std::string_view output, std::string_view reason);

/// An event line as it goes on the wire, stamped with the seconds since the console opened; line breaks in
/// `text` become spaces.
std::string FormatEvent(double seconds, std::string_view text);

/// "WHAT: " and the text of errno, for a system call's failure.
std::string ErrnoText(const std::string& what);

/// Parses "auto" or a decimal port (1-65535) into the range of ports to try; false with *error set (when
/// not null) otherwise.
bool PortRange(std::string_view text, int& first, int& last, std::string* error);

}  // namespace pndconsole::protocol
