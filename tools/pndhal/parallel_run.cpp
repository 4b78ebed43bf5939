// Scripts played by child copies of the tool, several at once.
#include "parallel_run.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <deque>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "child_process.h"
#include "command_line.h"

namespace tool {
namespace {

// What a child may keep of its error output for a message about its end.
constexpr std::size_t kErrorKept = 4096;
// The longest line of a child's report: a script's result with its whole kept trace, escaped.
constexpr std::size_t kLineLimit = 8 * kTraceKeptBytes;
// How many shares each child gets on average: small shares balance scripts of unequal length across the
// children, large ones save starting a process.
constexpr std::size_t kSharesPerJob = 4;

std::string Number(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

std::string SelfPath() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  return length > 0 ? path.substr(0, static_cast<std::size_t>(length)) : "/proc/self/exe";
}

// A child at work on a share of the scripts.
struct Worker {
  std::unique_ptr<ChildProcess> child;
  std::vector<std::string> scripts;  // names of the share, those not reported yet
  std::string pending;               // output after its last complete line
  std::string errors;                // the last kErrorKept bytes of its error output
};

// The child's command line: the settings that decide how a script plays, and the share of scripts.
std::vector<std::string> ChildArguments(const RunSettings& settings, const std::vector<std::string>& share) {
  std::vector<std::string> argv{SelfPath(), "run", "--child-report"};
  if (settings.timeScaleGiven) argv.insert(argv.end(), {"--time-scale", Number(settings.timeScale)});
  if (!settings.profilePath.empty()) argv.insert(argv.end(), {"--profile", settings.profilePath});
  if (settings.launch) {
    argv.insert(argv.end(), {"--launch", *settings.launch, "--launch-wait",
                             Number(static_cast<double>(settings.launchWait.count()) / 1000), "--stop-wait",
                             Number(static_cast<double>(settings.stopWait.count()) / 1000)});
  }
  argv.emplace_back("--");
  argv.insert(argv.end(), share.begin(), share.end());
  return argv;
}

ScriptResult ResultOf(const nlohmann::json& line) {
  ScriptResult result;
  result.name = line.value("script", "");
  const std::string verdict = line.value("verdict", "error");
  result.verdict = verdict == "pass" ? Verdict::Passed : verdict == "fail" ? Verdict::Failed : Verdict::Error;
  result.statements = line.value("statements", 0);
  result.expectations = line.value("expectations", 0);
  result.seconds = line.value("seconds", 0.0);
  result.where = line.value("at", "");
  result.message = line.value("message", "");
  result.kind = line.value("kind", "");
  result.trace = line.value("trace", "");
  return result;
}

// The kinds of JSON line that follow a run as it happens; any other but a script's result and the closing
// result is a fault of the run.
bool IsTrace(const std::string& type) {
  return type == "statement" || type == "listener" || type == "platform" || type == "expectation" ||
         type == "output" || type == "dropped";
}

// Handles one line of a child's output: a script's result is reported, a fault of the run said once (every
// child meets the same fault of a command line), the trace passed on.
void Consume(Worker& worker, const std::string& line, RunReport& report, std::set<std::string>& said) {
  nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
  if (!parsed.is_object()) return;
  const std::string type = parsed.value("type", "");
  if (type != "script" && type != "result" && type != "failure" && !IsTrace(type)) {
    const std::string message = parsed.value("message", "");
    if (said.insert(message).second) report.Fault(parsed.value("at", "pndhal"), message, type.c_str());
  } else if (type == "script") {
    ScriptResult result = ResultOf(parsed);
    if (const auto found = std::find(worker.scripts.begin(), worker.scripts.end(), result.name);
        found != worker.scripts.end()) {
      worker.scripts.erase(found);
    }
    // Reported here as if played here: its JSON object and failure are printed as the report prints them.
    report.AdoptResult(std::move(result));
  } else if (IsTrace(type)) {
    report.ForwardJson(line);
  }
}

// Reads what a child has written, closing each stream at its end.
void Drain(Worker& worker, const pollfd& out, const pollfd& err, RunReport& report,
           std::set<std::string>& said) {
  char buffer[65536];
  if ((out.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
    const ssize_t got = read(worker.child->OutputFd(), buffer, sizeof buffer);
    if (got > 0) {
      worker.pending.append(buffer, static_cast<std::size_t>(got));
      for (std::size_t end; (end = worker.pending.find('\n')) != std::string::npos;) {
        const std::string line = worker.pending.substr(0, end);
        worker.pending.erase(0, end + 1);
        Consume(worker, line, report, said);
      }
      // A line longer than any result with its trace is no line of a report.
      if (worker.pending.size() > kLineLimit) worker.pending.clear();
    } else if (got == 0 || errno != EINTR) {
      worker.child->CloseOutput();
    }
  }
  if ((err.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
    const ssize_t got = read(worker.child->ErrorFd(), buffer, sizeof buffer);
    if (got > 0) {
      worker.errors.append(buffer, static_cast<std::size_t>(got));
      if (worker.errors.size() > kErrorKept) worker.errors.erase(0, worker.errors.size() - kErrorKept);
    } else if (got == 0 || errno != EINTR) {
      worker.child->CloseError();
    }
  }
}

// A child has ended: the scripts it did not report become errors saying how it ended. Its exit code.
int Finish(Worker& worker, RunReport& report) {
  // Its streams close as it exits; one that lingers beyond this is killed with the worker.
  worker.child->WaitFor(std::chrono::seconds(30));
  const int status = worker.child->ExitStatus();
  std::string errors = worker.errors;
  while (!errors.empty() && errors.back() == '\n') errors.pop_back();
  for (const std::string& name : worker.scripts) {
    ScriptResult result;
    result.name = name;
    result.verdict = Verdict::Error;
    result.where = name;
    result.kind = status == kExitUsage ? "usage" : "runner";
    result.message = "the pndhal process playing it (pid " + std::to_string(worker.child->Pid()) + ") " +
                     worker.child->HowItEnded() + (errors.empty() ? "" : ": " + errors);
    report.AdoptResult(std::move(result));
  }
  return status == kExitUsage ? kExitUsage : kExitSuccess;
}

}  // namespace

int RunInChildren(const std::vector<ScriptSource>& scripts, const RunSettings& settings, RunReport& report) {
  const std::size_t jobs = static_cast<std::size_t>(std::max(settings.jobs, 1));
  const std::size_t shareSize = std::max<std::size_t>(
      1, static_cast<std::size_t>(
             std::ceil(static_cast<double>(scripts.size()) / static_cast<double>(jobs * kSharesPerJob))));
  std::deque<std::vector<std::string>> shares;
  for (std::size_t i = 0; i < scripts.size(); i += shareSize) {
    std::vector<std::string> share;
    for (std::size_t j = i; j < std::min(scripts.size(), i + shareSize); ++j) {
      share.push_back(scripts[j].name);
    }
    shares.push_back(std::move(share));
  }

  int exitCode = kExitSuccess;
  std::vector<Worker> workers;
  std::set<std::string> said;
  while (!shares.empty() || !workers.empty()) {
    while (workers.size() < jobs && !shares.empty()) {
      Worker worker;
      worker.scripts = std::move(shares.front());
      shares.pop_front();
      ChildRequest request;
      request.argv = ChildArguments(settings, worker.scripts);
      std::string error;
      worker.child = ChildProcess::Start(request, &error);
      if (!worker.child) {
        for (const std::string& name : worker.scripts) {
          report.AdoptResult({name, Verdict::Error, 0, 0, 0, name, error, "runner", {}});
        }
        continue;
      }
      workers.push_back(std::move(worker));
    }
    std::vector<pollfd> fds;
    for (const Worker& worker : workers) {
      fds.push_back({worker.child->OutputFd(), POLLIN, 0});
      fds.push_back({worker.child->ErrorFd(), POLLIN, 0});
    }
    if (fds.empty()) continue;
    if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) break;
    for (std::size_t i = 0; i < workers.size(); ++i) {
      Drain(workers[i], fds[2 * i], fds[2 * i + 1], report, said);
    }
    // A child is done once both its streams have ended.
    for (auto worker = workers.begin(); worker != workers.end();) {
      if (worker->child->OutputFd() < 0 && worker->child->ErrorFd() < 0) {
        exitCode = std::max(exitCode, Finish(*worker, report));
        worker = workers.erase(worker);
      } else {
        ++worker;
      }
    }
  }
  return exitCode;
}

}  // namespace tool
