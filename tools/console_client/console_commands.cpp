// The tool's console commands: listing the running devices, running one command, and the interactive
// console with line editing, history, verb completion and the live event stream.
#include <histedit.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <iostream>
#include <nlohmann/json.hpp>

#include "console_client.h"
#include "protocol.h"

namespace pndconsole {
namespace {

// Events and refusals are shown as the wire has them.
void PrintEvent(const std::string& event) { std::cout << protocol::kEventMarker << event << std::endl; }

void PrintReply(const Reply& reply, bool showOk) {
  for (const std::string& line : reply.output) std::cout << line << '\n';
  if (!reply.ok) {
    std::cout.flush();
    std::cerr << protocol::kKoPrefix << reply.reason << std::endl;
  } else if (showOk) {
    std::cout << protocol::kOk << std::endl;
  } else {
    std::cout.flush();
  }
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The verbs a session offers: the first word of each line of its `help` output that is not indented (an
// indented line explains the verb above it), plus the console's own.
std::vector<std::string> Verbs(Connection& connection) {
  std::vector<std::string> verbs{std::string(protocol::kAuthVerb), "quit"};
  std::string error;
  if (const auto reply = connection.Execute("help", {}, &error); reply && reply->ok) {
    for (const std::string& line : reply->output) {
      if (line.empty() || line[0] < 'a' || line[0] > 'z') continue;
      verbs.push_back(line.substr(0, line.find_first_of(" \t")));
    }
  }
  std::sort(verbs.begin(), verbs.end());
  verbs.erase(std::unique(verbs.begin(), verbs.end()), verbs.end());
  return verbs;
}

std::string HomeFile(const char* name) {
  const char* home = std::getenv("HOME");  // NOLINT(concurrency-mt-unsafe): only read
  return std::string(home != nullptr ? home : ".") + "/" + name;
}

// What the editor's callbacks reach through the editor's client data.
struct Editor {
  Connection* connection = nullptr;
  std::vector<std::string> verbs;
  bool closed = false;
};

Editor& EditorOf(EditLine* editLine) {
  void* data = nullptr;
  el_get(editLine, EL_CLIENTDATA, &data);
  return *static_cast<Editor*>(data);
}

const char* Prompt(EditLine*) { return "pndsim> "; }

// Reads the next character of input, printing the device's event lines above the line being edited
// while it waits.
int ReadCharacter(EditLine* editLine, wchar_t* character) {
  Editor& editor = EditorOf(editLine);
  std::mbstate_t state{};
  while (true) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {editor.connection->Fd(), POLLIN, 0}};
    if (poll(fds, editor.closed ? 1 : 2, -1) < 0) continue;
    if ((fds[1].revents & (POLLIN | POLLHUP)) != 0 && !editor.closed) {
      bool printed = false;
      editor.closed =
          !editor.connection->ReadEvents(std::chrono::milliseconds(0), [&](const std::string& event) {
            std::cout << "\r\033[K* " << event << '\n';
            printed = true;
          });
      if (editor.closed) std::cout << "\r\033[Kthe device closed the console\n";
      std::cout.flush();
      if (printed || editor.closed) el_set(editLine, EL_REFRESH);
      if (editor.closed) return 0;
    }
    if ((fds[0].revents & (POLLIN | POLLHUP)) != 0) {
      char byte = 0;
      const ssize_t got = read(STDIN_FILENO, &byte, 1);
      if (got <= 0) return got == 0 ? 0 : -1;
      // NOLINTNEXTLINE(concurrency-mt-unsafe): with a state of its own, mbrtowc shares nothing
      const std::size_t size = std::mbrtowc(character, &byte, 1, &state);
      if (size == static_cast<std::size_t>(-2)) continue;
      if (size == static_cast<std::size_t>(-1)) {
        state = {};
        continue;
      }
      return 1;
    }
  }
}

// Completes the verb under the cursor: inserts the rest of a single match or the matches' common prefix,
// and lists the matches when there is nothing to add.
unsigned char CompleteVerb(EditLine* editLine, int) {
  Editor& editor = EditorOf(editLine);
  const LineInfo* line = el_line(editLine);
  const std::string before(line->buffer, line->cursor);
  if (before.find_first_of(" \t") != std::string::npos) return CC_ERROR;
  std::vector<std::string> matches;
  for (const std::string& verb : editor.verbs) {
    if (verb.rfind(before, 0) == 0) matches.push_back(verb);
  }
  if (matches.empty()) return CC_ERROR;
  if (matches.size() == 1) {
    el_insertstr(editLine, (matches.front().substr(before.size()) + " ").c_str());
    return CC_REFRESH;
  }
  std::size_t common = before.size();
  while (std::all_of(matches.begin(), matches.end(), [&](const std::string& verb) {
    return verb.size() > common && verb[common] == matches.front()[common];
  })) {
    ++common;
  }
  if (common > before.size()) {
    el_insertstr(editLine, matches.front().substr(before.size(), common - before.size()).c_str());
    return CC_REFRESH;
  }
  std::cout << '\n';
  for (const std::string& verb : matches) std::cout << verb << "  ";
  std::cout << std::endl;
  return CC_REDISPLAY;
}

int Interactive(Connection& connection) {
  Editor editor;
  editor.connection = &connection;
  editor.verbs = Verbs(connection);
  std::cout << connection.Greeting() << "; help lists the commands, quit leaves" << std::endl;

  EditLine* editLine = el_init("pndhal", stdin, stdout, stderr);
  History* past = history_init();
  HistEvent event{};
  history(past, &event, H_SETSIZE, 1000);
  history(past, &event, H_SETUNIQUE, 1);
  const std::string historyPath = HomeFile(".pndsim_console_history");
  history(past, &event, H_LOAD, historyPath.c_str());
  el_set(editLine, EL_EDITOR, "emacs");
  el_set(editLine, EL_PROMPT, Prompt);
  el_set(editLine, EL_HIST, history, past);
  el_set(editLine, EL_CLIENTDATA, &editor);
  el_set(editLine, EL_GETCFN, ReadCharacter);
  el_set(editLine, EL_ADDFN, "pndhal-complete", "Complete a console verb", CompleteVerb);
  el_set(editLine, EL_BIND, "^I", "pndhal-complete", nullptr);

  int status = 0;
  while (true) {
    int count = 0;
    const char* read = el_gets(editLine, &count);
    if (read == nullptr || count <= 0) break;
    std::string line(read);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (Trimmed(line).empty()) continue;
    history(past, &event, H_ENTER, line.c_str());
    std::string error;
    const auto reply = connection.Execute(line, PrintEvent, &error);
    if (!reply) {
      std::cerr << "pndhal console: " << error << std::endl;
      status = 2;
      break;
    }
    PrintReply(*reply, true);
    if (reply->ok && Trimmed(line) == "quit") break;
  }
  history(past, &event, H_SAVE, historyPath.c_str());
  history_end(past);
  el_end(editLine);
  return status;
}

// Commands from a pipe: each one run in turn, its output printed; 1 when any was refused.
int FromPipe(Connection& connection) {
  int status = 0;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::string error;
    const auto reply = connection.Execute(line, PrintEvent, &error);
    if (!reply) {
      std::cerr << "pndhal console: " << error << std::endl;
      return 2;
    }
    PrintReply(*reply, false);
    if (!reply->ok) status = 1;
  }
  return status;
}

}  // namespace

