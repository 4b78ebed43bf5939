// The report of a run: trace, JSON lines, a line per script, the summary and the failures on stderr.
#include "run_report.h"

#include <pndsim/pndsim.h>

#include <cstdio>
#include <map>

#include "event_json.h"

namespace tool {
namespace {

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

// The line under a faulty line that puts a caret under its column: tabs kept so that it lines up with the
// line above, and one blank per character (not per byte) of UTF-8 text.
std::string CaretLine(const std::string& line, int column) {
  std::string under;
  for (std::size_t i = 0; i + 1 < static_cast<std::size_t>(column) && i < line.size(); ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    if ((byte & 0xC0) == 0x80) continue;
    under += byte == '\t' ? '\t' : ' ';
  }
  return under + "^";
}

std::string LineWithoutEnd(std::string line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  return line;
}

}  // namespace

RunReport::RunReport(const RunSettings& settings, RunSummary& summary)
    : settings_(settings),
      summary_(summary),
      keepTrace_(settings.childReport || !settings.junitPath.empty()) {}

void RunReport::Print(const Json& line) {
  std::puts(line.dump(-1, ' ', false, Json::error_handler_t::replace).c_str());
}

void RunReport::TraceLine(const std::string& line) {
  if (settings_.trace && !settings_.json) std::puts(line.c_str());
  if (!keepTrace_) return;
  trace_ += line;
  trace_ += '\n';
  // Cut in halves so that keeping the last part costs no more than copying it now and then.
  if (trace_.size() > 2 * kTraceKeptBytes) {
    const std::size_t cut = trace_.find('\n', trace_.size() - kTraceKeptBytes);
    trace_.erase(0, cut == std::string::npos ? trace_.size() - kTraceKeptBytes : cut + 1);
    traceCut_ = true;
  }
}

void RunReport::BeginScript() {
  std::lock_guard lock(mutex_);
  start_ = scenario::Clock::now();
  trace_.clear();
  traceCut_ = false;
}

void RunReport::Heading(const std::string& heading) {
  std::lock_guard lock(mutex_);
  if (settings_.trace && !settings_.json) std::puts("");
  TraceLine("== " + heading);
}

void RunReport::Statement(const std::string& script, const scenario::Statement& statement) {
  std::lock_guard lock(mutex_);
  ++summary_.statements;
  if (settings_.json) {
    Print({{"type", "statement"}, {"script", script}, {"line", statement.line}, {"text", statement.text}});
  }
  TraceLine(script + ":" + std::to_string(statement.line) + ": " + statement.text);
}

void RunReport::Event(const scenario::Event& event) {
  std::lock_guard lock(mutex_);
  const bool listener = event.source == scenario::Event::Source::Listener;
  if (listener) {
    ++summary_.listenerCalls[event.kind];
  } else {
    ++summary_.platformEffects;
  }
  if (settings_.json) std::puts(scenario::EventJson(event).c_str());
  TraceLine(listener ? "    listener " + event.text : "    platform " + event.kind + " " + event.text);
}

void RunReport::ConsoleEvent(const std::string& line) {
  std::lock_guard lock(mutex_);
  const Json event = Json::parse(line, nullptr, false);
  // The trace line of the event; an object not of the schema is shown as it came.
  const auto member = [&](const char* name) {
    const auto found = event.find(name);
    return found != event.end() && found->is_string() ? found->get<std::string>() : std::string();
  };
  const std::string type = event.is_object() ? member("type") : "";
  std::string text = line;
  if (type == "listener") {
    ++summary_.listenerCalls[member("kind")];
    text = "listener " + member("call");
  } else if (type == "platform") {
    ++summary_.platformEffects;
    text = "platform " + member("kind") + " " + member("detail");
  } else if (type == "dropped" && event.contains("count")) {
    text = "... " + event["count"].dump() + " events dropped";
  }
  // The device's object as it came, so that an event reads the same here as on the console.
  if (settings_.json) std::puts(line.c_str());
  TraceLine("    " + text);
}

void RunReport::Expectation(const std::string& script, const scenario::Statement& statement, bool met) {
  std::lock_guard lock(mutex_);
  if (settings_.json) {
    Print({{"type", "expectation"},
           {"script", script},
           {"line", statement.line},
           {"text", statement.text},
           {"met", met}});
  }
}

void RunReport::Output(const std::string& text) {
  std::lock_guard lock(mutex_);
  if (settings_.json) {
    Print({{"type", "output"}, {"text", text}});
  } else {
    std::fputs(text.c_str(), stdout);
    if (!text.empty() && text.back() != '\n') std::fputc('\n', stdout);
  }
}

void RunReport::TraceDropped(const std::string& script, std::uint64_t dropped, std::size_t capacity) {
  std::lock_guard lock(mutex_);
  summary_.traceDropped += dropped;
  if (dropped == 0) return;
  if (settings_.json) {
    Print({{"type", "dropped"},
           {"script", script},
           {"record", "trace"},
           {"count", dropped},
           {"capacity", capacity}});
  }
  TraceLine("    trace: " + std::to_string(dropped) + " events dropped (the device's trace keeps the last " +
            std::to_string(capacity) + ")");
}

void RunReport::Report(const ScriptResult& result) {
  // A script not played at all was told of once, by the fault that stopped the run.
  const bool played = result.message.rfind("not played: ", 0) != 0;
  if (result.verdict != Verdict::Passed && !settings_.childReport && played) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", result.where.c_str(), result.message.c_str());
  }
  if (settings_.json) {
    if (result.verdict != Verdict::Passed) {
      Print({{"type", "failure"}, {"at", result.where}, {"message", result.message}, {"kind", result.kind}});
    }
    Json line = {{"type", "script"},
                 {"script", result.name},
                 {"verdict", VerdictWord(result.verdict)},
                 {"statements", result.statements},
                 {"expectations", result.expectations},
                 {"seconds", result.seconds}};
    if (result.verdict != Verdict::Passed) {
      line["at"] = result.where;
      line["message"] = result.message;
      line["kind"] = result.kind;
    }
    if (settings_.childReport) line["trace"] = result.trace;
    Print(line);
  } else if (!settings_.quiet) {
    std::string text = result.verdict == Verdict::Passed   ? "PASS "
                       : result.verdict == Verdict::Failed ? "FAIL "
                                                           : "ERROR ";
    text += result.name + "  ";
    if (result.verdict == Verdict::Passed) {
      text +=
          std::to_string(result.expectations) + (result.expectations == 1 ? " expectation" : " expectations");
    } else {
      const std::size_t colon = result.where.rfind(':');
      const bool line = colon != std::string::npos && result.where.substr(0, colon) == result.name;
      // One line per script: the rest of a long message (an application's last output) is on stderr.
      text += (line ? "line " + result.where.substr(colon + 1) + ": " : std::string()) +
              result.message.substr(0, result.message.find('\n'));
    }
    std::printf("%s  %s\n", text.c_str(), Seconds(result.seconds).c_str());
  }
  std::fflush(stdout);
  summary_.results.push_back(result);
}

