// Registered window messages: one number per name for the life of the
// process, and readable message names for the trace.
#include "sim/window/window_system.h"

using namespace sim;
using namespace sim::window;

namespace {

constexpr UINT kFirstRegisteredMessage = 0xC000;
constexpr UINT kLastRegisteredMessage = 0xFFFF;

}  // namespace

std::string sim::window::DescribeMessage(UINT message) {
  static constexpr struct {
    UINT number;
    const char* name;
  } kStandard[] = {{WM_CREATE, "WM_CREATE"}, {WM_DESTROY, "WM_DESTROY"},   {WM_CLOSE, "WM_CLOSE"},
                   {WM_QUIT, "WM_QUIT"},     {WM_COPYDATA, "WM_COPYDATA"}, {WM_KEYDOWN, "WM_KEYDOWN"},
                   {WM_KEYUP, "WM_KEYUP"},   {WM_HOTKEY, "WM_HOTKEY"}};
  std::string number = Hex(message);
  for (const auto& standard : kStandard) {
    if (standard.number == message) {
      return std::string(standard.name) + " (" + number + ")";
    }
  }
  const std::vector<std::wstring>& names = State().messageNames;
  if (message >= kFirstRegisteredMessage && message - kFirstRegisteredMessage < names.size()) {
    return Narrow(names[message - kFirstRegisteredMessage].c_str()) + " (" + number + ")";
  }
  return number;
}

UINT RegisterWindowMessageW(LPCWSTR name) {
  if (name == nullptr || name[0] == L'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::wstring key = FoldCase(name);
  KernelLock lock(KernelMutex());
  WindowSystem& state = State();
  auto it = state.messageIds.find(key);
  if (it != state.messageIds.end()) {
    return it->second;
  }
  const auto next = static_cast<UINT>(kFirstRegisteredMessage + state.messageNames.size());
  if (next > kLastRegisteredMessage) {
    return FailCall(ERROR_NOT_ENOUGH_MEMORY, 0);
  }
  state.messageIds.emplace(std::move(key), next);
  state.messageNames.emplace_back(name);
  return next;
}
