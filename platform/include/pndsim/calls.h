// The emulated platform calls that fault injection can make fail: one list giving each call's value in
// pndsim::Call and its name in the trace, from which the enumeration and the count are made.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

// X(value, trace name): one line per call. An entry is added together with the call it makes fail, so
// that every value of pndsim::Call has a call behind it.
#define PNDSIM_CALLS(X)                               \
  X(CreateThread, "CreateThread")                     \
  X(CreateEvent, "CreateEventW")                      \
  X(CreateWindow, "CreateWindowExW")                  \
  X(RegisterClass, "RegisterClassW")                  \
  X(RegisterHotKey, "RegisterHotKey")                 \
  X(SetTimeZoneInformation, "SetTimeZoneInformation") \
  X(SetSystemTime, "SetSystemTime")                   \
  X(SetLocalTime, "SetLocalTime")                     \
  X(RegOpenKey, "RegOpenKeyExW")                      \
  X(RegQueryValue, "RegQueryValueExW")                \
  X(RegEnumKey, "RegEnumKeyExW")                      \
  X(CreateMsgQueue, "CreateMsgQueue")                 \
  X(KernelIoControl, "KernelIoControl")               \
  X(WaveOutSetVolume, "waveOutSetVolume")             \
  X(WaveOutGetVolume, "waveOutGetVolume")             \
  X(LoadLibrary, "LoadLibraryW")                      \
  X(GetProcAddress, "GetProcAddressW")                \
  X(FreeLibrary, "FreeLibrary")                       \
  X(CreateProcess, "CreateProcessW")

namespace pndsim {

/// Emulated platform calls that can be made to fail on demand (FailNext).
enum class Call {
#define PNDSIM_CALL_VALUE(value, name) value,
  PNDSIM_CALLS(PNDSIM_CALL_VALUE)
#undef PNDSIM_CALL_VALUE
};

/// The platform's name of each call, in the order of Call.
inline constexpr std::string_view kCallNames[] = {
#define PNDSIM_CALL_NAME(value, name) name,
    PNDSIM_CALLS(PNDSIM_CALL_NAME)
#undef PNDSIM_CALL_NAME
};

/// The number of values of Call; they run from 0 to kCallCount - 1.
inline constexpr std::size_t kCallCount = std::size(kCallNames);

/// The platform's name of `call`, as a failure of it appears in the trace ("fault" events); the empty
/// text for a value outside Call.
constexpr std::string_view CallName(Call call) {
  const auto index = static_cast<std::size_t>(call);
  return index < kCallCount ? kCallNames[index] : std::string_view();
}

}  // namespace pndsim
