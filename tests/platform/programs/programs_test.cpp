// Programs on the simulated device: CreateProcessW starts what is stored at a
// path and returns once the program has come to rest, the process and thread
// handles signal when the program ends, each program is a process of its own
// (id, class names, module name, exit code) that ends with its last thread,
// GetModuleFileNameW reports the right executable, and copy-data records
// reach a window of another thread as a copy.
#include <ce/kernel.h>
#include <ce/process.h>
#include <ce/window.h>
#include <gtest/gtest.h>
#include <pndsim/pndsim.h>

#include <cstring>
#include <string>

#include "sim_guard.h"

namespace {

class ProgramsTest : public ::testing::Test {
 protected:
  pndtest::SimGuard guard_;
};

struct StartCase {
  const char* name;
  const wchar_t* path;
  bool failNext;
  BOOL expected;
  DWORD error;
};

TEST_F(ProgramsTest, CreateProcessStartsOnlyAStoredProgramAndFailsLikeThePlatform) {
  ASSERT_TRUE(pndsim::InstallProgram("\\Windows\\tool.exe", [](const std::string&) { return 0u; }));
  const StartCase cases[] = {
      {"stored, other case", L"\\WINDOWS\\Tool.EXE", false, TRUE, ERROR_SUCCESS},
      {"not stored", L"\\Windows\\missing.exe", false, FALSE, ERROR_FILE_NOT_FOUND},
      {"no file name", nullptr, false, FALSE, ERROR_INVALID_PARAMETER},
      {"creation failed", L"\\Windows\\tool.exe", true, FALSE, ERROR_NOT_ENOUGH_MEMORY},
  };
  for (const StartCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.failNext) pndsim::FailNext(pndsim::Call::CreateProcess);
    const std::size_t before = pndsim::Processes().size();
    PROCESS_INFORMATION information{};
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(
        CreateProcessW(c.path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &information),
        c.expected);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(pndsim::Processes().size(), before + (c.expected ? 1 : 0));
    if (c.expected) {
      EXPECT_EQ(WaitForSingleObject(information.hProcess, 5000), WAIT_OBJECT_0);
      CloseHandle(information.hProcess);
      CloseHandle(information.hThread);
    }
  }
}

