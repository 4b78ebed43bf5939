// Fault injection: every value of pndsim::Call makes its emulated call fail the way the device platform
// fails it, after the call's own argument checks, and the failure is traced under the call's name.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "ce/audio.h"
#include "ce/kernel.h"
#include "ce/modules.h"
#include "ce/power.h"
#include "ce/process.h"
#include "ce/registry.h"
#include "ce/time.h"
#include "ce/window.h"
#include "last_error.h"
#include "sim_guard.h"

namespace {

LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// A window class and window the window calls need, made without any injected failure pending.
struct Windowing {
  Windowing() {
    WNDCLASSW description{};
    description.lpfnWndProc = Procedure;
    description.lpszClassName = L"FaultTestWindow";
    RegisterClassW(&description);
    window = CreateWindowExW(0, L"FaultTestWindow", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  }
  ~Windowing() { DestroyWindow(window); }
  Windowing(const Windowing&) = delete;
  Windowing& operator=(const Windowing&) = delete;
  HWND window = nullptr;
};

// How one call is made and what its failure answers: the error it reports (last error or result).
struct FailingCall {
  std::function<bool()> succeeded;  // makes the call once; true when it succeeded
  std::function<DWORD()> error;     // the error of the failed call
  DWORD expected;
};

std::map<pndsim::Call, FailingCall> Calls(const Windowing& windowing) {
  using pndsim::Call;
  static LONG registryAnswer = ERROR_SUCCESS;
  const auto lastError = [] { return GetLastError(); };
  const auto registryError = [] { return static_cast<DWORD>(registryAnswer); };
  const auto registryCall = [](auto call) {
    return [call] {
      registryAnswer = call();
      return registryAnswer == ERROR_SUCCESS;
    };
  };
  static DWORD mixerAnswer = MMSYSERR_NOERROR;
  const auto mixerError = [] { return mixerAnswer; };
  const auto mixerCall = [](auto call) {
    return [call] {
      mixerAnswer = call();
      return mixerAnswer == MMSYSERR_NOERROR;
    };
  };
  // Loads the vendor library, hands it to `use`, and releases it.
  const auto withLibrary = [](auto use) {
    return [use] {
      HMODULE module = LoadLibraryW(L"externapi.dll");
      if (module == nullptr) return false;
      const bool used = use(module);
      return FreeLibrary(module) != FALSE && used;
    };
  };
  HWND window = windowing.window;
  return {
      {Call::CreateThread,
       {[] {
          HANDLE thread = CreateThread(
              nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
          if (thread == nullptr) return false;
          WaitForSingleObject(thread, INFINITE);
          return CloseHandle(thread) != FALSE;
        },
        lastError, ERROR_NOT_ENOUGH_MEMORY}},
      {Call::CreateEvent,
       {[] {
          HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
          return event != nullptr && CloseHandle(event) != FALSE;
        },
        lastError, ERROR_NOT_ENOUGH_MEMORY}},
      {Call::CreateWindow,
       {[] {
          HWND created =
              CreateWindowExW(0, L"FaultTestWindow", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
          return created != nullptr && DestroyWindow(created) != FALSE;
        },
        lastError, ERROR_NOT_ENOUGH_MEMORY}},
      {Call::RegisterClass,
       {[] {
          WNDCLASSW description{};
          description.lpfnWndProc = Procedure;
          description.lpszClassName = L"FaultTestClass";
          return RegisterClassW(&description) != 0 && UnregisterClassW(L"FaultTestClass", nullptr) != FALSE;
        },
        lastError, ERROR_NOT_ENOUGH_MEMORY}},
      {Call::RegisterHotKey,
       {[window] {
          return RegisterHotKey(window, 1, 0, 0x26) != FALSE && UnregisterHotKey(window, 1) != FALSE;
        },
        lastError, ERROR_HOTKEY_ALREADY_REGISTERED}},
      {Call::SetTimeZoneInformation,
       {[] {
          TIME_ZONE_INFORMATION zone{};
          GetTimeZoneInformation(&zone);
          return SetTimeZoneInformation(&zone) != FALSE;
        },
        lastError, ERROR_ACCESS_DENIED}},
      {Call::SetSystemTime,
       {[] {
          SYSTEMTIME now{};
          GetSystemTime(&now);
          return SetSystemTime(&now) != FALSE;
        },
        lastError, ERROR_ACCESS_DENIED}},
      {Call::SetLocalTime,
       {[] {
          SYSTEMTIME now{};
          GetLocalTime(&now);
          return SetLocalTime(&now) != FALSE;
        },
        lastError, ERROR_ACCESS_DENIED}},
      {Call::RegOpenKey,
       {registryCall([] {
          HKEY key = nullptr;
          const LONG answer = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Time Zones", 0, KEY_READ, &key);
          if (key != nullptr) RegCloseKey(key);
          return answer;
        }),
        registryError, ERROR_ACCESS_DENIED}},
      {Call::RegQueryValue,
       {registryCall([] {
          DWORD size = 0;
          return RegQueryValueExW(HKEY_LOCAL_MACHINE, L"FaultTest", nullptr, nullptr, nullptr, &size);
        }),
        registryError, ERROR_ACCESS_DENIED}},
      {Call::RegEnumKey,
       {registryCall([] {
          wchar_t name[256];
          DWORD chars = 256;
          return RegEnumKeyExW(HKEY_LOCAL_MACHINE, 0, name, &chars, nullptr, nullptr, nullptr, nullptr);
        }),
        registryError, ERROR_ACCESS_DENIED}},
      {Call::CreateMsgQueue,
       {[] {
          MSGQUEUEOPTIONS options{sizeof(MSGQUEUEOPTIONS), 0, 4, 64, TRUE};
          HANDLE queue = CreateMsgQueue(nullptr, &options);
          return queue != nullptr && CloseMsgQueue(queue) != FALSE;
        },
        lastError, ERROR_OUTOFMEMORY}},
      {Call::KernelIoControl,
       {[] {
          DWORD level = 0;
          return KernelIoControl(IOCTL_BACKLIGHT, nullptr, BACKLIGHT_READ_REQUEST, nullptr, 0, &level) !=
                 FALSE;
        },
        lastError, ERROR_GEN_FAILURE}},
      {Call::WaveOutSetVolume,
       {mixerCall([] { return waveOutSetVolume(nullptr, 0x80008000); }), mixerError, MMSYSERR_ERROR}},
      {Call::WaveOutGetVolume,
       {mixerCall([] {
          DWORD volume = 0;
          return waveOutGetVolume(nullptr, &volume);
        }),
        mixerError, MMSYSERR_ERROR}},
      {Call::LoadLibrary, {withLibrary([](HMODULE) { return true; }), lastError, ERROR_MOD_NOT_FOUND}},
      {Call::GetProcAddress,
       {withLibrary([](HMODULE module) { return GetProcAddressW(module, L"GetBrightness") != nullptr; }),
        lastError, ERROR_PROC_NOT_FOUND}},
      {Call::FreeLibrary,
       {[] {
          HMODULE module = LoadLibraryW(L"externapi.dll");
          if (module == nullptr) return false;
          return FreeLibrary(module) != FALSE;  // a failed release leaves the library loaded
        },
        lastError, ERROR_GEN_FAILURE}},
      {Call::CreateProcess,
       {[] {
          PROCESS_INFORMATION information{};
          if (CreateProcessW(L"\\Fault.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                             &information) == FALSE) {
            return false;
          }
          WaitForSingleObject(information.hProcess, INFINITE);
          return CloseHandle(information.hThread) != FALSE && CloseHandle(information.hProcess) != FALSE;
        },
        lastError, ERROR_NOT_ENOUGH_MEMORY}},
  };
}

int CountFaults(std::string_view name) {
  int count = 0;
  for (const auto& event : pndsim::Trace()) count += event.kind == "fault" && event.detail == name ? 1 : 0;
  return count;
}

TEST(FaultInjection, EveryCallFailsOnDemandOnceThenWorksAgain) {
  pndtest::SimGuard guard;
  Windowing windowing;
  ASSERT_NE(windowing.window, nullptr);
  ASSERT_TRUE(pndsim::SetRegistryDword(pndsim::RegistryRoot::LocalMachine, "", "FaultTest", 1));
  ASSERT_TRUE(pndsim::InstallProgram("\\Fault.exe", [](const std::string&) { return 0u; }));
  const auto calls = Calls(windowing);
  for (std::size_t index = 0; index < pndsim::kCallCount; ++index) {
    const auto value = static_cast<pndsim::Call>(index);
    const std::string_view name = pndsim::CallName(value);
    SCOPED_TRACE(std::string(name));
    ASSERT_FALSE(name.empty());
    const auto call = calls.find(value);
    ASSERT_NE(call, calls.end()) << "a value of Call without its call";

    ASSERT_TRUE(call->second.succeeded()) << "works without a fault";
    pndsim::FailNext(value, 2);
    pndtest::PoisonLastError();
    EXPECT_FALSE(call->second.succeeded());
    EXPECT_EQ(call->second.error(), call->second.expected);
    EXPECT_FALSE(call->second.succeeded()) << "the second requested failure";
    EXPECT_EQ(CountFaults(name), 2);
    EXPECT_TRUE(call->second.succeeded()) << "only the requested number of calls fail";
  }
  EXPECT_EQ(pndsim::CallName(static_cast<pndsim::Call>(pndsim::kCallCount)), "");
}

TEST(FaultInjection, ArgumentsAreCheckedBeforeAnInjectedFailureIsSpent) {
  pndtest::SimGuard guard;
  pndsim::FailNext(pndsim::Call::CreateThread);
  pndtest::PoisonLastError();
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CountFaults("CreateThread"), 0);
  EXPECT_EQ(CreateThread(
                nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr),
            nullptr)
      << "the failure is still pending";
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);

  pndsim::FailNext(pndsim::Call::RegOpenKey);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"\\Time Zones", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Time Zones", 0, KEY_READ, &key), ERROR_ACCESS_DENIED);

  pndsim::FailNext(pndsim::Call::CreateEvent, 5);
  pndsim::FailNext(pndsim::Call::CreateEvent, 0);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_NE(event, nullptr) << "a count of 0 cancels";
  CloseHandle(event);
}

}  // namespace
