// Plays scenario scripts on the simulated device and reports what happened.
#include "scenario_runner.h"

#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <variant>

#include "command_line.h"
#include "console_client.h"
#include "json_output.h"
#include "lexer.h"
#include "scenario.h"

namespace tool {
namespace {

// Prints the run as it happens, from the thread that plays the script and from the library's threads,
// and counts what it saw.
class Reporter {
 public:
  Reporter(const RunSettings& settings, RunSummary& summary) : settings_(settings), summary_(summary) {}

  void StartScript() {
    std::lock_guard lock(mutex_);
    start_ = scenario::Clock::now();
  }

  void Heading(const std::string& heading) {
    std::lock_guard lock(mutex_);
    if (settings_.trace && !settings_.json) std::printf("\n== %s\n", heading.c_str());
  }

  void Statement(const std::string& script, const scenario::Statement& statement) {
    std::lock_guard lock(mutex_);
    ++summary_.statements;
    if (settings_.json) {
      Print({{"type", "statement"}, {"script", script}, {"line", statement.line}, {"text", statement.text}});
    } else if (settings_.trace) {
      std::printf("%s:%d: %s\n", script.c_str(), statement.line, statement.text.c_str());
    }
  }

  void Event(const scenario::Event& event) {
    std::lock_guard lock(mutex_);
    const bool listener = event.source == scenario::Event::Source::Listener;
    if (listener) {
      ++summary_.listenerCalls[event.kind];
    } else {
      ++summary_.platformEffects;
    }
    if (settings_.json) {
      const double ms = std::chrono::duration<double, std::milli>(event.when - start_).count();
      if (listener) {
        Print({{"type", "listener"}, {"kind", event.kind}, {"call", event.text}, {"ms", ms}});
      } else {
        Print({{"type", "platform"}, {"kind", event.kind}, {"detail", event.text}, {"ms", ms}});
      }
    } else if (settings_.trace) {
      std::printf(listener ? "    listener %s\n" : "    platform %s %s\n",
                  listener ? event.text.c_str() : event.kind.c_str(), event.text.c_str());
    }
  }

  // An event line from a device's console: "SECONDS listener TEXT" or "SECONDS platform KIND DETAIL".
  void ConsoleEvent(const std::string& line) {
    std::lock_guard lock(mutex_);
    const std::size_t time = line.find(' ');
    const std::string text = time == std::string::npos ? line : line.substr(time + 1);
    if (text.rfind("listener ", 0) == 0) ++summary_.listenerCalls[text.substr(9, text.find(' ', 9) - 9)];
    if (text.rfind("platform ", 0) == 0) ++summary_.platformEffects;
    if (settings_.json) {
      Print({{"type", "event"}, {"device", line}});
    } else if (settings_.trace) {
      std::printf("    %s\n", text.c_str());
    }
  }

  // A line at fault: `where` is "NAME:LINE" or "NAME:LINE:COLUMN".
  void Fault(const std::string& where, const std::string& message, const char* type) {
    std::lock_guard lock(mutex_);
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", where.c_str(), message.c_str());
    if (settings_.json) Print({{"type", type}, {"at", where}, {"message", message}});
  }

  // What the device's trace dropped while a script played; said only when it dropped something.
  void TraceDropped(const std::string& script, const pndsim::RecordStatus& trace) {
    std::lock_guard lock(mutex_);
    summary_.traceDropped += trace.dropped;
    if (trace.dropped == 0) return;
    if (settings_.json) {
      Print({{"type", "dropped"},
             {"script", script},
             {"record", "trace"},
             {"count", trace.dropped},
             {"capacity", trace.capacity}});
    } else if (settings_.trace) {
      std::printf("    trace: %llu events dropped (the device's trace keeps the last %zu)\n",
                  static_cast<unsigned long long>(trace.dropped), trace.capacity);
    }
  }

  void Result(int scripts, int failed) {
    std::lock_guard lock(mutex_);
    if (settings_.json) Print({{"type", "result"}, {"scripts", scripts}, {"failed", failed}});
  }

 private:
  static void Print(const Json& line) {
    std::puts(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  }

  const RunSettings& settings_;
  RunSummary& summary_;
  std::mutex mutex_;
  scenario::Clock::time_point start_ = scenario::Clock::now();
};

// The recording: actions and listener calls in the order they happened, written as a script.
class Recording {
 public:
  void Add(const std::string& line) {
    std::lock_guard lock(mutex_);
    lines_.push_back(line);
  }