int RunDevicesCommand(bool json) {
  const std::vector<Device> devices = ListDevices();
  if (json) {
    nlohmann::json list = nlohmann::json::array();
    for (const Device& device : devices) {
      list.push_back({{"pid", device.pid},
                      {"port", device.port},
                      {"program", device.program},
                      {"started", device.started}});
    }
    std::cout << list.dump(2) << std::endl;
    return 0;
  }
  if (devices.empty()) {
    std::cout << "no device with an open console is running" << std::endl;
    return 0;
  }
  std::printf("%-8s %-6s %-20s %s\n", "PID", "PORT", "PROGRAM", "STARTED");
  for (const Device& device : devices) {
    std::printf("%-8d %-6d %-20s %s\n", device.pid, device.port, device.program.c_str(),
                device.started.c_str());
  }
  return 0;
}

int RunConsoleCommand(const std::string& device, const std::optional<std::string>& command) {
  std::string error;
  const std::optional<Device> found = FindDevice(device, &error);
  if (!found) {
    std::cerr << "pndhal console: " << error << std::endl;
    return 2;
  }
  const std::unique_ptr<Connection> connection = Connection::Open(found->port, &error);
  if (!connection) {
    std::cerr << "pndhal console: " << error << std::endl;
    return 2;
  }
  if (command) {
    const auto reply = connection->Execute(*command, PrintEvent, &error);
    if (!reply) {
      std::cerr << "pndhal console: " << error << std::endl;
      return 2;
    }
    PrintReply(*reply, false);
    return reply->ok ? 0 : 1;
  }
  return isatty(STDIN_FILENO) != 0 ? Interactive(*connection) : FromPipe(*connection);
}

}  // namespace pndconsole
