// Simulated processes: the programs stored on the device (each a file of the
// file tree with the code it runs), CreateProcessW running one on an emulated
// thread of its own, the handles of the process and its thread, and the file
// name of the executable or of a loaded library.
#include <algorithm>
#include <map>
#include <memory>
#include <optional>

#include "ce/modules.h"
#include "ce/process.h"
#include "sim/files/files.h"
#include "sim/kernel/kernel.h"
#include "sim/modules/modules.h"
#include "sim/programs/programs.h"
#include "sim/text_codec/text_codec.h"

namespace sim::programs {
namespace {

// A started program, a process of its own. Its handle is signalled once every thread of the program has
// ended and their windows are gone (ProcessLife); its exit code is what the program's main function
// returned, whatever its value, or the code its first thread was ended with.
class ProcessObject final : public ProcessLife {
 public:
  ProcessObject(DWORD id, std::wstring path, std::wstring commandLine)
      : ProcessLife(id), path_(std::move(path)), commandLine_(std::move(commandLine)) {}

  const std::wstring& path() const { return path_; }
  const std::wstring& commandLine() const { return commandLine_; }
  bool ended() const REQUIRES(KernelMutex()) { return IsSignaled(); }

  DWORD exitCode GUARDED_BY(KernelMutex()) = STILL_ACTIVE;

  // Signalled once the program has come to rest: its first thread first blocked in a wait, or ended.
  class Settled final : public Waitable {
   public:
    bool IsSignaled() const override REQUIRES(KernelMutex()) { return signaled; }
    void Signal() REQUIRES(KernelMutex()) {
      signaled = true;
      WakeWaiters();
    }

   private:
    bool signaled GUARDED_BY(KernelMutex()) = false;
  } settled;

 private:
  const std::wstring path_;
  const std::wstring commandLine_;
};

struct Programs {
  std::map<std::wstring, pndsim::ProgramMain> installed GUARDED_BY(KernelMutex());  // by folded path
  std::map<std::wstring, pndsim::ProgramMain> defaults GUARDED_BY(KernelMutex());
  std::wstring applicationPath GUARDED_BY(KernelMutex());
  BoundedRecord<std::shared_ptr<ProcessObject>> started GUARDED_BY(KernelMutex()){
      pndsim::kDefaultProcessesCapacity};
  DWORD nextProcessId GUARDED_BY(KernelMutex()) = 0x4000;
};

// Whether a process may leave the list to make room: only once it has ended, so that the list always
// shows what runs and WaitForProcessesToEnd finds it.
bool Forgettable(const std::shared_ptr<ProcessObject>& process) REQUIRES(KernelMutex()) {
  return process->ended();
}

// The key a program's code is stored under: its file's path in the tree, folded; empty when no file is there.
std::wstring ProgramKey(std::wstring_view path) {
  return files::Find(path) == files::Kind::File ? FoldCase(files::Spelled(path)) : std::wstring();
}

std::wstring BuiltInApplicationPath() { return Widen(kProgramsSection.BuiltIn().applicationPath); }

Programs& State() {
  static auto* programs = new Programs{{}, {}, BuiltInApplicationPath()};
  return *programs;
}

struct StartRecord {
  std::shared_ptr<ProcessObject> process;
  pndsim::ProgramMain main;
};

DWORD ProcessEntry(LPVOID raw) {
  std::unique_ptr<StartRecord> start(static_cast<StartRecord*>(raw));
  {
    ThreadObject& self = CurrentThread();
    KernelLock lock(KernelMutex());
    self.onFirstBlock = [process = start->process]() REQUIRES(KernelMutex()) { process->settled.Signal(); };
  }
  // The exit code is fixed as the first thread leaves the program, also when it is terminated or the
  // program throws; the process itself ends with its last thread.
  struct End {
    ProcessObject& process;
    bool returned = false;
    DWORD code = 0;
    ~End() {
      ThreadObject& self = CurrentThread();
      KernelLock lock(KernelMutex());
      process.exitCode = returned ? code : self.exitCode == STILL_ACTIVE ? 0 : self.exitCode;
      process.settled.Signal();
    }
  } end{*start->process};
  end.code = start->main(Narrow(start->process->commandLine().c_str()));
  end.returned = true;
  return end.code;
}

struct Registration {
  Registration() noexcept {
    OnReset([] {
      KernelLock lock(KernelMutex());
      Programs& state = State();
      state.installed = state.defaults;
      state.applicationPath = BuiltInApplicationPath();
      state.started.Reset(pndsim::kDefaultProcessesCapacity);  // a process still running goes on, unlisted
    });
  }
} g_registration;

}  // namespace

void InstallDefaultProgram(std::string_view path, pndsim::ProgramMain main) {
  files::Create(Widen(path), false);
  const std::wstring key = ProgramKey(Widen(path));
  KernelLock lock(KernelMutex());
  State().defaults[key] = main;
  State().installed[key] = std::move(main);
}

}  // namespace sim::programs

