// Dynamic loading: a library is a file of the device's file tree, found by its full path or, by name, in
// the device's search order (the application's folder, \Windows, the root); a name without an extension
// gets ".dll". Its code is the shared object "libname.so" for the file "name.dll", looked for beside the
// simulator first and then on the loader's path. Each library file has one handle, counted by LoadLibraryW
// and FreeLibrary, whatever name it was asked for by.
#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "ce/modules.h"
#include "pndsim/programs.h"
#include "pndsim/vendor.h"
#include "sim/files/files.h"
#include "sim/kernel/kernel.h"
#include "sim/modules/modules.h"
#include "sim/text_codec/text_codec.h"

namespace sim {
namespace {

struct LoadedModule {
  std::wstring path;  // in the file tree, as spelled there
  std::string name;   // the file's name, lower case
  void* library = nullptr;
  int references = 0;
};

struct Modules {
  Mutex mutex;
  std::map<std::uintptr_t, LoadedModule> byHandle GUARDED_BY(mutex);
  std::uintptr_t next GUARDED_BY(mutex) = 0x10000;
};

Modules& Table() {
  static auto* modules = new Modules;
  return *modules;
}

std::string SharedObjectName(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  if (name.size() > 4 && name.ends_with(".dll")) name.resize(name.size() - 4);
  return "lib" + name + ".so";
}

// The folder of libpndsim.so, where the build and an install put the
// run-time-loaded libraries too.
std::string OwnFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&SharedObjectName), &info) == 0 || info.dli_fname == nullptr) return {};
  std::string path = info.dli_fname;
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The library file `fileName` names in the file tree, as spelled there; empty when there is none.
std::wstring FindLibraryFile(std::wstring fileName) {
  const std::size_t lastSeparator = fileName.find_last_of(L"\\/");
  const std::size_t nameStart = lastSeparator == std::wstring::npos ? 0 : lastSeparator + 1;
  if (fileName.find(L'.', nameStart) == std::wstring::npos) fileName += L".dll";
  std::vector<std::wstring> candidates;
  if (lastSeparator != std::wstring::npos) {
    candidates.push_back(fileName);
  } else {
    const std::wstring application = Widen(pndsim::ApplicationPath());
    const std::size_t folderEnd = application.find_last_of(L"\\/");
    if (folderEnd != std::wstring::npos) {
      candidates.push_back(application.substr(0, folderEnd + 1) + fileName);
    }
    candidates.push_back(L"\\Windows\\" + fileName);
    candidates.push_back(L"\\" + fileName);
  }
  for (const std::wstring& candidate : candidates) {
    if (files::Find(candidate) == files::Kind::File) return files::Spelled(candidate);
  }
  return {};
}

void* OpenLibrary(const std::string& file) {
  const std::string folder = OwnFolder();
  if (!folder.empty()) {
    if (void* library = dlopen((folder + file).c_str(), RTLD_NOW | RTLD_LOCAL)) return library;
  }
  return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace
}  // namespace sim

using namespace sim;

HMODULE LoadLibraryW(LPCWSTR fileName) {
  if (!BeginCall(pndsim::Call::LoadLibrary, fileName == nullptr ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS,
                 ERROR_MOD_NOT_FOUND)) {
    return nullptr;
  }
  const std::wstring path = FindLibraryFile(fileName);
  if (path.empty()) {
    Record("module.load", {TextField("module", Narrow(fileName)), TextField("outcome", "not found")},
           "{module} {outcome}");
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  std::string name = Narrow(path.substr(path.find_last_of(L'\\') + 1).c_str());
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  const std::wstring key = FoldCase(path);
  Modules& modules = Table();
  sim::MutexLock lock(modules.mutex);
  for (auto& [handle, module] : modules.byHandle) {
    if (FoldCase(module.path) == key) {
      ++module.references;
      return reinterpret_cast<HMODULE>(handle);
    }
  }
  void* library = OpenLibrary(SharedObjectName(name));
  if (library == nullptr) {
    Record("module.load", {TextField("module", name), TextField("outcome", "not found")},
           "{module} {outcome}");
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  const std::uintptr_t handle = modules.next;
  modules.next += 4;
  modules.byHandle.emplace(handle, LoadedModule{path, name, library, 1});
  Record("module.load", {TextField("module", name)}, "{module}");
  return reinterpret_cast<HMODULE>(handle);
}

FARPROC GetProcAddressW(HMODULE module, LPCWSTR name) {
  void* library = nullptr;
  {
    Modules& modules = Table();
    sim::MutexLock lock(modules.mutex);
    auto it = modules.byHandle.find(reinterpret_cast<std::uintptr_t>(module));
    if (it != modules.byHandle.end()) library = it->second.library;
  }
  const DWORD argumentError = name == nullptr      ? ERROR_INVALID_PARAMETER
                              : library == nullptr ? ERROR_INVALID_HANDLE
                                                   : ERROR_SUCCESS;
  if (!BeginCall(pndsim::Call::GetProcAddress, argumentError, ERROR_PROC_NOT_FOUND)) return nullptr;
  void* address = dlsym(library, Narrow(name).c_str());
  if (address == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(address);
}

BOOL FreeLibrary(HMODULE module) {
  void* library = nullptr;
  std::string name;
  {
    Modules& modules = Table();
    sim::MutexLock lock(modules.mutex);
    auto it = modules.byHandle.find(reinterpret_cast<std::uintptr_t>(module));
    const bool known = it != modules.byHandle.end();
    if (!BeginCall(pndsim::Call::FreeLibrary, known ? ERROR_SUCCESS : ERROR_INVALID_HANDLE,
                   ERROR_GEN_FAILURE)) {
      return FALSE;
    }
    name = it->second.name;
    if (--it->second.references == 0) {
      library = it->second.library;
      modules.byHandle.erase(it);
    }
  }
  if (library != nullptr) dlclose(library);
  Record("module.free", {TextField("module", name)}, "{module}");
  return TRUE;
}

std::optional<std::wstring> sim::modules::LoadedPath(HMODULE module) {
  Modules& modules = Table();
  sim::MutexLock lock(modules.mutex);
  const auto it = modules.byHandle.find(reinterpret_cast<std::uintptr_t>(module));
  if (it == modules.byHandle.end()) return std::nullopt;
  return it->second.path;
}

std::vector<std::string> pndsim::LoadedLibraries() {
  Modules& modules = Table();
  sim::MutexLock lock(modules.mutex);
  std::vector<std::string> names;
  for (const auto& [handle, module] : modules.byHandle) names.push_back(module.name);
  return names;
}
