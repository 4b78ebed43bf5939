// A device program for the console tests: opens the console with a recording interpreter installed and
// obeys "start PORT" and "stop" on its standard input until it ends.
//
// The interpreter's verbs: echo TEXT, fail REASON, lines N, storm THREADS COUNT (events from many threads),
// hold (until some session says release), waitheld, release, waitgone N (until N sessions were
// destroyed), waitstorms N (until N storms ended), stats, help.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host.h"
#include "pndsim/pndsim.h"

namespace {

constexpr auto kBound = std::chrono::seconds(20);

struct Shared {
  std::mutex mutex;
  std::condition_variable changed;
  int holding = 0;
  bool released = false;
  int sessions = 0;
  int destroyed = 0;
  long executed = 0;
  int storms = 0;
};

// Never destroyed: a command still waiting when the process exits must not find it gone.
Shared& TheShared() {
  static auto* shared = new Shared;
  return *shared;
}

class RecordingSession : public pndconsole::host::Session {
 public:
  explicit RecordingSession(pndconsole::host::EventSink events) : events_(std::move(events)) {
    std::lock_guard lock(TheShared().mutex);
    ++TheShared().sessions;
  }
  ~RecordingSession() override {
    std::lock_guard lock(TheShared().mutex);
    ++TheShared().destroyed;
    TheShared().changed.notify_all();
  }
  RecordingSession(const RecordingSession&) = delete;
  RecordingSession& operator=(const RecordingSession&) = delete;

  pndconsole::host::Reply Execute(std::string_view line) override {
    Shared& shared = TheShared();
    {
      std::lock_guard lock(shared.mutex);
      ++shared.executed;
    }
    std::istringstream words{std::string(line)};
    std::string verb;
    words >> verb;
    std::string rest;
    std::getline(words >> std::ws, rest);
    if (verb == "echo") return {true, rest, {}};
    if (verb == "fail") return {false, {}, rest};
    if (verb == "lines") {
      std::string output;
      const int count = std::stoi(rest);
      for (int i = 0; i < count; ++i) output += "line " + std::to_string(i) + "\n";
      return {true, output, {}};
    }
    if (verb == "storm") return Storm(std::stoi(rest), std::stoi(rest.substr(rest.find(' '))));
    if (verb == "hold") {
      std::unique_lock lock(shared.mutex);
      ++shared.holding;
      shared.changed.notify_all();
      const bool released = shared.changed.wait_for(lock, kBound, [&] { return shared.released; });
      --shared.holding;
      return {released, released ? "released" : "", released ? "" : "never released"};
    }
    if (verb == "waitheld" || verb == "waitgone" || verb == "waitstorms") {
      const int count = verb == "waitheld" ? 0 : std::stoi(rest);
      std::unique_lock lock(shared.mutex);
      const bool met = shared.changed.wait_for(lock, kBound, [&] {
        if (verb == "waitheld") return shared.holding > 0;
        return (verb == "waitgone" ? shared.destroyed : shared.storms) >= count;
      });
      return {met, {}, met ? "" : "timed out"};
    }
    if (verb == "release") {
      std::lock_guard lock(shared.mutex);
      shared.released = true;
      shared.changed.notify_all();
      return {};
    }
    if (verb == "stats") {
      std::lock_guard lock(shared.mutex);
      return {true,
              "sessions " + std::to_string(shared.sessions) + "\ndestroyed " +
                  std::to_string(shared.destroyed) + "\nexecuted " + std::to_string(shared.executed),
              {}};
    }
    if (verb == "help") return {true, "echo TEXT\nfail REASON\nlines N\nstorm THREADS COUNT\nstats", {}};
    return {false, {}, "unknown command \"" + verb + "\" at column 1"};
  }

 private:
  pndconsole::host::Reply Storm(int threads, int count) {
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(threads));
    for (int t = 0; t < threads; ++t) {
      workers.emplace_back([this, t, count] {
        for (int i = 0; i < count; ++i) events_("event " + std::to_string(t) + " " + std::to_string(i), {});
      });
    }
    for (auto& worker : workers) worker.join();
    {
      std::lock_guard lock(TheShared().mutex);
      ++TheShared().storms;
      TheShared().changed.notify_all();
    }
    return {true, "sent " + std::to_string(threads * count), {}};
  }

  pndconsole::host::EventSink events_;
};

void ReportPort(int port, const std::string& error) {
  std::cout << "port " << port << (error.empty() ? "" : " " + error) << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  bool interpreter = true;
  std::string start;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--no-interpreter") interpreter = false;
    if (argument == "--start" && i + 1 < argc) start = argv[++i];
  }
  if (interpreter) {
    pndconsole::host::SetInterpreter([](pndconsole::host::EventSink events) {
      return std::make_unique<RecordingSession>(std::move(events));
    });
  }
  std::string error;
  if (!start.empty()) pndconsole::host::Start(start, &error);
  ReportPort(pndconsole::host::Port(), error);
  std::string command;
  while (std::getline(std::cin, command)) {
    if (command == "stop") {
      pndconsole::host::Stop();
      ReportPort(pndconsole::host::Port(), {});
    } else if (command.rfind("start ", 0) == 0) {
      error.clear();
      ReportPort(pndconsole::host::Start(command.substr(6), &error), error);
    }
  }
  return 0;
}
