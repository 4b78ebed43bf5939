// The vendor library's module handle: loaded by a static initialiser when the
// HAL library loads, released by the device level's destructor.
#include "hal/vendor_library.h"

#include <atomic>

namespace {

std::atomic<HMODULE> g_hExternApi{nullptr};

// Loads the library as the HAL library itself is loaded.
struct ExternApiLoader {
  ExternApiLoader() noexcept { Vendor::Load(); }
} const g_externApiLoader;

}  // namespace

void Vendor::Load() noexcept {
  if (g_hExternApi.load() != nullptr) return;
  HMODULE module = LoadLibraryW(L"externapi.dll");
  HMODULE expected = nullptr;
  if (module != nullptr && !g_hExternApi.compare_exchange_strong(expected, module)) FreeLibrary(module);
}

void Vendor::Release() {
  HMODULE module = g_hExternApi.load();
  if (module != nullptr && FreeLibrary(module) != FALSE) g_hExternApi.store(nullptr);
}

FARPROC Vendor::Lookup(const wchar_t* name) {
  // A library the loader refused before is asked for again, so a passing
  // refusal does not leave the vendor's services dead.
  if (g_hExternApi.load() == nullptr) Load();
  HMODULE module = g_hExternApi.load();
  return module == nullptr ? nullptr : GetProcAddressW(module, name);
}