TEST_F(ProgramsTest, ProcessAndThreadHandlesSignalWhenTheProgramEndsWithItsExitCode) {
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::string seen;
  ASSERT_TRUE(pndsim::InstallProgram("\\Apps\\worker.exe", [&](const std::string& commandLine) {
    seen = commandLine;
    WaitForSingleObject(release, INFINITE);
    return 7u;
  }));
  wchar_t commandLine[] = L"-x 1";
  PROCESS_INFORMATION information{};
  ASSERT_TRUE(CreateProcessW(L"\\Apps\\worker.exe", commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             nullptr, &information));
  EXPECT_EQ(seen, "-x 1") << "CreateProcessW returns once the program first waits";
  EXPECT_EQ(WaitForSingleObject(information.hProcess, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(information.hThread, 0), WAIT_TIMEOUT);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(information.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  ASSERT_EQ(pndsim::Processes().size(), 1u);
  EXPECT_TRUE(pndsim::Processes()[0].running);

  SetEvent(release);
  HANDLE both[] = {information.hProcess, information.hThread};
  for (HANDLE handle : both) EXPECT_EQ(WaitForSingleObject(handle, 5000), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeProcess(information.hProcess, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_EQ(seen, "-x 1");
  EXPECT_EQ(pndsim::Processes()[0].exitCode, 7u);
  EXPECT_FALSE(pndsim::Processes()[0].running);
  CloseHandle(information.hProcess);
  CloseHandle(information.hThread);
  CloseHandle(release);
}

TEST_F(ProgramsTest, ModuleFileNameIsTheApplicationsOrTheProgramsOwnAndNeverOverrunsTheBuffer) {
  wchar_t name[260];
  EXPECT_EQ(GetModuleFileNameW(nullptr, name, 260), std::wcslen(L"\\Storage Card\\Apps\\Main.exe"));
  EXPECT_STREQ(name, L"\\Storage Card\\Apps\\Main.exe");

  wchar_t small[8];
  std::wmemset(small, L'#', 8);
  wchar_t guard = L'#';
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 6), 6u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_STREQ(small, L"\\Stor");
  EXPECT_EQ(small[6], guard);
  EXPECT_EQ(GetModuleFileNameW(nullptr, name, 0), 0u);

  std::wstring inside;
  ASSERT_TRUE(pndsim::InstallProgram("\\Program Files\\Other.exe", [&](const std::string&) {
    wchar_t own[260];
    if (GetModuleFileNameW(nullptr, own, 260) != 0) inside = own;
    return 0u;
  }));
  PROCESS_INFORMATION information{};
  ASSERT_TRUE(CreateProcessW(L"\\Program Files\\Other.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, nullptr, &information));
  ASSERT_EQ(WaitForSingleObject(information.hProcess, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(inside, L"\\Program Files\\Other.exe");
  CloseHandle(information.hProcess);
  CloseHandle(information.hThread);

  ASSERT_TRUE(pndsim::SetApplicationPath("\\Flash\\Nav\\Nav.exe"));
  GetModuleFileNameW(nullptr, name, 260);
  EXPECT_STREQ(name, L"\\Flash\\Nav\\Nav.exe");
}

LRESULT PlainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// Registers the class `name` of PlainProcedure for the calling thread's process; the error, or 0.
DWORD RegisterPlainClass(const wchar_t* name) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = PlainProcedure;
  windowClass.lpszClassName = name;
  return RegisterClassW(&windowClass) != 0 ? ERROR_SUCCESS : GetLastError();
}

// What a program saw of itself, on its first thread and on a thread it started.
struct Seen {
  DWORD classError = 1;
  HWND window = nullptr;
  std::wstring otherThreadModule;
  DWORD ownExitCode = 0;
};

DWORD WINAPI ReportModule(LPVOID raw) {
  wchar_t name[260] = {};
  GetModuleFileNameW(nullptr, name, 260);
  static_cast<Seen*>(raw)->otherThreadModule = name;
  return 0;
}

// Each program is a process of its own: its windows report its id, it has class names of its own, every
// thread of it reports its file, its exit code is what it returned (259 too), and the pseudo-handle of the
// current process can be asked for its exit code.
TEST_F(ProgramsTest, AProgramIsAProcessOfItsOwn) {
  ASSERT_EQ(RegisterPlainClass(L"SharedName"), ERROR_SUCCESS);
  HWND own = CreateWindowExW(0, L"SharedName", L"Own", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(own, nullptr);
  Seen seen;
  ASSERT_TRUE(pndsim::InstallProgram("\\Apps\\own.exe", [&seen](const std::string&) {
    seen.classError = RegisterPlainClass(L"SHAREDNAME");
    seen.window =
        CreateWindowExW(0, L"SharedName", L"Theirs", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, ReportModule, &seen, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    GetExitCodeProcess(GetCurrentProcess(), &seen.ownExitCode);
    if (seen.window != nullptr) DestroyWindow(seen.window);
    return static_cast<std::uint32_t>(STILL_ACTIVE);
  }));
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(CreateProcessW(L"\\Apps\\own.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             nullptr, &started));
  ASSERT_EQ(WaitForSingleObject(started.hProcess, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(seen.classError, ERROR_SUCCESS) << "the application's class name is no concern of the program";
  EXPECT_NE(seen.window, nullptr);
  EXPECT_EQ(seen.otherThreadModule, L"\\Apps\\own.exe");
  EXPECT_EQ(seen.ownExitCode, STILL_ACTIVE);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(started.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE) << "259 is kept; only the wait tells it from a running program";
  EXPECT_EQ(pndsim::Processes().back().exitCode, STILL_ACTIVE);
  EXPECT_FALSE(pndsim::Processes().back().running);

  DWORD applicationId = 0;
  GetWindowThreadProcessId(own, &applicationId);
  EXPECT_NE(applicationId, started.dwProcessId);
  EXPECT_TRUE(GetExitCodeProcess(GetCurrentProcess(), &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  CloseHandle(started.hProcess);
  CloseHandle(started.hThread);
  DestroyWindow(own);
  UnregisterClassW(L"SharedName", nullptr);

  // The telephone program's window reports the telephone program's process.
  ASSERT_TRUE(pndsim::StartTelephone());
  const std::uint32_t telephoneId = pndsim::Processes().back().id;
  bool found = false;
  for (const pndsim::WindowInfo& window : pndsim::Windows()) {
    DWORD processId = 0;
    GetWindowThreadProcessId(reinterpret_cast<HWND>(window.handle), &processId);
    found = found || processId == telephoneId;
    EXPECT_TRUE(processId == telephoneId || processId == applicationId) << window.className;
  }
  EXPECT_TRUE(found);
  EXPECT_TRUE(pndsim::StopTelephone());
  EXPECT_TRUE(pndsim::WaitForProcessesToEnd(5000));
}

// A program's second thread: makes a window, says so, and keeps it until released.
struct Lingering {
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HWND window = nullptr;
};

DWORD WINAPI WindowUntilReleased(LPVOID raw) {
  auto* lingering = static_cast<Lingering*>(raw);
  lingering->window =
      CreateWindowExW(0, L"Lingering", L"Lingering", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  SetEvent(lingering->ready);
  WaitForSingleObject(lingering->release, INFINITE);
  return 0;  // the window goes with its thread
}

// A process ends with its last thread, once that thread's windows are gone, not when its first thread
// returns.
TEST_F(ProgramsTest, AProcessEndsWithItsLastThreadAndItsWindows) {
  Lingering lingering;
  ASSERT_TRUE(pndsim::InstallProgram("\\Apps\\linger.exe", [&lingering](const std::string&) {
    RegisterPlainClass(L"Lingering");
    CloseHandle(CreateThread(nullptr, 0, WindowUntilReleased, &lingering, 0, nullptr));
    return 0u;
  }));
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(CreateProcessW(L"\\Apps\\linger.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             nullptr, &started));
  ASSERT_EQ(WaitForSingleObject(started.hThread, 5000), WAIT_OBJECT_0) << "the first thread returned";
  ASSERT_EQ(WaitForSingleObject(lingering.ready, 5000), WAIT_OBJECT_0);
  ASSERT_NE(lingering.window, nullptr);
  EXPECT_EQ(FindWindowW(L"Lingering", nullptr), lingering.window) << "found by class name from any process";
  EXPECT_EQ(WaitForSingleObject(started.hProcess, 0), WAIT_TIMEOUT) << "a thread and a window remain";
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(started.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_TRUE(pndsim::Processes().back().running);

  SetEvent(lingering.release);
  ASSERT_EQ(WaitForSingleObject(started.hProcess, 5000), WAIT_OBJECT_0);
  EXPECT_FALSE(IsWindow(lingering.window)) << "signalled only once the program's windows are gone";
  ASSERT_TRUE(GetExitCodeProcess(started.hProcess, &code));
  EXPECT_EQ(code, 0u);
  CloseHandle(started.hProcess);
  CloseHandle(started.hThread);
  CloseHandle(lingering.release);
  CloseHandle(lingering.ready);
}

// A program whose window copies every copy-data record it receives.
struct Received {
  ULONG_PTR kind = 0;
  DWORD bytes = 0;
  const void* address = nullptr;
  std::string data;
};
Received g_received;

LRESULT RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    g_received = {record->dwData, record->cbData, record->lpData,
                  std::string(static_cast<const char*>(record->lpData), record->cbData)};
    return 42;
  }
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(ProgramsTest, CopyDataReachesAnotherProgramsWindowAsACopyAndFindWindowFindsIt) {
  ASSERT_TRUE(pndsim::InstallProgram("\\Apps\\receiver.exe", [](const std::string&) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RecordingProcedure;
    windowClass.lpszClassName = L"ReceiverClass";
    RegisterClassW(&windowClass);
    CreateWindowExW(0, L"ReceiverClass", L"Receiver", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0u;
  }));
  PROCESS_INFORMATION information{};
  ASSERT_TRUE(CreateProcessW(L"\\Apps\\receiver.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             nullptr, &information));
  HWND receiver = nullptr;
  for (int i = 0; i < 5000 && receiver == nullptr; ++i) {
    receiver = FindWindowW(nullptr, L"Receiver");
    if (receiver == nullptr) Sleep(1);
  }
  ASSERT_NE(receiver, nullptr);

  char bytes[] = "phone\0link";
  COPYDATASTRUCT record{11026, sizeof bytes, bytes};
  EXPECT_EQ(SendMessageW(receiver, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record)), 42);
  EXPECT_EQ(g_received.kind, 11026u);
  EXPECT_EQ(g_received.bytes, sizeof bytes);
  EXPECT_EQ(g_received.data, std::string(bytes, sizeof bytes));
  EXPECT_NE(g_received.address, static_cast<const void*>(bytes));

  PostMessageW(receiver, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(information.hProcess, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(FindWindowW(nullptr, L"Receiver"), nullptr);
  CloseHandle(information.hProcess);
  CloseHandle(information.hThread);
}

}  // namespace
