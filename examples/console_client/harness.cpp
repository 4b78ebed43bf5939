// A test harness's view of a running device: find it, connect in the JSON mode, lower the battery,
// and wait for the application's power listener to hear it. Exits 0 when it did, 1 when a command was
// refused, 2 when no device could be reached.
//   harness [DEVICE]      DEVICE: a process id, a port or a program name; none: the only device running
#include <pndconsole/client.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  std::string error;
  const auto device = pndconsole::FindDevice(argc > 1 ? argv[1] : "", &error);
  if (!device) {
    std::fprintf(stderr, "harness: %s\n", error.c_str());
    return 2;
  }
  const auto console = pndconsole::Connection::Open(device->port, &error, {}, pndconsole::Mode::Json);
  if (!console) {
    std::fprintf(stderr, "harness: %s\n", error.c_str());
    return 2;
  }
  std::printf("connected to %s (pid %d): %s\n", device->program.c_str(), device->pid,
              console->Greeting().c_str());
  // Each event is one JSON object of the shared schema (docs/events.schema.json).
  const auto print = [](const std::string& event) { std::printf("event %s\n", event.c_str()); };
  for (const char* command : {"watch", "battery 30", "expect power 30", "unwatch"}) {
    const auto reply = console->Execute(command, print, &error);
    if (!reply) {
      std::fprintf(stderr, "harness: %s\n", error.c_str());
      return 2;
    }
    if (!reply->ok) {
      std::fprintf(stderr, "harness: %s: %s\n", command, reply->reason.c_str());
      return 1;
    }
    std::printf("%s: OK\n", command);
  }
  return 0;
}