  bool Write(const std::string& path, const std::string& from) {
    std::ofstream out(path);
    out << "# Recorded by pndhal from " << from
        << ": replaying it passes while the library behaves the same.\n";
    std::lock_guard lock(mutex_);
    for (const auto& line : lines_) out << line << '\n';
    out.close();
    return static_cast<bool>(out);
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

// The headings of a script: its comment lines that begin with "## ", by line number, which a traced
// run prints as it reaches them.
std::map<int, std::string> Headings(const std::string& text) {
  std::map<int, std::string> headings;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (line.rfind("## ", 0) == 0) headings[number] = line.substr(3);
  }
  return headings;
}

// Plays one parsed script on a fresh device; false at its first failure.
bool Play(const scenario::Script& script, const std::string& text, const RunSettings& settings,
          Reporter& reporter, Recording* recording) {
  pndsim::Reset();
  if (!settings.profilePath.empty()) pndsim::LoadProfile(settings.profilePath);
  pndsim::SetTimeScale(settings.timeScale);
  reporter.StartScript();
  bool passed = true;
  {
    scenario::SessionOptions options;
    if (recording != nullptr) {
      options.record = [recording](const std::string& line) { recording->Add(line); };
      if (!settings.profilePath.empty()) {
        recording->Add("profile load " +
                       scenario::QuoteWord(std::filesystem::absolute(settings.profilePath).string()));
      }
    }
    scenario::Session session(options, [&reporter](const scenario::Event& event) { reporter.Event(event); });
    reporter.Heading(script.name + ": the library starts on a fresh device");
    session.Start();
    const std::map<int, std::string> headings = Headings(text);
    auto nextHeading = headings.begin();
    for (const auto& statement : script.statements) {
      for (; nextHeading != headings.end() && nextHeading->first < statement.line; ++nextHeading) {
        reporter.Heading(nextHeading->second);
      }
      reporter.Statement(script.name, statement);
      const scenario::Outcome outcome = session.Run(statement);
      if (!outcome.output.empty()) std::fputs(outcome.output.c_str(), stdout);
      if (!outcome.ok) {
        reporter.Fault(script.name + ":" + std::to_string(statement.line), outcome.message, "failure");
        passed = false;
        break;
      }
    }
  }
  FreeDLL();
  reporter.TraceDropped(script.name, pndsim::TraceStatus());
  return passed;
}

// Plays one parsed script on a running device's console; false at its first failure.
bool PlayAttached(pndconsole::Connection& console, const scenario::Script& script,
                  const RunSettings& settings, Reporter& reporter) {
  reporter.StartScript();
  const auto onEvent = [&reporter](const std::string& line) { reporter.ConsoleEvent(line); };
  std::string error;
  std::vector<std::string> lines;
  if (settings.trace || settings.json) lines.push_back("watch");
  if (!settings.profilePath.empty()) {
    lines.push_back("profile load " +
                    scenario::QuoteWord(std::filesystem::absolute(settings.profilePath).string()));
  }
  for (const auto& line : lines) {
    const auto reply = console.Execute(line, onEvent, &error);
    if (!reply || !reply->ok) {
      reporter.Fault(script.name, line + ": " + (reply ? reply->reason : error), "failure");
      return false;
    }
  }
  for (const auto& statement : script.statements) {
    reporter.Statement(script.name, statement);
    const auto reply = console.Execute(statement.text, onEvent, &error);
    if (reply) {
      for (const auto& output : reply->output) std::puts(output.c_str());
    }
    if (!reply || !reply->ok) {
      reporter.Fault(script.name + ":" + std::to_string(statement.line), reply ? reply->reason : error,
                     "failure");
      return false;
    }
  }
  return true;
}

}  // namespace

bool ReadScripts(const std::vector<std::string>& files, std::vector<ScriptSource>& scripts) {
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
      std::fprintf(stderr, "pndhal: cannot read %s\n", file.c_str());
      return false;
    }
    scripts.push_back({file, text.str()});
  }
  return true;
}

RunSummary RunScripts(const std::vector<ScriptSource>& sources, const RunSettings& settings) {
  RunSummary summary;
  Reporter reporter(settings, summary);
  std::vector<scenario::Script> scripts;
  for (const auto& source : sources) {
    auto parsed = scenario::ParseScript(source.text, source.name);
    if (const auto* error = std::get_if<scenario::ParseError>(&parsed)) {
      reporter.Fault(source.name + ":" + std::to_string(error->line) + ":" + std::to_string(error->column),
                     error->message, "syntax");
      summary.exitCode = kExitUsage;
      return summary;
    }
    scripts.push_back(std::move(std::get<scenario::Script>(parsed)));
  }
  std::unique_ptr<pndconsole::Connection> console;
  if (settings.attach) {
    std::string error;
    const auto device = pndconsole::FindDevice(*settings.attach, &error);
    if (device) console = pndconsole::Connection::Open(device->port, &error);
    if (!console) {
      reporter.Fault("pndhal", "run: " + error, "device");
      summary.exitCode = kExitUsage;
      return summary;
    }
  } else if (!settings.profilePath.empty()) {
    if (const auto error = pndsim::LoadProfile(settings.profilePath)) {
      reporter.Fault("pndhal", error->Text(), "profile");
      summary.exitCode = kExitUsage;
      return summary;
    }
  }

  Recording recording;
  int failed = 0;
  for (std::size_t i = 0; i < scripts.size(); ++i) {
    const bool passed = console ? PlayAttached(*console, scripts[i], settings, reporter)
                                : Play(scripts[i], sources[i].text, settings, reporter,
                                       settings.recordPath.empty() ? nullptr : &recording);
    if (!passed) ++failed;
  }
  reporter.Result(static_cast<int>(scripts.size()), failed);
  summary.exitCode = failed == 0 ? kExitSuccess : kExitFailure;
  if (!settings.recordPath.empty() && !recording.Write(settings.recordPath, sources.front().name)) {
    std::fprintf(stderr, "pndhal: cannot write %s\n", settings.recordPath.c_str());
    summary.exitCode = kExitUsage;
  }
  return summary;
}

}  // namespace tool