using namespace sim;
using namespace sim::programs;

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION information) {
  if (applicationName == nullptr || information == nullptr || processAttributes != nullptr ||
      threadAttributes != nullptr || inheritHandles != FALSE || creationFlags != 0 ||
      environment != nullptr || currentDirectory != nullptr || startupInfo != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::wstring path = applicationName;
  const std::wstring arguments = commandLine != nullptr ? commandLine : L"";
  std::vector<pndsim::TraceField> fields{TextField("path", Narrow(path.c_str())),
                                         TextField("commandLine", Narrow(arguments.c_str()))};
  // The detail quotes the path and the command line, which may hold blanks.
  constexpr const char* kFailedPattern = "path=\"{path}\" commandLine=\"{commandLine}\" error={error}";
  constexpr const char* kStartedPattern = "path=\"{path}\" commandLine=\"{commandLine}\" id={id}";
  pndsim::ProgramMain main;
  std::shared_ptr<ProcessObject> process;
  // Only a file can be started, and only one that holds a program.
  DWORD found = files::Locate(path);
  if (found == ERROR_SUCCESS && files::Find(path) == files::Kind::Folder) found = ERROR_ACCESS_DENIED;
  if (found == ERROR_SUCCESS) {
    const std::wstring key = ProgramKey(path);
    KernelLock lock(KernelMutex());
    Programs& state = State();
    auto it = state.installed.find(key);
    if (it != state.installed.end()) {
      main = it->second;
      if (state.nextProcessId == ApplicationProcessId()) state.nextProcessId += 4;
      process = std::make_shared<ProcessObject>(state.nextProcessId, path, arguments);
      state.nextProcessId += 4;
    } else {
      found = ERROR_BAD_EXE_FORMAT;
    }
  }
  const DWORD error = CheckCall(pndsim::Call::CreateProcess, found, ERROR_NOT_ENOUGH_MEMORY);
  if (error != ERROR_SUCCESS) {
    fields.push_back(NumberField("error", error));
    Record("process.start", std::move(fields), kFailedPattern);
    SetLastError(error);
    return FALSE;
  }
  auto* start = new StartRecord{process, std::move(main)};
  DWORD threadId = 0;
  HANDLE thread = CreateThreadOf(process, ProcessEntry, start, &threadId);
  if (thread == nullptr) {
    const DWORD threadError = GetLastError();
    delete start;
    fields.push_back(NumberField("error", threadError));
    Record("process.start", std::move(fields), kFailedPattern);
    SetLastError(threadError);
    return FALSE;
  }
  {
    ThreadObject& self = CurrentThread();
    KernelLock lock(KernelMutex());
    // The process just started stays even when it has already ended: a caller finds the one it started.
    State().started.Add(process,
                        // Called by the record, inside this scope's kernel lock, which the analysis
                        // cannot follow into the record's template.
                        [&process](const auto& listed)
                            NO_THREAD_SAFETY_ANALYSIS { return listed != process && Forgettable(listed); });
    information->hProcess = InsertHandle(process);
    // As a launcher waiting for its program's input idle: the call returns once the program has come to
    // rest (so a window it makes before it first waits exists), or after two seconds of real time.
    Waitable* const settled = &process->settled;
    WaitAny(lock, self, std::span<Waitable* const>(&settled, 1),
            static_cast<DWORD>(std::min(2000.0 * pndsim::TimeScale(), 4294967294.0)));
  }
  information->hThread = thread;
  information->dwProcessId = process->id();
  information->dwThreadId = threadId;
  fields.push_back(NumberField("id", process->id()));
  Record("process.start", std::move(fields), kStartedPattern);
  return TRUE;
}

BOOL GetExitCodeProcess(HANDLE handle, DWORD* exitCode) {
  // The caller's own process (the pseudo-handle) runs as long as it can ask.
  if (handle == kCurrentProcessHandle) {
    if (exitCode == nullptr) return FailCall(ERROR_INVALID_PARAMETER, FALSE);
    *exitCode = STILL_ACTIVE;
    return TRUE;
  }
  KernelLock lock(KernelMutex());
  auto process = LookupAs<ProcessObject>(handle);
  if (!process || exitCode == nullptr) {
    return FailCall(process ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE, FALSE);
  }
  *exitCode = process->ended() ? process->exitCode : STILL_ACTIVE;
  return TRUE;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  if (size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::wstring path;
  if (module != nullptr) {
    std::optional<std::wstring> library = modules::LoadedPath(module);
    if (!library) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return 0;
    }
    path = std::move(*library);
  } else {
    // Every thread of a program answers the program's file, the application's threads the application's.
    ThreadObject& self = CurrentThread();
    KernelLock lock(KernelMutex());
    auto program = std::dynamic_pointer_cast<ProcessObject>(self.process);
    path = program ? program->path() : State().applicationPath;
  }
  const std::size_t copied = std::min<std::size_t>(path.size(), size - 1);
  std::copy_n(path.begin(), copied, fileName);
  fileName[copied] = L'\0';
  if (copied < path.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  return static_cast<DWORD>(copied);
}

bool pndsim::SetApplicationPath(std::string_view path) {
  if (path.empty()) return false;
  std::wstring wide = Widen(path);
  files::Create(wide, false);  // the application runs from its file
  KernelLock lock(KernelMutex());
  State().applicationPath = std::move(wide);
  return true;
}

std::string pndsim::ApplicationPath() {
  KernelLock lock(KernelMutex());
  return Narrow(State().applicationPath.c_str());
}

bool pndsim::InstallProgram(std::string_view path, ProgramMain main) {
  if (path.empty() || !main || !files::Create(Widen(path), false)) return false;
  const std::wstring key = ProgramKey(Widen(path));
  KernelLock lock(KernelMutex());
  State().installed[key] = std::move(main);
  return true;
}

bool pndsim::RemoveProgram(std::string_view path) {
  const std::wstring key = ProgramKey(Widen(path));
  if (key.empty()) return false;
  files::Delete(Widen(path));
  KernelLock lock(KernelMutex());
  return State().installed.erase(key) != 0;
}

bool pndsim::ProgramInstalled(std::string_view path) {
  const std::wstring key = ProgramKey(Widen(path));
  KernelLock lock(KernelMutex());
  return !key.empty() && State().installed.count(key) != 0;
}

std::uint32_t pndsim::StartProgram(std::string_view path, std::string_view commandLine) {
  const std::wstring file = Widen(path);
  std::wstring arguments = Widen(commandLine);
  PROCESS_INFORMATION information{};
  if (!CreateProcessW(file.c_str(), arguments.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                      &information)) {
    return GetLastError();
  }
  CloseHandle(information.hProcess);
  CloseHandle(information.hThread);
  return 0;
}

std::vector<pndsim::ProcessRecord> pndsim::Processes() {
  KernelLock lock(KernelMutex());
  std::vector<ProcessRecord> records;
  for (const auto& process : State().started.Entries()) {
    records.push_back({process->id(), Narrow(process->path().c_str()), Narrow(process->commandLine().c_str()),
                       !process->ended(), process->ended() ? process->exitCode : STILL_ACTIVE});
  }
  return records;
}

void pndsim::SetProcessesCapacity(std::size_t capacity) {
  KernelLock lock(KernelMutex());
  State().started.SetCapacity(capacity, Forgettable);
}

pndsim::RecordStatus pndsim::ProcessesStatus() {
  KernelLock lock(KernelMutex());
  return State().started.Status();
}

bool pndsim::WaitForProcessesToEnd(std::uint32_t milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  for (;;) {
    std::shared_ptr<ProcessObject> running;
    for (const auto& process : State().started.Entries()) {
      if (!process->ended()) {
        running = process;
        break;
      }
    }
    if (!running) return true;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    // WaitAny scales its time-out; the limit here is real time.
    const double scaled = static_cast<double>(left.count()) * pndsim::TimeScale();
    Waitable* const wanted = running.get();
    WaitAny(lock, self, std::span<Waitable* const>(&wanted, 1),
            static_cast<DWORD>(std::min(scaled, 4294967294.0)));
  }
}
