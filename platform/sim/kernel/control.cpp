// Simulator-wide controls: fault injection, the trace and reset.
#include <algorithm>
#include <array>
#include <atomic>
#include <utility>

#include "sim/kernel/kernel.h"
#include "sim/text_codec/text_codec.h"

namespace sim {
namespace {

std::array<std::atomic<int>, pndsim::kCallCount>& PendingFailures() {
  static auto* failures = new std::array<std::atomic<int>, pndsim::kCallCount>{};
  return *failures;
}

struct TraceLog {
  Mutex mutex;
  BoundedRecord<pndsim::TraceEvent> events GUARDED_BY(mutex){pndsim::kDefaultTraceCapacity};
  std::vector<std::pair<int, pndsim::TraceObserver>> observers GUARDED_BY(mutex);
  int lastObserverId GUARDED_BY(mutex) = 0;
};

TraceLog& Log() {
  static auto* log = new TraceLog;
  return *log;
}

struct ResetHooks {
  Mutex mutex;
  std::vector<std::function<void()>> hooks GUARDED_BY(mutex);
};

ResetHooks& Hooks() {
  static auto* hooks = new ResetHooks;
  return *hooks;
}

// True when a failure of `call` was requested; consumes one request.
bool ShouldFail(pndsim::Call call) {
  std::atomic<int>& pending = PendingFailures()[static_cast<std::size_t>(call)];
  int count = pending.load();
  while (count > 0) {
    if (pending.compare_exchange_weak(count, count - 1)) return true;
  }
  return false;
}

// Records an event and hands it to the observers.
void Append(pndsim::TraceEvent event) {
  TraceLog& log = Log();
  sim::MutexLock lock(log.mutex);
  for (const auto& [id, observer] : log.observers) observer(event);
  log.events.Add(std::move(event));
}

}  // namespace

DWORD CheckCall(pndsim::Call call, DWORD argumentError, DWORD faultError) {
  if (argumentError != ERROR_SUCCESS) return argumentError;
  if (!ShouldFail(call)) return ERROR_SUCCESS;
  Record("fault", {TextField("call", std::string(pndsim::CallName(call)))}, "{call}");
  return faultError;
}

bool BeginCall(pndsim::Call call, DWORD argumentError, DWORD faultError) {
  const DWORD error = CheckCall(call, argumentError, faultError);
  if (error == ERROR_SUCCESS) return true;
  SetLastError(error);
  return false;
}

void Record(std::string kind, std::string detail) {
  Append({std::move(kind), std::move(detail), {}, GetTickCount()});
}

pndsim::TraceField TextField(std::string name, std::string text) {
  return {std::move(name), std::move(text), {}};
}

pndsim::TraceField NumberField(std::string name, std::int64_t value, std::string text) {
  if (text.empty()) text = std::to_string(value);
  return {std::move(name), std::move(text), value};
}

pndsim::TraceField FlagField(std::string name, bool value, std::string text) {
  return {std::move(name), std::move(text), value ? 1 : 0};
}

void Record(std::string kind, std::vector<pndsim::TraceField> fields, std::string_view pattern) {
  std::string detail;
  if (pattern.empty()) {
    for (const pndsim::TraceField& field : fields) {
      if (!detail.empty()) detail += ' ';
      detail += field.name + "=" + field.text;
    }
  } else {
    // Each "{NAME}" is the text of that field; braces naming no field stay as they are.
    for (std::size_t at = 0; at < pattern.size();) {
      const std::size_t open = pattern.find('{', at);
      const std::size_t close = open == std::string_view::npos ? open : pattern.find('}', open);
      if (close == std::string_view::npos) {
        detail += pattern.substr(at);
        break;
      }
      const std::string_view name = pattern.substr(open + 1, close - open - 1);
      const auto field = std::find_if(fields.begin(), fields.end(), [&](const pndsim::TraceField& candidate) {
        return candidate.name == name;
      });
      detail += pattern.substr(at, open - at);
      detail +=
          field != fields.end() ? std::string_view(field->text) : pattern.substr(open, close - open + 1);
      at = close + 1;
    }
  }
  Append({std::move(kind), std::move(detail), std::move(fields), GetTickCount()});
}

void OnReset(std::function<void()> hook) {
  ResetHooks& hooks = Hooks();
  sim::MutexLock lock(hooks.mutex);
  hooks.hooks.push_back(std::move(hook));
}

}  // namespace sim

void pndsim::FailNext(Call call, int count) {
  const auto index = static_cast<std::size_t>(call);
  if (index >= kCallCount) return;
  sim::PendingFailures()[index].store(count < 0 ? 0 : count);
}

void pndsim::ClearFailures() {
  for (auto& pending : sim::PendingFailures()) pending.store(0);
}

std::vector<pndsim::TraceEvent> pndsim::Trace() {
  sim::TraceLog& log = sim::Log();
  sim::MutexLock lock(log.mutex);
  return log.events.Copy();
}

std::uint32_t pndsim::TickCount() { return GetTickCount(); }

std::string pndsim::ToUtf8(const wchar_t* text) { return sim::Narrow(text); }

void pndsim::ClearTrace() {
  sim::TraceLog& log = sim::Log();
  sim::MutexLock lock(log.mutex);
  log.events.Clear();
}

void pndsim::SetTraceCapacity(std::size_t capacity) {
  sim::TraceLog& log = sim::Log();
  sim::MutexLock lock(log.mutex);
  log.events.SetCapacity(capacity);
}

pndsim::RecordStatus pndsim::TraceStatus() {
  sim::TraceLog& log = sim::Log();
  sim::MutexLock lock(log.mutex);
  return log.events.Status();
}

int pndsim::ObserveTrace(TraceObserver observer) {
  if (!observer) return 0;
  sim::TraceLog& log = sim::Log();
  sim::MutexLock lock(log.mutex);
  const int id = ++log.lastObserverId;
  log.observers.emplace_back(id, std::move(observer));
  return id;
}

void pndsim::UnobserveTrace(int id) {
  sim::TraceLog& log = sim::Log();
  sim::MutexLock lock(log.mutex);
  std::erase_if(log.observers, [id](const auto& entry) { return entry.first == id; });
}

void pndsim::Reset() {
  SetTimeScale(1);
  sim::ResetDevice();
}

void sim::ResetDevice() {
  pndsim::ClearFailures();
  {
    sim::TraceLog& log = sim::Log();
    sim::MutexLock lock(log.mutex);
    log.events.Reset(pndsim::kDefaultTraceCapacity);
  }
  std::vector<std::function<void()>> hooks;
  {
    sim::ResetHooks& registered = sim::Hooks();
    sim::MutexLock lock(registered.mutex);
    hooks = registered.hooks;
  }
  for (auto& hook : hooks) hook();
}
