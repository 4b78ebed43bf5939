// Plays scenario scripts on the simulated device, on a running application's device or on a launched
// application, and reports what happened.
#include "scenario_runner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <sstream>
#include <system_error>
#include <variant>

#include "command_line.h"
#include "console_client.h"
#include "console_player.h"
#include "junit_report.h"
#include "launcher.h"
#include "lexer.h"
#include "parallel_run.h"
#include "recording.h"
#include "run_report.h"
#include "scenario.h"

namespace tool {
namespace {

// The largest script file read.
constexpr std::size_t kScriptSizeLimit = std::size_t{16} << 20;

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

// Plays one parsed script on a fresh device of the tool's own.
void Play(const scenario::Script& script, const std::string& text, const RunSettings& settings,
          RunReport& report, Recording* recording) {
  pndsim::Reset();
  if (!settings.profilePath.empty()) pndsim::LoadProfile(settings.profilePath);
  pndsim::SetTimeScale(settings.timeScale);
  report.BeginScript();
  ScriptResult result;
  result.name = script.name;
  {
    scenario::SessionOptions options;
    if (recording != nullptr) {
      options.record = [recording](const std::string& line) { recording->Add(line); };
      if (!settings.profilePath.empty()) {
        recording->Add("profile load " +
                       scenario::QuoteWord(std::filesystem::absolute(settings.profilePath).string()));
      }
    }
    scenario::Session session(options, [&report](const scenario::Event& event) { report.Event(event); });
    report.Heading(script.name + ": the library starts on a fresh device");
    session.Start();
    const std::map<int, std::string> headings = Headings(text);
    auto nextHeading = headings.begin();
    for (const auto& statement : script.statements) {
      for (; nextHeading != headings.end() && nextHeading->first < statement.line; ++nextHeading) {
        report.Heading(nextHeading->second);
      }
      report.Statement(script.name, statement);
      const scenario::Outcome outcome = session.Run(statement);
      ++result.statements;
      if (!outcome.output.empty()) report.Output(outcome.output);
      if (IsExpectation(statement.text)) report.Expectation(script.name, statement, outcome.ok);
      if (!outcome.ok) {
        result.verdict = Verdict::Failed;
        result.where = script.name + ":" + std::to_string(statement.line);
        result.kind = IsExpectation(statement.text) ? "expectation" : "action";
        result.message = outcome.message;
        break;
      }
      if (IsExpectation(statement.text)) ++result.expectations;
    }
  }
  FreeDLL();
  const pndsim::RecordStatus trace = pndsim::TraceStatus();
  report.TraceDropped(script.name, trace.dropped, trace.capacity);
  report.EndScript(std::move(result));
}

std::string Now() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  return text;
}

std::string HostName() {
  char name[256] = {};
  return gethostname(name, sizeof name - 1) == 0 ? name : "localhost";
}

// What `state` says of the device's time scale; 0 when it does not say.
double DeviceTimeScale(pndconsole::Connection& console) {
  std::string error;
  const auto reply = console.Execute("state", {}, &error);
  if (!reply || !reply->ok) return 0;
  std::string text;
  for (const auto& line : reply->output) text += line + "\n";
  const Json state = Json::parse(text, nullptr, false);
  return state.is_object() ? state.value("timeScale", 0.0) : 0.0;
}

// Sets the time scale of the device on `console`; false with the reason in *refusal when it does not take it.
bool SetDeviceTimeScale(pndconsole::Connection& console, double scale, std::string* refusal) {
  char line[64];
  std::snprintf(line, sizeof line, "time-scale %.17g", scale);
  std::string error;
  const auto reply = console.Execute(line, {}, &error);
  if (refusal != nullptr) *refusal = !reply ? error : reply->ok ? std::string() : reply->reason;
  return reply && reply->ok;
}

// The scripts played on a device's console: the one attached to, or the launched application's.
int PlayOnConsole(const std::vector<scenario::Script>& scripts, const RunSettings& settings,
                  RunReport& report, Recording* recording, Json& extra) {
  std::unique_ptr<LaunchedApplication> application;
  std::string error;
  int port = 0;
  if (settings.launch) {
    LaunchOptions options;
    options.wait = settings.launchWait;
    options.stopWait = settings.stopWait;
    options.timeScale = settings.timeScale;
    LaunchedApplication::StartFault fault = LaunchedApplication::StartFault::None;
    application = LaunchedApplication::Start(*settings.launch, options, &error, &fault);
    if (!application) {
      const bool usage = fault == LaunchedApplication::StartFault::CannotStart;
      report.Fault("pndhal", "run: " + error, "application");
      // Every script is reported, so that a CI system sees them fail rather than vanish.
      for (const auto& script : scripts) {
        report.BeginScript();
        report.EndScript(
            {script.name, Verdict::Error, 0, 0, 0, script.name, "not played: " + error, "application", {}});
      }
      return usage ? kExitUsage : kExitFailure;
    }
    port = application->Port();
    extra["application"] = {{"command", *settings.launch}, {"pid", application->Pid()}, {"port", port}};
  } else {
    const auto device = pndconsole::FindDevice(*settings.attach, &error);
    if (device) port = device->port;
  }
  std::unique_ptr<pndconsole::Connection> console;
  if (port != 0) {
    // The JSON mode: the device's events come as objects of the shared schema, passed on as they are.
    console = pndconsole::Connection::Open(port, &error, application ? application->TokenFile() : "",
                                           pndconsole::Mode::Json);
  }
  if (!console) {
    report.Fault("pndhal", "run: " + error, "device");
    return kExitUsage;
  }
  // A time scale asked for and not taken is said, never passed over.
  if (application && settings.timeScaleGiven) {
    const double scale = DeviceTimeScale(*console);
    if (scale != settings.timeScale) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "run: the application's device runs at time scale %g, not %g: it did not take "
                    "PNDSIM_TIME_SCALE",
                    scale, settings.timeScale);
      report.Fault("pndhal", text, "application");
      return kExitUsage;
    }
  }
  // A running device takes the run's time scale for the run, and gets its own back afterwards.
  double attachedScale = 0;
  if (!application && settings.timeScaleGiven) {
    attachedScale = DeviceTimeScale(*console);
    std::string refusal;
    if (!SetDeviceTimeScale(*console, settings.timeScale, &refusal)) {
      report.Fault("pndhal", "run: the device did not take --time-scale: " + refusal, "device");
      return kExitUsage;
    }
  }

  ConsolePlayer player(*console, settings, report, recording, application.get());
  std::string lost;
  for (const auto& script : scripts) {
    // Once the device is gone, the scripts left are reported as not played rather than left out.
    if (!lost.empty()) {
      report.BeginScript();
      report.EndScript({script.name,
                        Verdict::Error,
                        0,
                        0,
                        0,
                        script.name,
                        "not played: " + lost,
                        application ? "application" : "device",
                        {}});
    } else if (!player.Play(script)) {
      const std::string& message = report.LastResult().message;
      lost = message.empty() ? std::string("the device went away") : message.substr(0, message.find('\n'));
    }
  }
  int exitCode = kExitSuccess;
  if (attachedScale > 0 && lost.empty()) SetDeviceTimeScale(*console, attachedScale, nullptr);
  if (application) {
    console.reset();
    const std::string stopped = application->Stop();
    extra["application"]["stopped"] = stopped.empty() ? "ended when asked" : stopped;
    // An application that died during a script was reported with it; one that dies after the last script,
    // or fails to stop, is the run's.
    if (!stopped.empty() && lost.empty()) {
      report.Fault("pndhal", "run: " + stopped, "application");
      extra["runError"] = stopped;
      exitCode = kExitFailure;
    }
  }
  return exitCode;
}

}  // namespace

