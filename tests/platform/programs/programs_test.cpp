// Programs on the simulated device: CreateProcessW starts what is stored at a
// path and returns once the program has come to rest, the process and thread
// handles signal when the program ends,
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
