// The registry calls of the platform: RegOpenKeyExW, RegEnumKeyExW, RegQueryValueExW, RegCloseKey,
// with the platform's error codes and buffer-size rules. They return their error code and leave the
// thread's last error alone, as the platform's registry calls do.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "sim/calendar/calendar.h"
#include "sim/kernel/kernel.h"
#include "sim/registry/key_tree.h"

using sim::registry::Hive;
using sim::registry::Key;

namespace {

std::wstring_view View(LPCWSTR text) {
  return text == nullptr ? std::wstring_view() : std::wstring_view(text);
}

// The key behind `handle` and the answer for it: ERROR_SUCCESS, ERROR_INVALID_HANDLE or ERROR_KEY_DELETED.
LONG Resolve(Hive& hive, HKEY handle, std::shared_ptr<Key>& key) REQUIRES(hive.mutex) {
  key = sim::registry::ResolveHandle(hive, handle);
  if (!key) {
    return static_cast<LONG>(ERROR_INVALID_HANDLE);
  }
  if (key->deleted) {
    return static_cast<LONG>(ERROR_KEY_DELETED);
  }
  return static_cast<LONG>(ERROR_SUCCESS);
}

}  // namespace

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD /*options*/, REGSAM /*desired*/, PHKEY result) {
  if (result != nullptr) {
    *result = nullptr;
  }
  const std::wstring_view path = View(subKey);
  DWORD argumentError = ERROR_SUCCESS;
  if (result == nullptr) {
    argumentError = ERROR_INVALID_PARAMETER;
  } else if (path.starts_with(L'\\')) {
    argumentError = ERROR_BAD_PATHNAME;  // a subkey path is relative to its key
  }
  if (const DWORD error = sim::CheckCall(pndsim::Call::RegOpenKey, argumentError, ERROR_ACCESS_DENIED)) {
    return static_cast<LONG>(error);
  }
  Hive& hive = sim::registry::TheHive();
  sim::MutexLock lock(hive.mutex);
  std::shared_ptr<Key> current;
  if (const LONG error = Resolve(hive, key, current); error != static_cast<LONG>(ERROR_SUCCESS)) {
    return error;
  }
  std::vector<std::wstring_view> parts;
  if (!sim::registry::SplitPath(path, parts)) {
    return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
  }
  for (std::wstring_view part : parts) {
    current = current->Subkey(part);
    if (!current) {
      return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    }
  }
  const std::uintptr_t handle = hive.nextHandle;
  hive.nextHandle += 4;
  hive.open.emplace(handle, std::move(current));
  *result = reinterpret_cast<HKEY>(handle);  // NOLINT(performance-no-int-to-ptr): handles are numbers
  return static_cast<LONG>(ERROR_SUCCESS);
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, DWORD* nameChars, DWORD* reserved, LPWSTR className,
                   DWORD* classChars, FILETIME* lastWrite) {
  const bool sound = name != nullptr && nameChars != nullptr && reserved == nullptr &&
                     (className == nullptr || classChars != nullptr);
  if (const DWORD error = sim::CheckCall(
          pndsim::Call::RegEnumKey, sound ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER, ERROR_ACCESS_DENIED)) {
    return static_cast<LONG>(error);
  }
  Hive& hive = sim::registry::TheHive();
  sim::MutexLock lock(hive.mutex);
  std::shared_ptr<Key> parent;
  if (const LONG error = Resolve(hive, key, parent); error != static_cast<LONG>(ERROR_SUCCESS)) {
    return error;
  }
  if (index >= parent->subkeys.size()) {
    return static_cast<LONG>(ERROR_NO_MORE_ITEMS);
  }
  const Key& subkey = *parent->subkeys[index];
  if (subkey.name.size() + 1 > *nameChars) {
    return static_cast<LONG>(ERROR_MORE_DATA);
  }
  std::copy(subkey.name.begin(), subkey.name.end(), name);
  name[subkey.name.size()] = L'\0';
  *nameChars = static_cast<DWORD>(subkey.name.size());
  if (className != nullptr) {
    if (*classChars > 0) {
      className[0] = L'\0';
    }
    *classChars = 0;
  }
  if (lastWrite != nullptr) {
    *lastWrite = sim::civil::FileTimeFromMs(subkey.lastWriteMs);
  }
  return static_cast<LONG>(ERROR_SUCCESS);
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataBytes) {
  const bool sound = reserved == nullptr && (data == nullptr || dataBytes != nullptr);
  if (const DWORD error =
          sim::CheckCall(pndsim::Call::RegQueryValue, sound ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER,
                         ERROR_ACCESS_DENIED)) {
    return static_cast<LONG>(error);
  }
  Hive& hive = sim::registry::TheHive();
  sim::MutexLock lock(hive.mutex);
  std::shared_ptr<Key> owner;
  if (const LONG error = Resolve(hive, key, owner); error != static_cast<LONG>(ERROR_SUCCESS)) {
    return error;
  }
  const sim::registry::Value* value = owner->FindValue(View(valueName));
  if (value == nullptr) {
    return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
  }
  if (type != nullptr) {
    *type = value->type;
  }
  const auto size = static_cast<DWORD>(value->data.size());
  if (data == nullptr) {
    if (dataBytes != nullptr) {
      *dataBytes = size;
    }
    return static_cast<LONG>(ERROR_SUCCESS);
  }
  if (*dataBytes < size) {
    *dataBytes = size;
    return static_cast<LONG>(ERROR_MORE_DATA);
  }
  if (size > 0) {
    std::memcpy(data, value->data.data(), size);
  }
  *dataBytes = size;
  return static_cast<LONG>(ERROR_SUCCESS);
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT) {
    return static_cast<LONG>(ERROR_SUCCESS);
  }
  Hive& hive = sim::registry::TheHive();
  sim::MutexLock lock(hive.mutex);
  return static_cast<LONG>(
      hive.open.erase(reinterpret_cast<std::uintptr_t>(key)) != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
}
