// Simulator-wide controls: fault injection, the trace and reset.
#include <array>
#include <atomic>

#include "kernel.h"

namespace sim {
namespace {

constexpr std::size_t kCallCount = static_cast<std::size_t>(pndsim::Call::FreeLibrary) + 1;

std::array<std::atomic<int>, kCallCount>& PendingFailures() {
  static auto* failures = new std::array<std::atomic<int>, kCallCount>{};
  return *failures;
}

struct TraceLog {
  std::mutex mutex;
  std::vector<pndsim::TraceEvent> events;
};

TraceLog& Log() {
  static auto* log = new TraceLog;
  return *log;
}

struct ResetHooks {
  std::mutex mutex;
  std::vector<std::function<void()>> hooks;
};

ResetHooks& Hooks() {
  static auto* hooks = new ResetHooks;
  return *hooks;
}

}  // namespace

bool ShouldFail(pndsim::Call call) {
  std::atomic<int>& pending = PendingFailures()[static_cast<std::size_t>(call)];
  int count = pending.load();
  while (count > 0) {
    if (pending.compare_exchange_weak(count, count - 1)) return true;
  }
  return false;
}

void Record(std::string kind, std::string detail) {
  TraceLog& log = Log();
  std::lock_guard lock(log.mutex);
  log.events.push_back({std::move(kind), std::move(detail)});
}

void OnReset(std::function<void()> hook) {
  ResetHooks& hooks = Hooks();
  std::lock_guard lock(hooks.mutex);
  hooks.hooks.push_back(std::move(hook));
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  if (text == nullptr) return out;
  for (; *text != L'\0'; ++text) {
    auto c = static_cast<std::uint32_t>(*text);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;  // not a character
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | ((c >> 18) & 0x07));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace sim

void pndsim::FailNext(Call call, int count) {
  sim::PendingFailures()[static_cast<std::size_t>(call)].store(count < 0 ? 0 : count);
}

void pndsim::ClearFailures() {
  for (auto& pending : sim::PendingFailures()) pending.store(0);
}

std::vector<pndsim::TraceEvent> pndsim::Trace() {
  sim::TraceLog& log = sim::Log();
  std::lock_guard lock(log.mutex);
  return log.events;
}

std::string pndsim::ToUtf8(const wchar_t* text) { return sim::Narrow(text); }

void pndsim::ClearTrace() {
  sim::TraceLog& log = sim::Log();
  std::lock_guard lock(log.mutex);
  log.events.clear();
}

void pndsim::Reset() {
  SetTimeScale(1);
  ClearFailures();
  ClearTrace();
  std::vector<std::function<void()>> hooks;
  {
    sim::ResetHooks& registered = sim::Hooks();
    std::lock_guard lock(registered.mutex);
    hooks = registered.hooks;
  }
  for (auto& hook : hooks) hook();
}