bool ReadScripts(const std::vector<std::string>& files, std::vector<ScriptSource>& scripts, bool json) {
  bool allRead = true;
  for (const auto& file : files) {
    std::string why;
    std::string text;
    const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0) {
      why = std::generic_category().message(errno);
    } else if (S_ISDIR(info.st_mode)) {
      why = "it is a folder";
    } else if (!S_ISREG(info.st_mode)) {
      why = "not a regular file";
    } else if (static_cast<std::size_t>(info.st_size) > kScriptSizeLimit) {
      why = "larger than " + std::to_string(kScriptSizeLimit >> 20) + " MiB";
    } else {
      text.resize(static_cast<std::size_t>(info.st_size));
      std::size_t got = 0;
      while (got < text.size()) {
        const ssize_t n = read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
      }
      if (got < text.size()) why = std::generic_category().message(errno != 0 ? errno : EIO);
    }
    if (fd >= 0) close(fd);
    if (!why.empty()) {
      std::fprintf(stderr, "pndhal: cannot read %s: %s\n", file.c_str(), why.c_str());
      if (json) {
        std::string message = "cannot read ";
        message.append(file).append(": ").append(why);
        const Json line = {{"type", "file"}, {"at", file}, {"message", message}};
        std::puts(line.dump(-1, ' ', false, Json::error_handler_t::replace).c_str());
      }
      allRead = false;
      continue;
    }
    const std::filesystem::path folder = std::filesystem::absolute(file).parent_path();
    scripts.push_back({file, std::move(text), folder.string()});
  }
  return allRead;
}

