// The console's wire protocol: greeting, replies and events as they go on the wire.
#include "protocol.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <system_error>

namespace pndconsole::protocol {
namespace {

std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return line;
}

}  // namespace

std::string GreetingLine(std::string_view program, int pid) {
  return std::string(kGreetingMarker) + "pndsim console " + std::to_string(kVersion) + ": " +
         std::string(program) + " pid " + std::to_string(pid) + "\n";
}

std::string FormatReply(bool ok, std::string_view output, std::string_view reason) {
  std::string text;
  std::size_t start = 0;
  while (start < output.size()) {
    auto end = output.find('\n', start);
    if (end == std::string_view::npos) end = output.size();
    text += std::string(kOutputMarker) + std::string(output.substr(start, end - start)) + "\n";
    start = end + 1;
  }
  if (ok) return text + std::string(kOk) + "\n";
  return text + std::string(kKoPrefix) + (reason.empty() ? std::string("failed") : OneLine(reason)) + "\n";
}

std::string FormatEvent(double seconds, std::string_view text) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%.6f ", seconds);
  return std::string(kEventMarker) + stamp + OneLine(text) + "\n";
}

std::string ErrnoText(const std::string& what) {
  return what + ": " + std::generic_category().message(errno);
}

bool PortRange(std::string_view text, int& first, int& last, std::string* error) {
  if (text == "auto") {
    first = kAutoFirstPort;
    last = kAutoLastPort;
    return true;
  }
  int port = 0;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (text.empty() || status != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) {
    if (error != nullptr) *error = "invalid port \"" + std::string(text) + "\" (a number 1-65535 or auto)";
    return false;
  }
  first = last = port;
  return true;
}

}  // namespace pndconsole::protocol