void RunReport::EndScript(ScriptResult result) {
  std::lock_guard lock(mutex_);
  result.seconds = std::chrono::duration<double>(scenario::Clock::now() - start_).count();
  if (keepTrace_) {
    result.trace =
        (traceCut_ ? "[the beginning of this trace was left out: a script's trace keeps its last " +
                         std::to_string(kTraceKeptBytes) + " bytes]\n"
                   : std::string()) +
        trace_;
  }
  trace_.clear();
  Report(result);
}

void RunReport::AdoptResult(ScriptResult result) {
  std::lock_guard lock(mutex_);
  if (settings_.trace && !settings_.json) std::fputs(result.trace.c_str(), stdout);
  if (!keepTrace_) result.trace.clear();
  Report(result);
}

void RunReport::ForwardJson(const std::string& line) {
  std::lock_guard lock(mutex_);
  if (settings_.json) std::puts(line.c_str());
}

void RunReport::Fault(const std::string& where, const std::string& message, const char* type,
                      const Json& extra) {
  std::lock_guard lock(mutex_);
  std::fflush(stdout);
  std::fprintf(stderr, "%s: %s\n", where.c_str(), message.c_str());
  if (settings_.json) {
    Json line = {{"type", type}, {"at", where}, {"message", message}};
    if (extra.is_object()) line.update(extra);
    Print(line);
  }
}

void RunReport::SyntaxFault(const std::string& script, const scenario::ParseError& error) {
  const std::string where = script + ":" + std::to_string(error.line) + ":" + std::to_string(error.column);
  Fault(where, error.message, "syntax",
        {{"line", error.line}, {"column", error.column}, {"text", error.text}});
  const std::string line = LineWithoutEnd(error.text);
  std::fprintf(stderr, "    %s\n    %s\n", line.c_str(), CaretLine(line, error.column).c_str());
}

int RunReport::Failures() const {
  std::lock_guard lock(mutex_);
  int failures = 0;
  for (const ScriptResult& result : summary_.results) failures += result.verdict != Verdict::Passed ? 1 : 0;
  return failures;
}

void RunReport::Finish(const std::vector<std::string>& order, double seconds, const Json& extra) {
  std::lock_guard lock(mutex_);
  // Results come in the order scripts ended; the report keeps the order they were given in.
  std::map<std::string, std::vector<ScriptResult>> byName;
  for (ScriptResult& result : summary_.results) byName[result.name].push_back(std::move(result));
  summary_.results.clear();
  for (const std::string& name : order) {
    auto found = byName.find(name);
    if (found == byName.end() || found->second.empty()) continue;
    summary_.results.push_back(std::move(found->second.front()));
    found->second.erase(found->second.begin());
  }
  int counts[3] = {0, 0, 0};
  for (const ScriptResult& result : summary_.results) ++counts[static_cast<int>(result.verdict)];
  if (settings_.json) {
    Json line = {{"type", "result"},    {"scripts", summary_.results.size()},
                 {"passed", counts[0]}, {"failed", counts[1]},
                 {"errors", counts[2]}, {"seconds", seconds}};
    if (extra.is_object()) line.update(extra);
    if (!settings_.childReport) Print(line);
  } else if (!settings_.quiet) {
    std::string text = std::to_string(summary_.results.size()) +
                       (summary_.results.size() == 1 ? " script: " : " scripts: ") +
                       std::to_string(counts[0]) + " passed, " + std::to_string(counts[1]) + " failed";
    if (counts[2] != 0) text += ", " + std::to_string(counts[2]) + " not played to the end";
    std::printf("%s  %s\n", text.c_str(), Seconds(seconds).c_str());
  }
  std::fflush(stdout);
}

}  // namespace tool
