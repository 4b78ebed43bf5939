// The shell's execute call on the simulated device: a program file that exists is "started" (recorded, and
// answered with a process handle when asked for one); anything else fails as a missing file.
#include <string>
#include <vector>

#include "ce/identity.h"
#include "pndsim/shell.h"
#include "sim/files/files.h"
#include "sim/kernel/kernel.h"
#include "sim/text_codec/text_codec.h"

namespace sim::shell {
namespace {

struct Launches {
  Mutex mutex;
  std::vector<pndsim::ShellLaunch> started GUARDED_BY(mutex);
};

Launches& Started() {
  static auto* launches = [] {
    auto* created = new Launches;
    OnReset([] {
      Launches& shell = Started();
      sim::MutexLock lock(shell.mutex);
      shell.started.clear();
    });
    return created;
  }();
  return *launches;
}

std::string Utf8(LPCWSTR text) { return text == nullptr ? std::string() : Narrow(text); }

// The process a started program stands for: the shell's caller may keep its handle and closes it.
class LaunchedProcess final : public Object {};

}  // namespace
}  // namespace sim::shell

using namespace sim;
using namespace sim::shell;

BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info) {
  if (info == nullptr || info->cbSize != sizeof(SHELLEXECUTEINFO) || info->lpFile == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::wstring path = info->lpFile;
  if (path.find(L'\\') == std::wstring::npos) path = L"\\Windows\\" + path;
  std::vector<pndsim::TraceField> fields{TextField("file", Utf8(info->lpFile)),
                                         TextField("parameters", Utf8(info->lpParameters))};
  if (files::Find(path) != files::Kind::File) {
    Record("shell.execute.failed", std::move(fields));
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  {
    Launches& shell = Started();
    sim::MutexLock lock(shell.mutex);
    shell.started.push_back(pndsim::ShellLaunch{Utf8(info->lpFile), Utf8(info->lpParameters),
                                                Utf8(info->lpVerb), info->fMask, info->nShow});
  }
  Record("shell.execute", std::move(fields));
  info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(33));  // above 32: success
  info->hProcess = nullptr;
  if ((info->fMask & SEE_MASK_NOCLOSEPROCESS) != 0) {
    KernelLock kernel(KernelMutex());
    info->hProcess = InsertHandle(std::make_shared<LaunchedProcess>());
  }
  return TRUE;
}

std::vector<pndsim::ShellLaunch> pndsim::ShellLaunches() {
  Launches& shell = Started();
  sim::MutexLock lock(shell.mutex);
  return shell.started;
}