RunSummary RunScripts(const std::vector<ScriptSource>& sources, const RunSettings& settings) {
  RunSummary summary;
  RunReport report(settings, summary);
  const auto begun = scenario::Clock::now();
  const std::string timestamp = Now();

  // Every line at fault of every script, before anything runs.
  std::vector<scenario::Script> scripts;
  for (const auto& source : sources) {
    auto parsed = scenario::ParseScript(source.text, source.name, source.folder);
    if (const auto* errors = std::get_if<std::vector<scenario::ParseError>>(&parsed)) {
      for (const auto& error : *errors) report.SyntaxFault(source.name, error);
      summary.exitCode = kExitUsage;
      continue;
    }
    scripts.push_back(std::move(std::get<scenario::Script>(parsed)));
  }
  if (summary.exitCode != kExitSuccess) return summary;
  if (!settings.profilePath.empty()) {
    if (const auto error = pndsim::LoadProfile(settings.profilePath)) {
      // "SOURCE:LINE:COLUMN: FIELD: MESSAGE": where, then what.
      const std::string text = error->Text();
      const std::size_t split = text.find(": ", error->source.size());
      report.Fault(text.substr(0, split), split == std::string::npos ? text : text.substr(split + 2),
                   "profile", {{"line", error->line}, {"column", error->column}, {"field", error->field}});
      summary.exitCode = kExitUsage;
      return summary;
    }
  }

  Recording recording;
  Recording* recorder = settings.recordPath.empty() ? nullptr : &recording;
  Json extra = Json::object();
  int exitCode = kExitSuccess;
  if (settings.jobs > 1 && sources.size() > 1) {
    exitCode = RunInChildren(sources, settings, report);
  } else if (settings.attach || settings.launch) {
    exitCode = PlayOnConsole(scripts, settings, report, recorder, extra);
  } else {
    for (std::size_t i = 0; i < scripts.size(); ++i) {
      Play(scripts[i], sources[i].text, settings, report, recorder);
    }
  }

  std::vector<std::string> order;
  order.reserve(sources.size());
  for (const auto& source : sources) order.push_back(source.name);
  const double seconds = std::chrono::duration<double>(scenario::Clock::now() - begun).count();
  report.Finish(order, seconds, extra);
  const bool passed = report.Failures() == 0;
  summary.exitCode = exitCode != kExitSuccess ? exitCode : passed ? kExitSuccess : kExitFailure;

  if (!settings.junitPath.empty()) {
    JunitRun run;
    run.seconds = seconds;
    run.timestamp = timestamp;
    run.hostname = HostName();
    run.runError = extra.value("runError", "");
    std::string error;
    if (!WriteJunit(settings.junitPath, summary.results, run, &error)) {
      report.Fault("pndhal", error, "report");
      summary.exitCode = kExitUsage;
    }
  }
  if (recorder != nullptr && !recording.Write(settings.recordPath, sources.front().name)) {
    report.Fault("pndhal", "cannot write " + settings.recordPath, "record");
    summary.exitCode = kExitUsage;
  }
  return summary;
}

}  // namespace tool
