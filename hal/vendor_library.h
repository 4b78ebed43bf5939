// The device vendor's library "externapi.dll": its process-wide handle, taken
// when the HAL library loads, and calls of its functions by name.
#pragma once

#include <cstdint>

#include "ce/modules.h"

namespace Vendor {

/// Loads the library when no handle is held; the handle stays null when it
/// cannot be loaded.
void Load() noexcept;
/// Frees the library; the handle is cleared when the release succeeds.
void Release();
/// Looks `name` up afresh in the library, loading the library first when it
/// is not loaded; null when the library or the function is missing.
FARPROC Lookup(const wchar_t* name);

/// Calls the vendor function `name` with `args`, storing its result in
/// `result`. False, with nothing called and `result` untouched, when the
/// library or the function is missing.
template <class... Args>
bool Call(const wchar_t* name, std::int32_t& result, Args... args) {
  using Function = std::int32_t (*)(Args...);
  FARPROC address = Lookup(name);
  if (address == nullptr) return false;
  // Through the generic function type: FARPROC's own is not the function's.
  result = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address))(args...);
  return true;
}

}  // namespace Vendor
